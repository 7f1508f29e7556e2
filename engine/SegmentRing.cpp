// The segment ring: one mutex guards which segment is where; the bytes of a slot are
// written outside it, by the one thread that claimed it.
#include "engine/SegmentRing.h"

#include <system_error>
#include <utility>

CSegmentRing::CSegmentRing(std::size_t slotBytes, Maker make)
    : slotBytes_(slotBytes), make_(std::move(make)), slots_(kSlots * slotBytes) {}

CSegmentRing::~CSegmentRing() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
}

char* CSegmentRing::Next() {
  const std::uint64_t k = wanted_++;
  bool mine = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    reading_ = k;  // the slot read before is free again
    if (k == kHelpFrom && !helper_.joinable()) {
      try {
        helper_ = std::thread([this] { Help(); });
      } catch (const std::system_error&) {
      }
    }
    if (claimed_ == k) {
      ++claimed_;
      ready_[k % kSlots] = false;
      mine = true;
    } else {
      changed_.wait(lock, [&] { return ready_[k % kSlots]; });
    }
  }
  changed_.notify_all();  // the helper may be waiting for a free slot
  if (mine) make_(k, Slot(k), false);
  return Slot(k);
}

void CSegmentRing::Help() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (claimed_ >= reading_ + kSlots) {  // every slot ahead is taken
      changed_.wait(lock);
      continue;
    }
    const std::uint64_t k = claimed_++;
    ready_[k % kSlots] = false;
    lock.unlock();
    make_(k, Slot(k), true);
    lock.lock();
    ready_[k % kSlots] = true;
    changed_.notify_all();
  }
}
