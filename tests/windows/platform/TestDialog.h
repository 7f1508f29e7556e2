// A small dialog of the platform tests: one control of each exchange kind, a subclassed
// static that answers reflected messages, and handlers that count their calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "tests/windows/platform/TestSupport.h"

enum TestIds : int {
  kTextEdit = 10,
  kNumberEdit = 11,
  kCheck = 12,
  kLinkStatic = 13,
  kButton = 14,
  kPlainStatic = 15,
  kCustomCode = 1234,
};
constexpr UINT kAppMessage = WM_APP + 1;

inline CTemplateBuilder TestTemplate(DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU) {
  CTemplateBuilder b(style, 200, 100, "Test");
  b.Control("Edit", "", kTextEdit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 5, 5, 100, 14)
      .Control("Edit", "", kNumberEdit, ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER | WS_TABSTOP, 5, 22, 50, 14)
      .Control("Button", "Check", kCheck, BS_AUTOCHECKBOX | WS_TABSTOP, 5, 40, 60, 10)
      .Control("Static", "link", kLinkStatic, SS_LEFT, 5, 55, 60, 8)
      .Control("Button", "Press", kButton, BS_PUSHBUTTON | WS_TABSTOP, 70, 40, 40, 14)
      .Control("Static", "plain", kPlainStatic, SS_LEFT, 5, 70, 60, 8)
      .Control("Button", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 140, 80, 50, 14);
  return b;
}

// A static that handles clicks and colour requests reflected from its parent and sees
// messages in the modal loop's pre-filter.
class CReflectingStatic : public CStatic {
 public:
  int clicks = 0;
  int colourRequests = 0;
  int attachCalls = 0;
  int filtered = 0;     // messages seen by the pre-filter
  UINT eatMessage = 0;  // the pre-filter eats this one
  HBRUSH brush = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));

  bool PreTranslateMessage(MSG& msg) override {
    ++filtered;
    return msg.message == eatMessage;
  }

 protected:
  MessageTable GetMessageTable() const override;
  void OnAttach() override { ++attachCalls; }

 private:
  void OnClicked() { ++clicks; }
  bool OnCtlColor(WPARAM, LPARAM, LRESULT& result) {
    ++colourRequests;
    result = reinterpret_cast<LRESULT>(brush);
    return true;
  }
  static const MessageEntry kMessages[];
};

inline constexpr MessageEntry CReflectingStatic::kMessages[] = {
    {Reflected(WM_COMMAND), STN_CLICKED, 0, On<&CReflectingStatic::OnClicked>},
    {Reflected(WM_CTLCOLORSTATIC), 0, 0, On<&CReflectingStatic::OnCtlColor>},
};
inline MessageTable CReflectingStatic::GetMessageTable() const { return kMessages; }

class CTestDialog : public CDialog {
 public:
  explicit CTestDialog(const CTemplateBuilder& t, CWnd* parent = nullptr) : CDialog(t.Get(), parent) {}

  std::int32_t checked = 1;
  std::string text = "abc";
  std::int32_t number = 5;
  CWindowRef attached;

  int numberChanges = 0;
  int buttonClicks = 0;
  int secondHandlerCalls = 0;
  int menuCommands = 0;
  int staticClicks = 0;
  int filtered = 0;
  UINT lastFiltered = 0;
  bool initialised = false;

  bool PreTranslateMessage(MSG& msg) override {
    ++filtered;
    lastFiltered = msg.message;
    return false;
  }

 protected:
  MessageTable GetMessageTable() const override;
  ExchangeMap GetExchangeMap() override { return map_; }
  bool OnInitWindow() override {
    initialised = true;
    return CDialog::OnInitWindow();
  }

 private:
  void OnNumberChange() { ++numberChanges; }
  void OnButton() { ++buttonClicks; }
  void OnButtonAgain() { ++secondHandlerCalls; }
  void OnMenu() { ++menuCommands; }
  void OnStaticClicked() { ++staticClicks; }
  void OnCustomNotify(NMHDR*, LRESULT* result) { *result = 77; }
  bool OnAppMessage(WPARAM wParam, LPARAM, LRESULT& result) {
    if (wParam != 1) return false;
    result = 5;
    return true;
  }
  static const MessageEntry kMessages[];

  const ExchangeEntry map_[4] = {
      ExchangeEntry::Attach(kLinkStatic, attached),
      ExchangeEntry::CheckBox(kCheck, checked),
      ExchangeEntry::Text(kTextEdit, text, 8),
      ExchangeEntry::Number(kNumberEdit, number, 1, 100),
  };
};

inline constexpr MessageEntry CTestDialog::kMessages[] = {
    {WM_COMMAND, EN_CHANGE, kNumberEdit, On<&CTestDialog::OnNumberChange>},
    {WM_COMMAND, BN_CLICKED, kButton, On<&CTestDialog::OnButton>},
    {WM_COMMAND, BN_CLICKED, kButton, On<&CTestDialog::OnButtonAgain>},  // never: the first match wins
    {WM_COMMAND, 0, 40000, On<&CTestDialog::OnMenu>},
    {WM_COMMAND, STN_CLICKED, kLinkStatic, On<&CTestDialog::OnStaticClicked>},
    {WM_COMMAND, STN_CLICKED, kPlainStatic, On<&CTestDialog::OnStaticClicked>},
    {WM_NOTIFY, static_cast<UINT>(kCustomCode), kButton, On<&CTestDialog::OnCustomNotify>},
    {kAppMessage, 0, 0, On<&CTestDialog::OnAppMessage>},
};
inline MessageTable CTestDialog::GetMessageTable() const { return kMessages; }

// A test dialog created modeless as a top-level window; destroyed with the object.
struct ModelessTestDialog {
  CTemplateBuilder t = TestTemplate();
  CTestDialog dialog{t};
  ModelessTestDialog() {
    if (!dialog.Create(nullptr)) ADD_FAILURE() << "the test dialog was not created: error " << GetLastError();
  }
  HWND hwnd() const { return dialog.GetSafeHwnd(); }
  HWND item(int id) const { return GetDlgItem(hwnd(), id); }
};
