// DPI queries, with the per-window functions of newer systems looked up at run time so the
// program still starts where user32 lacks them.
#include "platform/Dpi.h"

#include "platform/Controls.h"

namespace {
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

template <typename Fn>
Fn User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  FARPROC found = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(found));
}

UINT ScreenDpi() {
  const CWindowDC screen(nullptr);
  const int dpi = screen.Get() != nullptr ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}
}  // namespace

UINT WindowDpi(HWND window) {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    if (const UINT dpi = getDpiForWindow(window)) return dpi;
  }
  return ScreenDpi();
}

int SystemMetricForDpi(int index, UINT dpi) {
  static const auto getSystemMetricsForDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (getSystemMetricsForDpi != nullptr) return getSystemMetricsForDpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

void MoveToSuggestedRect(HWND window, LPARAM lParam) {
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  if (suggested == nullptr) return;
  SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}
