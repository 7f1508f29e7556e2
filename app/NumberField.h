// The behaviour shared by the count (main window) and the length (Random page): one step per
// up-down notification, and the clamp after every change the user makes to the text.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "platform/Dialog.h"

// The nearer bound for a value outside lo..hi.
constexpr std::int32_t ClampNumber(std::int32_t value, std::int32_t lo, std::int32_t hi) {
  return value > hi ? hi : value < lo ? lo : value;
}

// One up-down step within lo..hi. Only the sign of `delta` counts: negative (the up arrow
// under the control's default range) adds one, positive subtracts one, 0 changes nothing.
constexpr std::int32_t StepNumber(std::int32_t value, int delta, std::int32_t lo, std::int32_t hi) {
  if (delta < 0 && value < hi) ++value;
  if (delta > 0 && value > lo) --value;
  return ClampNumber(value, lo, hi);
}

// UDN_DELTAPOS of a number field's up-down control: pull (going on after a failure), step
// `field`, push, focus the edit box, and let the control go ahead (result 0).
inline void OnNumberSpin(CDialog& window, std::int32_t& field, std::int32_t lo, std::int32_t hi, int edit,
                         const NMHDR* notification, LRESULT* result) {
  const int delta = reinterpret_cast<const NMUPDOWN*>(notification)->iDelta;
  window.PullControls();
  field = StepNumber(field, delta, lo, hi);
  window.PushControls();
  SetFocus(window.GetDlgItem(edit));
  *result = 0;
}

// EN_CHANGE of a number field's edit box: pull, clamp `field`, push. A number out of range
// has warned and comes back as the nearer bound; no number has warned and the last one returns.
inline void OnNumberChange(CDialog& window, std::int32_t& field, std::int32_t lo, std::int32_t hi) {
  window.PullControls();
  field = ClampNumber(field, lo, hi);
  window.PushControls();
}
