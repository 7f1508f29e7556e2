// The random source's recurrence, output bits and scaling rule.
#include "engine/RandomSource.h"

#include <gtest/gtest.h>

TEST(RandomSource, KnownSequences) {
  CRandomSource zero;
  zero.Seed(0);
  EXPECT_EQ(zero.Next(), 38u);
  EXPECT_EQ(zero.Next(), 7719u);
  EXPECT_EQ(zero.Next(), 21238u);

  CRandomSource unseeded;  // state 1 before seeding
  EXPECT_EQ(unseeded.State(), 1u);
  EXPECT_EQ(unseeded.Next(), 41u);
  EXPECT_EQ(unseeded.Next(), 18467u);
  EXPECT_EQ(unseeded.Next(), 6334u);

  CRandomSource top;  // the state wraps at 2^32 without trouble
  top.Seed(0xFFFFFFFFu);
  EXPECT_EQ(top.State(), 0xFFFFFFFFu);
  const std::uint32_t expected = ((0xFFFFFFFFu * 214013u + 2531011u) >> 16) & 0x7FFF;
  EXPECT_EQ(top.Next(), expected);
}

TEST(RandomSource, ProcessWideInstanceStartsUnseeded) { EXPECT_EQ(theRandom.State(), 1u); }

TEST(RandomSource, ScaleDividesBy32767AndCaps) {
  EXPECT_EQ(CRandomSource::Scale(32767, 94), 93u);
  EXPECT_EQ(CRandomSource::Scale(32766, 94), 93u);
  EXPECT_EQ(CRandomSource::Scale(0, 94), 0u);
  EXPECT_EQ(CRandomSource::Scale(32767, 999996), 999995u);
  EXPECT_EQ(CRandomSource::Scale(16384, 999996), 500013u);  // product above 2^31, exact
  EXPECT_EQ(CRandomSource::Scale(32767, 1), 0u);            // r = 32767 would give L: capped
  EXPECT_EQ(CRandomSource::Scale(32767, 0xFFFFFFFFu), 0xFFFFFFFEu);
}

TEST(RandomSource, PickConsumesExactlyOneValue) {
  CRandomSource a, b;
  a.Seed(12345);
  b.Seed(12345);
  for (int i = 0; i < 1000; ++i) {
    EXPECT_EQ(a.Pick(1), 0u);
    b.Next();
  }
  EXPECT_EQ(a.State(), b.State());
  for (std::uint32_t length : {2u, 62u, 94u, 255u, 999996u}) {
    const std::uint32_t r = b.Next();
    EXPECT_EQ(a.Pick(length), CRandomSource::Scale(r, length));
  }
}
