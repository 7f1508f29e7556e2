// Pixel sizes at the DPI of the window: list columns, page offset, icons, the About picture
// and the link labels, at the DPI the process starts with and after a change of scale.
// Wine reads the prefix's LogPixels only when a process starts, so the same checks run again
// in child processes started under 144 and 192 DPI.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>

#include "links/AboutDlg.h"
#include "platform/Dpi.h"
#include "tests/windows/app/MainWindowFixture.h"
#include "tests/windows/links/LinkTestSupport.h"

namespace {

// Set for a child process: the DPI it must run at. Without it, the prefix's default of 96.
constexpr char kDpiVariable[] = "KEYMOOR_TEST_DPI";

UINT ExpectedDpi() {
  char value[16] = {};
  const DWORD n = GetEnvironmentVariableA(kDpiVariable, value, sizeof(value));
  return n > 0 && n < sizeof(value) ? static_cast<UINT>(std::atoi(value)) : 96;
}

// The width of an icon's colour image.
int IconWidth(LPARAM icon) {
  ICONINFO info{};
  if (!GetIconInfo(reinterpret_cast<HICON>(icon), &info)) return 0;
  BITMAP bm{};
  GetObjectA(info.hbmColor, sizeof(bm), &bm);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bm.bmWidth;
}

SIZE SizeOf(HWND window) {
  RECT rc{};
  GetWindowRect(window, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

// Tells the window that it now shows at `dpi`, with a suggested rectangle beside its own.
RECT ChangeDpi(HWND window, UINT dpi) {
  RECT suggested{};
  GetWindowRect(window, &suggested);
  OffsetRect(&suggested, 3, 5);
  suggested.right += 7;
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  return suggested;
}

void ExpectPlacedAt(HWND window, const RECT& want) {
  RECT rc{};
  GetWindowRect(window, &rc);
  EXPECT_TRUE(EqualRect(&rc, &want)) << "the window is not at the suggested rectangle";
}

class HighDpiTest : public MainWindowTest {
 protected:
  void ExpectMainWindowAt(UINT dpi) {
    SCOPED_TRACE(dpi);
    const struct {
      UINT dpi;
      int big, small, idColumn, passwordColumn, pageX, pageY;
    } scales[] = {{96, 32, 16, 50, 220, 10, 30}, {144, 48, 24, 75, 330, 15, 45}, {192, 64, 32, 100, 440, 20, 60}};
    for (const auto& want : scales) {
      if (want.dpi != dpi) continue;
      EXPECT_EQ(IconWidth(SendMessageA(hwnd(), WM_GETICON, ICON_BIG, 0)), want.big);
      EXPECT_EQ(IconWidth(SendMessageA(hwnd(), WM_GETICON, ICON_SMALL, 0)), want.small);
      EXPECT_EQ(dialog.passwordList.GetColumnWidth(0), want.idColumn);
      EXPECT_EQ(dialog.passwordList.GetColumnWidth(1), want.passwordColumn);
      for (HWND page : {randomPage(), maskPage()}) {
        RECT rc{};
        GetWindowRect(page, &rc);
        POINT origin{rc.left, rc.top};
        ScreenToClient(item(IDC_TYPE_TAB), &origin);
        EXPECT_EQ(origin.x, want.pageX);
        EXPECT_EQ(origin.y, want.pageY);
      }
      return;
    }
    ADD_FAILURE() << "no sizes for this DPI";
  }
};

TEST_F(HighDpiTest, MainWindowAtTheProcessDpiAndAfterAChangeOfScale) {
  const UINT dpi = ExpectedDpi();
  ASSERT_EQ(WindowDpi(hwnd()), dpi) << "the process does not run at the DPI it was started for";
  ExpectMainWindowAt(dpi);

  // Columns the user has widened keep their proportion.
  dialog.passwordList.SetColumnWidth(1, ScaleForDpi(300, dpi));
  ExpectPlacedAt(hwnd(), ChangeDpi(hwnd(), 2 * dpi));
  EXPECT_EQ(dialog.passwordList.GetColumnWidth(1), ScaleForDpi(600, dpi));
  dialog.passwordList.SetColumnWidth(1, ScaleForDpi(440, dpi));
  for (UINT to : {144u, 192u, 96u}) {
    ExpectPlacedAt(hwnd(), ChangeDpi(hwnd(), to));
    ExpectMainWindowAt(to);
  }
}

// The extent of `text` in the DC of `control` with `font` selected (null: the DC's own).
SIZE ExtentIn(HWND control, HFONT font, const std::string& text) {
  HDC dc = GetDC(control);
  const HGDIOBJ before = font != nullptr ? SelectObject(dc, font) : nullptr;
  SIZE extent{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  if (before != nullptr) SelectObject(dc, before);
  ReleaseDC(control, dc);
  return extent;
}

TEST(HighDpiAbout, AboutBoxAtTheProcessDpiAndAfterAChangeOfScale) {
  const UINT dpi = ExpectedDpi();
  CRecordingServices services;
  CScopedServices scope{services};
  CAboutDlg about;
  ASSERT_TRUE(about.Create(nullptr));
  HWND hwnd = about.GetSafeHwnd();
  HWND picture = nullptr;
  HWND line = nullptr;
  for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG_PTR type = GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_BITMAP) picture = child;
    if (type == SS_ETCHEDHORZ) line = child;
  }
  ASSERT_NE(picture, nullptr);
  ASSERT_NE(line, nullptr);
  auto pictureSize = [&] {
    BITMAP bm{};
    GetObjectA(reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)), sizeof(bm), &bm);
    EXPECT_EQ(SizeOf(picture).cx, bm.bmWidth);
    EXPECT_EQ(SizeOf(picture).cy, bm.bmHeight);
    return SIZE{bm.bmWidth, bm.bmHeight};
  };

