// The progress window: figures refreshed from the run's control four times a second.
#include "app/ProgressDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "app/WindowRun.h"
#include "platform/Services.h"
#include "resources/resource.h"

namespace {
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 250;
// The bar's range; the counts go up to 100,000,000, beyond a progress bar's 16-bit default.
constexpr int kBarRange = 10000;

// The user's digit-group separator, or a comma when the locale does not say.
std::wstring ThousandSeparator() {
  wchar_t buffer[8] = {};  // the system allows four characters and the zero
  const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, static_cast<int>(std::size(buffer)));
  return n > 1 ? std::wstring(buffer) : std::wstring(L",");
}
}  // namespace

std::wstring GroupThousands(std::int64_t value, const std::wstring& separator) {
  const std::wstring digits = std::to_wstring(value < 0 ? -value : value);
  std::wstring text = value < 0 ? L"-" : L"";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += separator;
    text += digits[i];
  }
  return text;
}

std::string TimeLeftText(std::uint64_t elapsedMs, std::int64_t done, std::int64_t total) {
  if (total <= 0 || done <= 0 || elapsedMs < 2000 || done * 100 < total) return {};
  const double left = static_cast<double>(elapsedMs) * static_cast<double>(total - done) / static_cast<double>(done);
  const std::uint64_t seconds = static_cast<std::uint64_t>(left / 1000.0 + 0.5);
  if (seconds >= 90) return "About " + std::to_string((seconds + 30) / 60) + " minutes left";
  if (seconds >= 55) return "About 1 minute left";
  if (seconds >= 8) return "About " + std::to_string((seconds + 2) / 5 * 5) + " seconds left";
  return "A few seconds left";
}

CProgressDlg::CProgressDlg(CWnd& owner, CWindowRun& run) : CDialog(IDD_PROGRESS, &owner), run_(run) {}

constexpr MessageEntry CProgressDlg::kMessages[] = {
    {WM_TIMER, 0, 0, On<&CProgressDlg::OnTimer>},
};

MessageTable CProgressDlg::GetMessageTable() const { return kMessages; }

bool CProgressDlg::OnInitWindow() {
  CDialog::OnInitWindow();
  SetText(ApplicationTitle());
  separator_ = ThousandSeparator();
  Item(IDC_PROGRESS_BAR).Send(PBM_SETRANGE32, 0, kBarRange);
  Refresh();
  SetTimer(m_hWnd, kRefreshTimer, kRefreshMs, nullptr);
  return true;
}

void CProgressDlg::OnCancel() {
  run_.Control().Cancel();
  Item(IDCANCEL).Enable(false);
}

bool CProgressDlg::OnTimer(WPARAM wParam, LPARAM, LRESULT& result) {
  if (wParam != kRefreshTimer) return false;
  Refresh();
  result = 0;
  return true;
}

void CProgressDlg::Refresh() {
  const std::int64_t total = run_.Total();
  const std::int64_t done = std::min(run_.Control().Made(), total);
  const auto update = [this](int id, const std::wstring& text) {
    // Set only when changed: no flicker four times a second.
    const HWND item = GetDlgItem(id);
    std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(GetWindowTextW(item, shown.data(), static_cast<int>(shown.size()))));
    if (shown != text) SetWindowTextW(item, text.c_str());
  };
  update(IDC_PROGRESS_COUNT,
         GroupThousands(done, separator_) + L" of " + GroupThousands(total, separator_) + L" passwords");
  update(IDC_PROGRESS_TIME, WidenAnsi(TimeLeftText(GetTickCount64() - run_.StartTick(), done, total)));
  const int position = total > 0 ? static_cast<int>(done * kBarRange / total) : 0;
  Item(IDC_PROGRESS_BAR).Send(PBM_SETPOS, static_cast<WPARAM>(position));
  if (run_.taskbar) run_.taskbar->SetValue(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total));
}
