// The progress window of a long run: how many passwords are made, the time left, and Cancel.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Dialog.h"

class CWindowRun;

// "1,234,567": `value` with `separator` between groups of three digits. Wide, since some
// locales separate with a character no ANSI code page has (U+202F).
std::wstring GroupThousands(std::int64_t value, const std::wstring& separator);
// The time-left line after `elapsedMs` of a run that has made `done` of `total`: empty until
// an estimate means something (2 s gone and 1 % made), then "About N minutes left", "About N
// seconds left" (in steps of 5) or "A few seconds left".
std::string TimeLeftText(std::uint64_t elapsedMs, std::int64_t done, std::int64_t total);

// Owned by `owner` (the main window), run with DoModal while `run` lasts. Cancel, Escape and
// the close box ask the run to stop; the window stays until the owner ends it with
// EndDialog when the run has ended.
class CProgressDlg : public CDialog {
 public:
  CProgressDlg(CWnd& owner, CWindowRun& run);

 protected:
  MessageTable GetMessageTable() const override;
  // Caption = the application title; starts the refresh timer and shows the first figures.
  bool OnInitWindow() override;
  // Asks the run to stop; the button then stays disabled.
  void OnCancel() override;
  // Enter does not end the window.
  void OnOK() override {}

 private:
  bool OnTimer(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Shows the run's figures in the window and on the taskbar button.
  void Refresh();

  static const MessageEntry kMessages[];
  CWindowRun& run_;
  std::wstring separator_;
};
