// Modal runs in our own loop: results, the owner, the confirm and cancel paths, the
// pre-filter chain, the first focus and the centring.
#include "platform/Dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/WinApp.h"
#include "tests/windows/platform/TestDialog.h"

namespace {

class ModalTest : public ::testing::Test {
 protected:
  CRecordingServices services;
  CScopedServices scope{services};
  CTemplateBuilder tmpl = TestTemplate();
};

TEST_F(ModalTest, ATemplateThatCannotBeLoadedEndsAtOnceWithMinusOne) {
  CDialog missing(4242);
  EXPECT_EQ(missing.DoModal(), -1);
  EXPECT_EQ(missing.GetSafeHwnd(), nullptr);
}

TEST_F(ModalTest, OkPullsAndEndsWithOneThenTheWindowIsGone) {
  CTestDialog dialog(tmpl);
  HWND seen = nullptr;
  const INT_PTR result = RunModalSteps(dialog, {[&](HWND hwnd) {
                                         seen = hwnd;
                                         SetWindowTextA(GetDlgItem(hwnd, kTextEdit), "pulled");
                                         SendMessageA(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
                                       }});
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.text, "pulled");
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(ModalTest, OkWithAFailingPullStaysOpenWithTheWarning) {
  CTestDialog dialog(tmpl);
  bool stillOpen = false;
  const INT_PTR result = RunModalSteps(dialog, {[&](HWND hwnd) {
                                                  SetWindowTextA(GetDlgItem(hwnd, kNumberEdit), "0");
                                                  SendMessageA(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
                                                },
                                                [&](HWND hwnd) {
                                                  stillOpen = IsWindowVisible(hwnd) != FALSE;
                                                  EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, kNumberEdit));
                                                }});
  EXPECT_EQ(result, kStillOpen);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(services.boxes.size(), 1u);
}

TEST_F(ModalTest, EscapeAndTheCloseBoxCancelWithoutAPull) {
  for (int way = 0; way < 2; ++way) {
    CTestDialog dialog(tmpl);
    const INT_PTR result = RunModalSteps(dialog, {[&](HWND hwnd) {
                                           HWND number = GetDlgItem(hwnd, kNumberEdit);
                                           SetWindowTextA(number, "0");  // invalid, never read
                                           SetFocus(number);
                                           if (way == 0) {
                                             PostMessageA(number, WM_KEYDOWN, VK_ESCAPE, 1);
                                           } else {
                                             PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                                           }
                                         }});
    EXPECT_EQ(result, IDCANCEL) << way;
    EXPECT_EQ(dialog.number, 5) << way;
  }
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(ModalTest, TheOwnerIsDisabledDuringTheRunAndMessageBoxesGoToTheFrontWindow) {
  CWinApp app;
  ModelessTestDialog main;
  app.SetMainWindow(&main.dialog);
  CTestDialog front(tmpl);  // no parent: the framework picks the main window
  HWND owner = nullptr;
  HWND frontWindow = nullptr;
  bool ownerEnabled = true;
  RunModalSteps(front, {[&](HWND hwnd) {
                  frontWindow = hwnd;
                  owner = GetWindow(hwnd, GW_OWNER);
                  ownerEnabled = IsWindowEnabled(main.hwnd()) != FALSE;
                  AppMessageBox("hello");
                  EXPECT_EQ(MessageBoxOwner(), hwnd);
                  front.EndDialog(IDOK);
                }});
  EXPECT_EQ(owner, main.hwnd());
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(main.hwnd()));
  ASSERT_EQ(services.boxes.size(), 1u);
  EXPECT_EQ(services.boxes[0].owner, frontWindow);  // the modal window stood in front
  EXPECT_EQ(MessageBoxOwner(), main.hwnd());
}

TEST_F(ModalTest, ThePreFilterSeesMessagesForAChildAndItsParentsUnlessEaten) {
  constexpr UINT kPassed = WM_APP + 5;
  constexpr UINT kEaten = WM_APP + 6;
  CTestDialog dialog(tmpl);
  CReflectingStatic link;
  link.eatMessage = kEaten;
  UINT dialogSawAfterPass = 0;
  RunModalSteps(dialog, {[&](HWND hwnd) {
                           ASSERT_TRUE(link.SubclassDlgItem(kLinkStatic, hwnd));
                           PostMessageA(link.GetSafeHwnd(), kPassed, 0, 0);
                         },
                         [&](HWND) {
                           dialogSawAfterPass = dialog.lastFiltered;
                           link.filtered = 0;
                           dialog.filtered = 0;
                           PostMessageA(link.GetSafeHwnd(), kEaten, 0, 0);
                         },
                         [&](HWND) {
                           EXPECT_EQ(link.filtered, 1);
                           EXPECT_EQ(dialog.filtered, 0);  // eaten by the child first
                         }});
  EXPECT_EQ(dialogSawAfterPass, kPassed);
}

TEST_F(ModalTest, FirstFocusGoesToTheFirstTabStopAndAnUnmovedWindowIsCentred) {
  CTestDialog dialog(tmpl);
  HWND focus = nullptr;
  std::pair<int, int> selection;
  RECT rc{};
  RunModalSteps(dialog, {[&](HWND hwnd) {
                  focus = GetFocus();
                  selection = SelectionOf(GetDlgItem(hwnd, kTextEdit));
                  GetWindowRect(hwnd, &rc);
                  EXPECT_EQ(focus, GetDlgItem(hwnd, kTextEdit));
                }});
  EXPECT_EQ(selection, std::make_pair(0, 3));
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
  const RECT& work = info.rcWork;
  EXPECT_NEAR((rc.left + rc.right) / 2, (work.left + work.right) / 2, 1);
  EXPECT_NEAR((rc.top + rc.bottom) / 2, (work.top + work.bottom) / 2, 1);
}

// A dialog that tells another thread its window once the modal run has it.
class CWatchedDialog : public CTestDialog {
 public:
  using CTestDialog::CTestDialog;
  std::atomic<HWND> window{nullptr};

