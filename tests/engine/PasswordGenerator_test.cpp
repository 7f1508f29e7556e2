// Passwords made from settings and a seed, into a list and into a file.
#include "engine/PasswordGenerator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/CharacterPool.h"
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
#ifdef _WIN32
  const std::string full = "Z:\\dev\\full";
#else
  const std::string full = "/dev/full";
#endif
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
