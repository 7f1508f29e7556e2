// The segment ring: one mutex guards which buffer holds which segment; a buffer's bytes
// are written outside it, by the one thread that owns the buffer at the time.
#include "engine/SegmentRing.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

#include "engine/ThreadPriority.h"

CSegmentRing::CSegmentRing(std::size_t slotBytes, Maker make, const std::atomic<bool>* demand)
    : make_(std::move(make)), demand_(demand), buffers_((kSlots + 1) * slotBytes) {
  for (std::size_t i = 0; i < kSlots; ++i) {
    slot_[i] = buffers_.Data() + i * slotBytes;
    holds_[i] = kNone;
  }
  work_ = buffers_.Data() + kSlots * slotBytes;
}

CSegmentRing::~CSegmentRing() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  roomy_.notify_all();
  if (helper_.joinable()) helper_.join();
}

char* CSegmentRing::Next() {
  const std::uint64_t k = wanted_++;
  const std::size_t i = k % kSlots;
  bool made = false, wake = false;
  char* slot = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reading_ = k;  // from here on the helper leaves slot i alone
    if (k == kHelpFrom && !helper_.joinable()) {
      try {
        helper_ = std::thread([this] { Help(); });
      } catch (const std::system_error&) {
      }
    }
    made = holds_[i] == k;
    holds_[i] = kNone;  // whatever else it held is stale now
    slot = slot_[i];
    // The helper sleeps until half the ring is free, so that it wakes for a run of
    // segments rather than for each one.
    wake = helperWaits_ && std::max(ahead_, k + 1) + kSlots / 2 <= k + kSlots;
  }
  if (wake) roomy_.notify_one();
  if (!made) make_(k, slot, false);
  return slot;
}

void CSegmentRing::Help() {
  YieldToOtherThreads();  // the reader and the writer come first: they are what a run waits for
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    ahead_ = std::max(ahead_, reading_ + 1);
    if (ahead_ >= reading_ + kSlots) {  // every slot ahead holds its segment
      helperWaits_ = true;
      roomy_.wait(lock, [&] { return stop_ || std::max(ahead_, reading_ + 1) + kSlots / 2 <= reading_ + kSlots; });
      helperWaits_ = false;
      continue;
    }
    if (demand_ && !demand_->load(std::memory_order_relaxed)) {  // not wanted now: look again soon
      roomy_.wait_for(lock, std::chrono::milliseconds(1));
      continue;
    }
    const std::uint64_t k = ahead_++;
    lock.unlock();
    make_(k, work_, true);
    lock.lock();
    if (k > reading_) {  // still ahead of the reader: into its place
      const std::size_t i = k % kSlots;
      std::swap(work_, slot_[i]);
      holds_[i] = k;
    }
  }
}
