// Password list files and charset files.
#include "engine/PasswordFiles.h"

#include <algorithm>
#include <cstring>

CPasswordListFile::~CPasswordListFile() { file_.Abandon(); }

bool CPasswordListFile::Create(const std::filesystem::path& path) {
  file_.Abandon();
  failed_ = false;
  used_ = 0;
  if (!block_.Data()) block_ = CWipedBuffer(kBlockSize);
  return file_.Create(path);
}

bool CPasswordListFile::CreateForStandardOutput() {
  file_.Abandon();
  failed_ = false;
  used_ = 0;
  if (!block_.Data()) block_ = CWipedBuffer(kBlockSize);
  return file_.CreateForStandardOutput();
}

bool CPasswordListFile::Flush() {
  if (used_ > 0 && !failed_) failed_ = !file_.Write(block_.Data(), used_);
  used_ = 0;
  return !failed_;
}

bool CPasswordListFile::WriteLine(const char* bytes, std::size_t n) {
  if (failed_ || !file_.IsOpen()) return false;
  if (n + 2 > kBlockSize - used_ && !Flush()) return false;
  if (n + 2 > kBlockSize) {
    // Longer than a block (only Save to file can hand such a line): the password and
    // its line end go out back to back, still without splitting the password.
    failed_ = !file_.Write(bytes, n) || (lf_ ? !file_.Write("\n", 1) : !file_.Write("\r\n", 2));
    return !failed_;
  }
  std::memcpy(block_.Data() + used_, bytes, n);
  if (lf_) {
    block_.Data()[used_ + n] = '\n';
    used_ += n + 1;
    return true;
  }
  block_.Data()[used_ + n] = '\r';
  block_.Data()[used_ + n + 1] = '\n';
  used_ += n + 2;
  return true;
}

bool CPasswordListFile::Close() {
  if (!file_.IsOpen()) return !failed_;
  if (Flush()) {
    failed_ = !file_.Commit();
  } else {
    file_.Abandon();
  }
  return !failed_;
}

std::optional<std::string> ReadCharsetFile(const std::filesystem::path& path) {
  constexpr std::size_t kMaxSymbols = 1000;
  COsFile file;
  if (!file.OpenForRead(path)) return std::nullopt;
  std::uint64_t size = 0;
  if (!file.Size(&size)) size = 0;
  const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxSymbols));
  char buffer[kMaxSymbols + 1];
  const std::size_t got = k > 0 ? std::min(file.Read(buffer, k), k) : 0;
  buffer[got] = '\0';
  file.Close();
  return std::string(buffer, std::strlen(buffer));
}
