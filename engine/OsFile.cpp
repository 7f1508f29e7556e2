// The part of the file layer that both platforms share: names for temporary files.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "engine/OsFile.h"
#include "engine/SystemRandom.h"

std::filesystem::path CAtomicFile::TemporaryName(const std::filesystem::path& folder) {
  // The name need only be new: it is created exclusively, and another is tried if it
  // exists. Should the system's source fail, the clock and a count still make one.
  static std::atomic<std::uint64_t> calls{0};
  std::uint64_t bits = 0;
  if (!SystemRandomBytes(&bits, sizeof bits))
    bits = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (++calls * 0x9E3779B97F4A7C15u);
  char name[40];
  std::snprintf(name, sizeof name, ".keymoor-%016llx.tmp", static_cast<unsigned long long>(bits));
  return folder / name;
}

namespace {
std::atomic<bool> readerGone{false};
}  // namespace

bool StandardOutputReaderGone() { return readerGone.load(); }

void NoteStandardOutputFailure(unsigned long error) {
  if (IsReaderGoneError(error)) readerGone.store(true);
}

bool CAtomicFile::CreateForStandardOutput() {
  Abandon();
  target_.clear();
  replacing_ = false;
  return file_.OpenStandardOutput();
}
