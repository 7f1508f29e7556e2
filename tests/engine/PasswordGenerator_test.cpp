// Passwords made from settings and a seed, into a list and into a file.
#include "engine/PasswordGenerator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#else
#include <malloc.h>
#endif

#include "engine/CharacterPool.h"
#include "engine/FastFill.h"
#include "engine/PasswordFiles.h"
#include "tests/engine/TempDir.h"

namespace {

struct Rows : PasswordRows {
  std::vector<std::string> ids, passwords;
  void AddRow(int index, std::string_view id, std::string_view password) override {
    EXPECT_EQ(index, static_cast<int>(ids.size()));
    ids.emplace_back(id);
    passwords.emplace_back(password);
  }
};

CGenerationSettings RandomDefaults(int length, int count) {
  CGenerationSettings s;
  s.length = length;
  s.count = count;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  return s;
}

CGenerationSettings Masked(const std::string& mask, const std::string& marker, int count) {
  CGenerationSettings s = RandomDefaults(8, count);
  s.mode = GenerationMode::Masked;
  s.mask = mask;
  s.symbolMask = marker;
  return s;
}

Rows RunList(const CGenerationSettings& s, CRandomSource& random) {
  Rows rows;
  EXPECT_EQ(CPasswordGenerator::Generate(s, PasswordSink::List(rows), random), GenerateResult::Completed);
  return rows;
}

CRandomSource Seeded(std::uint32_t seed) {
  CRandomSource r;
  r.Seed(seed);
  return r;
}

bool OnlyFrom(const std::string& text, const std::string& pool) {
  return text.find_first_not_of(pool) == std::string::npos;
}

}  // namespace

TEST(PasswordGenerator, DrawsInTheFixedOrder) {
  // Seed 0 gives r = 38, 7719, 21238: capitals positions 0, 6, 16.
  CGenerationSettings s;
  s.length = 3;
  s.count = 1;
  s.useCapitals = 1;
  CRandomSource random = Seeded(0);
  EXPECT_EQ(RunList(s, random).passwords, std::vector<std::string>{"AGQ"});

  // Variable length: the length draw comes first. With N = 8 and r = 38, L = 5 + 0.
  s.length = 8;
  s.variableLength = 1;
  random = Seeded(0);
  const Rows rows = RunList(s, random);
  ASSERT_EQ(rows.passwords.size(), 1u);
  CRandomSource check = Seeded(0);
  EXPECT_EQ(check.Pick(4), 0u);
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += static_cast<char>('A' + check.Pick(26));
  EXPECT_EQ(rows.passwords[0], expected);
  EXPECT_EQ(random.State(), check.State());
}

TEST(PasswordGenerator, ListTakesAtMost1000RowsWithDecimalIds) {
  CRandomSource random = Seeded(7);
  const Rows ten = RunList(RandomDefaults(8, 10), random);
  ASSERT_EQ(ten.ids.size(), 10u);
  const std::string pool(CCharacterPool::Build(RandomDefaults(8, 10)).View());
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(ten.ids[i], std::to_string(i));
    EXPECT_EQ(ten.passwords[i].size(), 8u);
    EXPECT_TRUE(OnlyFrom(ten.passwords[i], pool)) << ten.passwords[i];
  }

  const Rows many = RunList(RandomDefaults(8, 5000), random);
  ASSERT_EQ(many.ids.size(), 1000u);
  EXPECT_EQ(many.ids.front(), "0");
  EXPECT_EQ(many.ids.back(), "999");
}

