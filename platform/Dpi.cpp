// DPI queries, with the per-window functions of newer systems looked up at run time so the
// program still starts where user32 lacks them.
#include "platform/Dpi.h"

#include "platform/Controls.h"

#include <utility>

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

void CDpiRelayout::Apply(HWND dialog, UINT fromDpi, UINT toDpi) {
  if (dialog == nullptr || fromDpi == 0 || toDpi == 0) return;
  if (baseDpi_ == 0) {
    baseDpi_ = fromDpi;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM self) -> BOOL {
          RECT rc{};
          GetWindowRect(child, &rc);
          MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
          reinterpret_cast<CDpiRelayout*>(self)->base_.push_back({child, rc});
          return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
    auto font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    haveFont_ = font != nullptr && GetObjectA(font, sizeof(baseFont_), &baseFont_) != 0;
  }
  // The controls take the new font before the old one goes: none may hold a deleted font.
  std::unique_ptr<CFont> made;
  if (haveFont_) {
    LOGFONTA description = baseFont_;
    description.lfHeight = MulDiv(baseFont_.lfHeight, static_cast<int>(toDpi), static_cast<int>(baseDpi_));
    description.lfWidth = MulDiv(baseFont_.lfWidth, static_cast<int>(toDpi), static_cast<int>(baseDpi_));
    made = std::make_unique<CFont>();
    if (!made->Create(description)) made.reset();
  }
  const auto scale = [&](LONG v) { return MulDiv(v, static_cast<int>(toDpi), static_cast<int>(baseDpi_)); };
  for (const Place& place : base_) {
    if (!IsWindow(place.window)) continue;
    if (made) SendMessageA(place.window, WM_SETFONT, reinterpret_cast<WPARAM>(made->Get()), FALSE);
    const int x = scale(place.rect.left);
    const int y = scale(place.rect.top);
    SetWindowPos(place.window, nullptr, x, y, scale(place.rect.right) - x, scale(place.rect.bottom) - y,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (made) font_ = std::move(made);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
