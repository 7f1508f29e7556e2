// Windows file layer: CreateFileW (any path, whatever the ANSI code page) with the share modes the two file formats
// call for, and ReplaceFileW / MoveFileExW to put a finished file in place.
#include <windows.h>

#include "engine/OsFile.h"

#include <algorithm>
#include <utility>

COsFile::~COsFile() { Close(); }

COsFile::COsFile(COsFile&& other) noexcept
    : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)),
      standardOutput_(std::exchange(other.standardOutput_, false)) {}

COsFile& COsFile::operator=(COsFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    standardOutput_ = std::exchange(other.standardOutput_, false);
  }
  return *this;
}

bool COsFile::CreateAlways(const std::filesystem::path& path) {
  Close();
  // A name that is new is created as new. Replacing goes through CREATE_ALWAYS, as does any
  // other failure here, so the outcome and its error are those of CREATE_ALWAYS. Observed
  // under Wine on ext4: CREATE_ALWAYS truncates even a file it has just created, and ext4
  // then starts writing the whole file back when it is closed (0.25 s a GB, paid by every
  // Generate to file); a file made with CREATE_NEW closes at once.
  handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsOpen())
    handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

bool COsFile::OpenForRead(const std::filesystem::path& path) {
  Close();
  handle_ =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  // Only plain files are read: a pipe name or a device (NUL, COM1) opens here too, and a
  // read from it may wait forever. Refused by type, before any read.
  BY_HANDLE_FILE_INFORMATION info;
  if (IsOpen() && (GetFileType(handle_) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle_, &info) ||
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
    Close();
  return IsOpen();
}

bool COsFile::OpenStandardOutput() {
  Close();
  HANDLE self = GetCurrentProcess();
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return false;
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(self, output, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return false;
  handle_ = copy;
  standardOutput_ = true;
  return true;
}

// Windows says ERROR_NO_DATA (the pipe is being closed) or ERROR_BROKEN_PIPE. Observed under
// Wine, whose standard output is a Linux pipe when started from a shell: the write fails
// with ERROR_PIPE_NOT_CONNECTED once the reader has gone.
bool IsReaderGoneError(unsigned long error) {
  return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
}

bool COsFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

bool COsFile::Write(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    // WriteFile takes a 32-bit count; larger writes go in pieces.
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle_, p, chunk, &written, nullptr)) {
      if (standardOutput_) NoteStandardOutputFailure(GetLastError());
      return false;
    }
    if (written == 0) return false;
    p += written;
    n -= written;
  }
  return true;
}

std::size_t COsFile::Read(void* data, std::size_t n) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  if (!ReadFile(handle_, data, want, &got, nullptr)) return 0;
  return got;
}

bool COsFile::Size(std::uint64_t* size) const {
  DWORD high = 0;
  const DWORD low = GetFileSize(handle_, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  *size = (static_cast<std::uint64_t>(high) << 32) | low;
  return true;
}

bool COsFile::Close() {
  if (!IsOpen()) return true;
  const bool ok = CloseHandle(handle_) != 0;
  handle_ = INVALID_HANDLE_VALUE;
  standardOutput_ = false;
  return ok;
}

CAtomicFile::~CAtomicFile() { Abandon(); }

bool CAtomicFile::Create(const std::filesystem::path& target) {
  Abandon();
  target_ = target;
  replacing_ = false;
  // An existing target is opened for writing without sharing and closed again at once: a
  // file that another program holds, a read-only file or a folder is refused before any
  // password is made, as the direct create refused them.
  COsFile probe;
  probe.handle_ = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!probe.IsOpen()) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  } else if (GetFileType(probe.handle_) != FILE_TYPE_DISK) {
    // A device (NUL, a serial port; Wine's view of a Linux device) or a pipe is written
    // directly, through this handle, and never replaced by a file.
    file_ = std::move(probe);
    return true;
  } else {
    // Observed under Wine run as root: a read-only file opens for writing all the same.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(probe.handle_, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
      return false;
    replacing_ = true;
  }
  probe.Close();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path name = TemporaryName(target.parent_path());
    file_.handle_ = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (IsOpen()) {
      temporary_ = std::move(name);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool CAtomicFile::Commit() {
  if (!IsOpen()) return false;
  if (temporary_.empty()) return file_.Close();
  bool ok = !replacing_ || FlushFileBuffers(file_.handle_) != 0;
  ok = file_.Close() && ok;
  // The file takes the attributes that its name should show: a new name is not hidden; a
  // replaced file keeps its own (whether ReplaceFileW carries them over or not).
  constexpr DWORD kSettable =
      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD from = GetFileAttributesW(replacing_ ? target_.c_str() : temporary_.c_str());
  DWORD attributes = from == INVALID_FILE_ATTRIBUTES ? 0 : from & kSettable;
  if (!replacing_) attributes &= ~FILE_ATTRIBUTE_HIDDEN;
  ok = ok && SetFileAttributesW(temporary_.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL) != 0;
  if (ok && replacing_) {
    ok = ReplaceFileW(target_.c_str(), temporary_.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr) != 0;
    // Documented for ReplaceFileW without a backup name: the old file is deleted and the new
    // one keeps its own name. With nothing left to keep, it is moved into place, and if
    // even that fails it is left as the only copy of the passwords.
    if (!ok && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
      ok = MoveFileExW(temporary_.c_str(), target_.c_str(), 0) != 0;
      if (!ok) temporary_.clear();
    }
  } else if (ok) {
    // No MOVEFILE_REPLACE_EXISTING: a file that has appeared under the name meanwhile was
    // never checked, and stays.
    ok = MoveFileExW(temporary_.c_str(), target_.c_str(), 0) != 0;
  }
  if (!ok && !temporary_.empty()) DeleteFileW(temporary_.c_str());
  temporary_.clear();
  return ok;
}

void CAtomicFile::Abandon() {
  file_.Close();
  if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
  temporary_.clear();
}
