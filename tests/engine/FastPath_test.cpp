// The vector file path against a plain one-character-at-a-time version of the generator,
// on every vector path this processor can run.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/CharacterPool.h"
#include "engine/FastFill.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "tests/engine/RunHelpers.h"
#include "tests/engine/TempDir.h"

namespace {

// The generator as written: one draw per random decision, in order.
struct Reference {
  std::uint32_t state;

  std::uint32_t Pick(std::uint32_t length) {
    state = state * 214013u + 2531011u;
    const std::uint64_t r = (state >> 16) & 0x7FFF;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(r * length / 32767, length - 1));
  }

  std::vector<std::string> Passwords(const CGenerationSettings& s, std::int64_t count) {
    const std::string pool(CCharacterPool::Build(s).View());
    const auto p = static_cast<std::uint32_t>(pool.size());
    std::vector<std::string> out;
    for (std::int64_t i = 0; i < count; ++i) {
      std::string password;
      if (s.mode == GenerationMode::Masked) {
        for (char c : s.mask) password += !s.symbolMask.empty() && c == s.symbolMask[0] ? pool[Pick(p)] : c;
      } else {
        std::uint32_t length = static_cast<std::uint32_t>(s.length);
        if (s.variableLength && length >= 6) length = 5 + Pick(length - 4);
        for (std::uint32_t k = 0; k < length; ++k) password += pool[Pick(p)];
      }
      out.push_back(password);
    }
    return out;
  }
};

std::string AsFile(const std::vector<std::string>& passwords) {
  std::string bytes;
  for (const std::string& p : passwords) bytes += p + "\r\n";
  return bytes;
}

// n distinct bytes in a shuffled order (zero included, as in the table of lengths).
std::string DistinctBytes(std::size_t n, std::mt19937& rng) {
  std::string all(256, '\0');
  std::iota(all.begin(), all.end(), '\0');
  std::shuffle(all.begin(), all.end(), rng);
  return all.substr(0, n);
}

// Generates to a file and to the list, and checks both, and the state after each run,
// against the reference.
class FastPathTest : public ::testing::Test {
 protected:
  void Check(const CGenerationSettings& s, std::uint32_t seed, const std::string& what) {
    SCOPED_TRACE(what + " seed " + std::to_string(seed) + " path " + FillPathName(ActiveFillPath()));
    Reference reference{seed};
    const std::string expected = AsFile(reference.Passwords(s, s.count));
    CRandomSource random;
    random.Seed(seed);
    ASSERT_EQ(CPasswordGenerator::Generate(s, PasswordSink::File(path_), random), GenerateResult::Completed);
    const std::string bytes = TempDir::Read(path_);
    ASSERT_EQ(bytes.size(), expected.size());
    ASSERT_TRUE(bytes == expected) << "first difference at byte "
                                   << std::mismatch(bytes.begin(), bytes.end(), expected.begin()).first - bytes.begin();
    EXPECT_EQ(random.State(), reference.state);

    // The list is made from the same staged draws as the file, on every path.
    Reference listReference{seed};
    const auto listExpected = listReference.Passwords(s, std::min(s.count, 1000));
    Rows rows;
    random.Seed(seed);
    ASSERT_EQ(CPasswordGenerator::Generate(s, PasswordSink::List(rows), random), GenerateResult::Completed);
    EXPECT_EQ(rows.passwords, listExpected);
    EXPECT_EQ(random.State(), listReference.state);
  }

  static CGenerationSettings Random(int length, int count, bool variable = false) {
    CGenerationSettings s;
    s.length = length;
    s.variableLength = variable;
    s.count = count;
    s.useCapitals = s.useSmall = s.useDigits = 1;
    return s;
  }
  static CGenerationSettings Masked(const std::string& mask, const std::string& marker, int count) {
    CGenerationSettings s = Random(8, count);
    s.mode = GenerationMode::Masked;
    s.mask = mask;
    s.symbolMask = marker;
    return s;
  }

