// The two file formats: password list files (written) and charset files (read).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/OsFile.h"
#include "engine/Wipe.h"

// Writes a password list file: each password's bytes unchanged, then CR LF (or LF alone,
// when asked); nothing else. Lines are gathered into blocks of about 1 MiB so that a run of millions of
// passwords costs a few hundred system writes, not one per password. The lines go to a
// temporary file beside the target, which takes the target's place only when Close has
// written every byte (CAtomicFile): until then the target keeps its old bytes, and a run
// that fails or is cancelled leaves it as it was.
class CPasswordListFile {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  // Bytes after a block that a maker of lines in place may scribble on: wide stores may
  // run past the last line made. They never reach the file.
  static constexpr std::size_t kRoomSlack = 64;

  CPasswordListFile() = default;
  // A file not closed successfully is abandoned: its temporary file is deleted and the
  // target stays as it was. Wipes the block.
  ~CPasswordListFile();
  CPasswordListFile(const CPasswordListFile&) = delete;
  CPasswordListFile& operator=(const CPasswordListFile&) = delete;

  // Gets ready to write the file at `path`, abandoning a file still open here. False when
  // it cannot be written (see CAtomicFile::Create: a folder, a read-only file or one held
  // by another program, a missing folder); nothing on disk has changed then, also when
  // the block's memory cannot be had (std::bad_alloc comes out before the file is touched).
  bool Create(const std::filesystem::path& path);
  // The same for the process's standard output, written directly (see
  // CAtomicFile::CreateForStandardOutput).
  bool CreateForStandardOutput();
  // Ends the lines written from here on with LF alone instead of CR LF.
  void UseLf(bool lf) { lf_ = lf; }
  // Adds the n bytes and CR LF as one line. False when a write to the system failed,
  // now or earlier in this file; the line may then be missing or cut.
  bool WriteLine(const char* bytes, std::size_t n);
  // Writes what is gathered and puts the file in place. True only when the target now
  // holds every line; otherwise it is as it was (or still absent). A device or FIFO is
  // written directly and keeps what was written.
  bool Close();

 private:
  bool Flush();

  CAtomicFile file_;
  CWipedBuffer block_;
  std::size_t used_ = 0;
  bool failed_ = false;
  bool lf_ = false;
};

// The symbols of a charset file: the bytes before the first zero byte among its first
// 1,000 bytes, unchanged (CR, LF and bytes 128 to 255 included). Empty optional when
// the file cannot be opened or is not a plain file (a folder, a FIFO or pipe, a device):
// such a file is refused without reading from it. Bytes after the 1,000th are ignored.
std::optional<std::string> ReadCharsetFile(const std::filesystem::path& path);
