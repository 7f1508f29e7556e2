// Keyboard, screen readers and high contrast: the Tab order of the main window and the About
// box, page switching, keys on links, the MSAA answers, the high-contrast colours and the
// per-monitor v1 layout.
#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "links/AboutDlg.h"
#include "links/WebTargets.h"
#include "platform/Accessible.h"
#include "tests/windows/app/MainWindowFixture.h"

namespace {

constexpr int kCtrl = 1;
constexpr int kShift = 2;

// A key press as the modal loop handles it: the pre-filters, then the dialog manager, then
// the window. Ctrl and Shift are held in the thread's key state meanwhile.
void Press(HWND dialog, WPARAM key, int modifiers = 0) {
  BYTE saved[256] = {}, held[256] = {};
  GetKeyboardState(saved);
  std::copy(std::begin(saved), std::end(saved), std::begin(held));
  held[VK_CONTROL] = (modifiers & kCtrl) ? 0x80 : 0;
  held[VK_SHIFT] = (modifiers & kShift) ? 0x80 : 0;
  SetKeyboardState(held);
  MSG msg{GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
  if (!PreTranslateChain(dialog, msg) && !IsDialogMessageA(dialog, &msg)) DispatchMessageA(&msg);
  SetKeyboardState(saved);
}

// The ids of the controls that Tab (or Shift+Tab) visits from `start` until it comes back.
std::vector<int> TabRound(HWND dialog, HWND start, bool backward) {
  SetFocus(start);
  std::vector<int> ids{GetDlgCtrlID(start)};
  for (int i = 0; i < 40; ++i) {
    Press(dialog, VK_TAB, backward ? kShift : 0);
    if (GetFocus() == start) return ids;
    ids.push_back(GetDlgCtrlID(GetFocus()));
  }
  return ids;  // never came back
}

std::vector<int> Reversed(std::vector<int> ids) {
  std::reverse(ids.begin() + 1, ids.end());
  return ids;
}

class KeyboardTest : public MainWindowTest {
 protected:
  KeyboardTest() {
    Click(item(IDC_USE_INCLUDE));  // every row enabled, so every control is in the round
    Click(item(IDC_USE_EXCLUDE));
  }
  HWND tab() const { return item(IDC_TYPE_TAB); }
};

TEST_F(KeyboardTest, TabVisitsEveryControlDownTheWindowThroughTheTabAndThePage) {
  const std::vector<int> forward = {IDC_TYPE_TAB,         IDC_LENGTH,
                                    IDC_VARIABLE_LENGTH,  IDC_USE_CAPITALS,
                                    IDC_USE_DIGITS,       IDC_USE_SMALL,
                                    IDC_USE_SPECIAL,      IDC_USE_INCLUDE,
                                    IDC_INCLUDE_TEXT,     IDC_CLEAR_INCLUDE,
                                    IDC_ADD_INCLUDE,      IDC_USE_EXCLUDE,
                                    IDC_EXCLUDE_TEXT,     IDC_CLEAR_EXCLUDE,
                                    IDC_ADD_EXCLUDE,      IDC_COUNT,
                                    IDC_GENERATE,         IDC_PASSWORD_LIST,
                                    IDC_GENERATE_TO_FILE, IDC_TO_CLIPBOARD,
                                    IDC_SAVE_TO_FILE,     IDOK};
  EXPECT_EQ(TabRound(hwnd(), tab(), false), forward);
  EXPECT_EQ(TabRound(hwnd(), tab(), true), Reversed(forward));

  // The Masked page in its place: Tab into it from the tab, out of it to the check boxes, and back.
  Press(hwnd(), VK_TAB, kCtrl);
  const std::vector<int> masked = {IDC_TYPE_TAB, IDC_MASK, IDC_SYMBOL_MASK, IDC_USE_CAPITALS};
  std::vector<int> round = TabRound(hwnd(), tab(), false);
  round.resize(4);
  EXPECT_EQ(round, masked);
  SetFocus(item(IDC_USE_CAPITALS));
  Press(hwnd(), VK_TAB, kShift);
  EXPECT_EQ(GetFocus(), maskItem(IDC_SYMBOL_MASK));
  Press(hwnd(), VK_TAB, kShift);
  Press(hwnd(), VK_TAB, kShift);
  EXPECT_EQ(GetFocus(), tab());
}

TEST_F(KeyboardTest, CtrlTabAndTheArrowsSwitchPagesAndTheFocusNeverStaysOnAHiddenOrDisabledControl) {
  const struct {
    HWND from;  // null: where the step before left the focus
    WPARAM key;
    int modifiers, selected;
    HWND focus;
  } steps[] = {
      {item(IDC_COUNT), VK_TAB, kCtrl, 1, maskItem(IDC_MASK)},
      {nullptr, VK_TAB, kCtrl, 0, randomItem(IDC_LENGTH)},
      {nullptr, VK_TAB, kCtrl | kShift, 1, maskItem(IDC_MASK)},
      {nullptr, VK_PRIOR, kCtrl, 0, randomItem(IDC_LENGTH)},
      {tab(), VK_RIGHT, 0, 1, tab()},
      {nullptr, VK_LEFT, 0, 0, tab()},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.key);
    if (step.from != nullptr) SetFocus(step.from);
    Press(hwnd(), step.key, step.modifiers);
    EXPECT_EQ(TabCtrl_GetCurSel(tab()), step.selected);
    EXPECT_EQ(IsWindowVisible(maskPage()) != FALSE, step.selected == 1);
    EXPECT_EQ(IsWindowVisible(randomPage()) != FALSE, step.selected == 0);
    EXPECT_EQ(static_cast<int>(theSettings.mode), step.selected);
    EXPECT_EQ(GetFocus(), step.focus);
  }

  // Up and Down in a number field step it as its arrows do.
  SetFocus(randomItem(IDC_LENGTH));
  Press(hwnd(), VK_UP);
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "9");
  SetFocus(item(IDC_COUNT));
  Press(hwnd(), VK_DOWN);
  EXPECT_EQ(TextOf(item(IDC_COUNT)), "9");

