// The two file formats: password list files (written) and charset files (read).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/OsFile.h"
#include "engine/Wipe.h"

// Writes a password list file: each password's bytes unchanged, then CR LF; nothing
// else. Lines are gathered into blocks of about 1 MiB so that a run of millions of
// passwords costs a few hundred system writes, not one per password; since the file is
// held exclusively while open, nobody can see the difference.
class CPasswordListFile {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  // Bytes after a block that a maker of lines in place may scribble on: wide stores may
  // run past the last line made. They never reach the file.
  static constexpr std::size_t kRoomSlack = 64;

  CPasswordListFile() = default;
  // Closes the file if still open, keeping what was written, and wipes the block.
  ~CPasswordListFile();
  CPasswordListFile(const CPasswordListFile&) = delete;
  CPasswordListFile& operator=(const CPasswordListFile&) = delete;

  // Creates the file, replacing any file of that name by an empty one. False when it
  // cannot be created; an existing file then stays untouched, also when the block's
  // memory cannot be had (std::bad_alloc comes out before the file is touched).
  bool Create(const std::filesystem::path& path);
  // Adds the n bytes and CR LF as one line. False when a write to the system failed,
  // now or earlier in this file; the line may then be missing or cut.
  bool WriteLine(const char* bytes, std::size_t n);
  // Writes what is gathered and closes. False when any write or the close failed; the
  // file keeps what was written.
  bool Close();

 private:
  bool Flush();

  COsFile file_;
  CWipedBuffer block_;
  std::size_t used_ = 0;
  bool failed_ = false;
};

// The symbols of a charset file: the bytes before the first zero byte among its first
// 1,000 bytes, unchanged (CR, LF and bytes 128 to 255 included). Empty optional when
// the file cannot be opened or is not a plain file (a folder, a FIFO or pipe, a device):
// such a file is refused without reading from it. Bytes after the 1,000th are ignored.
std::optional<std::string> ReadCharsetFile(const std::filesystem::path& path);
