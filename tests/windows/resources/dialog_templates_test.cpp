// The dialog templates (main window, pages, About box, progress window): each creates, with its frame, font, and every
// control in order with the right class, id, text, style, place and size; the Tab key visits the tab stops in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ResourceTest.h"
#include "resources/resource.h"

namespace keymoor::test {
namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct ControlShape {
  const char* className;
  int id;
  const char* text;
  DWORD style;
  int x, y, cx, cy;  // dialog units
};

struct TemplateShape {
  const char* name;
  int id;
  bool child;  // created inside a host window
  DWORD style;
  DWORD exStyle;  // bits that must be set
  const char* caption;
  int cx, cy;  // client size in dialog units
  std::vector<ControlShape> controls;
};

bool IsStatic(const ControlShape& c, DWORD kind) {
  return std::strcmp(c.className, "Static") == 0 && (c.style & SS_TYPEMASK) == kind;
}

// Controls that size themselves: a picture takes its bitmap's size; under Wine a vertical
// up-down control takes its standard width and an etched line grows by its edge.
bool SizesItself(const ControlShape& c) {
  return IsStatic(c, SS_BITMAP) || IsStatic(c, SS_ETCHEDHORZ) || std::strcmp(c.className, "msctls_updown32") == 0;
}

// Window styles as the template gave them. The system adds DS_3DLOOK to every dialog and
// WS_CLIPSIBLINGS to pop-ups and tab controls, and turns an edit's or list's WS_BORDER into
// WS_EX_CLIENTEDGE.
DWORD TemplateStyle(HWND w, bool dialog) {
  DWORD style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)) & ~WS_CLIPSIBLINGS;
  if (dialog) style &= ~DS_3DLOOK;
  if (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) style |= WS_BORDER;
  return style;
}

const TemplateShape kMainWindow{
    "main window",
    IDD_GENERATOR,
    false,
    DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
    WS_EX_APPWINDOW,
    "Keymoor",
    299,
    290,
    {
        {"Button", -1, "Password type", kChild | BS_GROUPBOX, 7, 7, 285, 75},
        {"SysTabControl32", IDC_TYPE_TAB, "", kChild, 15, 18, 266, 58},
        {"Button", -1, "Character sets", kChild | BS_GROUPBOX, 7, 83, 285, 83},
        {"Button", IDC_USE_CAPITALS, "All caps latin (A...Z)", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 17, 94, 79, 9},
        {"Button", IDC_USE_DIGITS, "All digits (0...9)", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 138, 94, 65, 9},
        {"Button", IDC_USE_SMALL, "All small latin (a...z)", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 17, 106, 79, 9},
        {"Button", -1, "Include/Exclude user-defined symbols", kChild | BS_GROUPBOX, 17, 117, 272, 44},
        {"Button", IDC_USE_SPECIAL, "All special symbols (!@*+=...)", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 138, 106,
         113, 9},
        {"Button", IDC_USE_INCLUDE, "Include :", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 23, 129, 40, 10},
        {"Edit", IDC_INCLUDE_TEXT, "", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 65, 127, 132, 14},
        {"Button", IDC_CLEAR_INCLUDE, "Clear", kChild | BS_PUSHBUTTON | WS_TABSTOP, 198, 127, 25, 14},
        {"Button", IDC_ADD_INCLUDE, "Add from file...", kChild | BS_PUSHBUTTON | WS_TABSTOP, 225, 127, 58, 14},
        {"Button", IDC_USE_EXCLUDE, "Exclude :", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 23, 144, 40, 10},
        {"Edit", IDC_EXCLUDE_TEXT, "", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 65, 143, 132, 14},
        {"Button", IDC_CLEAR_EXCLUDE, "Clear", kChild | BS_PUSHBUTTON | WS_TABSTOP, 198, 143, 25, 14},
        {"Button", IDC_ADD_EXCLUDE, "Add from file...", kChild | BS_PUSHBUTTON | WS_TABSTOP, 225, 143, 58, 14},
        {"Static", -1, "&Number of password to generate :", kChild | SS_LEFT | WS_GROUP, 17, 170, 112, 8},
        {"Edit", IDC_COUNT, "", kChild | ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER | WS_TABSTOP, 136, 168, 46, 15},
        {"msctls_updown32", IDC_COUNT_SPIN, "", kChild | UDS_ARROWKEYS, 181, 168, 11, 15},
        {"Button", IDC_GENERATE, "&Generate", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 224, 185, 65, 31},
        {"Button", -1, "Passwords", kChild | BS_GROUPBOX, 7, 182, 209, 104},
        {"SysListView32", IDC_PASSWORD_LIST, "",
         kChild | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP, 14, 192, 197,
         70},
        {"Button", IDC_GENERATE_TO_FILE, "Generate to &file...", kChild | BS_PUSHBUTTON | WS_TABSTOP, 224, 224, 65, 31},
        {"Button", IDC_TO_CLIPBOARD, "To clipboard", kChild | BS_PUSHBUTTON | WS_TABSTOP, 17, 265, 83, 14},
        {"Button", IDC_SAVE_TO_FILE, "&Save to file...", kChild | BS_PUSHBUTTON | WS_TABSTOP, 124, 265, 82, 14},
        {"Button", IDOK, "Close", kChild | BS_PUSHBUTTON | WS_TABSTOP, 224, 264, 65, 16},
    }};

