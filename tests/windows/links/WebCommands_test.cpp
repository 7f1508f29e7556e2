// The Help menu's commands: their targets, their silence on failure, and the About box.
#include "links/WebCommands.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

#include "links/WebTargets.h"
#include "resources/resource.h"
#include "tests/windows/links/LinkTestSupport.h"

namespace {
class WebCommandsTest : public ::testing::Test {
 protected:
  CRecordingServices services;
  CScopedServices scope{services};
  CWebClassGuard webClass;
};
}  // namespace

TEST(WebTargetsTest, HaveTheirFormsAndRelations) {
  const std::string home = kHomePageUrl;
  EXPECT_EQ(home.rfind("http://", 0), 0u);
  EXPECT_EQ(home.back(), '/');
  EXPECT_EQ(std::string(kDownloadPageUrl), home + "download.html");
  EXPECT_EQ(std::string(kSupportMailboxUrl).rfind("mailto:", 0), 0u);
}

TEST_F(WebCommandsTest, EachOpensItsTargetShown) {
  services.shellAnswer = 42;
  OpenHomePage();
  OpenDownloadPage();
  SendFeedback();
  EXPECT_EQ(services.shellOpens, (std::vector<std::string>{kHomePageUrl, kDownloadPageUrl, kSupportMailboxUrl}));
  EXPECT_EQ(services.shellShow, SW_SHOW);
}

TEST_F(WebCommandsTest, FailureIsSilent) {
  webClass.Unregister();
  services.shellAnswer = SE_ERR_NOASSOC;
  OpenHomePage();
  OpenDownloadPage();
  SendFeedback();
  // The fallback's launcher failing is silent too.
  webClass.Register("browser.exe \"%1\"");
  services.runAnswer = ERROR_FILE_NOT_FOUND;
  OpenHomePage();
  EXPECT_EQ(services.shellOpens.size(), 4u);
  EXPECT_EQ(services.commandLines, (std::vector<std::string>{std::string("browser.exe  ") + kHomePageUrl}));
  EXPECT_TRUE(services.beeps.empty());
  EXPECT_TRUE(services.boxes.empty());
}

namespace {
// Seen by the timer that closes the About box from inside its modal run.
struct AboutSeen {
  int runs = 0;
  std::string version;
};
AboutSeen seen;

void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND about = FindWindowA(nullptr, "About...");
  if (about == nullptr || !IsWindowVisible(about)) return;
  ++seen.runs;
  char text[64] = {};
  GetDlgItemTextA(about, IDC_VERSION, text, sizeof(text));
  seen.version = text;
  SendMessageA(about, WM_COMMAND, IDOK, 0);
}
}  // namespace

TEST_F(WebCommandsTest, ShowAboutBoxRunsANewBoxAndDestroysIt) {
  InitCommonControls();
  seen = {};
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CloseAboutBox);
  ShowAboutBox();
  ShowAboutBox();
  KillTimer(nullptr, timer);
  EXPECT_EQ(seen.runs, 2);
  EXPECT_EQ(seen.version, "Version 2.0");
  EXPECT_EQ(FindWindowA(nullptr, "About..."), nullptr);
}
