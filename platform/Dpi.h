// Pixel sizes that follow the DPI of a window: the DPI itself, scaling from 96 DPI, system
// metrics at a given DPI and the rectangle a DPI change suggests.
#pragma once

#include <windows.h>

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
