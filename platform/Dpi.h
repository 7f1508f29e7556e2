// Pixel sizes that follow the DPI of a window: the DPI itself, scaling from 96 DPI, system
// metrics at a given DPI and the rectangle a DPI change suggests.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/Controls.h"

// The DPI at which pixel sizes in the code are written.
constexpr UINT kDefaultDpi = 96;

// `pixels` at 96 DPI, scaled to `dpi` and rounded to the nearest pixel.
inline int ScaleForDpi(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), kDefaultDpi); }

// The DPI `window` is shown at: GetDpiForWindow where the system has it (Windows 10 1607
// on), otherwise the screen's LOGPIXELSY.
UINT WindowDpi(HWND window);

// System metric `index` (SM_CXICON, ...) at `dpi`: GetSystemMetricsForDpi where the system
// has it, otherwise GetSystemMetrics scaled from the screen's DPI.
int SystemMetricForDpi(int index, UINT dpi);

// WM_DPICHANGED: moves and sizes `window` to the rectangle the system suggests (`lParam`).
void MoveToSuggestedRect(HWND window, LPARAM lParam);

// The DPI a WM_DPICHANGED carries (`wParam`; X and Y are the same).
inline UINT DpiOfChange(WPARAM wParam) { return HIWORD(wParam); }

// Per-monitor v1 fallback: there the dialog manager neither moves nor sizes a dialog's controls
// on a DPI change, nor makes its font again, so the dialog does it itself. Not copyable: owns
// the font it gives the controls.
class CDpiRelayout {
 public:
  // Places and sizes every descendant of `dialog` for `toDpi` and gives each the dialog's font
  // made for `toDpi`. The first call records the layout and the font as they stand, at
  // `fromDpi`; every call scales from that record, so repeated changes do not drift.
  void Apply(HWND dialog, UINT fromDpi, UINT toDpi);
  // The font given to the controls by the last Apply; null before.
  HFONT Font() const { return font_ ? font_->Get() : nullptr; }

 private:
  struct Place {
    HWND window;
    RECT rect;  // in the parent's client coordinates
  };
  std::vector<Place> base_;
  UINT baseDpi_ = 0;
  LOGFONTA baseFont_{};
  bool haveFont_ = false;
  std::unique_ptr<CFont> font_;
};
