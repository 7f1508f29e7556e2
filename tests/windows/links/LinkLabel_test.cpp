// CLinkLabel on real static controls: defaults, attaching, URL and tooltip, fitting to the
// text, colours and font, cursor, clicks with their messages, the tooltip relay, teardown.
#include "links/LinkLabel.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Dialog.h"
#include "tests/windows/links/LinkTestSupport.h"

namespace {
constexpr char kText[] = "www.example.test";

class LinkLabelTest : public ::testing::Test {
 protected:
  LinkLabelTest() {
    services.shellAnswer = 42;
    webClass.Unregister();  // a failed shell open stays failed
  }

  // Clicks the label as the mouse does: a static with SS_NOTIFY reports STN_CLICKED.
  static void MouseClick(HWND label) {
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
  }
  static bool HasUpdate(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }

  CRecordingServices services;
  CScopedServices scope{services};
  CWebClassGuard webClass;
  CLabelHost host;
};

// A text of the given width in the context's default font, found among repeats of two
// characters; empty when there is none.
std::string TextOfWidth(HWND control, LONG width) {
  const char letters[] = "iljtfrI1.:xW";
  for (char a : letters) {
    for (char b : letters) {
      for (int n = 0; n <= 20; ++n) {
        for (int m = 0; m <= 20; ++m) {
          const std::string text = std::string(n, a) + std::string(m, b);
          if (!text.empty() && MeasuredExtent(control, text).cx == width) return text;
        }
      }
    }
  }
  return {};
}
}  // namespace

TEST(LinkLabelDefaults, NewLabelIsUnvisitedUnderlinedBlueAndFitsToItsText) {
  CLinkLabel label;
  EXPECT_EQ(label.LinkColour(), RGB(0, 0, 238));
  EXPECT_EQ(label.VisitedColour(), RGB(85, 26, 139));
  EXPECT_FALSE(label.IsVisited());
  EXPECT_TRUE(label.IsUnderlined());
  EXPECT_TRUE(label.FitsToText());
  EXPECT_TRUE(label.URL().empty());
  EXPECT_FALSE(label.IsAttached());
  EXPECT_FALSE(label.ToolTip().IsAttached());
  EXPECT_EQ(label.UnderlinedFont(), nullptr);
}

TEST_F(LinkLabelTest, AttachingTakesTheUrlFromTheTextOrTheTextFromTheUrl) {
  HWND withText = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel a;
  ASSERT_TRUE(a.SubclassWindow(withText));
  EXPECT_EQ(a.URL(), kText);
  EXPECT_EQ(TextOf(withText), kText);
  EXPECT_TRUE(GetWindowLongPtrA(withText, GWL_STYLE) & SS_NOTIFY);
  EXPECT_EQ(a.LinkCursor(), LoadCursorA(nullptr, IDC_ARROW));
  ASSERT_TRUE(a.ToolTip().IsAttached());
  EXPECT_EQ(a.ToolTip().GetText(withText, 1), kText);
  // The tool covers the client rectangle after fitting.
  TTTOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V2_SIZE;
  info.hwnd = withText;
  info.uId = 1;
  ASSERT_TRUE(a.ToolTip().Send(TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
  RECT client{};
  GetClientRect(withText, &client);
  EXPECT_TRUE(EqualRect(&info.rect, &client));
  EXPECT_EQ(client.right, MeasuredExtent(withText, kText).cx);

  HWND empty = host.AddStatic("", SS_LEFT, 10, 40, 200, 20);
  CLinkLabel b;
  b.SetURL("mailto:someone@example.test");
  ASSERT_TRUE(b.SubclassWindow(empty));
  EXPECT_EQ(TextOf(empty), "mailto:someone@example.test");
  EXPECT_EQ(b.ToolTip().GetText(empty, 1), "mailto:someone@example.test");
  // Fitted to the text it was given.
  EXPECT_EQ(CLabelHost::PlaceOf(empty).right - 10, MeasuredExtent(empty, TextOf(empty)).cx);
}

TEST_F(LinkLabelTest, SetUrlChangesTooltipAndClickTargetButNotTheText) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));
  label.SetURL("http://other.example.test/");
  EXPECT_EQ(TextOf(control), kText);
  EXPECT_EQ(label.ToolTip().GetText(control, 1), "http://other.example.test/");
  MouseClick(control);
  ASSERT_EQ(services.shellOpens.size(), 1u);
  EXPECT_EQ(services.shellOpens[0], "http://other.example.test/");
  EXPECT_EQ(services.shellShow, SW_SHOW);
}

