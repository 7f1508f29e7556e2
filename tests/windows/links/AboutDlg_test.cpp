// The About box from its real template: start state, labels, cursor, clicks and closing.
#include "links/AboutDlg.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

#include "links/WebTargets.h"
#include "platform/WinApp.h"
#include "resources/resource.h"
#include "tests/windows/links/LinkTestSupport.h"

namespace {
class AboutDlgTest : public ::testing::Test {
 protected:
  AboutDlgTest() {
    InitCommonControls();
    services.shellAnswer = 42;
    webClass.Unregister();
  }
  CRecordingServices services;
  CScopedServices scope{services};
  CWebClassGuard webClass;
};

RECT TemplatePlace(HWND dialog, int x, int y, int cx, int cy) {
  RECT rc{x, y, x + cx, y + cy};
  MapDialogRect(dialog, &rc);
  return rc;
}
}  // namespace

TEST_F(AboutDlgTest, StartsWithVersionLabelsUrlsTooltipsAndHandCursor) {
  CAboutDlg about;
  ASSERT_TRUE(about.Create(nullptr));
  HWND hwnd = about.GetSafeHwnd();
  EXPECT_EQ(TextOf(hwnd), "About...");
  EXPECT_EQ(TextOf(GetDlgItem(hwnd, IDC_VERSION)), "Version 2.0");

  EXPECT_EQ(TextOf(about.emailLink.GetSafeHwnd()), "support@keymoor.example");
  EXPECT_EQ(about.emailLink.URL(), "mailto:support@keymoor.example");
  EXPECT_EQ(about.emailLink.ToolTip().GetText(about.emailLink.GetSafeHwnd(), 1), "mailto:support@keymoor.example");
  EXPECT_EQ(TextOf(about.homePageLink.GetSafeHwnd()), "www.keymoor.example");
  EXPECT_EQ(about.homePageLink.URL(), kHomePageUrl);
  EXPECT_EQ(about.homePageLink.ToolTip().GetText(about.homePageLink.GetSafeHwnd(), 1), kHomePageUrl);
  // The home label shows the home page URL without "http://" and the final "/".
  const std::string home = kHomePageUrl;
  EXPECT_EQ("http://" + TextOf(about.homePageLink.GetSafeHwnd()) + "/", home);
  EXPECT_EQ(std::string(kSupportMailboxUrl), "mailto:" + TextOf(about.emailLink.GetSafeHwnd()));

  HCURSOR hand = LoadCursorA(ResourceModule(), MAKEINTRESOURCEA(IDCUR_HAND));
  ASSERT_NE(hand, nullptr);
  EXPECT_NE(hand, LoadCursorA(nullptr, IDC_ARROW));
  for (CLinkLabel* label : {&about.emailLink, &about.homePageLink}) {
    EXPECT_EQ(label->LinkCursor(), hand);
    EXPECT_TRUE(label->IsUnderlined());
    EXPECT_FALSE(label->IsVisited());
    EXPECT_TRUE(GetWindowLongPtrA(label->GetSafeHwnd(), GWL_STYLE) & SS_NOTIFY);
    SendMessageA(label->GetSafeHwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label->GetSafeHwnd()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), hand);
  }

  // Left-aligned: the template's left and top stay, the size becomes the caption's extent.
  struct Place {
    CLinkLabel* label;
    int x, y;
  };
  for (const Place& p : {Place{&about.emailLink, 149, 88}, Place{&about.homePageLink, 149, 99}}) {
    HWND label = p.label->GetSafeHwnd();
    const RECT want = TemplatePlace(hwnd, p.x, p.y, 87, 8);
    const RECT rc = CLabelHost::PlaceOf(label);
    const SIZE extent = MeasuredExtent(label, TextOf(label));
    EXPECT_EQ(rc.left, want.left);
    EXPECT_EQ(rc.top, want.top);
    EXPECT_EQ(rc.right - rc.left, extent.cx);
    EXPECT_EQ(rc.bottom - rc.top, extent.cy);
  }
}

TEST_F(AboutDlgTest, ModalRunFocusesOkAndLabelsOpenTheirTargets) {
  CAboutDlg about;
  bool okFocused = false;
  bool visited = false;
  const INT_PTR result = RunModalSteps(
      about, {
                 [&](HWND h) { okFocused = GetFocus() == GetDlgItem(h, IDOK); },
                 [&](HWND) {
                   SendMessageA(about.homePageLink.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
                   visited = about.homePageLink.IsVisited() && !about.emailLink.IsVisited();
                 },
                 [&](HWND) { SendMessageA(about.emailLink.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0); },
                 [&](HWND h) { SendMessageA(h, WM_COMMAND, IDOK, 0); },
             });
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(okFocused);
  EXPECT_TRUE(visited);
  EXPECT_EQ(services.shellOpens, (std::vector<std::string>{kHomePageUrl, kSupportMailboxUrl}));
  EXPECT_TRUE(services.boxes.empty());

  // A new box starts unvisited; Escape (IDCANCEL) ends it.
  CAboutDlg again;
  bool visitedInNewBox = true;
  const INT_PTR second = RunModalSteps(
      again, {
                 [&](HWND) { visitedInNewBox = again.emailLink.IsVisited() || again.homePageLink.IsVisited(); },
                 [&](HWND h) { SendMessageA(h, WM_COMMAND, IDCANCEL, 0); },
             });
  EXPECT_EQ(second, IDCANCEL);
  EXPECT_FALSE(visitedInNewBox);
}

TEST_F(AboutDlgTest, FailedLabelClickReportsInFrontOfTheBoxWhichStaysOpen) {
  services.shellAnswer = SE_ERR_NOASSOC;
  CAboutDlg about;
  HWND aboutWindow = nullptr;
  bool stillOpen = false;
  RunModalSteps(about, {
                           [&](HWND h) {
                             aboutWindow = h;
                             SendMessageA(about.emailLink.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
                           },
                           [&](HWND h) { stillOpen = IsWindowVisible(h) != FALSE; },
                       });
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(services.beeps, (std::vector<UINT>{MB_ICONEXCLAMATION}));
  ASSERT_EQ(services.boxes.size(), 1u);
  EXPECT_EQ(services.boxes[0].owner, aboutWindow);
  EXPECT_EQ(services.boxes[0].text,
            "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
}
