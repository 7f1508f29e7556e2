// Throughput of Generate to file, against the machine's write limit measured in the same
// run: the time to write the same number of bytes from a prepared buffer in blocks of the
// size the password list file uses.
//
//   keymoor_bench [--count N] [--file PATH] [--seed S] [--repeat R] [--path sse2|sse41|avx2|avx512]
//                 [--case NAME]... [--verbose]
//
// Runs the cases one after another (100,000,000 passwords each, or any count N up to and
// beyond 2^31, except 100 of length 1,000,000; the last two draw from the system's secure
// source; the last three put a character of every ticked set into each password). Page-cache writes are noisy
// (reclaim, other processes; under Wine some runs take three times as long), so each case
// and its write limit are measured R times (default 3), alternately, with the file removed
// before each; the best time of each counts, and the median of the case's times is shown
// beside it. The write limit of a case is its byte count at the best write rate
// seen in the whole run (never more than its own best time), so that one case whose
// every write run was slow does not flatter its ratio. The file is written beside the
// program unless --file says otherwise, and removed at the end. --path limits the vector
// instructions used (the processor may allow fewer); --case runs only the cases named
// (each may be given again); --verbose shows every run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FastFill.h"
#include "engine/OsFile.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "engine/Wipe.h"

namespace {

// The count goes to Generate beside the settings, whose count field cannot hold all.
struct Case {
  const char* name;
  CGenerationSettings settings;
  std::int64_t count;
  bool secure = false;    // drawn from the system's secure source instead of the 15-bit generator
  bool everySet = false;  // each password holds a character of every ticked set
};

CGenerationSettings Headline() {
  CGenerationSettings s;
  s.mode = GenerationMode::Random;
  s.length = 8;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  return s;
}

std::vector<Case> Cases(std::int64_t count) {
  std::vector<Case> cases;
  cases.push_back({"random8-default-sets", Headline(), count});
  CGenerationSettings s = Headline();
  s.useSpecial = s.useInclude = s.useExclude = 1;
  s.includeText = "\xE4\xF6\xFC\xDF \xA7";
  s.excludeText = "O0Il1|`'\"";
  cases.push_back({"random8-all-sets-incl-excl", s, count});
  s = Headline();
  s.length = 16;
  s.variableLength = 1;
  cases.push_back({"random-variable-upto16", s, count});
  s = Headline();
  s.mode = GenerationMode::Masked;
  s.mask = "????-????-????";
  s.symbolMask = "?";
  cases.push_back({"masked-????-????-????", s, count});
  s = Headline();
  s.length = 1000000;
  cases.push_back({"random-length-1000000", s, std::min<std::int64_t>(count, 100)});
  // The same settings with every random decision from the system's secure source.
  cases.push_back({"secure-random8-default-sets", Headline(), count, true});
  s = Headline();
  s.length = 16;
  s.variableLength = 1;
  cases.push_back({"secure-variable-upto16", s, count, true});
  // Every ticked set in each password: the headline, all four sets, and the headline from
  // the secure source.
  cases.push_back({"every-random8-default-sets", Headline(), count, false, true});
  s = Headline();
  s.useSpecial = 1;
  cases.push_back({"every-random8-all-sets", s, count, false, true});
  cases.push_back({"every-secure-random8-default-sets", Headline(), count, true, true});
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

// Writes `bytes` bytes from a prepared buffer in blocks of the password file's size. The
// buffer is aligned as the run's blocks are: where a plain allocation happens to start
// changes the time of the same writes by up to a quarter.
double WriteLimit(const std::string& path, std::uint64_t bytes) {
  const AlignedBytes buffer = AllocateAligned(CPasswordListFile::kBlockSize);
  std::memset(buffer.get(), 'x', CPasswordListFile::kBlockSize);
  const std::string_view block(buffer.get(), CPasswordListFile::kBlockSize);
  std::remove(path.c_str());
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

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t count = 100000000;
  // By default the file goes beside the program, in the build folder.
  std::string path = argv[0];
  path = path.substr(0, path.find_last_of("/\\") + 1) + "keymoor-bench.txt";
  std::uint32_t seed = 12345;
  int repeat = 3;
  bool verbose = false;
  std::vector<std::string> only;  // the cases to run; empty: all
  const auto usage = [&] {
    std::fprintf(stderr,
                 "usage: %s [--count N] [--file PATH] [--seed S] [--repeat R] [--path sse2|sse41|avx2|avx512] "
                 "[--case NAME]... [--verbose]\n",
                 argv[0]);
    return 2;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--count" && hasValue) {
      char* end = nullptr;
      count = std::strtoll(argv[++i], &end, 10);
      if (*end != '\0' || count < 1) {
        std::fprintf(stderr, "--count takes a whole number from 1 up\n");
        return 2;
      }
    } else if (arg == "--file" && hasValue) {
      path = argv[++i];
    } else if (arg == "--seed" && hasValue) {
      seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--repeat" && hasValue) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--verbose") {
      verbose = true;  // every run's times, not just the best
    } else if (arg == "--all") {
      // Every case always runs; accepted for older command lines.
    } else if (arg == "--path" && hasValue) {
      FillPath limit;
      if (!FillPathNamed(argv[++i], limit)) return usage();
      LimitFillPath(limit);
    } else if (arg == "--case" && hasValue) {
      only.push_back(argv[++i]);
    } else {
      return usage();
    }
  }

  // The file is removed before every run: never let that be a device or anything else
  // that is not a plain file of ours.
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    std::fprintf(stderr, "%s exists and is not a plain file; give another --file\n", path.c_str());
    return 2;
  }