TEST_F(LinkLabelTest, FitToTextFollowsTheAlignmentWithTruncatingHalves) {
  HWND probe = host.AddStatic("", SS_LEFT, 0, 0, 10, 10);
  const std::string text = TextOfWidth(probe, 41);
  ASSERT_FALSE(text.empty()) << "no text 41 pixels wide in the default font";
  const LONG cy = MeasuredExtent(probe, text).cy;

  struct Case {
    DWORD style;
    int left, width;  // the control as made, at top 20 and height 30
    LONG wantLeft, wantRight;
  };
  const Case cases[] = {
      {SS_LEFT, 10, 100, 10, 51},    // keeps its left edge, 41 wide
      {SS_RIGHT, 10, 100, 69, 110},  // keeps its right edge
      {SS_CENTER, 10, 100, 39, 81},  // d = 29: one pixel more than the text
      {SS_CENTER, 10, 30, 5, 45},    // d = -5: grows 5 pixels on each side to 40
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    SCOPED_TRACE(c.width);
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassWindow(host.AddStatic(text, c.style, c.left, 20, c.width, 30)));
    const RECT rc = CLabelHost::PlaceOf(label.GetSafeHwnd());
    EXPECT_EQ(rc.left, c.wantLeft);
    EXPECT_EQ(rc.right, c.wantRight);
    EXPECT_EQ(rc.top, 20);  // without SS_CENTERIMAGE: the top stays, the height is the text's
    EXPECT_EQ(rc.bottom, 20 + cy);
    label.Destroy();
  }

  // SS_CENTERIMAGE: a spare room of 7 gives d = 3 and one pixel more than the text (a 20
  // pixel control and a 13 pixel text become 14 high); a lack of 7 gives d = -3.
  for (LONG spare : {7L, -7L}) {
    SCOPED_TRACE(spare);
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassWindow(host.AddStatic(text, SS_LEFT | SS_CENTERIMAGE, 10, 50, 100, cy + spare)));
    const RECT rc = CLabelHost::PlaceOf(label.GetSafeHwnd());
    const LONG d = spare / 2;
    EXPECT_EQ(rc.top, 50 + d);
    EXPECT_EQ(rc.bottom - rc.top, cy + spare - 2 * d);
    EXPECT_EQ(rc.right - rc.left, 41);
    label.Destroy();
  }
}

TEST_F(LinkLabelTest, ColourRequestAnswersTransparentWithTheUnderlinedFontMadeOnce) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  auto label = std::make_unique<CLinkLabel>();
  ASSERT_TRUE(label->SubclassWindow(control));
  HDC dc = CreateCompatibleDC(nullptr);
  auto request = [&] {
    return reinterpret_cast<HBRUSH>(
        SendMessageA(host.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  };

  EXPECT_EQ(request(), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 238));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  HFONT underlined = label->UnderlinedFont();
  ASSERT_NE(underlined, nullptr);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), underlined);
  LOGFONTA made{}, own{};
  GetObjectA(underlined, sizeof(made), &made);
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof(own), &own);
  EXPECT_EQ(made.lfUnderline, 1);
  EXPECT_STREQ(made.lfFaceName, own.lfFaceName);
  EXPECT_EQ(made.lfHeight, own.lfHeight);
  // The static draws with its own font, so the underlined one becomes its own.
  const LRESULT plainFont = SendMessageA(host.hwnd(), WM_GETFONT, 0, 0);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), underlined);

  // Without the underline no font is selected; switched on again, the same font returns.
  label->SetUnderline(false);
  HGDIOBJ plain = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  request();
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), plainFont);
  label->SetUnderline(true);
  request();
  EXPECT_EQ(label->UnderlinedFont(), underlined);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), underlined);
  SelectObject(dc, plain);

  MouseClick(control);  // success: visited
  request();
  EXPECT_EQ(GetTextColor(dc), RGB(85, 26, 139));
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteDC(dc);

  // A control that outlives its label draws with its own font again.
  label.reset();
  EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), plainFont);
}

