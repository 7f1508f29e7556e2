// The Help menu's web commands and the About box, from the menu and the system menu.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/windows/app/MainWindowFixture.h"

namespace {
// What the timer saw of each About box before closing it.
std::vector<std::string> aboutVersions;

void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND about = FindWindowA(nullptr, "About...");
  if (about == nullptr || !IsWindowVisible(about)) return;
  char text[64] = {};
  GetDlgItemTextA(about, IDC_VERSION, text, sizeof(text));
  aboutVersions.push_back(text);
  SendMessageA(about, WM_COMMAND, IDOK, 0);
}

// Sends `message` to the window while a timer closes any About box it opens; returns the
// versions of the About boxes that were shown.
std::vector<std::string> SendClosingAbout(HWND window, UINT message, WPARAM wParam) {
  aboutVersions.clear();
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CloseAboutBox);
  SendMessageA(window, message, wParam, 0);
  KillTimer(nullptr, timer);
  return aboutVersions;
}
}  // namespace

TEST_F(MainWindowTest, HelpWebCommandsOpenTheirTargetsSilently) {
  services.shellAnswer = SE_ERR_NOASSOC;
  services.runAnswer = ERROR_FILE_NOT_FOUND;  // should a web-page command be registered
  for (int id : {IDM_HOME_PAGE, IDM_DOWNLOAD, IDM_FEEDBACK}) SendMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
  EXPECT_EQ(services.shellOpens,
            (std::vector<std::string>{"http://www.keymoor.example/", "http://www.keymoor.example/download.html",
                                      "mailto:support@keymoor.example"}));
  EXPECT_EQ(services.shellShow, SW_SHOW);
  EXPECT_TRUE(services.beeps.empty());
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(MainWindowTest, AboutOpensFromTheHelpMenuAndTheSystemMenu) {
  EXPECT_EQ(SendClosingAbout(hwnd(), WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0)), (std::vector<std::string>{"Version 2.0"}));
  EXPECT_EQ(SendClosingAbout(hwnd(), WM_SYSCOMMAND, CGeneratorDlg::AboutSystemCommand).size(), 1u);
  EXPECT_EQ(SendClosingAbout(hwnd(), WM_SYSCOMMAND, 0x0013).size(), 1u);
  EXPECT_EQ(SendClosingAbout(hwnd(), WM_SYSCOMMAND, 0x001F).size(), 1u);
  EXPECT_TRUE(SendClosingAbout(hwnd(), WM_SYSCOMMAND, 0x0020).empty());
  // Each box was destroyed after its run; the main window is as it was.
  EXPECT_EQ(FindWindowA(nullptr, "About..."), nullptr);
  EXPECT_TRUE(IsWindow(hwnd()));
  EXPECT_TRUE(IsWindowEnabled(hwnd()));
}
