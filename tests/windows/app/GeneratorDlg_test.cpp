// The main window against its real template: start state, frame, the include and exclude
// rows, Clear, the count's spin and clamp, the warnings, and the ways it closes.
#include "app/GeneratorDlg.h"

#include <gtest/gtest.h>

#include "tests/windows/app/MainWindowFixture.h"

namespace {

TEST_F(MainWindowTest, StartState) {
  for (int id : {IDC_USE_CAPITALS, IDC_USE_SMALL, IDC_USE_DIGITS}) EXPECT_TRUE(IsChecked(item(id))) << id;
  for (int id : {IDC_USE_SPECIAL, IDC_USE_INCLUDE, IDC_USE_EXCLUDE}) EXPECT_FALSE(IsChecked(item(id))) << id;
  for (int id :
       {IDC_INCLUDE_TEXT, IDC_CLEAR_INCLUDE, IDC_ADD_INCLUDE, IDC_EXCLUDE_TEXT, IDC_CLEAR_EXCLUDE, IDC_ADD_EXCLUDE}) {
    EXPECT_FALSE(IsWindowEnabled(item(id))) << id;
  }
  for (int id : {IDC_TO_CLIPBOARD, IDC_SAVE_TO_FILE, IDC_GENERATE, IDC_GENERATE_TO_FILE, IDOK}) {
    EXPECT_TRUE(IsWindowEnabled(item(id))) << id;
  }
  EXPECT_EQ(TextOf(item(IDC_INCLUDE_TEXT)), "");
  EXPECT_EQ(TextOf(item(IDC_EXCLUDE_TEXT)), "");
  EXPECT_EQ(SendMessageA(item(IDC_INCLUDE_TEXT), EM_GETLIMITTEXT, 0, 0), 1000);
  EXPECT_EQ(SendMessageA(item(IDC_EXCLUDE_TEXT), EM_GETLIMITTEXT, 0, 0), 1000);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "10");
  EXPECT_EQ(GetFocus(), item(IDC_USE_CAPITALS));

  CListCtrl list(item(IDC_PASSWORD_LIST));
  EXPECT_EQ(dialog.passwordList.GetSafeHwnd(), list.GetSafeHwnd());
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(list.GetColumnCount(), 2);
  EXPECT_EQ(list.GetColumnText(0), "ID");
  EXPECT_EQ(list.GetColumnWidth(0), 50);
  EXPECT_EQ(list.GetColumnText(1), "Password");
  EXPECT_EQ(list.GetColumnWidth(1), 220);
  const DWORD wanted = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE;
  EXPECT_EQ(list.GetExtendedStyle() & wanted, wanted);