TEST_F(LinkLabelTest, ControlWithoutFontUnderlinesTheDefaultGuiFont) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20, /*noFont=*/true);
  ASSERT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), 0);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));
  HDC dc = CreateCompatibleDC(nullptr);
  SendMessageA(host.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  ASSERT_NE(label.UnderlinedFont(), nullptr);
  LOGFONTA made{}, gui{};
  GetObjectA(label.UnderlinedFont(), sizeof(made), &made);
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui);
  EXPECT_EQ(made.lfUnderline, 1);
  EXPECT_STREQ(made.lfFaceName, gui.lfFaceName);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteDC(dc);
}

TEST_F(LinkLabelTest, SetCursorShowsTheLinkCursorWhateverTheHitTest) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));
  HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
  label.SetLinkCursor(cross);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), cross);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTNOWHERE, 0)), TRUE);
  EXPECT_EQ(GetCursor(), cross);
}

TEST_F(LinkLabelTest, ClickSetsVisitedFromEachResultAndRepaintsOnlyOnSuccess) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));

  ValidateRect(control, nullptr);
  MouseClick(control);
  EXPECT_TRUE(label.IsVisited());
  EXPECT_TRUE(HasUpdate(control));
  EXPECT_TRUE(services.beeps.empty());
  EXPECT_TRUE(services.boxes.empty());

  // A failure clears visited, beeps before its message and leaves the paint as it was.
  services.shellAnswer = SE_ERR_FNF;
  services.onBox = [&] { EXPECT_EQ(services.beeps.size(), 1u); };
  UpdateWindow(control);
  ASSERT_FALSE(HasUpdate(control));
  MouseClick(control);
  EXPECT_FALSE(label.IsVisited());
  EXPECT_FALSE(HasUpdate(control));
  ASSERT_EQ(services.beeps.size(), 1u);
  EXPECT_EQ(services.beeps[0], static_cast<UINT>(MB_ICONEXCLAMATION));
  ASSERT_EQ(services.boxes.size(), 1u);
  EXPECT_EQ(services.boxes[0].text, "Unable to open hyperlink:\n\nThe specified file was not found.");
  EXPECT_EQ(services.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(services.boxes[0].caption, "links_tests");
}

namespace {
// Counts the background erasures of the window it subclasses.
int erasures = 0;
LRESULT CALLBACK CountErasures(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_ERASEBKGND) ++erasures;
  return DefSubclassProc(hwnd, message, wParam, lParam);
}
}  // namespace

TEST_F(LinkLabelTest, SetUnderlineRepaintsTheWholeControlWithItsBackground) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));
  ASSERT_TRUE(SetWindowSubclass(control, &CountErasures, 7, 0));
  RECT client{};
  GetClientRect(control, &client);
  for (bool underline : {false, true}) {
    SCOPED_TRACE(underline);
    UpdateWindow(control);
    ASSERT_FALSE(HasUpdate(control));
    label.SetUnderline(underline);
    EXPECT_EQ(label.IsUnderlined(), underline);
    RECT update{};
    GetUpdateRect(control, &update, FALSE);
    EXPECT_TRUE(EqualRect(&update, &client));
    erasures = 0;
    UpdateWindow(control);
    EXPECT_EQ(erasures, 1);
  }
  RemoveWindowSubclass(control, &CountErasures, 7);
}