TEST(PasswordGenerator, VariableLengthStaysWithinItsBounds) {
  CGenerationSettings s = RandomDefaults(5, 200);
  s.variableLength = 1;
  CRandomSource random = Seeded(99);
  const std::uint32_t before = random.State();
  for (const std::string& p : RunList(s, random).passwords) EXPECT_EQ(p.size(), 5u);
  CRandomSource noLengthDraws = Seeded(before);
  for (int i = 0; i < 200 * 5; ++i) noLengthDraws.Next();
  EXPECT_EQ(random.State(), noLengthDraws.State());  // N <= 5 draws no length

  s.length = 6;
  bool saw5 = false, saw6 = false;
  for (const std::string& p : RunList(s, random).passwords) {
    EXPECT_TRUE(p.size() == 5 || p.size() == 6) << p.size();
    saw5 |= p.size() == 5;
    saw6 |= p.size() == 6;
  }
  EXPECT_TRUE(saw5 && saw6);

  s.length = 1000000;
  s.count = 3;
  for (const std::string& p : RunList(s, random).passwords) {
    EXPECT_GE(p.size(), 5u);
    EXPECT_LE(p.size(), 1000000u);
  }
}

TEST(PasswordGenerator, MaskedCopiesLiteralsAndDrawsOnlyForTheMarker) {
  CRandomSource random = Seeded(3);
  for (const std::string& p : RunList(Masked("??-??", "?", 50), random).passwords) {
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[2], '-');
    EXPECT_EQ(p.find('?'), std::string::npos);
  }

  // Only the first character of the symbol mask is the marker.
  for (const std::string& p : RunList(Masked("#?#", "#?", 20), random).passwords) {
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1], '?');
    EXPECT_NE(p[0], '#');
  }

  // No marker in the mask, or no marker at all: the mask itself, and no draws.
  const std::uint32_t before = random.State();
  EXPECT_EQ(RunList(Masked("abc", "?", 3), random).passwords, std::vector<std::string>(3, "abc"));
  EXPECT_EQ(RunList(Masked("a?c", "", 2), random).passwords, std::vector<std::string>(2, "a?c"));
  EXPECT_EQ(RunList(Masked("", "?", 2), random).passwords, std::vector<std::string>(2, ""));
  EXPECT_EQ(random.State(), before);
}

TEST(PasswordGenerator, EmptyPoolIsRefusedOnlyWhenACharacterIsNeeded) {
  TempDir dir;
  const std::string path = dir.File("kept.txt");
  TempDir::Write(path, "old contents");
  CGenerationSettings none = RandomDefaults(8, 10);
  none.useCapitals = none.useSmall = none.useDigits = 0;
  CRandomSource random = Seeded(1);
  Rows rows;
  EXPECT_EQ(CPasswordGenerator::Generate(none, PasswordSink::List(rows), random), GenerateResult::EmptyPool);
  EXPECT_EQ(CPasswordGenerator::Generate(none, PasswordSink::File(path), random), GenerateResult::EmptyPool);
  EXPECT_EQ(CPasswordGenerator::Generate(none, PasswordSink::File(dir.File("new.txt")), random),
            GenerateResult::EmptyPool);

  CGenerationSettings excluded = RandomDefaults(8, 10);
  excluded.useCapitals = excluded.useSmall = 0;
  excluded.useExclude = 1;
  excluded.excludeText = "0123456789";
  EXPECT_EQ(CPasswordGenerator::Generate(excluded, PasswordSink::File(path), random), GenerateResult::EmptyPool);

  CGenerationSettings masked = Masked("a?", "?", 2);
  masked.useCapitals = masked.useSmall = masked.useDigits = 0;
  EXPECT_EQ(CPasswordGenerator::Generate(masked, PasswordSink::List(rows), random), GenerateResult::EmptyPool);
  EXPECT_TRUE(rows.ids.empty());
  EXPECT_EQ(TempDir::Read(path), "old contents");
  EXPECT_FALSE(std::filesystem::exists(dir.File("new.txt")));
  EXPECT_EQ(random.State(), 1u);

  // A mask without the marker needs no random character and still runs.
  masked.mask = "ab";
  EXPECT_EQ(RunList(masked, random).passwords, std::vector<std::string>(2, "ab"));
}

