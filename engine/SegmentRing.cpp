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
  std::unique_lock<std::mutex> lock(mutex_);
  reading_ = k;  // from here on the helper leaves slot i alone
  if (k == kHelpFrom && !helper_.joinable()) {
    try {
      helper_ = std::thread([this] { Help(); });
    } catch (const std::system_error&) {
    }
  }
  ahead_ = std::max(ahead_, k);
  if (ahead_ == k) ahead_ = k + 1;  // nobody has taken k on: the reader makes it below
  // While the helper is making k, make later segments, as long as there is room for them,
  // rather than the same one twice. The helper yields to every other thread, so it is never
  // waited for: with no room left, k is made here too and the helper's copy dropped.
  while (holds_[i] != k && making_ == k && ahead_ < k + kSlots) {
    const std::uint64_t later = ahead_++;
    const std::size_t j = later % kSlots;
    holds_[j] = kNone;
    lock.unlock();
    make_(later, slot_[j], false);
    lock.lock();
    holds_[j] = later;
  }
  const bool made = holds_[i] == k;
  holds_[i] = kNone;  // whatever else it held is stale now
  char* const slot = slot_[i];
  // The helper sleeps until half the ring is free, so that it wakes for a run of segments
  // rather than for each one.
  const bool wake = helperWaits_ && ahead_ + kSlots / 2 <= k + kSlots;
  lock.unlock();
  if (wake) roomy_.notify_one();
  if (!made) make_(k, slot, false);
  return slot;
}

void CSegmentRing::Help() {
  YieldToOtherThreads();  // the reader and the writer come first: they are what a run waits for
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    ahead_ = std::max(ahead_, reading_ + 1);
    if (ahead_ >= reading_ + kSlots) {  // every slot ahead holds its segment or is being made
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
    making_ = k;
    lock.unlock();
    make_(k, work_, true);
    lock.lock();
    making_ = kNone;
    if (k > reading_) {  // still ahead of the reader: into its place

      const std::size_t i = k % kSlots;
      std::swap(work_, slot_[i]);
      holds_[i] = k;
    }
  }
}
