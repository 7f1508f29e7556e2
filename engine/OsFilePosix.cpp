// POSIX file layer. There are no share modes here, so the exclusive hold of a file being
// written and the read-only sharing of a charset file have no counterpart.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "engine/OsFile.h"

COsFile::~COsFile() { Close(); }

COsFile::COsFile(COsFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

COsFile& COsFile::operator=(COsFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool COsFile::CreateAlways(const std::filesystem::path& path) {
  Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return IsOpen();
}

bool COsFile::OpenForRead(const std::filesystem::path& path) {
  Close();
  // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly forever. Only plain
  // files are read: a folder, FIFO, socket or device is refused before any read.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (IsOpen() && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) Close();
  // Reads of a plain file never wait anyway; clear the flag so they behave as usual.
  if (IsOpen() && ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) Close();
  return IsOpen();
}

bool COsFile::IsOpen() const { return fd_ >= 0; }

bool COsFile::Write(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t written = ::write(fd_, p, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    p += written;
    n -= static_cast<std::size_t>(written);
  }
  return true;
}

std::size_t COsFile::Read(void* data, std::size_t n) {
  ssize_t got;
  do {
    got = ::read(fd_, data, n);
  } while (got < 0 && errno == EINTR);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool COsFile::Size(std::uint64_t* size) const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return false;
  *size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool COsFile::Close() {
  if (!IsOpen()) return true;
  const bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok;
}