  TempDir dir_;
  std::string path_ = dir_.File("out.txt");
};

}  // namespace

TEST(FastFill, JumpEqualsStepsOneByOne) {
  for (std::uint64_t n : {0ull, 1ull, 2ull, 31ull, 64ull, 4097ull, 1000003ull}) {
    CRandomSource one;
    one.Seed(987654321u);
    for (std::uint64_t k = 0; k < n; ++k) one.Next();
    EXPECT_EQ(CJump::Of(n).Apply(987654321u), one.State()) << n;
  }
  EXPECT_EQ(CJump::Of(5).Then(CJump::Of(7)).Apply(3u), CJump::Of(12).Apply(3u));
}

// Every r for every pool length, on every path: the vector scaling and lookup give the
// character of Pick exactly, whatever the state's other bits.
TEST(FastFill, ScalingAndLookupAreExactForEveryDrawAndPoolLength) {
  std::mt19937 rng(2024);
  std::vector<std::uint32_t> states(32768);
  std::string chars(states.size(), '\0');
  for (std::uint32_t length = 1; length <= CFillTable::kMaxPool; ++length) {
    const std::string pool = DistinctBytes(length, rng);
    const CFillTable table(pool);
    ASSERT_TRUE(table.exact) << length;
    for (std::uint32_t r = 0; r < 32768; ++r) states[r] = r << 16 | (rng() & 0x8000FFFFu);
    for (FillPath path : Paths()) {
      CharsForStates(path, table, states.data(), states.size(), chars.data());
      for (std::uint32_t r = 0; r < 32768; ++r) {
        ASSERT_EQ(chars[r], pool[CRandomSource::Scale(r, length)])
            << "r " << r << " length " << length << " path " << FillPathName(path);
      }
    }
  }
}

TEST(FastFill, FillsAnyCountAndLeavesTheStateAfterIt) {
  std::mt19937 rng(7);
  const std::string pool = DistinctBytes(62, rng), other = DistinctBytes(200, rng);
  const CFillTable table(pool), second(other);
  for (FillPath path : Paths()) {
    PathLimit limit(path);
    for (std::size_t n : {1u, 2u, 7u, 15u, 16u, 17u, 31u, 33u, 63u, 64u, 65u, 1000u}) {
      SCOPED_TRACE(std::to_string(n) + " draws on " + FillPathName(path));
      const std::uint32_t seed = rng();
      Reference reference{seed};
      std::string expected, expectedOther;
      for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t before = reference.state;
        expected += pool[reference.Pick(62)];
        reference.state = before;
        expectedOther += other[reference.Pick(200)];
      }
      std::string out(n + 8, '#'), out2(n + 8, '#');
      std::uint32_t state = seed;
      FillChars(table, state, out.data(), n);
      EXPECT_EQ(out, expected + "########");  // nothing written past n
      EXPECT_EQ(state, reference.state);

      // Two tables over the same draws.
      out.assign(n + 8, '#');
      state = seed;
      FillChars(CFillPair(table, second), state, out.data(), out2.data(), n);
      EXPECT_EQ(out, expected + "########");
      EXPECT_EQ(out2, expectedOther + "########");
      EXPECT_EQ(state, reference.state);
    }
  }
}

