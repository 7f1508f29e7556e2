// The main window created from its real template for a test, with the services recorded,
// and helpers that talk to it as the user's input would.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "app/GeneratorDlg.h"
#include "engine/GenerationSettings.h"
#include "resources/resource.h"
#include "tests/windows/platform/TestSupport.h"

// The up-down control `spin` of `parent` reports one step; returns the handler's result.
inline LRESULT SpinDelta(HWND parent, int spinId, int delta) {
  NMUPDOWN ud{};
  ud.hdr.hwndFrom = GetDlgItem(parent, spinId);
  ud.hdr.idFrom = static_cast<UINT_PTR>(spinId);
  ud.hdr.code = UDN_DELTAPOS;
  ud.iDelta = delta;
  return SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(spinId), reinterpret_cast<LPARAM>(&ud));
}

// Clicks tab item `index` with the mouse, so the control sends its own notifications.
inline void ClickTab(HWND tab, int index) {
  RECT rc{};
  SendMessageA(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc));
  const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(tab, WM_LBUTTONUP, 0, at);
}

inline bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

inline void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

// Selects all of an edit's text and types over it.
inline void TypeOver(HWND edit, const std::string& text) {
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  Type(edit, text);
}

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    theSettings = CGenerationSettings{};
    InitCommonControls();
    if (!dialog.Create(nullptr)) ADD_FAILURE() << "the main window was not created: " << GetLastError();
  }

  HWND hwnd() const { return dialog.GetSafeHwnd(); }
  HWND item(int id) const { return GetDlgItem(hwnd(), id); }
  HWND randomPage() const { return dialog.RandomPage()->GetSafeHwnd(); }
  HWND maskPage() const { return dialog.MaskPage()->GetSafeHwnd(); }
  HWND randomItem(int id) const { return GetDlgItem(randomPage(), id); }
  HWND maskItem(int id) const { return GetDlgItem(maskPage(), id); }

  // Waits, answering messages, until the window's run has ended and been put away (the
  // commands that run end after the click, through the window's messages).
  void FinishRun() {
    EXPECT_TRUE(PumpUntil([this] { return !dialog.IsRunning(); }, kRunTimeoutMs)) << "the run did not end";
  }
  // Clicks the button `id` and waits for the run it starts, if any.
  void RunCommand(int id) {
    Click(item(id));
    FinishRun();
  }
  static constexpr DWORD kRunTimeoutMs = 120000;

  // The texts of the warnings shown so far, then forgotten.
  std::vector<std::string> TakeWarnings() {
    std::vector<std::string> texts;
    for (const auto& box : services.boxes) {
      EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
      EXPECT_EQ(box.caption, "app_tests");
      texts.push_back(box.text);
    }
    services.boxes.clear();
    return texts;
  }

  CRecordingServices services;
  CScopedServices scope{services};
  CGeneratorDlg dialog;
};

inline bool Mentions(const std::vector<std::string>& warnings, const std::string& piece) {
  return warnings.size() == 1 && warnings[0].find(piece) != std::string::npos;
}