  // Include unticked while the focus is in its row: the focus goes to the box, not nowhere
  // (disabling the focused edit box would take the focus from the window).
  SetFocus(item(IDC_INCLUDE_TEXT));
  SendMessageA(item(IDC_USE_INCLUDE), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_USE_INCLUDE, BN_CLICKED),
               reinterpret_cast<LPARAM>(item(IDC_USE_INCLUDE)));
  EXPECT_FALSE(IsWindowEnabled(item(IDC_INCLUDE_TEXT)));
  EXPECT_EQ(GetFocus(), item(IDC_USE_INCLUDE));
}

class AboutKeysTest : public ::testing::Test {
 protected:
  AboutKeysTest() { InitCommonControls(); }
  CRecordingServices services;
  CScopedServices scope{services};
  CComApartment com;
};

TEST_F(AboutKeysTest, LinksAreTabStopsAndEnterOrSpaceOpensThemWithoutPressingOk) {
  CAboutDlg about;
  std::vector<int> forward, backward;
  std::vector<std::size_t> opens;
  bool openAfterKeys = false;
  const INT_PTR result =
      RunModalSteps(about, {
                               [&](HWND h) {
                                 forward = TabRound(h, GetDlgItem(h, IDOK), false);
                                 backward = TabRound(h, GetDlgItem(h, IDOK), true);
                                 SetFocus(about.emailLink.GetSafeHwnd());
                                 PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
                               },
                               [&](HWND) {
                                 opens.push_back(services.shellOpens.size());
                                 SetFocus(about.homePageLink.GetSafeHwnd());
                                 PostMessageA(GetFocus(), WM_KEYDOWN, VK_SPACE, 1);
                                 PostMessageA(GetFocus(), WM_KEYDOWN, VK_SPACE, 1 | (1 << 30));  // held: a repeat
                               },
                               [&](HWND h) {
                                 opens.push_back(services.shellOpens.size());
                                 openAfterKeys = IsWindowVisible(h) != FALSE;
                                 SetFocus(GetDlgItem(h, IDOK));
                                 PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
                               },
                           });
  EXPECT_EQ(forward, (std::vector<int>{IDOK, IDC_EMAIL_LINK, IDC_HOME_PAGE_LINK}));
  EXPECT_EQ(backward, (std::vector<int>{IDOK, IDC_HOME_PAGE_LINK, IDC_EMAIL_LINK}));
  EXPECT_EQ(opens, (std::vector<std::size_t>{1, 2}));
  EXPECT_TRUE(openAfterKeys);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(services.shellOpens, (std::vector<std::string>{kSupportMailboxUrl, kHomePageUrl}));
}