 protected:
  bool OnInitWindow() override {
    CTestDialog::OnInitWindow();
    // Observed under Wine: the caret of a focused edit control blinks with a system timer
    // that wakes the loop twice a second and would hide a loop that does not wake itself.
    SetFocus(::GetDlgItem(m_hWnd, IDOK));
    window = m_hWnd;
    return false;
  }
};

// Screen readers and automation clients end a window with a message sent from their own
// thread: the loop must end at once, not when some unrelated message is posted next.
TEST_F(ModalTest, AnEndingCommandSentFromAnotherThreadEndsTheRunAtOnce) {
  const struct {
    UINT message;
    WPARAM wParam;
    INT_PTR result;
  } ways[] = {{WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK}, {WM_CLOSE, 0, IDCANCEL}};
  for (const auto& way : ways) {
    CWatchedDialog dialog(tmpl);
    std::promise<void> returned;
    std::future<void> hasReturned = returned.get_future();
    std::atomic<bool> watchdogFired{false};
    std::thread sender([&] {
      HWND hwnd = nullptr;
      for (int i = 0; i < 500 && (hwnd = dialog.window) == nullptr; ++i) Sleep(10);
      if (hwnd == nullptr) return;  // DoModal failed; the test sees that
      // Let the start-up messages (showing, painting, activation) be handled first: any of
      // them would wake the loop too.
      Sleep(300);
      SendMessageA(hwnd, way.message, way.wParam, 0);
      if (hasReturned.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
        watchdogFired = true;
        PostMessageA(hwnd, WM_NULL, 0, 0);  // let the run end so the test does not hang
      }
    });
    const INT_PTR result = dialog.DoModal();
    returned.set_value();
    sender.join();
    EXPECT_EQ(result, way.result) << way.message;
    EXPECT_FALSE(watchdogFired) << way.message << ": DoModal was still running a second after the message";
  }
}

TEST_F(ModalTest, AModelessChildIgnoresOkAndCancel) {
  ModelessTestDialog parent;
  CTemplateBuilder childTemplate = TestTemplate(WS_CHILD | DS_CONTROL);
  CTestDialog child(childTemplate);
  ASSERT_TRUE(child.Create(parent.hwnd()));
  ShowWindow(child.GetSafeHwnd(), SW_SHOW);
  SendMessageA(child.GetSafeHwnd(), WM_COMMAND, IDOK, 0);
  SendMessageA(child.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(GetWindowLongPtrA(child.GetSafeHwnd(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(IsWindow(child.GetSafeHwnd()));
  EXPECT_EQ(GetParent(child.GetSafeHwnd()), parent.hwnd());
}

}  // namespace