// A pool and the steps of variable lengths up to 6 to 19 over the same draws: where one
// index serves both tables, and where it cannot, every path gives both exactly, over
// enough draws to meet nearly every r.
TEST(FastFill, PairsOfTablesMapEachDrawExactly) {
  std::mt19937 rng(19);
  EXPECT_TRUE(CFillPair(CFillTable(DistinctBytes(62, rng)), CFillTable(DistinctBytes(12, rng))).combined);
  EXPECT_FALSE(CFillPair(CFillTable(DistinctBytes(1, rng)), CFillTable(DistinctBytes(12, rng))).combined);
  const std::size_t n = (1u << 17) + 13;
  std::string out(n, '\0'), out2(n, '\0');
  for (std::uint32_t length : {1u, 26u, 62u, 94u, 200u, 255u}) {
    for (std::uint32_t steps = 2; steps <= 15; ++steps) {
      const std::string pool = DistinctBytes(length, rng), lengths = DistinctBytes(steps, rng);
      const CFillTable table(pool), second(lengths);
      const CFillPair pair(table, second);
      const std::uint32_t seed = rng();
      Reference reference{seed};
      std::string expected(n, '\0'), expected2(n, '\0');
      for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t before = reference.state;
        expected[k] = pool[reference.Pick(length)];
        reference.state = before;
        expected2[k] = lengths[reference.Pick(steps)];
      }
      for (FillPath path : Paths()) {
        PathLimit limit(path);
        std::uint32_t state = seed;
        FillChars(pair, state, out.data(), out2.data(), n);
        ASSERT_TRUE(out == expected && out2 == expected2 && state == reference.state)
            << length << " and " << steps << (pair.combined ? ", one index" : "") << " on " << FillPathName(path);
      }
    }
  }
}

// Every width of a line up to 72 with draws and literals mixed, for counts that end inside
// a group of lines and after whole groups, on every path, against a plain copy.
TEST(FastFill, LayoutsAssembleLinesOfEveryWidth) {
  std::mt19937 rng(23);
  for (std::size_t width = 1; width <= 72; ++width) {
    std::string line;
    std::vector<bool> isDraw;
    for (std::size_t p = 0; p < width + 2; ++p) {
      isDraw.push_back(p < width && rng() % 3 != 0);
      line += p >= width ? "\r\n"[p - width] : isDraw.back() ? '?' : static_cast<char>('A' + rng() % 26);
    }
    const CLineLayout layout(line, isDraw);
    for (std::size_t lines : {1, 15, 16, 17, 40}) {
      std::string chars(lines * layout.Draws() + 16, '\0'), expected;
      for (char& c : chars) c = static_cast<char>('a' + rng() % 26);
      for (std::size_t i = 0, k = 0; i < lines; ++i)
        for (std::size_t p = 0; p < line.size(); ++p) expected += isDraw[p] ? chars[k++] : line[p];
      for (FillPath path : Paths()) {
        PathLimit limit(path);
        std::string out(expected.size() + 16, '\0');
        layout.Assemble(chars.data(), lines, out.data());
        ASSERT_EQ(out.substr(0, expected.size()), expected) << width << " x " << lines << " on " << FillPathName(path);
      }
    }
  }
}

// Each pool size end to end, the paths taking turns (the lookup of every size on every
// path is checked above).
TEST_F(FastPathTest, EveryPoolSize) {
  std::mt19937 rng(11);
  const std::vector<FillPath> paths = Paths();
  for (int size = 1; size <= 255; ++size) {
    PathLimit limit(paths[size % paths.size()]);
    CGenerationSettings s = Random(1 + size % 23, 1 + size % 9, size % 3 == 0);
    s.useCapitals = s.useSmall = s.useDigits = 0;
    s.useInclude = 1;
    s.includeText = DistinctBytes(256, rng);
    s.includeText.erase(s.includeText.find('\0'), 1);
    s.includeText.resize(size);
    Check(s, rng(), "pool of " + std::to_string(size));
  }
}

TEST_F(FastPathTest, FixedAndVariableLengthsAndCounts) {
  std::mt19937 rng(5);
  for (FillPath path : Paths()) {
    PathLimit limit(path);
    for (int length : {0, 1, 2, 5, 6, 7, 8, 13, 14, 15, 16, 17, 31, 32, 33, 100, 255, 256, 257, 258, 1000, 4099}) {
      for (int count : {0, 1, 2, 7, 33}) {
        Check(Random(length, count), rng(), "fixed " + std::to_string(length) + " x" + std::to_string(count));
        Check(Random(length, count, true), rng(), "variable " + std::to_string(length) + " x" + std::to_string(count));
      }
    }
    // Across blocks, more of them than the file run keeps in flight, and many refills of
    // the draws made ahead.
    Check(Random(8, 500000), rng(), "fixed 8 over blocks");
    Check(Random(16, 400001, true), rng(), "variable 16 over blocks");
    Check(Random(300, 4000, true), rng(), "variable 300 over blocks");
    Check(Random(1000000, 2, true), rng(), "variable 1000000");
    Check(Random(1000000, 2), rng(), "fixed 1000000");
  }
}