// The pages carry DS_CONTROL so that the main window's dialog manager walks into them.
const TemplateShape kRandomPage{
    "Random page",
    IDD_RANDOM_TYPE,
    true,
    DS_SETFONT | DS_CONTROL | WS_CHILD,
    WS_EX_CONTROLPARENT,
    "",
    237,
    37,
    {
        {"Edit", IDC_LENGTH, "", kChild | ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER | WS_TABSTOP, 105, 4, 46, 14},
        {"msctls_updown32", IDC_LENGTH_SPIN, "", kChild | UDS_ARROWKEYS, 150, 3, 12, 15},
        {"Button", IDC_VARIABLE_LENGTH, "Variable length (5...length)", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 7, 22,
         115, 9},
        {"Static", -1, "Length of each password:", kChild | SS_LEFT | WS_GROUP, 8, 6, 84, 8},
    }};

const TemplateShape kMaskPage{
    "Masked page",
    IDD_MASK_TYPE,
    true,
    DS_SETFONT | DS_CONTROL | WS_CHILD,
    WS_EX_CONTROLPARENT,
    "",
    237,
    36,
    {
        {"Edit", IDC_MASK, "", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 54, 3, 148, 14},
        {"Static", -1, "Symbol mask:", kChild | SS_LEFT | WS_GROUP, 8, 23, 44, 8},
        {"Edit", IDC_SYMBOL_MASK, "", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 54, 20, 16, 14},
        {"Static", -1, "Mask:", kChild | SS_LEFT | WS_GROUP, 8, 6, 20, 8},
    }};

