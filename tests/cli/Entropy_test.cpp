// --entropy's figures against counting the passing passwords one by one on small pools,
// and against the window's documented figure.
#include "cli/Entropy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/CharacterPool.h"
#include "engine/EverySet.h"

namespace {

// Capitals A and B, small a, digits 0 and 1: a pool of five in three sets.
CGenerationSettings SmallPool() {
  CGenerationSettings s;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  s.useExclude = 1;
  s.excludeText = "CDEFGHIJKLMNOPQRSTUVWXYZbcdefghijklmnopqrstuvwxyz23456789";
  s.symbolMask = "?";
  return s;
}

// log2 of the strings of `length` characters from the pool that pass the every-set rule.
double CountedBits(const CGenerationSettings& s, int length, bool everySet) {
  const CCharacterPool pool = CCharacterPool::Build(s);
  const CSetRule rule(s, pool.View());
  std::string text(static_cast<std::size_t>(length), ' ');
  double passing = 0;
  double total = std::pow(pool.Length(), length);
  for (double n = 0; n < total; ++n) {
    double rest = n;
    for (int i = 0; i < length; ++i) {
      text[i] = static_cast<char>(pool.At(static_cast<int>(std::fmod(rest, pool.Length()))));
      rest = std::floor(rest / pool.Length());
    }
    if (!everySet || rule.Passes(text.data(), text.size())) ++passing;
  }
  return std::log2(passing);
}

TEST(Entropy, MatchesCountingOnASmallPool) {
  ASSERT_EQ(CCharacterPool::Build(SmallPool()).Length(), 5);
  for (const bool everySet : {false, true}) {
    SCOPED_TRACE(everySet);
    CGenerationSettings fixed = SmallPool();
    fixed.length = 4;
    EXPECT_NEAR(PasswordEntropyBits(fixed, everySet), CountedBits(fixed, 4, everySet), 1e-9);

    // Lengths 5 and 6, each half the time: one bit for the length, and the mean of the two.
    CGenerationSettings variable = SmallPool();
    variable.length = 6;
    variable.variableLength = 1;
    EXPECT_NEAR(PasswordEntropyBits(variable, everySet),
                1 + (CountedBits(variable, 5, everySet) + CountedBits(variable, 6, everySet)) / 2, 1e-9);

    // Only the markers count.
    CGenerationSettings masked = SmallPool();
    masked.mode = GenerationMode::Masked;
    masked.mask = "x?y??z";
    EXPECT_NEAR(PasswordEntropyBits(masked, everySet), CountedBits(masked, 3, everySet), 1e-9);
  }
}

TEST(Entropy, TheWindowsDefaultsAndTheRunsSize) {
  CGenerationSettings s;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  s.length = 8;
  // The figures the window's documentation gives for 8 characters of the default sets.
  EXPECT_NEAR(PasswordEntropyBits(s, false), 47.63, 0.005);
  EXPECT_NEAR(PasswordEntropyBits(s, true), 47.18, 0.005);
  EXPECT_DOUBLE_EQ(RunBytes(s, 1000, 2), 10000);
  s.variableLength = 1;
  s.length = 9;  // 5 to 9: 7 on average
  EXPECT_DOUBLE_EQ(RunBytes(s, 10, 1), 80);
  s.useCapitals = s.useSmall = s.useDigits = 0;
  EXPECT_EQ(PasswordEntropyBits(s, false), 0);
}

}  // namespace