TEST_F(FastPathTest, MasksWithAndWithoutMarkers) {
  std::mt19937 rng(3);
  const std::string ten = "?a?b??c???";
  for (FillPath path : Paths()) {
    PathLimit limit(path);
    for (const char* mask : {"", "?", "a", "????-????-????", "ab?", "??????????????????????????????", "no marker",
                             "?-?-?-?-?-?-?-?-?-?-?-?-?-?-?-?-?-?"}) {
      for (int count : {0, 1, 2, 7, 5000}) Check(Masked(mask, "?", count), rng(), std::string("mask ") + mask);
    }
    Check(Masked("#?#??#", "#?", 100), rng(), "only the first symbol is the marker");
    Check(Masked("a?c", "", 10), rng(), "no marker at all");
    std::string thousand;
    for (int k = 0; k < 100; ++k) thousand += ten;
    Check(Masked(thousand, "?", 300), rng(), "mask of 1000");
    Check(Masked(thousand.substr(0, 33), "?", 150000), rng(), "mask of 33 over blocks");
    Check(Masked(std::string(5000, '?'), "?", 3), rng(), "mask longer than the window allows");
    CGenerationSettings one = Masked("??\r\n?", "?", 50);  // a pool of one, and line ends in the mask
    one.useCapitals = one.useSmall = one.useDigits = 0;
    one.useInclude = 1;
    one.includeText = "\xFF";
    Check(one, rng(), "pool of one");
  }
}

// An empty pool is fine while nothing needs drawing.
TEST_F(FastPathTest, EmptyPoolWithNothingToDraw) {
  for (FillPath path : Paths()) {
    PathLimit limit(path);
    for (bool variable : {false, true}) {
      CGenerationSettings none = Random(10, 0, variable);
      none.useCapitals = none.useSmall = none.useDigits = 0;
      Check(none, 17, "no passwords");
      none.length = 300;
      Check(none, 17, "no long passwords");
    }
    CGenerationSettings literal = Masked("a-b", "?", 40);
    literal.useCapitals = literal.useSmall = literal.useDigits = 0;
    Check(literal, 17, "a mask without the marker");
  }
}

TEST_F(FastPathTest, RandomSettings) {
  std::mt19937 rng(99);
  for (FillPath path : Paths()) {
    PathLimit limit(path);
    for (int run = 0; run < 60; ++run) {
      CGenerationSettings s;
      s.useCapitals = rng() % 2;
      s.useSmall = rng() % 2;
      s.useDigits = rng() % 2;
      s.useSpecial = rng() % 2;
      s.useInclude = rng() % 2;
      s.useExclude = rng() % 2;
      s.includeText = DistinctBytes(rng() % 80, rng) + DistinctBytes(rng() % 10, rng);
      s.includeText.erase(std::remove(s.includeText.begin(), s.includeText.end(), '\0'), s.includeText.end());
      s.excludeText = DistinctBytes(rng() % 40, rng);
      s.count = static_cast<int>(rng() % 3000);
      if (rng() % 2) {
        s.mode = GenerationMode::Masked;
        s.symbolMask = std::string(1, "?#x"[rng() % 3]) + "?";
        for (std::size_t n = rng() % 40; n > 0; --n) s.mask += "?#x-ab"[rng() % 6];
      } else {
        s.length = static_cast<int>(rng() % 40);
        s.variableLength = rng() % 2;
      }
      if (CCharacterPool::Build(s).Length() == 0) continue;  // refused; tested elsewhere
      Check(s, rng(), "run " + std::to_string(run));
    }
  }
}
