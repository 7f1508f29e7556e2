// Generate to file on two threads: lines are made into one block while the blocks before
// it are written, so that a run costs about the larger of making and writing, not their
// sum. A small fixed ring of blocks keeps the memory bounded whatever the count.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/OsFile.h"
#include "engine/Wipe.h"

// Makes whole lines into out[0, size) while `left` lasts, counting it down, and returns
// the bytes made. It may scribble on CPasswordListFile::kRoomSlack bytes past `size`;
// only the bytes made reach the file. REQUIRES: it makes at least one line while left > 0
// (every line fits in `size`).
using BlockMaker = std::function<std::size_t(char* out, std::size_t size, std::int64_t& left)>;

class CBlockPipeline {
 public:
  static constexpr std::size_t kBlocks = 4;
  // A side that waits for the other is woken once this many blocks are ready or free.
  static constexpr std::size_t kBatch = 2;

  // Allocates the blocks (or takes those the last pipeline left) and starts the writer
  // thread, so that a run that cannot start fails before any file is touched. Throws
  // std::bad_alloc or std::system_error.
  CBlockPipeline();
  // Ends the writer thread and wipes the blocks that were used, keeping them for the next
  // pipeline. A file not put in place by Run (no Run) is abandoned: the target stays as
  // it was.
  ~CBlockPipeline();
  CBlockPipeline(const CBlockPipeline&) = delete;
  CBlockPipeline& operator=(const CBlockPipeline&) = delete;

  // Gets ready to write the file at `path` (see CAtomicFile::Create). False when it cannot
  // be written; nothing on disk has changed then.
  bool Create(const std::filesystem::path& path);
  // Gets ready to write the process's standard output directly. False when there is none.
  bool CreateForStandardOutput();

  struct Outcome {
    bool written;          // every block was written and the file is in place
    std::uint64_t blocks;  // blocks that count: all made, or up to the one whose write failed
  };
  // Hands blocks to `make` until `count` lines are made, and writes each, in order, while
  // the next is being made, in whole blocks of CPasswordListFile::kBlockSize (and what is
  // left at the end): each make is given room enough to reach the end of its block, and
  // the lines that cross it go to the next. `longest`: the most bytes a line has, at most
  // kBlockSize (a make given `longest` bytes makes a line). The first failed write
  // stops the run: nothing after it is written and making stops at the next block. Then
  // puts the file in place of the target, if every block was written. After a failure, or
  // an exception from `make` (which comes out once the writer is idle), the temporary file
  // is deleted and the target is as it was; a device or FIFO keeps what was written.
  // REQUIRES: Create succeeded; one Run per object.
  Outcome Run(std::int64_t count, std::size_t longest, const BlockMaker& make);

  // Keeps `behind` telling whether making is what the run waits for: true once the writer
  // waits for a block, false once making waits for a free one. May be null.
  void ReportMakingBehind(std::atomic<bool>* behind) {
    std::lock_guard<std::mutex> lock(mutex_);  // the writer thread reads it under the lock
    behind_ = behind;
  }

 private:
  char* Block(std::size_t slot) const;
  void WriteBlocks();
  // Waits until the writer has nothing queued; with `drop`, what is queued is not written.
  void Drain(bool drop);

  AlignedBytes blocks_;                // kBlocks blocks, each with its slack, each on a cache line
  std::size_t touched_[kBlocks] = {};  // the bytes of each slot a maker may have written; wiped at the end
  CAtomicFile file_;                   // written by the writer thread only while a block is queued

  std::mutex mutex_;
  std::condition_variable queuedOne_;  // the writer waits here for a block (or the end)
  std::condition_variable wroteOne_;   // the maker waits here for a free block
  std::atomic<bool>* behind_ = nullptr;
  // Guarded by mutex_: the queued blocks are slots head_, head_ + 1, ... (mod kBlocks).
  std::size_t head_ = 0;
  std::size_t queued_ = 0;
  std::size_t sizes_[kBlocks] = {};
  std::uint64_t attempted_ = 0;  // blocks the writer has taken off the queue
  std::uint64_t failedAt_ = 0;   // the block whose write failed, when failed_
  bool failed_ = false;
  bool ending_ = false;  // no more blocks come: the writer takes them one by one
  bool drop_ = false;
  bool quit_ = false;

  std::thread writer_;  // last: started once everything above exists
};