const TemplateShape kAboutBox{
    "About box",
    IDD_ABOUT,
    false,
    DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    "About...",
    265,
    194,
    {
        {"Static", -1, "", kChild | SS_BITMAP, 7, 2, 43, 169},
        {"Static", -1, "Keymoor", kChild | SS_LEFT, 60, 4, 163, 8},
        {"Static", IDC_VERSION, "Version 1.x", kChild | SS_LEFT | SS_NOPREFIX, 60, 14, 68, 8},
        {"Static", IDC_EMAIL_CAPTION, "E-mail Support :", kChild | SS_RIGHT, 64, 88, 78, 8},
        {"Static", IDC_EMAIL_LINK, "support@keymoor.example", kChild | SS_LEFT | SS_NOPREFIX, 149, 88, 87, 8},
        {"Static", IDC_HOME_PAGE_CAPTION, "Home Web-Page :", kChild | SS_RIGHT, 63, 99, 78, 8},
        {"Static", IDC_HOME_PAGE_LINK, "www.keymoor.example", kChild | SS_LEFT | SS_NOPREFIX, 149, 99, 87, 8},
        {"Static", -1, "", kChild | SS_ETCHEDHORZ, 8, 172, 254, 1},
        {"Button", IDOK, "OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 200, 176, 55, 15},
    }};

// Caption: the template's until the program sets the application title at run time.
const TemplateShape kProgressWindow{
    "progress window",
    IDD_PROGRESS,
    false,
    DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    "Keymoor",
    220,
    72,
    {
        {"Static", IDC_PROGRESS_COUNT, "", kChild | SS_LEFT | SS_NOPREFIX, 7, 7, 206, 8},
        {"msctls_progress32", IDC_PROGRESS_BAR, "", kChild, 7, 19, 206, 10},
        {"Static", IDC_PROGRESS_TIME, "", kChild | SS_LEFT | SS_NOPREFIX, 7, 34, 206, 8},
        {"Button", IDCANCEL, "Cancel", kChild | BS_PUSHBUTTON | WS_TABSTOP, 163, 51, 50, 14},
    }};

// Dialog units to pixels for a position and a size, mapped the way the dialog manager does it
// (each number on its own, so that a size is not the difference of two rounded edges).
RECT ToPixels(HWND dialog, int x, int y, int cx, int cy) {
  RECT r{x, y, cx, cy};
  MapDialogRect(dialog, &r);
  return r;
}

class DialogTemplates : public ::testing::TestWithParam<const TemplateShape*> {};

TEST_P(DialogTemplates, FrameMatches) {
  const TemplateShape& shape = *GetParam();
  UniqueWindow host = shape.child ? Host() : nullptr;
  UniqueWindow dialog = CreateTemplate(shape.id, host.get());
  ASSERT_TRUE(dialog) << "template " << shape.id << " error " << GetLastError();

  EXPECT_EQ(TemplateStyle(dialog.get(), true), shape.style) << std::hex;
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(dialog.get(), GWL_EXSTYLE)) & shape.exStyle, shape.exStyle) << std::hex;
  EXPECT_EQ(WindowText(dialog.get()), shape.caption);
  EXPECT_EQ(GetMenu(dialog.get()) != nullptr, shape.id == IDD_GENERATOR) << "only the main window has a menu bar";

  RECT client{};
  GetClientRect(dialog.get(), &client);
  RECT size = ToPixels(dialog.get(), 0, 0, shape.cx, shape.cy);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);

  // 8 point shell dialog font. Windows reports "MS Shell Dlg 2" for DS_SHELLFONT, Wine keeps
  // the template's name.
  auto font = reinterpret_cast<HFONT>(SendMessageA(dialog.get(), WM_GETFONT, 0, 0));
  ASSERT_TRUE(font);
  LOGFONTA lf{};
  ASSERT_TRUE(GetObjectA(font, sizeof lf, &lf));
  EXPECT_TRUE(std::string(lf.lfFaceName) == "MS Shell Dlg" || std::string(lf.lfFaceName) == "MS Shell Dlg 2")
      << lf.lfFaceName;
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(lf.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
  ReleaseDC(nullptr, screen);
}

TEST_P(DialogTemplates, ControlsMatchInTemplateOrder) {
  const TemplateShape& shape = *GetParam();
  UniqueWindow host = shape.child ? Host() : nullptr;
  UniqueWindow dialog = CreateTemplate(shape.id, host.get());
  ASSERT_TRUE(dialog);

  std::vector<HWND> children = Children(dialog.get());
  ASSERT_EQ(children.size(), shape.controls.size());
  for (size_t i = 0; i < children.size(); ++i) {
    const ControlShape& c = shape.controls[i];
    HWND w = children[i];
    SCOPED_TRACE(std::string(shape.name) + ", control " + std::to_string(i) + " \"" + c.text + "\"");

    char className[64] = {};
    GetClassNameA(w, className, sizeof className);
    EXPECT_EQ(lstrcmpiA(className, c.className), 0) << className;
    EXPECT_EQ(GetDlgCtrlID(w), c.id);
    if (!IsStatic(c, SS_BITMAP)) {  // a picture's text is its bitmap id
      EXPECT_EQ(WindowText(w), c.text);
    }
    EXPECT_EQ(TemplateStyle(w, false), c.style) << std::hex;

    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, dialog.get(), reinterpret_cast<POINT*>(&r), 2);
    RECT want = ToPixels(dialog.get(), c.x, c.y, c.cx, c.cy);
    EXPECT_EQ(r.left, want.left);
    EXPECT_EQ(r.top, want.top);
    if (!SizesItself(c)) {
      EXPECT_EQ(r.right - r.left, want.right);
      EXPECT_EQ(r.bottom - r.top, want.bottom);
    }
  }
}

