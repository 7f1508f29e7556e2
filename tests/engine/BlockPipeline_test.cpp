// The writer thread and its ring: the run stops soon after a failed write, a maker that
// throws ends the run without a deadlock, and only a complete run replaces the target.
#include "engine/BlockPipeline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/PasswordFiles.h"
#include "tests/engine/FileChecks.h"
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
      1000000000, 10, [&](char* out, std::size_t, std::int64_t& left) { return MakeNumbered(calls++, out, left); });
  EXPECT_FALSE(outcome.written);
  EXPECT_EQ(outcome.blocks, 1u);
  EXPECT_LE(calls, static_cast<int>(CBlockPipeline::kBlocks));
}

// However a run ends without every block written (the maker throws, the way a cancelled
// run ends; a write fails part-way; the pipeline goes before any Run), an existing target
// stays byte for byte as it was, a new name stays absent, no temporary file is left, and
// nothing deadlocks. A run that ends well puts exactly its blocks in place.
TEST(BlockPipeline, OnlyACompleteRunReplacesTheTarget) {
  enum class End { Thrown, WriteFailed, NoRun, Completed };
  const std::string old = "old passwords\r\n";
  std::string made;  // what five blocks hold
  std::int64_t five = 5000;
  std::string block(10000, '\0');
  for (int k = 0; k < 5; ++k) made.append(block.data(), MakeNumbered(k, block.data(), five));
#ifdef _WIN32
  const End ends[] = {End::Thrown, End::NoRun, End::Completed};
#else
  const End ends[] = {End::Thrown, End::WriteFailed, End::NoRun, End::Completed};
#endif
  for (const End end : ends) {
    for (const bool exists : {true, false}) {
      static const char* const kEnds[] = {"thrown", "write failed", "no run", "completed"};
      SCOPED_TRACE(std::string(kEnds[static_cast<int>(end)]) + (exists ? ", replacing" : ", new"));
      TempDir dir;
      const std::string path = dir.File("list.txt");
      if (exists) TempDir::Write(path, old);
      // Rounds let a throw meet the writer in different states.
      for (int round = 0; round < (end == End::Thrown ? 20 : 1); ++round) {
        int calls = 0;
        CBlockPipeline pipeline;
        ASSERT_TRUE(pipeline.Create(path));
        const auto make = [&](char* out, std::size_t, std::int64_t& left) {
          if (end == End::Thrown && calls == 5) throw std::runtime_error("cancelled");
          return MakeNumbered(calls++, out, left);
        };
        if (end == End::Thrown) {
          EXPECT_THROW(pipeline.Run(1000000, 10, make), std::runtime_error);
        } else if (end == End::Completed) {
          const auto outcome = pipeline.Run(5000, 10, make);
          EXPECT_TRUE(outcome.written);
          EXPECT_EQ(outcome.blocks, 5u);
        } else if (end == End::WriteFailed) {
#ifndef _WIN32
          ScopedFileSizeLimit limit(25000);  // the third block is cut
          ASSERT_TRUE(limit.ok());
          const auto outcome = pipeline.Run(1000000, 10, make);
          EXPECT_FALSE(outcome.written);
          EXPECT_EQ(outcome.blocks, 3u);
#endif
        }
      }
      const bool present = exists || end == End::Completed;
      EXPECT_EQ(NamesIn(dir.File("")), present ? std::vector<std::string>{"list.txt"} : std::vector<std::string>{});
      if (present) {
        EXPECT_TRUE(TempDir::Read(path) == (end == End::Completed ? made : old));
      }
    }
  }
}

// Lines of many widths, up to a whole block, from a maker that fills the room it is given:
// those that cross the end of a block are carried into the next, and the file is every
// line once, in order. Each block is handed over as far into a cache line as its bytes
// will lie in the file, so that the system copies between equally aligned addresses; the
// file is the same either way, so only this sees the placement.
TEST(BlockPipeline, LinesAcrossBlocksArriveWhole) {
  constexpr std::size_t kBlock = CPasswordListFile::kBlockSize;
  for (const std::size_t width : {std::size_t{10}, std::size_t{17}, std::size_t{4099}, std::size_t{1000002}, kBlock}) {
    SCOPED_TRACE(width);
    TempDir dir;
    const std::string path = dir.File("list.txt");
    CBlockPipeline pipeline;
    ASSERT_TRUE(pipeline.Create(path));
    std::string made;
    const auto count = static_cast<std::int64_t>(3 * kBlock / width + 2);
    const auto outcome = pipeline.Run(count, width, [&](char* out, std::size_t size, std::int64_t& left) {
      EXPECT_GE(size, width);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(out) % kBufferAlignment, made.size() % kBufferAlignment);
      std::size_t used = 0;
      for (; left > 0 && size - used >= width; --left, used += width) {
        const std::string line = std::string(width - 2, static_cast<char>('a' + left % 26)) + "\r\n";
        line.copy(out + used, width);
        made += line;
      }
      return used;
    });
    EXPECT_TRUE(outcome.written);
    EXPECT_TRUE(TempDir::Read(path) == made);
  }
}