TEST(PasswordGenerator, FileGetsEveryPasswordAsALine) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  CRandomSource toFile = Seeded(42), toList = Seeded(42);
  const CGenerationSettings s = RandomDefaults(8, 5000);
  ASSERT_EQ(CPasswordGenerator::Generate(s, PasswordSink::File(path), toFile), GenerateResult::Completed);
  const std::string bytes = TempDir::Read(path);
  ASSERT_EQ(bytes.size(), 5000u * 10);
  // The first 1,000 lines are the list's passwords for the same seed.
  const Rows rows = RunList(s, toList);
  for (std::size_t i = 0; i < rows.passwords.size(); ++i) {
    ASSERT_EQ(bytes.substr(i * 10, 10), rows.passwords[i] + "\r\n") << i;
  }
  for (std::size_t i = 0; i < 5000; ++i) ASSERT_EQ(bytes.substr(i * 10 + 8, 2), "\r\n");

  // Empty mask: every line is just CR LF. Zero count: an empty file replaces the old one.
  ASSERT_EQ(CPasswordGenerator::Generate(Masked("", "?", 3), PasswordSink::File(path), toFile),
            GenerateResult::Completed);
  EXPECT_EQ(TempDir::Read(path), "\r\n\r\n\r\n");
  ASSERT_EQ(CPasswordGenerator::Generate(RandomDefaults(8, 0), PasswordSink::File(path), toFile),
            GenerateResult::Completed);
  EXPECT_EQ(TempDir::Read(path), "");

  // A password of 1,000,000 characters is one line of 1,000,002 bytes.
  ASSERT_EQ(CPasswordGenerator::Generate(RandomDefaults(1000000, 2), PasswordSink::File(path), toFile),
            GenerateResult::Completed);
  const std::string big = TempDir::Read(path);
  ASSERT_EQ(big.size(), 2000004u);
  EXPECT_EQ(big.find('\r'), 1000000u);
  EXPECT_EQ(big.find('\r', 1000002), 2000002u);
}

TEST(PasswordGenerator, WriteFailureStopsTheRun) {
  const std::string full = kFullDevice;
  CRandomSource random = Seeded(8);
  EXPECT_EQ(CPasswordGenerator::Generate(RandomDefaults(8, 1000000), PasswordSink::File(full), random),
            GenerateResult::WriteFailed);
  // It stopped at the first failed block, not after making every password.
  CRandomSource whole = Seeded(8);
  for (int i = 0; i < 8 * 1000000; ++i) whole.Next();
  EXPECT_NE(random.State(), whole.State());
}

TEST(PasswordGenerator, CannotCreateTouchesNothing) {
  TempDir dir;
  CRandomSource random = Seeded(5);
  EXPECT_EQ(
      CPasswordGenerator::Generate(RandomDefaults(8, 3), PasswordSink::File(dir.File("no/such/dir/x.txt")), random),
      GenerateResult::CannotCreate);
  EXPECT_EQ(random.State(), 5u);
}

