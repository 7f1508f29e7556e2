// Segments of a stream made ahead on a helper thread: segment k is whatever the maker
// writes for k, and it is the same bytes whichever thread makes it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/Wipe.h"

// The reader takes segments 0, 1, 2, ... in turn. Once it has taken kHelpFrom of them
// (short runs never get that far), a helper thread, which runs only on a processor the
// other threads leave idle, makes the following ones ahead into a buffer of its own and
// swaps each into its place in a ring. The reader never waits for the helper: while the
// helper makes the segment the reader wants, the reader makes later ones; with no room
// left for those it makes the wanted one too, and the helper's copy is dropped. Without a
// thread (it could not be started) the reader goes on alone.
class CSegmentRing {
 public:
  // Writes segment k into a buffer of `slotBytes` bytes; `helper` says which thread calls
  // (each thread may keep state of its own).
  using Maker = std::function<void(std::uint64_t k, char* slot, bool helper)>;

  // With `demand`, the helper makes segments only while it is true (what is made is worth
  // making ahead only while making is what the run waits for).
  CSegmentRing(std::size_t slotBytes, Maker make, const std::atomic<bool>* demand = nullptr);
  ~CSegmentRing();  // stops and joins the helper; the buffers are wiped
  CSegmentRing(const CSegmentRing&) = delete;
  CSegmentRing& operator=(const CSegmentRing&) = delete;

  // The next segment (0 first). Its bytes stay as they are until the following call.
  char* Next();

  static constexpr std::size_t kSlots = 8;
  static constexpr std::uint64_t kHelpFrom = 2;

 private:
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  void Help();

  Maker make_;
  const std::atomic<bool>* demand_;
  CWipedBuffer buffers_;  // kSlots + 1 of slotBytes: one per slot, one the helper works in
  std::array<char*, kSlots> slot_{};
  std::array<std::uint64_t, kSlots> holds_{};  // the segment slot i holds, or kNone
  char* work_ = nullptr;                       // the helper's
  std::mutex mutex_;
  std::condition_variable roomy_;  // the helper waits here for room
  std::uint64_t reading_ = 0;      // the segment the reader has; its slot is the reader's
  std::uint64_t ahead_ = 0;        // segments below this are made, being made or passed
  std::uint64_t making_ = kNone;   // the segment the helper is making
  bool helperWaits_ = false;
  bool stop_ = false;
  std::uint64_t wanted_ = 0;  // the reader's next segment; the reader's alone
  std::thread helper_;
};
