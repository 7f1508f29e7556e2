// Password list files written line by line, with lines around the block size and lines
// that end just before, at or after a block's end, held against the plain model: every
// line's bytes, then CR LF.
#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/PasswordFiles.h"
#include "fuzz/Model.h"

namespace {

constexpr std::size_t kBlock = CPasswordListFile::kBlockSize;

// A length near one of the sizes where the block's bookkeeping changes; `written` is the
// file's size so far.
std::size_t Length(Reader& in, std::size_t written) {
  const std::uint8_t kind = in.Byte();
  const auto near = [&](std::size_t at) { return at + static_cast<std::size_t>(in.Byte() % 33) - 16; };
  switch (kind % 8) {
    case 0:
      return near(kBlock);  // a whole block, a line end short of one or just over
    case 1:
      return near(kBlock / 2);
    case 2:  // the rest of the block that the lines so far have begun
      return near(kBlock + 16 - written % kBlock) % kBlock;
    default:
      return in.Byte();
  }
}

// n bytes that differ from line to line and include CR, LF and zero now and then.
std::string Bytes(std::size_t n, std::uint8_t salt) {
  static const std::string pattern = [] {
    std::string bytes(kBlock + 512, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
  }();
  return pattern.substr(salt, n);
}

}  // namespace

// Input: a byte that picks a disk that is full (1) or a file, then operations of one
// byte each (a line with its length, a close, a new file). Each file's bytes are checked
// when it is closed.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const bool fullDisk = in.Byte() == 1;
  if (fullDisk && !std::filesystem::exists("/dev/full")) return 0;
  const std::string path = fullDisk ? "/dev/full" : Scratch::Get().File("list.txt");
  // Each file goes to a new name: replacing one waits for the disk (it is flushed before it
  // takes the old one's place), which would slow the fuzzing a hundredfold. The unit tests
  // cover the replacing.
  CPasswordListFile file;
  const auto create = [&] {
    if (!fullDisk) std::filesystem::remove(path);
    return file.Create(path);
  };
  Expect(create(), "the file could not be created");
  bool open = true;
  bool failed = false;  // a full disk has refused a line
  std::string expected;
  std::size_t total = 0;

  const auto close = [&] {
    const bool closed = file.Close();
    if (fullDisk) {
      Expect(closed == (expected.empty() && !failed), "closing on a full disk gave the wrong result");
    } else {
      Expect(closed, "closing failed");
      if (open) Expect(Scratch::Read(path) == expected, "the file differs from its lines");
    }
    open = false;
  };

  for (int op = 0; op < 64 && !in.AtEnd() && total < 8 * kBlock; ++op) {
    const std::uint8_t what = in.Byte();
    switch (what % 4) {
      case 0:
      case 1: {
        const std::string line = Bytes(Length(in, expected.size()), what);
        const bool ok = file.WriteLine(line.data(), line.size());
        total += line.size();
        if (!open || fullDisk) {
          Expect(!ok || (open && !failed), "a line was taken by a closed or failed file");
          failed = failed || (open && !ok);
        } else {
          Expect(ok, "a line was refused");
        }
        if (ok) expected += line + "\r\n";
        break;
      }
      case 2:
        close();
        break;
      default:
        if (!fullDisk) {
          close();
          Expect(create(), "the file could not be created again");
          open = true;
          expected.clear();
        }
        break;
    }
  }
  close();
  return 0;
}
