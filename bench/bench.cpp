// Throughput of Generate to file, against the machine's write limit measured in the same
// run: the time to write the same number of bytes from a prepared buffer in blocks of the
// size the password list file uses.
//
//   keymoor_bench [--count N] [--file PATH] [--seed S] [--all]
//
// Without --all only the headline case runs: Random, length 8, capitals, small letters
// and digits, 100,000,000 passwords.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/OsFile.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"

namespace {

struct Case {
  const char* name;
  CGenerationSettings settings;
};

CGenerationSettings Headline(std::int32_t count) {
  CGenerationSettings s;
  s.mode = GenerationMode::Random;
  s.length = 8;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  s.count = count;
  return s;
}

std::vector<Case> Cases(std::int32_t count, bool all) {
  std::vector<Case> cases;
  cases.push_back({"random8-default-sets", Headline(count)});
  if (!all) return cases;
  CGenerationSettings s = Headline(count);
  s.useSpecial = s.useInclude = s.useExclude = 1;
  s.includeText = "\xE4\xF6\xFC\xDF \xA7";
  s.excludeText = "O0Il1|`'\"";
  cases.push_back({"random8-all-sets-incl-excl", s});
  s = Headline(count);
  s.length = 16;
  s.variableLength = 1;
  cases.push_back({"random-variable-upto16", s});
  s = Headline(count);
  s.mode = GenerationMode::Masked;
  s.mask = "????-????-????";
  s.symbolMask = "?";
  cases.push_back({"masked-????-????-????", s});
  s = Headline(count < 100 ? count : 100);
  s.length = 1000000;
  cases.push_back({"random-length-1000000", s});
  return cases;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::uint64_t FileSize(const std::string& path) {
  COsFile file;
  std::uint64_t size = 0;
  if (!file.OpenForRead(path) || !file.Size(&size)) return 0;
  return size;
}

// Writes `bytes` bytes from a prepared buffer in blocks of the password file's size.
double WriteLimit(const std::string& path, std::uint64_t bytes) {
  std::vector<char> block(CPasswordListFile::kBlockSize, 'x');
  const auto start = std::chrono::steady_clock::now();
  COsFile file;
  if (!file.CreateAlways(path)) return -1;
  for (std::uint64_t left = bytes; left > 0;) {
    const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
    if (!file.Write(block.data(), n)) return -1;
    left -= n;
  }
  if (!file.Close()) return -1;
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  std::int32_t count = 100000000;
  std::string path = "keymoor-bench.txt";
  std::uint32_t seed = 12345;
  bool all = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--count") && i + 1 < argc) {
      count = static_cast<std::int32_t>(std::atol(argv[++i]));
    } else if (!std::strcmp(argv[i], "--file") && i + 1 < argc) {
      path = argv[++i];
    } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
      seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (!std::strcmp(argv[i], "--all")) {
      all = true;
    } else {
      std::fprintf(stderr, "usage: %s [--count N] [--file PATH] [--seed S] [--all]\n", argv[0]);
      return 2;
    }
  }

  std::printf("%-28s %12s %10s %14s %10s %8s\n", "case", "passwords", "seconds", "passwords/s", "limit s", "ratio");
  int failures = 0;
  for (const Case& c : Cases(count, all)) {
    CRandomSource random;
    random.Seed(seed);
    const auto start = std::chrono::steady_clock::now();
    const GenerateResult result = CPasswordGenerator::Generate(c.settings, PasswordSink::File(path), random);
    const double generate = Seconds(start);
    const std::uint64_t bytes = FileSize(path);
    const double limit = WriteLimit(path, bytes);
    std::remove(path.c_str());
    if (result != GenerateResult::Completed || limit < 0) {
      std::printf("%-28s failed (result %d)\n", c.name, static_cast<int>(result));
      ++failures;
      continue;
    }
    std::printf("%-28s %12d %10.3f %14.0f %10.3f %8.2f\n", c.name, c.settings.count, generate,
                c.settings.count / generate, limit, generate / limit);
  }
  return failures == 0 ? 0 : 1;
}