  CTabCtrl tab(item(IDC_TYPE_TAB));
  EXPECT_EQ(dialog.tabControl.GetSafeHwnd(), tab.GetSafeHwnd());
  ASSERT_EQ(tab.GetItemCount(), 2);
  EXPECT_EQ(tab.GetItemText(0), "Random");
  EXPECT_EQ(tab.GetItemText(1), "Masked");
  EXPECT_EQ(tab.GetCurSel(), 0);
  EXPECT_TRUE(IsWindowVisible(randomPage()));
  EXPECT_FALSE(IsWindowVisible(maskPage()));
  EXPECT_EQ(GetParent(randomPage()), tab.GetSafeHwnd());
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(MainWindowTest, FrameIconSystemMenuAndPlacement) {
  EXPECT_EQ(TextOf(hwnd()), "Keymoor");
  ASSERT_NE(dialog.appIcon, nullptr);
  EXPECT_EQ(SendMessageA(hwnd(), WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(dialog.appIcon));
  EXPECT_NE(SendMessageA(hwnd(), WM_GETICON, ICON_SMALL, 0), 0);  // its own size, checked with the DPI
  EXPECT_EQ(SendMessageA(hwnd(), WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dialog.appIcon));

  HMENU system = GetSystemMenu(hwnd(), FALSE);
  const int n = GetMenuItemCount(system);
  ASSERT_GE(n, 2);
  EXPECT_EQ(GetMenuState(system, n - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  EXPECT_EQ(GetMenuItemID(system, n - 1), CGeneratorDlg::AboutSystemCommand);
  char text[64] = {};
  GetMenuStringA(system, n - 1, text, sizeof(text), MF_BYPOSITION);
  EXPECT_STREQ(text, "&About Main...");

  // Centred on the work area.
  RECT rc{};
  GetWindowRect(hwnd(), &rc);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &info));
  EXPECT_NEAR((rc.left + rc.right) / 2, (info.rcWork.left + info.rcWork.right) / 2, 1);
  EXPECT_NEAR((rc.top + rc.bottom) / 2, (info.rcWork.top + info.rcWork.bottom) / 2, 1);

  // The page sits at (10, 30) of the tab control's client area.
  RECT page{};
  GetWindowRect(randomPage(), &page);
  POINT origin{page.left, page.top};
  ScreenToClient(item(IDC_TYPE_TAB), &origin);
  EXPECT_EQ(origin.x, 10);
  EXPECT_EQ(origin.y, 30);
}

// Messages sent to windows of this thread, seen by a hook.
std::vector<std::pair<HWND, UINT>> sentMessages;
LRESULT CALLBACK RecordSent(int code, WPARAM wParam, LPARAM lParam) {
  const auto* info = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION) sentMessages.emplace_back(info->hwnd, info->message);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, PaintsItsIconWhileMinimised) {
  auto erasedAsIcon = [&] {
    for (const auto& [window, message] : sentMessages) {
      if (window == hwnd() && message == WM_ICONERASEBKGND) return true;
    }
    return false;
  };
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &RecordSent, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  sentMessages.clear();
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const bool erasedWhileRestored = erasedAsIcon();
  // Wine does not paint a minimised window on its own; ask as Windows would.
  ShowWindow(hwnd(), SW_MINIMIZE);
  sentMessages.clear();
  SendMessageA(hwnd(), WM_PAINT, 0, 0);
  const bool erasedWhileMinimised = erasedAsIcon();
  UnhookWindowsHookEx(hook);
  EXPECT_FALSE(erasedWhileRestored);
  ASSERT_TRUE(IsIconic(hwnd()));
  EXPECT_TRUE(erasedWhileMinimised);
}

TEST_F(MainWindowTest, IncludeAndExcludeRowsFollowTheirCheckBoxes) {
  Click(item(IDC_USE_INCLUDE));
  EXPECT_EQ(dialog.useInclude, 1);
  for (int id : {IDC_INCLUDE_TEXT, IDC_CLEAR_INCLUDE, IDC_ADD_INCLUDE}) EXPECT_TRUE(IsWindowEnabled(item(id))) << id;
  EXPECT_FALSE(IsWindowEnabled(item(IDC_EXCLUDE_TEXT)));
  EXPECT_EQ(GetFocus(), item(IDC_INCLUDE_TEXT));

  Click(item(IDC_USE_EXCLUDE));
  for (int id : {IDC_EXCLUDE_TEXT, IDC_CLEAR_EXCLUDE, IDC_ADD_EXCLUDE}) EXPECT_TRUE(IsWindowEnabled(item(id))) << id;
  EXPECT_EQ(GetFocus(), item(IDC_EXCLUDE_TEXT));

  Click(item(IDC_USE_INCLUDE));
  EXPECT_EQ(dialog.useInclude, 0);
  for (int id : {IDC_INCLUDE_TEXT, IDC_CLEAR_INCLUDE, IDC_ADD_INCLUDE}) EXPECT_FALSE(IsWindowEnabled(item(id))) << id;
  EXPECT_TRUE(IsWindowEnabled(item(IDC_EXCLUDE_TEXT)));
  // The platform gives no focus to a disabled control; the focus stays in the window.
  EXPECT_TRUE(IsChild(hwnd(), GetFocus()));
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(MainWindowTest, ClearEmptiesItsRowAndKeepsTheOtherRowsTypedText) {
  Click(item(IDC_USE_INCLUDE));
  Click(item(IDC_USE_EXCLUDE));
  TypeOver(item(IDC_INCLUDE_TEXT), "abc");
  TypeOver(item(IDC_EXCLUDE_TEXT), "xyz");
  Click(item(IDC_CLEAR_INCLUDE));
  EXPECT_EQ(TextOf(item(IDC_INCLUDE_TEXT)), "");
  EXPECT_EQ(dialog.includeText, "");
  EXPECT_EQ(TextOf(item(IDC_EXCLUDE_TEXT)), "xyz");
  EXPECT_EQ(dialog.excludeText, "xyz");  // the pull took it first
  EXPECT_EQ(GetFocus(), item(IDC_INCLUDE_TEXT));

  TypeOver(item(IDC_INCLUDE_TEXT), "pq");
  Click(item(IDC_CLEAR_EXCLUDE));
  EXPECT_EQ(TextOf(item(IDC_EXCLUDE_TEXT)), "");
  EXPECT_EQ(TextOf(item(IDC_INCLUDE_TEXT)), "pq");
  EXPECT_EQ(GetFocus(), item(IDC_EXCLUDE_TEXT));
}

TEST_F(MainWindowTest, CountSpinStepsByOneAndStopsAtBothBounds) {
  SetFocus(item(IDC_USE_CAPITALS));
  EXPECT_EQ(SpinDelta(hwnd(), IDC_COUNT_SPIN, -1), 0);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "11");
  EXPECT_EQ(GetFocus(), item(IDC_COUNT));
  SpinDelta(hwnd(), IDC_COUNT_SPIN, 5);  // an accelerated step still moves by one
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "10");
  SpinDelta(hwnd(), IDC_COUNT_SPIN, 0);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "10");

  SetWindowTextA(item(IDC_COUNT), "100000000");
  SpinDelta(hwnd(), IDC_COUNT_SPIN, -1);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "100000000");
  SpinDelta(hwnd(), IDC_COUNT_SPIN, 1);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "99999999");

  SetWindowTextA(item(IDC_COUNT), "1");
  SpinDelta(hwnd(), IDC_COUNT_SPIN, 1);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "1");
  EXPECT_EQ(dialog.count, 1);
  EXPECT_TRUE(services.boxes.empty());

  // The real control's arrow key reports through the same notification.
  SetFocus(item(IDC_COUNT));
  SendMessageA(item(IDC_COUNT_SPIN), WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "2");
}