TEST_P(DialogTemplates, TabKeyVisitsTabStopsInTemplateOrder) {
  const TemplateShape& shape = *GetParam();
  UniqueWindow host = shape.child ? Host() : nullptr;
  UniqueWindow dialog = CreateTemplate(shape.id, host.get());
  ASSERT_TRUE(dialog);

  std::vector<int> expected;
  for (const ControlShape& c : shape.controls) {
    if (c.style & WS_TABSTOP) expected.push_back(c.id);
  }
  ASSERT_FALSE(expected.empty());

  // Start at the first tab stop and follow the dialog manager round once.
  HWND first = GetDlgItem(dialog.get(), expected.front());
  std::vector<int> visited{GetDlgCtrlID(first)};
  for (HWND w = GetNextDlgTabItem(dialog.get(), first, FALSE); w && w != first && visited.size() <= expected.size();
       w = GetNextDlgTabItem(dialog.get(), w, FALSE)) {
    visited.push_back(GetDlgCtrlID(w));
  }
  EXPECT_EQ(visited, expected);
}

INSTANTIATE_TEST_SUITE_P(Keymoor, DialogTemplates,
                         ::testing::Values(&kMainWindow, &kRandomPage, &kMaskPage, &kAboutBox, &kProgressWindow),
                         [](const auto& info) {
                           std::string name = info.param->name;
                           name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                           return name;
                         });

// The picture control takes the size of bitmap 169, which is what the About box shows.
TEST(AboutBox, PictureShowsTheBitmapAtItsOwnSize) {
  UniqueWindow dialog = CreateTemplate(IDD_ABOUT);
  ASSERT_TRUE(dialog);
  HWND picture = GetWindow(dialog.get(), GW_CHILD);
  auto shown = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_TRUE(shown);
  BITMAP bm{};
  ASSERT_TRUE(GetObjectA(shown, sizeof bm, &bm));
  EXPECT_EQ(bm.bmWidth, 65);
  EXPECT_EQ(bm.bmHeight, 274);
  RECT r{};
  GetClientRect(picture, &r);
  EXPECT_EQ(r.right, 65);
  EXPECT_EQ(r.bottom, 274);
}

// The tab control clips its siblings; the group box framing it must not hide it.
TEST(MainWindow, TabControlIsNotClippedAwayByItsGroupBox) {
  UniqueWindow dialog = CreateTemplate(IDD_GENERATOR);
  ASSERT_TRUE(dialog);
  HWND tab = GetDlgItem(dialog.get(), IDC_TYPE_TAB);
  ASSERT_TRUE(GetWindowLongA(tab, GWL_STYLE) & WS_CLIPSIBLINGS);
  HDC dc = GetDC(tab);
  RECT visible{};
  int region = GetClipBox(dc, &visible);
  ReleaseDC(tab, dc);
  RECT client{};
  GetClientRect(tab, &client);
  EXPECT_NE(region, NULLREGION);
  EXPECT_TRUE(EqualRect(&visible, &client))
      << visible.left << "," << visible.top << " " << visible.right << "," << visible.bottom;
}

// The main window's Generate is the default push button.
TEST(MainWindow, GenerateIsTheDefaultButton) {
  UniqueWindow dialog = CreateTemplate(IDD_GENERATOR);
  ASSERT_TRUE(dialog);
  LRESULT def = SendMessageA(dialog.get(), DM_GETDEFID, 0, 0);
  EXPECT_EQ(HIWORD(def), DC_HASDEFID);
  EXPECT_EQ(LOWORD(def), IDC_GENERATE);
}

}  // namespace
}  // namespace keymoor::test
