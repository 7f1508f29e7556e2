// Secure runs: the shape of a normal run (pool, lengths, masks, list cap, CR LF) on every
// vector path, the 15-bit generator left alone, and a failed source making nothing.
#include "engine/SecureRandom.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/CharacterPool.h"
#include "engine/PasswordGenerator.h"
#include "tests/engine/RunHelpers.h"
#include "tests/engine/TempDir.h"

namespace {

CGenerationSettings Random(int length, bool variable, int count) {
  CGenerationSettings s;
  s.length = length;
  s.variableLength = variable;
  s.count = count;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  return s;
}

CGenerationSettings Masked(const std::string& mask, const std::string& marker, int count) {
  CGenerationSettings s = Random(8, false, count);
  s.mode = GenerationMode::Masked;
  s.mask = mask;
  s.symbolMask = marker;
  return s;
}

// True when the password has a length the settings allow, takes the mask's literals where
// a mask says so and pool characters elsewhere.
bool Fits(const CGenerationSettings& s, const std::string& pool, const std::string& p) {
  if (s.mode == GenerationMode::Masked) {
    if (p.size() != s.mask.size()) return false;
    for (std::size_t k = 0; k < p.size(); ++k)
      if (s.mask[k] == s.symbolMask[0] ? pool.find(p[k]) == std::string::npos : p[k] != s.mask[k]) return false;
    return true;
  }
  const auto n = static_cast<std::size_t>(s.length);
  const bool length = s.variableLength && n >= 6 ? p.size() >= 5 && p.size() <= n : p.size() == n;
  return length && p.find_first_not_of(pool) == std::string::npos;
}

// Checks every password; returns the lengths seen.
std::set<std::size_t> ExpectShape(const CGenerationSettings& s, const std::vector<std::string>& passwords) {
  const std::string pool(CCharacterPool::Build(s).View());
  std::set<std::size_t> lengths;
  for (const std::string& p : passwords) {
    lengths.insert(p.size());
    if (!Fits(s, pool, p)) {
      ADD_FAILURE() << "does not fit the settings: " << p;
      break;
    }
  }
  return lengths;
}

TEST(SecureRun, HasTheShapeOfANormalRunOnEveryPath) {
  TempDir dir;
  const std::string path = dir.File("secure.txt");
  std::vector<CGenerationSettings> cases = {Random(8, false, 3000),   Random(16, true, 3000),
                                            Random(300, true, 300),   Random(300, false, 300),
                                            Random(5, true, 100),     Masked("??-??x?", "?", 3000),
                                            Masked("plain", "?", 10), Masked(std::string(600, '#'), "#", 50),
                                            Random(8, false, 300000)};  // three blocks through the writer thread
  cases[3].useSpecial = 1;
  cases[3].useCapitals = 0;
  for (FillPath fill : kFillPaths) {
    if (LimitFillPath(fill) != fill) continue;
    for (const CGenerationSettings& s : cases) {
      SCOPED_TRACE(std::string("path ") + FillPathName(fill) + ", length " + std::to_string(s.length) + ", mask " +
                   s.mask.substr(0, 8));
      ASSERT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::File(path)), GenerateResult::Completed);
      const auto lines = Lines(TempDir::Read(path));
      EXPECT_EQ(lines.size(), static_cast<std::size_t>(s.count));
      const auto lengths = ExpectShape(s, lines);
      if (s.variableLength && s.length == 16) {
        EXPECT_EQ(lengths.size(), 12u);  // every length 5 to 16 came up
      }
      Rows rows;
      ASSERT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::List(rows)), GenerateResult::Completed);
      EXPECT_EQ(rows.passwords.size(), std::min<std::size_t>(s.count, PasswordSink::kMaxListRows));
      ExpectShape(s, rows.passwords);
      if (s.length == 16) {  // two runs never agree
        EXPECT_NE(std::vector<std::string>(lines.begin(), lines.begin() + 1000), rows.passwords);
      }
    }
  }
  LimitFillPath(FillPath::Avx512);
}

// Variable lengths reach both ends, 5 and N, and nothing outside them: from staged lengths
// (N = 7, into the list and a file) and drawn line by line (N = 300, past the staged ones).
// With 6,000 lines, one given length of 296 fails to come up about once in 10^9 runs.
TEST(SecureRun, VariableLengthsReachFiveAndTheLongest) {
  TempDir dir;
  const std::string path = dir.File("variable.txt");
  for (FillPath fill : kFillPaths) {
    if (LimitFillPath(fill) != fill) continue;
    for (const auto& [length, count] : {std::pair{7, 1000}, std::pair{300, 6000}}) {
      SCOPED_TRACE(std::string("path ") + FillPathName(fill) + ", N " + std::to_string(length));
      const CGenerationSettings s = Random(length, true, count);
      ASSERT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::File(path)), GenerateResult::Completed);
      std::vector<std::set<std::size_t>> seen = {ExpectShape(s, Lines(TempDir::Read(path)))};
      if (count <= PasswordSink::kMaxListRows) {
        Rows rows;
        ASSERT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::List(rows)), GenerateResult::Completed);
        seen.push_back(ExpectShape(s, rows.passwords));
      }
      for (const auto& lengths : seen) {
        EXPECT_EQ(lengths.count(5), 1u);
        EXPECT_EQ(lengths.count(static_cast<std::size_t>(length)), 1u);
      }
    }
  }
  LimitFillPath(FillPath::Avx512);
}

TEST(SecureRun, LeavesTheFifteenBitGeneratorAlone) {
  const CGenerationSettings s = Random(12, true, 20);
  auto normal = [&] {
    Rows rows;
    EXPECT_EQ(CPasswordGenerator::Generate(s, PasswordSink::List(rows)), GenerateResult::Completed);
    return rows.passwords;
  };
  const std::uint32_t before = theRandom.State();  // other tests expect it untouched
  theRandom.Seed(4242);
  const auto first = normal(), second = normal();
  theRandom.Seed(4242);
  EXPECT_EQ(normal(), first);
  const std::uint32_t state = theRandom.State();
  TempDir dir;
  Rows rows;
  EXPECT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::List(rows)), GenerateResult::Completed);
  EXPECT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::File(dir.File("s.txt"))), GenerateResult::Completed);
  EXPECT_EQ(theRandom.State(), state);
  EXPECT_EQ(normal(), second);
  theRandom.Seed(before);
}

TEST(SecureRun, AFailedSourceMakesNothingAndTouchesNoFile) {
  TempDir dir;
  const std::string existing = dir.File("keep.txt"), fresh = dir.File("fresh.txt");
  TempDir::Write(existing, "old passwords\r\n");
  ReplaceSystemRandom([](void*, std::size_t) { return false; });
  Rows rows;
  const CGenerationSettings s = Random(8, false, 10);
  EXPECT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::File(existing)), GenerateResult::RandomFailed);
  EXPECT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::File(fresh)), GenerateResult::RandomFailed);
  EXPECT_EQ(CPasswordGenerator::GenerateSecure(s, PasswordSink::List(rows)), GenerateResult::RandomFailed);
  // An empty pool is refused first, as in a normal run.
  CGenerationSettings empty = s;
  empty.useCapitals = empty.useSmall = empty.useDigits = 0;
  EXPECT_EQ(CPasswordGenerator::GenerateSecure(empty, PasswordSink::File(fresh)), GenerateResult::EmptyPool);
  ReplaceSystemRandom(nullptr);
  EXPECT_EQ(TempDir::Read(existing), "old passwords\r\n");
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_TRUE(rows.passwords.empty());
}

}  // namespace