  struct Result {
    const char* name;
    std::int64_t count;
    std::uint64_t bytes;
    double generate, median, written;
  };
  std::vector<Result> results;
  int failures = 0;
  std::vector<Case> cases = Cases(count);
  if (!only.empty()) {
    for (const std::string& name : only)
      if (std::none_of(cases.begin(), cases.end(), [&](const Case& c) { return name == c.name; })) {
        std::fprintf(stderr, "no case is named %s\n", name.c_str());
        return 2;
      }
    cases.erase(
        std::remove_if(cases.begin(), cases.end(),
                       [&](const Case& c) { return std::find(only.begin(), only.end(), c.name) == only.end(); }),
        cases.end());
  }
  for (const Case& c : cases) {
    std::vector<double> times;
    double limit = 1e30;
    std::uint64_t bytes = 0;
    GenerateResult result = GenerateResult::Completed;
    for (int run = 0; run < repeat && result == GenerateResult::Completed; ++run) {
      std::remove(path.c_str());
      CRandomSource random;
      random.Seed(seed);
      const auto start = std::chrono::steady_clock::now();
      RunOptions options;
      options.secure = c.secure;
      options.random = &random;
      options.count = c.count;
      options.everySet = c.everySet;
      result = CPasswordGenerator::Run(c.settings, PasswordSink::File(path), options);
      const double made = Seconds(start);
      bytes = FileSize(path);
      const double written = WriteLimit(path, bytes);
      if (written < 0) result = GenerateResult::WriteFailed;
      if (verbose) std::printf("  %s run %d: generate %.3f s, write limit %.3f s\n", c.name, run + 1, made, written);
      times.push_back(made);
      limit = std::min(limit, written);
    }
    std::remove(path.c_str());
    if (result != GenerateResult::Completed) {
      std::printf("%-34s failed (result %d)\n", c.name, static_cast<int>(result));
      ++failures;
      continue;
    }
    results.push_back({c.name, c.count, bytes, *std::min_element(times.begin(), times.end()), Median(times), limit});
  }

  double rate = 0;  // the best write rate of the run, bytes per second
  for (const Result& r : results) rate = std::max(rate, r.bytes / r.written);
  std::printf("vector path %s; best and median of %d runs each; best write rate %.2f GB/s\n",
              FillPathName(ActiveFillPath()), repeat, rate / 1e9);
  std::printf("%-34s %11s %13s %9s %9s %13s %9s %6s %6s\n", "case", "passwords", "bytes", "best s", "median s",
              "passwords/s", "limit s", "ratio", "median");
  for (const Result& r : results) {
    const double limit = std::min(r.written, r.bytes / rate);
    std::printf("%-34s %11lld %13llu %9.3f %9.3f %13.0f %9.3f %6.2f %6.2f\n", r.name, static_cast<long long>(r.count),
                static_cast<unsigned long long>(r.bytes), r.generate, r.median, r.count / r.generate, limit,
                r.generate / limit, r.median / limit);
  }
  return failures == 0 ? 0 : 1;
}
