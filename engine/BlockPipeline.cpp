// The writer thread and its ring of blocks. The maker fills a free block, queues it and
// goes on with the next free one; the writer takes queued blocks in order. A block stays
// queued until its write has ended, so the two threads never share one. Each side that
// runs out sleeps until the other has done a batch of blocks, not one: every wake-up
// costs a system call (under Wine, a round trip to its server) on the other side's path.
#include "engine/BlockPipeline.h"

#include <algorithm>
#include <cstring>

#include "engine/PasswordFiles.h"
#include "engine/Wipe.h"

namespace {
constexpr std::size_t kBlockSize = CPasswordListFile::kBlockSize;
// Each slot has room for the bytes carried from the block before (less than a line) with
// the room given to the maker (a block and a line less a byte), for lines of up to a
// block, and the maker's slack. Only what is used is touched.
constexpr std::size_t kStride = 2 * kBlockSize + CPasswordListFile::kRoomSlack;
static_assert(kStride % kBufferAlignment == 0, "every slot starts on a cache line");

// The ring of the last pipeline, wiped, kept for the next. A fresh ring costs a page fault
// for every 4 KB it touches (about 2.5 ms a run here, a tenth of a 100 MB run), and the C
// library does not hand a freed aligned block of this size back for the next: the heap
// grew by a ring for every run.
std::mutex spareMutex;
AlignedBytes spareRing;

AlignedBytes TakeRing() {
  {
    std::lock_guard<std::mutex> lock(spareMutex);
    if (spareRing) return std::move(spareRing);
  }
  return AllocateAligned(CBlockPipeline::kBlocks * kStride);
}

void KeepRing(AlignedBytes ring) {
  std::lock_guard<std::mutex> lock(spareMutex);
  if (!spareRing) spareRing = std::move(ring);
}
}  // namespace

// The blocks are left uninitialised (or as the last run wiped them): a short run touches
// only the first, and only what was made is ever written.
CBlockPipeline::CBlockPipeline() : blocks_(TakeRing()), writer_([this] { WriteBlocks(); }) {}

CBlockPipeline::~CBlockPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  queuedOne_.notify_one();
  writer_.join();
  for (std::size_t slot = 0; slot < kBlocks; ++slot) SecureWipe(Block(slot), touched_[slot]);
  if (blocks_) KeepRing(std::move(blocks_));
}

char* CBlockPipeline::Block(std::size_t slot) const { return blocks_.get() + slot * kStride; }

bool CBlockPipeline::Create(const std::filesystem::path& path) { return file_.Create(path); }

bool CBlockPipeline::CreateForStandardOutput() { return file_.CreateForStandardOutput(); }

void CBlockPipeline::WriteBlocks() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const auto ready = [this] { return queued_ >= kBatch || (queued_ > 0 && ending_) || quit_; };
    if (behind_ && !ready()) behind_->store(true, std::memory_order_relaxed);
    queuedOne_.wait(lock, ready);
    if (queued_ == 0) return;  // quit, with nothing left
    const std::size_t slot = head_;
    const std::size_t size = sizes_[slot];
    const bool skip = failed_ || drop_;
    lock.unlock();
    const bool ok = skip || file_.Write(Block(slot), size);
    lock.lock();
    const bool failedNow = !ok && !failed_;
    if (failedNow) {
      failed_ = true;
      failedAt_ = attempted_;
    }
    ++attempted_;
    head_ = (head_ + 1) % kBlocks;
    --queued_;
    if (failedNow || queued_ == kBlocks - kBatch || queued_ == 0) {
      // Woken after the unlock, the maker finds the mutex free and need not wait for it.
      lock.unlock();
      wroteOne_.notify_one();
      lock.lock();
    }
  }
}

void CBlockPipeline::Drain(bool drop) {
  std::unique_lock<std::mutex> lock(mutex_);
  ending_ = true;
  drop_ = drop_ || drop;
  queuedOne_.notify_one();  // a writer waiting for a whole batch takes what there is
  wroteOne_.wait(lock, [this] { return queued_ == 0; });
}

CBlockPipeline::Outcome CBlockPipeline::Run(std::int64_t count, std::size_t longest, const BlockMaker& make) {
  std::uint64_t made = 0;
  longest = std::min(longest, kBlockSize);  // a slot holds no more
  // The file is written in whole blocks of kBlockSize at multiples of kBlockSize: the
  // system caches a write that covers such a stretch in large pages, and writing 1 GB so
  // was measured a tenth faster than in blocks of whole lines (and 100 lines of 1,000,000
  // characters after a few GB had been written and deleted, about 40 % faster, copy
  // included). The lines that cross the end of a block are carried to the start of the
  // next slot. Each block so starts its slot, on a cache line, as it starts its place in
  // the file: the system's copy into its file cache was measured up to twice as slow
  // between addresses that differ within a cache line.
  std::uint64_t position = 0;     // in the file, of the next byte to write
  const char* carried = nullptr;  // the bytes made but not written, at the end of the last block
  std::size_t carriedBytes = 0;
  try {
    for (std::int64_t left = count; left > 0;) {
      std::size_t slot;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (queued_ == kBlocks) {
          if (behind_) behind_->store(false, std::memory_order_relaxed);
          wroteOne_.wait(lock, [this] { return queued_ <= kBlocks - kBatch || failed_; });
        }
        if (failed_) break;
        slot = (head_ + queued_) % kBlocks;
      }
      char* const start = Block(slot);
      // The slot before is queued or being written; only its bytes past those are read.
      if (carriedBytes > 0) std::memcpy(start, carried, carriedBytes);
      // Enough room that the lines made reach the end of the block.
      const std::size_t room = kBlockSize - carriedBytes + longest - 1;
      touched_[slot] = std::max(touched_[slot], carriedBytes + room + CPasswordListFile::kRoomSlack);
      const std::size_t total = carriedBytes + make(start + carriedBytes, room, left);
      std::size_t size = total;
      if (left > 0) {
        const std::uint64_t end = (position + total) / kBlockSize * kBlockSize;
        if (end > position) size = static_cast<std::size_t>(end - position);
      }
      carried = start + size;
      carriedBytes = total - size;
      position += size;
      ++made;
      bool batch;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        sizes_[slot] = size;
        batch = ++queued_ == kBatch;
      }
      if (batch) queuedOne_.notify_one();
    }
  } catch (...) {
    Drain(true);
    file_.Abandon();
    throw;
  }
  Drain(false);
  // The writer is idle: what it left is seen through the mutex taken in Drain.
  if (failed_) {
    file_.Abandon();
    return {false, failedAt_ + 1};
  }
  return {file_.Commit(), made};
}
