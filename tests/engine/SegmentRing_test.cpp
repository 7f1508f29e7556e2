// The segment ring hands out every segment in order with the bytes its maker writes for
// it, whichever thread made it, while the reader is faster or slower than the helper.
#include "engine/SegmentRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

TEST(SegmentRing, EverySegmentComesInOrderWithItsOwnBytes) {
  constexpr std::size_t kBytes = 4096;
  // The reader rests a millisecond every `pauseEvery` segments (0: never). Whole
  // milliseconds: Windows rounds a shorter sleep down to none.
  for (const int pauseEvery : {0, 100}) {
    SCOPED_TRACE("pause every " + std::to_string(pauseEvery));
    std::atomic<int> byHelper{0};
    CSegmentRing ring(kBytes, [&](std::uint64_t k, char* slot, bool helper) {
      if (helper) ++byHelper;
      for (std::size_t i = 0; i < kBytes; i += sizeof k) std::memcpy(slot + i, &k, sizeof k);
    });
    for (std::uint64_t k = 0; k < 3000; ++k) {
      const char* slot = ring.Next();
      for (std::size_t i = 0; i < kBytes; i += 512) {
        std::uint64_t got = 0;
        std::memcpy(&got, slot + i, sizeof got);
        ASSERT_EQ(got, k) << "at byte " << i;
      }
      if (pauseEvery > 0 && k % pauseEvery == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // A slow reader leaves the helper time to make segments: some of them must be its.
    if (pauseEvery > 0) {
      EXPECT_GT(byHelper, 0);
    }
  }
}