// The client object of `window`, as a screen reader gets it.
struct Accessible {
  explicit Accessible(HWND window) {
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(&object));
  }
  ~Accessible() {
    if (object != nullptr) object->Release();
  }
  static VARIANT Child(LONG id) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
  }
  std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), LONG child = CHILDID_SELF) const {
    BSTR text = nullptr;
    if (object == nullptr || FAILED((object->*get)(Child(child), &text)) || text == nullptr) return L"<none>";
    std::wstring copy(text, SysStringLen(text));
    SysFreeString(text);
    return copy;
  }
  LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), LONG child = CHILDID_SELF) const {
    VARIANT v;
    VariantInit(&v);
    if (object == nullptr || FAILED((object->*get)(Child(child), &v)) || v.vt != VT_I4) return -1;
    return v.lVal;
  }
  IAccessible* object = nullptr;
};

TEST_F(AboutKeysTest, LinksTellScreenReadersTheirRoleTextUrlStateAndJump) {
  CAboutDlg about;
  ASSERT_TRUE(about.Create(nullptr));
  struct Expected {
    CLinkLabel* label;
    const wchar_t* name;
    const char* url;
  };
  for (const Expected& e : {Expected{&about.emailLink, L"support@keymoor.example", kSupportMailboxUrl},
                            Expected{&about.homePageLink, L"www.keymoor.example", kHomePageUrl}}) {
    SCOPED_TRACE(e.url);
    const Accessible link(e.label->GetSafeHwnd());
    ASSERT_NE(link.object, nullptr);
    EXPECT_EQ(link.Number(&IAccessible::get_accRole), ROLE_SYSTEM_LINK);
    EXPECT_EQ(link.Text(&IAccessible::get_accName), e.name);
    EXPECT_EQ(link.Text(&IAccessible::get_accValue), WidenAnsi(e.url));
    EXPECT_EQ(link.Text(&IAccessible::get_accDefaultAction), L"Jump");
    SetFocus(e.label->GetSafeHwnd());
    const LONG state = link.Number(&IAccessible::get_accState);
    EXPECT_EQ(state & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_LINKED | STATE_SYSTEM_TRAVERSED),
              STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_LINKED);

    const std::size_t before = services.shellOpens.size();
    EXPECT_EQ(link.object->accDoDefaultAction(Accessible::Child(CHILDID_SELF)), S_OK);
    PumpUntil([&] { return services.shellOpens.size() > before; }, 2000);
    EXPECT_EQ(services.shellOpens.size(), before + 1);
    EXPECT_TRUE(link.Number(&IAccessible::get_accState) & STATE_SYSTEM_TRAVERSED);
  }
}

TEST_F(KeyboardTest, CountListAndTabItemsAreNamedForScreenReaders) {
  CComApartment com;
  const wchar_t* countName = L"Number of password to generate :";
  EXPECT_EQ(Accessible(item(IDC_COUNT)).Text(&IAccessible::get_accName), countName);
  EXPECT_EQ(Accessible(item(IDC_COUNT)).Number(&IAccessible::get_accRole), ROLE_SYSTEM_TEXT);  // the standard proxy's
  EXPECT_EQ(Accessible(item(IDC_COUNT_SPIN)).Text(&IAccessible::get_accName), countName);
  EXPECT_EQ(Accessible(item(IDC_PASSWORD_LIST)).Text(&IAccessible::get_accName), L"Passwords");
  const Accessible tabs(tab());
  ASSERT_NE(tabs.object, nullptr);
  long count = 0;
  EXPECT_EQ(tabs.object->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(tabs.Text(&IAccessible::get_accName, 1), L"Random");
  EXPECT_EQ(tabs.Text(&IAccessible::get_accName, 2), L"Masked");
  EXPECT_EQ(tabs.Number(&IAccessible::get_accRole, 2), ROLE_SYSTEM_PAGETAB);
}

TEST(HighContrastColours, PickTheMostReadableSystemPair) {
  enum { kFace, kFaceText, kHot, kHighlight, kHighlightText };
  static const struct Theme {
    const char* name;
    COLORREF colours[5];  // by the indices above
    COLORREF text;
    int background;
  } themes[] = {
      // Hot-light on the face reads well: it is kept, on the dialog's own background.
      {"black", {RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 255, 0), RGB(26, 235, 255), 0}, RGB(255, 255, 0), -1},
      // Hot-light almost the face's colour: highlight text on highlight instead.
      {"faint",
       {0, RGB(255, 255, 255), RGB(0, 0, 80), RGB(0, 0, 128), RGB(255, 255, 255)},
       RGB(255, 255, 255),
       COLOR_HIGHLIGHT},
      // Neither reads well (Wine's own colours): the face's text.
      {"wine", {RGB(245, 245, 245), 0, RGB(224, 224, 224), RGB(48, 150, 250), RGB(255, 255, 255)}, 0, -1},
      // Nothing reaches 4.5:1: the pair that contrasts most.
      {"grey",
       {RGB(128, 128, 128), RGB(100, 100, 100), RGB(90, 90, 90), RGB(110, 110, 110), RGB(150, 150, 150)},
       RGB(90, 90, 90),
       -1},
  };
  static const Theme* current = nullptr;
  for (const Theme& theme : themes) {
    SCOPED_TRACE(theme.name);
    current = &theme;
    const LinkColours colours = HighContrastLinkColours([](int index) -> COLORREF {
      const int at = index == COLOR_BTNFACE     ? kFace
                     : index == COLOR_BTNTEXT   ? kFaceText
                     : index == COLOR_HOTLIGHT  ? kHot
                     : index == COLOR_HIGHLIGHT ? kHighlight
                                                : kHighlightText;
      return current->colours[at];
    });
    EXPECT_EQ(colours.text, theme.text);
    EXPECT_EQ(colours.visited, theme.text);
    EXPECT_EQ(colours.background, theme.background);
  }
  EXPECT_DOUBLE_EQ(ContrastRatio(RGB(0, 0, 0), RGB(255, 255, 255)), 21.0);
  EXPECT_DOUBLE_EQ(ContrastRatio(RGB(9, 99, 199), RGB(9, 99, 199)), 1.0);
}