TEST_F(MainWindowTest, CountTypingAndPasting) {
  // "0" over the selected count: the range warning, then the nearer bound.
  TypeOver(item(IDC_COUNT), "0");
  EXPECT_TRUE(Mentions(TakeWarnings(), "1 to 100000000"));
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "1");
  EXPECT_EQ(dialog.count, 1);

  // A digit added to "100000000".
  SetWindowTextA(item(IDC_COUNT), "100000000");
  SendMessageA(item(IDC_COUNT), EM_SETSEL, 9, 9);
  Type(item(IDC_COUNT), "5");
  EXPECT_TRUE(Mentions(TakeWarnings(), "1 to 100000000"));
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "100000000");

  // Deleting the last digit of "7": the number warning, then "7" again, selected.
  SetWindowTextA(item(IDC_COUNT), "7");
  SendMessageA(item(IDC_COUNT), EM_SETSEL, 1, 1);
  Type(item(IDC_COUNT), "\b");
  EXPECT_TRUE(Mentions(TakeWarnings(), "whole number"));
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "7");
  EXPECT_EQ(GetFocus(), item(IDC_COUNT));

  // Pastes bypass the number style.
  PasteOver(item(IDC_COUNT), "12abc");
  EXPECT_TRUE(TakeWarnings().empty());
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "12");
  PasteOver(item(IDC_COUNT), "-5");
  EXPECT_TRUE(Mentions(TakeWarnings(), "1 to 100000000"));
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "1");
  // Beyond 32 bits: out of range, never wrapped (4294967297 would wrap to 1).
  PasteOver(item(IDC_COUNT), "4294967297");
  EXPECT_TRUE(Mentions(TakeWarnings(), "1 to 100000000"));
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "100000000");

  // Typing is limited to digits by the template's number style, without a warning.
  TypeOver(item(IDC_COUNT), "4x");
  EXPECT_TRUE(TakeWarnings().empty());
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "4");
}

TEST_F(MainWindowTest, AnOverlongIncludeTextWarnsAtEveryPullUntilCleared) {
  Click(item(IDC_USE_INCLUDE));
  TypeOver(item(IDC_COUNT), "25");
  TakeWarnings();
  ASSERT_EQ(dialog.count, 25);
  // As Add from file does: append to the field and push.
  dialog.includeText = std::string(1001, 'k');
  dialog.PushControls();
  ASSERT_EQ(TextOf(item(IDC_INCLUDE_TEXT)).size(), 1001u);

  SetFocus(item(IDC_COUNT));
  SendMessageA(item(IDC_COUNT), EM_SETSEL, 2, 2);
  Type(item(IDC_COUNT), "3");
  EXPECT_TRUE(Mentions(TakeWarnings(), "1000"));
  EXPECT_EQ(GetFocus(), item(IDC_INCLUDE_TEXT));
  EXPECT_EQ(SelectionOf(item(IDC_INCLUDE_TEXT)), std::make_pair(0, 1001));
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "25");  // back to the last pulled count
  EXPECT_EQ(dialog.count, 25);

  Click(item(IDC_CLEAR_INCLUDE));
  EXPECT_TRUE(Mentions(TakeWarnings(), "1000"));
  EXPECT_EQ(TextOf(item(IDC_INCLUDE_TEXT)), "");
  EXPECT_TRUE(dialog.PullControls());
  EXPECT_TRUE(TakeWarnings().empty());
}

