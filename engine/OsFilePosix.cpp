// POSIX file layer. There are no share modes here, so the exclusive hold of a file being
// written and the read-only sharing of a charset file have no counterpart. Paths are bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "engine/OsFile.h"

COsFile::~COsFile() { Close(); }

COsFile::COsFile(COsFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), standardOutput_(std::exchange(other.standardOutput_, false)) {}

COsFile& COsFile::operator=(COsFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    standardOutput_ = std::exchange(other.standardOutput_, false);
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

bool COsFile::OpenStandardOutput() {
  Close();
  fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  standardOutput_ = IsOpen();
  return IsOpen();
}

bool IsReaderGoneError(unsigned long error) { return error == EPIPE; }

bool COsFile::IsOpen() const { return fd_ >= 0; }

bool COsFile::Write(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t written = ::write(fd_, p, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written < 0 && standardOutput_) NoteStandardOutputFailure(static_cast<unsigned long>(errno));
      return false;
    }
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
  standardOutput_ = false;
  return ok;
}

namespace {

// Gives `from` the new name `to`, failing if `to` exists meanwhile. A file system without
// the flag gets a plain rename.
bool RenameToNewName(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  return (errno == EINVAL || errno == ENOSYS) && ::rename(from, to) == 0;
}

}  // namespace

CAtomicFile::~CAtomicFile() { Abandon(); }

bool CAtomicFile::Create(const std::filesystem::path& target) {
  Abandon();
  target_ = target;
  replacing_ = false;
  if (target.empty()) return false;
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) {
    // A new name. Anything else that hides the target (a denied folder, a loop of links, a
    // link that leads nowhere) is refused: a link would be replaced by a file.
    struct stat link;
    if (errno != ENOENT || ::lstat(target.c_str(), &link) == 0) return false;
  } else if (S_ISDIR(st.st_mode)) {
    return false;
  } else if (!S_ISREG(st.st_mode)) {
    // A device, FIFO or socket is written directly. Without O_NONBLOCK, the open of a FIFO
    // would wait for a reader, possibly forever: one that nobody reads is refused (ENXIO).
    file_.fd_ = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (IsOpen() && (::fstat(file_.fd_, &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) ||
                     ::fcntl(file_.fd_, F_SETFL, ::fcntl(file_.fd_, F_GETFL) & ~O_NONBLOCK) != 0))
      file_.Close();
    return IsOpen();
  } else {
    // A file that nobody may write is refused even to root, as Windows refuses a read-only
    // file to an administrator.
    if ((st.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
    // Through a symbolic link, the file it leads to is replaced and the link stays.
    std::error_code error;
    target_ = std::filesystem::canonical(target, error);
    if (error) return false;
    replacing_ = true;
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path name = TemporaryName(target_.parent_path());
    file_.fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (IsOpen()) {
      temporary_ = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool CAtomicFile::Commit() {
  if (!IsOpen()) return false;
  if (temporary_.empty()) return file_.Close();
  bool ok = true;
  if (replacing_) {
    // The owner goes first, as changing it clears the set-ID bits. Only root (or the owner,
    // for the group) may give it; anyone else's file becomes theirs, as any new file would.
    const int ignored = ::fchown(file_.fd_, owner_, group_);
    static_cast<void>(ignored);
    ok = ::fchmod(file_.fd_, mode_) == 0 && ::fsync(file_.fd_) == 0;
  }
  ok = file_.Close() && ok;
  if (ok)
    ok = replacing_ ? ::rename(temporary_.c_str(), target_.c_str()) == 0
                    : RenameToNewName(temporary_.c_str(), target_.c_str());
  if (!ok) ::unlink(temporary_.c_str());
  temporary_.clear();
  return ok;
}

void CAtomicFile::Abandon() {
  file_.Close();
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}
