// The progress shown on a window's taskbar button (ITaskbarList3), where the system has it.
#pragma once

#include <windows.h>

#include <cstdint>

struct ITaskbarList3;

// Shows progress on the taskbar button of `window` while it lives, and clears it when it
// goes. Where the taskbar object is missing (an older system, or Wine) every call does
// nothing. Not copyable; use it on the thread that owns the window.
class CTaskbarProgress {
 public:
  explicit CTaskbarProgress(HWND window);
  // Takes the progress off the button and releases the object (and COM, if it started it).
  ~CTaskbarProgress();
  CTaskbarProgress(const CTaskbarProgress&) = delete;
  CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

  // True when the taskbar object was found.
  bool Available() const { return taskbar_ != nullptr; }
  // `done` of `total` (total > 0), shown as a normal progress bar.
  void SetValue(std::uint64_t done, std::uint64_t total);

 private:
  HWND window_;
  bool comStarted_ = false;
  ITaskbarList3* taskbar_ = nullptr;
};
