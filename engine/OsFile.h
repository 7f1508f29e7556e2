// The engine's only contact with the file system: one file handle, and a file that takes
// its target's place only once it is complete. One file per platform (OsFileWin32.cpp,
// OsFilePosix.cpp), chosen by CMake; OsFile.cpp holds what the two share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/types.h>
#endif

// Owns one open file; closes it on destruction. Move-only.
class COsFile {
 public:
  COsFile() = default;
  ~COsFile();
  COsFile(COsFile&& other) noexcept;
  COsFile& operator=(COsFile&& other) noexcept;
  COsFile(const COsFile&) = delete;
  COsFile& operator=(const COsFile&) = delete;

  // Creates `path` for writing, replacing any file of that name by an empty one. On
  // Windows nobody else may open it while it is open here (share mode 0). False when
  // it cannot be created; an existing file is then left untouched. A plain create, kept
  // for measuring the raw write rate: the password files go through CAtomicFile.
  bool CreateAlways(const std::filesystem::path& path);
  // Opens an existing plain file for reading, without waiting (a FIFO is not waited on).
  // On Windows others may read it meanwhile but not write it. False when it cannot be
  // opened or is not a plain file (a folder, FIFO, pipe or device).
  bool OpenForRead(const std::filesystem::path& path);
  // Holds a duplicate of the process's standard output (whatever it is: terminal, pipe,
  // file), so that closing this leaves the process's own standard output open. False when
  // there is none. A write through it that fails because the reader has gone is recorded
  // for StandardOutputReaderGone.
  bool OpenStandardOutput();

  bool IsOpen() const;
  // Writes all n bytes; false on the first failure (some may have been written).
  bool Write(const void* data, std::size_t n);
  // One read of at most n bytes; returns the bytes read (0 on failure or at the end).
  std::size_t Read(void* data, std::size_t n);
  // The file's size in bytes; false when it cannot be taken.
  bool Size(std::uint64_t* size) const;
  // Closes the file; false when the system reports a failure. Closing a closed file
  // does nothing and succeeds.
  bool Close();

 private:
  friend class CAtomicFile;

#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));  // INVALID_HANDLE_VALUE
#else
  int fd_ = -1;
#endif
  bool standardOutput_ = false;  // opened by OpenStandardOutput
};

// True when `error` (GetLastError() on Windows, errno elsewhere) of a failed write says
// that the write went to a pipe whose reader has gone: ERROR_NO_DATA, ERROR_BROKEN_PIPE or
// ERROR_PIPE_NOT_CONNECTED on Windows, EPIPE elsewhere.
bool IsReaderGoneError(unsigned long error);
// True once a write to the process's standard output (COsFile::OpenStandardOutput) has
// failed because its reader has gone (`| head -1`): the output is no longer wanted, which
// is no failure of the run. Any thread.
bool StandardOutputReaderGone();
// For the file layers only: records a failed write to standard output with its error.
void NoteStandardOutputFailure(unsigned long error);

// A file written whole before it takes its target's place, so that the target holds
// either its old bytes or all of the new ones, never a part: the bytes go to a new file
// beside the target, created exclusively under a name of its own (".keymoor-<random>.tmp",
// hidden on Windows), which Commit puts in the target's place. An existing target keeps
// its attributes and permissions. A target that exists and is not a regular file (a
// device, a FIFO or pipe) is written directly instead and never replaced by a file.
// Not copyable; not movable (the temporary file's name is held here).
class CAtomicFile {
 public:
  CAtomicFile() = default;
  // Abandons a file that was not committed.
  ~CAtomicFile();
  CAtomicFile(const CAtomicFile&) = delete;
  CAtomicFile& operator=(const CAtomicFile&) = delete;

  // Gets ready to write `target`, abandoning any file still open here. False, with nothing
  // changed on disk, when the target is a folder, cannot be written (read-only, denied,
  // held open by another program without sharing), is in a missing folder, or when no
  // temporary file can be created beside it.
  bool Create(const std::filesystem::path& target);
  // Gets ready to write the process's standard output directly, as it stands (nothing is
  // replaced; Commit only closes the duplicate). False when there is none.
  bool CreateForStandardOutput();
  bool IsOpen() const { return file_.IsOpen(); }
  // Writes all n bytes; false on the first failure. REQUIRES: IsOpen().
  bool Write(const void* data, std::size_t n) { return file_.Write(data, n); }
  // Closes the file and puts it in place of the target. An existing file is replaced only
  // after the new bytes are on the disk, so that not even a power cut can leave a part; a
  // new name has nothing to lose and is not flushed. True only when the target now holds
  // exactly the bytes written; false otherwise, and then the temporary file is gone and
  // the target is as it was (or still absent). Does nothing and fails when not open.
  bool Commit();
  // Closes the file and deletes the temporary file; the target stays as it was. Does
  // nothing when not open.
  void Abandon();

 private:
  // A name for the temporary file in `folder`, new on each call.
  static std::filesystem::path TemporaryName(const std::filesystem::path& folder);

  COsFile file_;
  std::filesystem::path target_;     // where the file goes (natively with symbolic links followed)
  std::filesystem::path temporary_;  // empty when the target is written directly
  bool replacing_ = false;           // the target exists: flush first, keep what it has
#ifndef _WIN32
  mode_t mode_ = 0;  // the replaced file's permission bits and owner
  uid_t owner_ = 0;
  gid_t group_ = 0;
#endif
};
