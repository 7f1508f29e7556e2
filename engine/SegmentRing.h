// Segments of a stream made ahead on a helper thread: segment k is whatever the maker
// writes for k, and it is the same bytes whichever thread makes it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/Wipe.h"

// A ring of slots holding the segments after the one being read. Once the reader has
// asked for kHelpFrom segments (short runs never get that far), a helper thread makes the
// next ones ahead while the reader works on the current one; the reader makes a segment
// itself whenever the helper has not taken it on yet, so neither waits for work the other
// could do. Without a thread (it could not be started) the reader goes on alone.
class CSegmentRing {
 public:
  // Writes segment k into a slot of `slotBytes` bytes; `helper` says which thread calls
  // (each thread may keep state of its own). Never called twice for the same k.
  using Maker = std::function<void(std::uint64_t k, char* slot, bool helper)>;

  CSegmentRing(std::size_t slotBytes, Maker make);
  ~CSegmentRing();  // stops and joins the helper; the slots are wiped
  CSegmentRing(const CSegmentRing&) = delete;
  CSegmentRing& operator=(const CSegmentRing&) = delete;

  // The next segment (0 first). Its slot stays as it is until the following call.
  char* Next();

  static constexpr std::size_t kSlots = 8;
  static constexpr std::uint64_t kHelpFrom = 2;

 private:
  void Help();
  char* Slot(std::uint64_t k) const { return slots_.Data() + k % kSlots * slotBytes_; }

  std::size_t slotBytes_;
  Maker make_;
  CWipedBuffer slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t reading_ = 0;  // the segment the reader has; its slot is not to be touched
  std::uint64_t claimed_ = 0;  // segments below this are made or being made
  bool ready_[kSlots] = {};
  bool stop_ = false;
  std::uint64_t wanted_ = 0;  // the reader's next segment; the reader's alone
  std::thread helper_;
};
