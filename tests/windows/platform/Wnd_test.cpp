// Message tables, the lockout, reflection to subclassed controls and their removal.
#include "platform/Wnd.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/windows/platform/TestDialog.h"

namespace {

LRESULT Command(HWND dialog, int id, int code, HWND control) {
  return SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

TEST(MessageTable, MatchesMessageCodeAndIdAndTheFirstEntryWins) {
  ModelessTestDialog t;
  Command(t.hwnd(), kButton, BN_CLICKED, t.item(kButton));
  EXPECT_EQ(t.dialog.buttonClicks, 1);
  EXPECT_EQ(t.dialog.secondHandlerCalls, 0);

  // Another code from the same control, or the same code from another id, matches nothing.
  Command(t.hwnd(), kButton, BN_SETFOCUS, t.item(kButton));
  Command(t.hwnd(), kCheck, BN_CLICKED, t.item(kCheck));
  EXPECT_EQ(t.dialog.buttonClicks, 1);

  // A real click arrives the same way.
  SendMessageA(t.item(kButton), BM_CLICK, 0, 0);
  EXPECT_EQ(t.dialog.buttonClicks, 2);

  // A menu choice: code 0 and no control.
  Command(t.hwnd(), 40000, 0, nullptr);
  EXPECT_EQ(t.dialog.menuCommands, 1);
}

TEST(MessageTable, NotifyResultLeavesThroughTheDialogResultSlot) {
  ModelessTestDialog t;
  NMHDR header{t.item(kButton), kButton, static_cast<UINT>(kCustomCode)};
  EXPECT_EQ(SendMessageA(t.hwnd(), WM_NOTIFY, kButton, reinterpret_cast<LPARAM>(&header)), 77);
  header.idFrom = kCheck;  // same code, other control: not handled, default result 0
  EXPECT_EQ(SendMessageA(t.hwnd(), WM_NOTIFY, kCheck, reinterpret_cast<LPARAM>(&header)), 0);
}

TEST(MessageTable, AMessageHandlerCanDeclineAndLeaveTheDefault) {
  ModelessTestDialog t;
  EXPECT_EQ(SendMessageA(t.hwnd(), kAppMessage, 1, 0), 5);
  EXPECT_EQ(SendMessageA(t.hwnd(), kAppMessage, 2, 0), 0);
}

TEST(Lockout, IgnoresOwnControlNotificationsButNotMenusAndRestoresThePreviousState) {
  ModelessTestDialog t;
  ModelessTestDialog other;
  {
    CExchangeLockout outer(other.hwnd());
    {
      CExchangeLockout inner(t.hwnd());
      EXPECT_TRUE(t.dialog.IsLockedOut());
      EXPECT_FALSE(other.dialog.IsLockedOut());
      Command(t.hwnd(), kButton, BN_CLICKED, t.item(kButton));
      NMHDR header{t.item(kButton), kButton, static_cast<UINT>(kCustomCode)};
      EXPECT_EQ(SendMessageA(t.hwnd(), WM_NOTIFY, kButton, reinterpret_cast<LPARAM>(&header)), 0);
      Command(t.hwnd(), 40000, 0, nullptr);
      EXPECT_EQ(t.dialog.buttonClicks, 0);
      EXPECT_EQ(t.dialog.menuCommands, 1);
    }
    EXPECT_FALSE(t.dialog.IsLockedOut());
    EXPECT_TRUE(other.dialog.IsLockedOut());
    Command(t.hwnd(), kButton, BN_CLICKED, t.item(kButton));
    EXPECT_EQ(t.dialog.buttonClicks, 1);
  }
  EXPECT_FALSE(other.dialog.IsLockedOut());
}

TEST(Reflection, ASubclassedChildAnswersItsClicksAndColoursFirst) {
  ModelessTestDialog t;
  CReflectingStatic link;
  ASSERT_TRUE(link.SubclassDlgItem(kLinkStatic, t.hwnd()));
  EXPECT_EQ(link.attachCalls, 1);
  EXPECT_EQ(CWnd::FromHandle(t.item(kLinkStatic)), &link);

  Command(t.hwnd(), kLinkStatic, STN_CLICKED, t.item(kLinkStatic));
  EXPECT_EQ(link.clicks, 1);
  EXPECT_EQ(t.dialog.staticClicks, 0);  // the child took it

  // A control that is not ours goes to the parent's own table.
  Command(t.hwnd(), kPlainStatic, STN_CLICKED, t.item(kPlainStatic));
  EXPECT_EQ(t.dialog.staticClicks, 1);
  EXPECT_EQ(link.clicks, 1);

  // The colour request comes from the static's own painting; the dialog answers with the child's brush.
  ShowWindow(t.hwnd(), SW_SHOWNOACTIVATE);
  HDC dc = GetDC(t.item(kLinkStatic));
  EXPECT_EQ(SendMessageA(t.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(t.item(kLinkStatic))),
            reinterpret_cast<LRESULT>(link.brush));
  ReleaseDC(t.item(kLinkStatic), dc);
  const int before = link.colourRequests;
  InvalidateRect(t.item(kLinkStatic), nullptr, TRUE);
  UpdateWindow(t.item(kLinkStatic));
  EXPECT_GT(link.colourRequests, before);
}

TEST(Reflection, TheSubclassGoesWithTheWindowOrWithTheObject) {
  CReflectingStatic survivor;
  HWND staticWindow = nullptr;
  {
    ModelessTestDialog t;
    ASSERT_TRUE(survivor.SubclassDlgItem(kLinkStatic, t.hwnd()));
    staticWindow = t.item(kLinkStatic);
    EXPECT_FALSE(survivor.SubclassDlgItem(kPlainStatic, t.hwnd()));  // already attached
  }
  EXPECT_FALSE(IsWindow(staticWindow));
  EXPECT_EQ(survivor.GetSafeHwnd(), nullptr);  // let go on WM_NCDESTROY

  ModelessTestDialog t;
  {
    CReflectingStatic shortLived;
    ASSERT_TRUE(shortLived.SubclassDlgItem(kLinkStatic, t.hwnd()));
  }
  EXPECT_EQ(CWnd::FromHandle(t.item(kLinkStatic)), nullptr);
  // Messages to the static and reflections from the dialog now go the ordinary way.
  Command(t.hwnd(), kLinkStatic, STN_CLICKED, t.item(kLinkStatic));
  EXPECT_EQ(t.dialog.staticClicks, 1);
  InvalidateRect(t.item(kLinkStatic), nullptr, TRUE);
  UpdateWindow(t.item(kLinkStatic));
  EXPECT_EQ(TextOf(t.item(kLinkStatic)), "link");
}

struct CThrowingDialog : CDialog {
  explicit CThrowingDialog(const CTemplateBuilder& t) : CDialog(t.Get()) {}
  MessageTable GetMessageTable() const override;
  void OnThrow() { throw std::runtime_error("boom"); }
  static const MessageEntry kMessages[];
};
constexpr MessageEntry CThrowingDialog::kMessages[] = {{kAppMessage, 0, 0, On<&CThrowingDialog::OnThrow>}};
MessageTable CThrowingDialog::GetMessageTable() const { return kMessages; }

TEST(HandlerFailure, AnExceptionStopsAtTheWindowProcedureWithABeep) {
  CRecordingServices services;
  CScopedServices scope(services);
  CTemplateBuilder tmpl = TestTemplate();
  CThrowingDialog dialog(tmpl);
  ASSERT_TRUE(dialog.Create(nullptr));
  EXPECT_EQ(SendMessageA(dialog.GetSafeHwnd(), kAppMessage, 0, 0), 0);
  ASSERT_EQ(services.beeps.size(), 1u);
  EXPECT_EQ(services.beeps[0], static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_TRUE(IsWindow(dialog.GetSafeHwnd()));
}

}  // namespace