// A run cancelled from another thread stops within a couple of blocks of the file (or at
// the next row of the list), says Cancelled, and leaves the 15-bit generator after the
// passwords it made, as drawing them one by one would; a secure run leaves it alone. The
// file keeps no more than the blocks made (with the file layer's temporary file, the
// target stays as it was).
TEST(PasswordGenerator, CancelFromAnotherThreadStopsTheRunSoon) {
  struct Case {
    bool secure, list;
    int length;
    std::int64_t count;
  };
  const Case cases[] = {{false, false, 64, 3000000}, {true, false, 64, 3000000}, {false, false, 1000000, 300},
                        {true, false, 1000000, 300}, {false, true, 8, 1000},     {true, true, 8, 1000}};
  TempDir dir;
  const std::string path = dir.File("cancelled.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.secure ? "secure" : "15-bit") + (c.list ? " list" : " file") + ", length " +
                 std::to_string(c.length));
    const std::int64_t perBlock =
        c.list ? 1 : static_cast<std::int64_t>(CPasswordListFile::kBlockSize) / (c.length + 2);
    CGenerationSettings s = RandomDefaults(c.length, 0);
    CRunControl control;
    CRandomSource random = Seeded(77);
    const std::uint32_t global = theRandom.State();
    std::int64_t madeAtCancel = -1;
    GenerateResult result;
    if (c.list) {
      // The rows sink asks another thread to cancel once row 200 is in.
      struct CancellingRows : Rows {
        CRunControl* control = nullptr;
        void AddRow(int index, std::string_view id, std::string_view password) override {
          Rows::AddRow(index, id, password);
          if (index == 200) std::thread([this] { control->Cancel(); }).join();
        }
      } rows;
      rows.control = &control;
      result = CPasswordGenerator::Run(s, PasswordSink::List(rows), {c.secure, &random, c.count, &control});
      madeAtCancel = 201;
      EXPECT_EQ(rows.passwords.size(), 201u);
      if (!c.secure) {
        CRandomSource again = Seeded(77);
        const Rows whole = RunList(RandomDefaults(8, 1000), again);
        EXPECT_TRUE(std::equal(rows.passwords.begin(), rows.passwords.end(), whole.passwords.begin()));
      }
    } else {
      std::atomic<bool> done{false};
      std::thread watcher([&] {
        while (control.Made() == 0 && !done) std::this_thread::yield();
        control.Cancel();
        madeAtCancel = control.Made();
      });
      result = CPasswordGenerator::Run(s, PasswordSink::File(path), {c.secure, &random, c.count, &control});
      done = true;
      watcher.join();
      EXPECT_LE(TempDir::Read(path).size(), static_cast<std::size_t>(control.Made()) * (c.length + 2));
    }
    EXPECT_EQ(result, GenerateResult::Cancelled);
    EXPECT_GT(madeAtCancel, 0);
    EXPECT_LT(control.Made(), c.count);
    EXPECT_LE(control.Made(), madeAtCancel + 2 * perBlock);
    CRandomSource oneByOne = Seeded(77);  // every draw of the passwords made is a character
    for (std::int64_t draw = 0; !c.secure && draw < control.Made() * c.length; ++draw) oneByOne.Next();
    EXPECT_EQ(random.State(), oneByOne.State());
    EXPECT_EQ(theRandom.State(), global);
  }
}

#ifndef _WIN32
namespace {

// Lowers one resource limit of the process for the scope (the soft limit only).
class ScopedLimit {
 public:
  ScopedLimit(int resource, rlim_t limit) : resource_(resource) {
    getrlimit(resource_, &old_);
    rlimit lowered = old_;
    lowered.rlim_cur = limit;
    ok_ = setrlimit(resource_, &lowered) == 0;
  }
  ~ScopedLimit() { setrlimit(resource_, &old_); }
  bool ok() const { return ok_; }

 private:
  int resource_;
  rlimit old_{};
  bool ok_ = false;
};

}  // namespace