TEST_F(LinkLabelTest, FailedOpenShowsTheTextForItsCode) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));
  const std::pair<int, std::string> cases[] = {
      {SE_ERR_FNF, "The specified file was not found."},
      {4, "Unknown Error (4) occurred."},
      {SE_ERR_SHARE, "A sharing violation occurred. "},
      {SE_ERR_NOASSOC, "There is no application associated\nwith the given filename extension."},
  };
  for (const auto& [code, text] : cases) {
    services.shellAnswer = code;
    services.boxes.clear();
    MouseClick(control);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "Unable to open hyperlink:\n\n" + text);
  }
}

TEST(OpenErrorMessageTest, KnownCodesHaveTheirTextsAndTheRestAreUnknown) {
  const std::string prefix = "Unable to open hyperlink:\n\n";
  EXPECT_EQ(OpenErrorMessage(0), prefix + "The operating system is out\nof memory or resources.");
  EXPECT_EQ(OpenErrorMessage(5), prefix + "The operating system denied\naccess to the specified file.");
  EXPECT_EQ(OpenErrorMessage(11), prefix + "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
  EXPECT_EQ(OpenErrorMessage(30), prefix +
                                      "The DDE transaction could not\nbe completed because other DDE transactions\n"
                                      "were being processed.");
  EXPECT_EQ(OpenErrorMessage(32), prefix + "The specified dynamic-link library was not found.");
  for (int code : {1, 6, 7, 9, 10, 12, 25, 33}) {
    EXPECT_EQ(OpenErrorMessage(code), prefix + "Unknown Error (" + std::to_string(code) + ") occurred.");
  }
  EXPECT_EQ(OpenErrorMessage(-1), prefix + "Unknown Error (-1) occurred.");
}

TEST_F(LinkLabelTest, DoubleClickOpensOnlyOnce) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));
  MouseClick(control);
  SendMessageA(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(1, 1));
  SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(services.shellOpens.size(), 1u);
}

namespace {
// Counts what the tooltip is handed through TTM_RELAYEVENT.
std::vector<UINT> relayed;
LRESULT CALLBACK RecordRelay(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == TTM_RELAYEVENT) relayed.push_back(reinterpret_cast<const MSG*>(lParam)->message);
  return DefSubclassProc(hwnd, message, wParam, lParam);
}
}  // namespace

TEST_F(LinkLabelTest, PreFilterRelaysEveryMessageToTheTooltipAndEatsNone) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  CLinkLabel label;
  ASSERT_TRUE(label.SubclassWindow(control));
  HWND tip = label.ToolTip().GetSafeHwnd();
  ASSERT_TRUE(SetWindowSubclass(tip, &RecordRelay, 1, 0));
  relayed.clear();
  for (UINT message : {UINT{WM_MOUSEMOVE}, UINT{WM_LBUTTONDOWN}, UINT{WM_KEYDOWN}, UINT{WM_TIMER}, UINT{WM_APP + 3}}) {
    MSG msg{control, message, 0, 0, 0, {}};
    EXPECT_FALSE(PreTranslateChain(host.hwnd(), msg));
  }
  EXPECT_EQ(relayed, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_KEYDOWN, WM_TIMER, WM_APP + 3}));
  RemoveWindowSubclass(tip, &RecordRelay, 1);
}

TEST_F(LinkLabelTest, DestroyingTheLabelDestroysItsTooltipAndKeepsTheControl) {
  HWND control = host.AddStatic(kText, SS_LEFT, 10, 10, 200, 20);
  HWND tip = nullptr;
  {
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassWindow(control));
    tip = label.ToolTip().GetSafeHwnd();
    ASSERT_TRUE(IsWindow(tip));
  }
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_TRUE(IsWindow(control));
  EXPECT_EQ(CWnd::FromHandle(control), nullptr);
  MouseClick(control);  // no object behind it any more
  EXPECT_TRUE(services.shellOpens.empty());
}
