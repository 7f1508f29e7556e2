// Windows file layer: CreateFileW (any path, whatever the ANSI code page) with the share modes the two file formats
// call for.
#include <windows.h>

#include "engine/OsFile.h"

#include <algorithm>
#include <utility>

COsFile::~COsFile() { Close(); }

COsFile::COsFile(COsFile&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}

COsFile& COsFile::operator=(COsFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
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

bool COsFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

bool COsFile::Write(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    // WriteFile takes a 32-bit count; larger writes go in pieces.
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle_, p, chunk, &written, nullptr) || written == 0) return false;
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
  return ok;
}