// A file size limit makes the system refuse writes past a chosen byte, so the failure
// lands in the first, a middle or the last block, while the maker is blocks ahead. The
// run stops there, the earlier file stays whole, and the random source stands
// after the failed block's lines, as when each block was made only after the one before
// had been written. Every write but the last is a whole block of the file, and the lines
// made for block k are those that start before its end.
TEST(PasswordGenerator, WriteFailureInAnyBlockStopsTheRunThere) {
  constexpr std::uint64_t kBlock = CPasswordListFile::kBlockSize;
  const auto linesThrough = [&](std::uint64_t block) { return ((block + 1) * kBlock + 9) / 10; };  // 10-byte lines
  const CGenerationSettings s = RandomDefaults(8, static_cast<int>(linesThrough(4) - 3));
  TempDir dir;
  const std::string path = dir.File("limited.txt");
  CRandomSource whole = Seeded(21);
  ASSERT_EQ(CPasswordGenerator::Generate(s, PasswordSink::File(path), whole), GenerateResult::Completed);
  const std::string expected = TempDir::Read(path);
  ASSERT_EQ(expected.size(), 10 * static_cast<std::uint64_t>(s.count));

  auto* const previous = std::signal(SIGXFSZ, SIG_IGN);  // the failed write is reported, not signalled
  for (const std::uint64_t limit : {std::uint64_t{100}, 2 * kBlock + 5000, 4 * kBlock - 10, 4 * kBlock + 10}) {
    SCOPED_TRACE(limit);
    const std::uint64_t failedBlock = limit / kBlock;
    CRandomSource random = Seeded(21);
    GenerateResult result;
    {
      ScopedLimit fileSize(RLIMIT_FSIZE, limit);
      ASSERT_TRUE(fileSize.ok());
      result = CPasswordGenerator::Generate(s, PasswordSink::File(path), random);
    }
    EXPECT_EQ(result, GenerateResult::WriteFailed);
    EXPECT_TRUE(TempDir::Read(path) == expected);  // the complete earlier file stays as it was
    const std::uint64_t lines = std::min<std::uint64_t>(linesThrough(failedBlock), s.count);
    EXPECT_EQ(random.State(), CJump::Of(lines * 8).Apply(21));
  }
  std::signal(SIGXFSZ, previous);
}

#endif

// Memory that cannot be had, through a replaced operator new that refuses large blocks
// while asked to (the standard operator delete frees with free). The sanitizers bring an operator new of their own, so
// this runs in the plain builds only.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
namespace {
std::atomic<bool> refuseLargeAllocations{false};
}  // namespace

void* operator new(std::size_t n) {
  if (n >= 64 * 1024 && refuseLargeAllocations) throw std::bad_alloc();
  if (void* p = std::malloc(n > 0 ? n : 1)) return p;
  throw std::bad_alloc();
}

// The aligned form too (the buffers that are written are aligned), with the allocator the
// standard aligned operator delete frees with.
void* operator new(std::size_t n, std::align_val_t alignment) {
  if (n >= 64 * 1024 && refuseLargeAllocations) throw std::bad_alloc();
  const auto a = static_cast<std::size_t>(alignment);
#ifdef _WIN32
  if (void* p = _aligned_malloc(n > 0 ? n : 1, a)) return p;
#else
  if (void* p = std::aligned_alloc(a, (n / a + 1) * a)) return p;
#endif
  throw std::bad_alloc();
}

// Whichever path a file run takes (the pipeline; the one-at-a-time loop for lines longer
// than a block), from either source, it fails before it creates the file, and the old
// file stays. A list run (its line buffer for passwords of 1,000,000 characters) says
// OutOfMemory and adds no row.
TEST(PasswordGenerator, NoMemoryLeavesTheOldFileUntouched) {
  TempDir dir;
  const std::string path = dir.File("old.txt");
  TempDir::Write(path, "old passwords\r\n");
  for (const bool secure : {false, true}) {
    for (const int length : {8, 1000000, 2000000}) {
      SCOPED_TRACE(std::string(secure ? "secure" : "15-bit") + ", length " + std::to_string(length));
      CRandomSource random = Seeded(9);
      Rows rows;
      const bool list = length == 1000000;
      refuseLargeAllocations = true;
      const GenerateResult result =
          CPasswordGenerator::Run(RandomDefaults(length, 3), list ? PasswordSink::List(rows) : PasswordSink::File(path),
                                  {secure, &random, -1, nullptr});
      refuseLargeAllocations = false;
      EXPECT_EQ(result, list ? GenerateResult::OutOfMemory : GenerateResult::CannotCreate);
      EXPECT_TRUE(TempDir::Read(path) == "old passwords\r\n");
      EXPECT_TRUE(rows.ids.empty());
      EXPECT_EQ(random.State(), 9u);
    }
  }
}
#endif