TEST_F(AboutKeysTest, LinksDrawInSystemColoursInHighContrastAndRepaintWhenColoursChange) {
  CAboutDlg about;
  ASSERT_TRUE(about.Create(nullptr));
  HWND h = about.GetSafeHwnd();
  SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  HWND link = about.homePageLink.GetSafeHwnd();
  const auto drawnColour = [&] {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageA(h, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
    const COLORREF colour = GetTextColor(dc);
    DeleteDC(dc);
    return colour;
  };
  EXPECT_EQ(drawnColour(), RGB(0, 0, 238));
  services.highContrast = true;
  const LinkColours system = HighContrastLinkColours();
  EXPECT_TRUE(system.text == GetSysColor(COLOR_HOTLIGHT) || system.text == GetSysColor(COLOR_HIGHLIGHTTEXT) ||
              system.text == GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(drawnColour(), system.text);
  about.homePageLink.Send(WM_KEYDOWN, VK_RETURN, 1);  // visited
  EXPECT_EQ(drawnColour(), system.visited);
  services.highContrast = false;
  EXPECT_EQ(drawnColour(), RGB(85, 26, 139));

  RedrawWindow(h, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  ASSERT_FALSE(GetUpdateRect(link, nullptr, FALSE));
  SendMessageA(h, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_TRUE(GetUpdateRect(link, nullptr, FALSE));
}

TEST_F(KeyboardTest, PerMonitorV1RelaysTheControlsAndFontOnADpiChange) {
  HWND generate = item(IDC_GENERATE);
  const auto place = [&] {
    RECT rc{};
    GetWindowRect(generate, &rc);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  };
  const auto fontHeight = [&] {
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(generate, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    return lf.lfHeight;
  };
  const RECT before = place();
  const LONG height = fontHeight();
  const UINT dpi = WindowDpi(hwnd());
  RECT suggested{};
  GetWindowRect(hwnd(), &suggested);

  services.dialogsScaleWithDpi = false;
  SendMessageA(hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi * 2, dpi * 2), reinterpret_cast<LPARAM>(&suggested));
  RECT doubled = place(), twice{before.left * 2, before.top * 2, before.right * 2, before.bottom * 2};
  EXPECT_TRUE(EqualRect(&doubled, &twice));
  EXPECT_EQ(fontHeight(), height * 2);
  // And back, to the very pixel; under v2 the dialog manager's own handling does it, and
  // Keymoor moves nothing.
  for (bool v2 : {false, true}) {
    services.dialogsScaleWithDpi = v2;
    SendMessageA(hwnd(), WM_DPICHANGED, MAKEWPARAM(v2 ? dpi * 2 : dpi, v2 ? dpi * 2 : dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT now = place();
    EXPECT_TRUE(EqualRect(&before, &now)) << v2;
    EXPECT_EQ(fontHeight(), height);
  }
}

}  // namespace
