// The writer thread and its ring: the run stops soon after a failed write, and a maker
// that throws ends the run without a deadlock, keeping whole blocks only.
#include "engine/BlockPipeline.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "engine/PasswordFiles.h"
#include "tests/engine/TempDir.h"

namespace {

// Each call makes one block of 1,000 lines "<call>\r\n" padded to 10 bytes.
std::size_t MakeNumbered(int call, char* out, std::int64_t& left) {
  std::string block;
  for (int k = 0; k < 1000 && left > 0; ++k, --left) {
    std::string line = std::to_string(call);
    line.resize(8, '.');
    block += line + "\r\n";
  }
  block.copy(out, block.size());
  return block.size();
}

}  // namespace

TEST(BlockPipeline, AFailedWriteStopsTheMakerWithinTheRing) {
  const std::string full = kFullDevice;
  int calls = 0;
  CBlockPipeline pipeline;
  ASSERT_TRUE(pipeline.Create(full));
  const auto outcome = pipeline.Run(
      1000000000, [&](char* out, std::size_t, std::int64_t& left) { return MakeNumbered(calls++, out, left); });
  EXPECT_FALSE(outcome.written);
  EXPECT_EQ(outcome.blocks, 1u);
  EXPECT_LE(calls, static_cast<int>(CBlockPipeline::kBlocks));
}

TEST(BlockPipeline, AThrowingMakerEndsTheRunWithWholeBlocksWritten) {
  TempDir dir;
  const std::string path = dir.File("thrown.txt");
  std::string expected;
  for (int round = 0; round < 20; ++round) {
    int calls = 0;
    {
      CBlockPipeline pipeline;
      ASSERT_TRUE(pipeline.Create(path));
      EXPECT_THROW(pipeline.Run(1000000,
                                [&](char* out, std::size_t, std::int64_t& left) {
                                  if (calls == 5) throw std::runtime_error("maker failed");
                                  return MakeNumbered(calls++, out, left);
                                }),
                   std::runtime_error);
    }
    if (expected.empty()) {
      std::int64_t left = 1000000;
      std::string block(10000, '\0');
      for (int k = 0; k < 5; ++k) expected.append(block.data(), MakeNumbered(k, block.data(), left));
    }
    const std::string bytes = TempDir::Read(path);
    EXPECT_EQ(bytes.size() % 10000, 0u);
    EXPECT_TRUE(bytes == expected.substr(0, bytes.size())) << round;
  }
}
