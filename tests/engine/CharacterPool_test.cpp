// The pool's fixed order: the four sets, then include, then exclude.
#include "engine/CharacterPool.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Pool(const CGenerationSettings& s) { return std::string(CCharacterPool::Build(s).View()); }

CGenerationSettings Sets(bool capitals, bool small, bool digits, bool special) {
  CGenerationSettings s;
  s.useCapitals = capitals;
  s.useSmall = small;
  s.useDigits = digits;
  s.useSpecial = special;
  return s;
}

}  // namespace

TEST(CharacterPool, BuiltInSetsByteForByte) {
  EXPECT_EQ(Pool(Sets(true, false, false, false)), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(Pool(Sets(false, true, false, false)), "abcdefghjiklmnopqrstuvwxyz");
  EXPECT_EQ(Pool(Sets(false, false, true, false)), "0123456789");
  const unsigned char special[] = {0x60, 0x7E, 0x21, 0x40, 0x23, 0x24, 0x25, 0x5E, 0x26, 0x2A, 0x28,
                                   0x29, 0x2D, 0x5F, 0x3D, 0x2B, 0x5C, 0x7C, 0x2C, 0x2E, 0x2F, 0x3C,
                                   0x3E, 0x3F, 0x3B, 0x3A, 0x27, 0x22, 0x5B, 0x5D, 0x7B, 0x7D};
  EXPECT_EQ(Pool(Sets(false, false, false, true)), std::string(special, special + sizeof special));
  EXPECT_EQ(Pool(Sets(true, false, true, false)), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");

  const CCharacterPool all = CCharacterPool::Build(Sets(true, true, true, true));
  ASSERT_EQ(all.Length(), 94);
  EXPECT_EQ(all.View().substr(0, 3), "ABC");
  EXPECT_EQ(all.View().substr(92), "{}");
  EXPECT_EQ(all.At(26 + 8), 'j');
  EXPECT_EQ(Pool(CGenerationSettings{}), "");
}

TEST(CharacterPool, IncludeAddsNewCharactersOnceInFirstOrder) {
  CGenerationSettings s = Sets(false, true, false, false);
  s.useInclude = 1;
  s.includeText = "zz1";
  EXPECT_EQ(Pool(s), "abcdefghjiklmnopqrstuvwxyz1");

  CGenerationSettings none;
  none.useInclude = 1;
  none.includeText = "aba";
  EXPECT_EQ(Pool(none), "ab");

  none.includeText = "\r\n \xFF\x80\r";  // line ends, space and high bytes are characters
  EXPECT_EQ(Pool(none), "\r\n \xFF\x80");

  none.includeText.clear();
  EXPECT_EQ(Pool(none), "");
  none.useInclude = 0;
  none.includeText = "xyz";  // unticked: the text is ignored
  EXPECT_EQ(Pool(none), "");
}

TEST(CharacterPool, ExcludeRemovesAndKeepsOrder) {
  CGenerationSettings s = Sets(true, true, true, true);
  s.useExclude = 1;
  s.excludeText = "O0Il1";
  const std::string pool = Pool(s);
  EXPECT_EQ(pool.size(), 89u);
  for (char c : std::string("O0Il1")) EXPECT_EQ(pool.find(c), std::string::npos) << c;
  EXPECT_EQ(pool.substr(0, 16), "ABCDEFGHJKLMNPQR");

  s.excludeText = "OOO%%%\xFF";  // repeats and absent characters change nothing more
  EXPECT_EQ(Pool(s).size(), 92u);

  // Include comes before exclude, so a character in both ends up absent.
  CGenerationSettings both = Sets(false, false, false, true);
  both.useInclude = both.useExclude = 1;
  both.includeText = "#";
  both.excludeText = "#";
  EXPECT_EQ(Pool(both).find('#'), std::string::npos);
  EXPECT_EQ(Pool(both).size(), 31u);

  both.useInclude = 0;
  both.excludeText.clear();  // ticked but empty: unchanged
  EXPECT_EQ(Pool(both).size(), 32u);
}

TEST(CharacterPool, TextsReadOnlyTheirFirst1000Bytes) {
  CGenerationSettings s;
  s.useInclude = 1;
  s.includeText = std::string(1000, 'a') + std::string(500, 'b');
  EXPECT_EQ(Pool(s), "a");

  s.useExclude = 1;
  s.includeText = "ab";
  s.excludeText = std::string(1000, 'x') + "a";
  EXPECT_EQ(Pool(s), "ab");
}

TEST(CharacterPool, NeverMoreThan255DistinctNonZeroBytes) {
  CGenerationSettings s = Sets(true, true, true, true);
  s.useInclude = 1;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) s.includeText.push_back(static_cast<char>(b));
  }
  const CCharacterPool pool = CCharacterPool::Build(s);
  ASSERT_EQ(pool.Length(), 255);
  std::string seen = std::string(pool.View());
  EXPECT_EQ(seen.find('\0'), std::string::npos);
  EXPECT_EQ(seen.substr(0, 94), Pool(Sets(true, true, true, true)));
}