TEST_F(MainWindowTest, TypingStopsAtTheInputLimitsWithoutAWarning) {
  Click(item(IDC_USE_INCLUDE));
  SetFocus(item(IDC_INCLUDE_TEXT));
  Type(item(IDC_INCLUDE_TEXT), std::string(1001, 'a'));
  EXPECT_EQ(TextOf(item(IDC_INCLUDE_TEXT)).size(), 1000u);
  PasteOver(item(IDC_INCLUDE_TEXT), std::string(1200, 'b'));
  EXPECT_EQ(TextOf(item(IDC_INCLUDE_TEXT)).size(), 1000u);
  EXPECT_TRUE(services.boxes.empty());
}

class ModalMainWindowTest : public ::testing::Test {
 protected:
  ModalMainWindowTest() { theSettings = CGenerationSettings{}; }
  CRecordingServices services;
  CScopedServices scope{services};
  CGeneratorDlg dialog;
};

TEST_F(ModalMainWindowTest, CloseWithValidFieldsEndsWithOne) {
  const INT_PTR result = RunModalSteps(dialog, {[](HWND hwnd) {
                                         EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, IDC_USE_CAPITALS));
                                         SendMessageA(GetDlgItem(hwnd, IDC_USE_SPECIAL), BM_CLICK, 0, 0);
                                         SendMessageA(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
                                       }});
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.useSpecial, 1);  // Close pulled
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(ModalMainWindowTest, CloseDoesNotValidateThePages) {
  const INT_PTR result = RunModalSteps(dialog, {[&](HWND hwnd) {
                                         HWND page = dialog.RandomPage()->GetSafeHwnd();
                                         {
                                           // No number, without the clamp that would undo it.
                                           CExchangeLockout quiet(page);
                                           SetWindowTextA(GetDlgItem(page, IDC_LENGTH), "x");
                                         }
                                         SendMessageA(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
                                       }});
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(ModalMainWindowTest, CloseWithAnOverlongTextWarnsAndStaysOpenWhileCancellingStillEnds) {
  HWND window = nullptr;
  const INT_PTR result = RunModalSteps(dialog, {[&](HWND hwnd) {
                                                  window = hwnd;
                                                  SendMessageA(GetDlgItem(hwnd, IDC_USE_EXCLUDE), BM_CLICK, 0, 0);
                                                  dialog.excludeText = std::string(1500, 'e');
                                                  dialog.PushControls();
                                                  SendMessageA(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
                                                },
                                                [&](HWND hwnd) {
                                                  EXPECT_TRUE(IsWindowVisible(hwnd));
                                                  EXPECT_EQ(services.boxes.size(), 1u);
                                                  EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, IDC_EXCLUDE_TEXT));
                                                  // Escape, as the keyboard delivers it.
                                                  PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
                                                }});
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(services.boxes.size(), 1u);  // no pull on the way out
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(ModalMainWindowTest, AltNMovesTheFocusToTheCount) {
  HWND focus = nullptr;
  HWND count = nullptr;
  RunModalSteps(dialog, {[](HWND) { PostMessageA(GetFocus(), WM_SYSCHAR, 'n', 1 << 29); },
                         [&](HWND hwnd) {
                           focus = GetFocus();
                           count = GetDlgItem(hwnd, IDC_COUNT);
                           dialog.EndDialog(IDCANCEL);
                         }});
  EXPECT_EQ(focus, count);
}

TEST_F(ModalMainWindowTest, CancellingPathsEndWithTwoWithoutAPull) {
  const UINT ways[] = {WM_SYSCOMMAND, WM_COMMAND};  // close box / Alt+F4, and Main > Exit
  for (UINT way : ways) {
    CGeneratorDlg window;
    const INT_PTR result = RunModalSteps(window, {[&](HWND hwnd) {
                                           SendMessageA(GetDlgItem(hwnd, IDC_USE_DIGITS), BM_SETCHECK, 0, 0);
                                           if (way == WM_SYSCOMMAND) {
                                             PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                                           } else {
                                             PostMessageA(hwnd, WM_COMMAND, IDM_EXIT, 0);
                                           }
                                         }});
    EXPECT_EQ(result, IDCANCEL) << way;
    EXPECT_EQ(window.useDigits, 1) << way;  // never pulled
  }
}

}  // namespace