  // The picture, 65 x 274 at 96 DPI, fills its place in the template (43 x 169 dialog units,
  // which follow the font rather than the DPI) in its own proportions, above the line.
  SIZE shown = pictureSize();
  RECT place{0, 0, 43, 169};
  MapDialogRect(hwnd, &place);
  EXPECT_LE(shown.cx, place.right + 1);
  EXPECT_LE(shown.cy, place.bottom + 1);
  EXPECT_TRUE(shown.cx >= place.right - 1 || shown.cy >= place.bottom - 1);
  EXPECT_NEAR(shown.cx * 274.0 / shown.cy, 65.0, 0.5);
  EXPECT_LE(CLabelHost::PlaceOf(picture).bottom, CLabelHost::PlaceOf(line).top);
  if (dpi == 96) {
    EXPECT_EQ(shown.cx, 65);
    EXPECT_EQ(shown.cy, 274);
  }

  UINT from = dpi;
  bool first = true;
  for (UINT at : {dpi, 192u, 144u, 96u}) {
    SCOPED_TRACE(at);
    if (!first) {
      ExpectPlacedAt(hwnd, ChangeDpi(hwnd, at));
      // After a change the layout scales with the DPI, and so does the picture.
      const SIZE now = pictureSize();
      EXPECT_EQ(now.cx, MulDiv(shown.cx, at, from));
      EXPECT_EQ(now.cy, MulDiv(shown.cy, at, from));
      shown = now;
    }
    first = false;
    from = at;
    // Each label covers its text: as measured in the DC's font, scaled from the DPI of the
    // DC to the window's, and as drawn in its own font. The tooltip's tool covers the label.
    for (const CLinkLabel* label : {&about.emailLink, &about.homePageLink}) {
      HWND h = label->GetSafeHwnd();
      const std::string text = TextOf(h);
      const SIZE measured = ExtentIn(h, nullptr, text);
      const SIZE drawn = ExtentIn(h, reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), text);
      EXPECT_EQ(SizeOf(h).cx, std::max<LONG>(MulDiv(measured.cx, at, dpi), drawn.cx));
      EXPECT_EQ(SizeOf(h).cy, std::max<LONG>(MulDiv(measured.cy, at, dpi), drawn.cy));
      TTTOOLINFOA tool{};
      tool.cbSize = TTTOOLINFOA_V2_SIZE;
      tool.hwnd = h;
      tool.uId = 1;
      ASSERT_TRUE(SendMessageA(label->ToolTip().GetSafeHwnd(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)));
      EXPECT_EQ(tool.rect.right, SizeOf(h).cx);
      EXPECT_EQ(tool.rect.bottom, SizeOf(h).cy);
    }
  }
}

// Sets the prefix's LogPixels for processes started from now on; puts back what was there.
struct LogPixelsSetting {
  static constexpr char kKey[] = "Control Panel\\Desktop";
  static constexpr char kName[] = "LogPixels";
  DWORD old = 0;
  bool hadOld = false;
  bool set = false;

  explicit LogPixelsSetting(DWORD dpi) {
    DWORD size = sizeof(old);
    hadOld = RegGetValueA(HKEY_CURRENT_USER, kKey, kName, RRF_RT_REG_DWORD, nullptr, &old, &size) == ERROR_SUCCESS;
    set = RegSetKeyValueA(HKEY_CURRENT_USER, kKey, kName, REG_DWORD, &dpi, sizeof(dpi)) == ERROR_SUCCESS;
  }
  ~LogPixelsSetting() {
    if (hadOld) {
      RegSetKeyValueA(HKEY_CURRENT_USER, kKey, kName, REG_DWORD, &old, sizeof(old));
    } else {
      RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, kName);
    }
  }
  LogPixelsSetting(const LogPixelsSetting&) = delete;
  LogPixelsSetting& operator=(const LogPixelsSetting&) = delete;
};

using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, decltype(&CloseHandle)>;

// Runs this test program's checks above in a new process; its exit code, or -1.
long RunChecksInChild(UINT dpi) {
  char exe[MAX_PATH] = {};
  if (GetModuleFileNameA(nullptr, exe, sizeof(exe)) == 0) return -1;
  std::string commandLine = "\"" + std::string(exe) + "\" --gtest_brief=1 --gtest_filter=HighDpi*AtTheProcessDpi*";
  SetEnvironmentVariableA(kDpiVariable, std::to_string(dpi).c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child{};
  const BOOL started =
      CreateProcessA(exe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableA(kDpiVariable, nullptr);
  if (!started) return -1;
  UniqueHandle process(child.hProcess, &CloseHandle);
  UniqueHandle thread(child.hThread, &CloseHandle);
  if (WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    return -1;
  }
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<long>(code);
}

TEST(HighDpiProcesses, TheChecksPassAt144And192Dpi) {
  for (UINT dpi : {144u, 192u}) {
    LogPixelsSetting logPixels(dpi);
    ASSERT_TRUE(logPixels.set);
    EXPECT_EQ(RunChecksInChild(dpi), 0) << "at " << dpi << " DPI";
  }
}

}  // namespace
