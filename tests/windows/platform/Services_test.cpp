// The message box service: caption, default icons by button set, owner; the replaceable
// services slot.
#include "platform/Services.h"

#include <gtest/gtest.h>

#include "platform/WinApp.h"
#include "tests/windows/platform/TestDialog.h"

namespace {

TEST(ApplicationTitle, IsTheExecutableNameWithoutExtension) { EXPECT_EQ(ApplicationTitle(), "platform_tests"); }

TEST(AppMessageBox, CaptionIsTheTitleAndIconsFollowTheButtonSet) {
  CRecordingServices services;
  CScopedServices scope(services);
  services.boxAnswer = IDNO;
  EXPECT_EQ(AppMessageBox("text", MB_YESNO), IDNO);
  AppMessageBox("text");
  AppMessageBox("text", MB_OKCANCEL);
  AppMessageBox("text", MB_YESNOCANCEL);
  AppMessageBox("text", MB_ABORTRETRYIGNORE);
  AppMessageBox("text", MB_RETRYCANCEL);
  AppMessageBox("text", MB_OK | MB_ICONINFORMATION);
  const UINT expected[] = {
      MB_YESNO | MB_ICONEXCLAMATION,       MB_OK | MB_ICONEXCLAMATION, MB_OKCANCEL | MB_ICONEXCLAMATION,
      MB_YESNOCANCEL | MB_ICONEXCLAMATION, MB_ABORTRETRYIGNORE,        MB_RETRYCANCEL,
      MB_OK | MB_ICONINFORMATION,
  };
  ASSERT_EQ(services.boxes.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(services.boxes[i].type, expected[i]) << i;
    EXPECT_EQ(services.boxes[i].caption, "platform_tests");
    EXPECT_EQ(services.boxes[i].text, "text");
  }
}

TEST(AppMessageBox, AWideTextReachesTheBoxWhole) {
  CRecordingServices services;
  CScopedServices scope(services);
  const std::wstring text = L"C:\\\u041a\u043b\u044e\u0447\\\u30d1\u30b9.txt already exists.";
  services.boxAnswer = IDYES;
  EXPECT_EQ(AppMessageBox(text, MB_YESNO), IDYES);
  AppMessageBox(text, MB_RETRYCANCEL);
  ASSERT_EQ(services.boxes.size(), 2u);
  EXPECT_EQ(services.boxes[0].wideText, text);
  EXPECT_EQ(services.boxes[0].caption, "platform_tests");
  EXPECT_EQ(services.boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
  EXPECT_EQ(services.boxes[1].type, static_cast<UINT>(MB_RETRYCANCEL));
}

TEST(AppMessageBox, IsOwnedByTheMainWindow) {
  CRecordingServices services;
  CScopedServices scope(services);
  CWinApp app;
  EXPECT_EQ(CWinApp::Current(), &app);
  ModelessTestDialog main;
  app.SetMainWindow(&main.dialog);
  AppMessageBox("x");
  ASSERT_EQ(services.boxes.size(), 1u);
  EXPECT_EQ(services.boxes[0].owner, main.hwnd());
}

TEST(ScopedServices, RestoresThePreviousServices) {
  CRecordingServices outer;
  CRecordingServices inner;
  CScopedServices outerScope(outer);
  {
    CScopedServices innerScope(inner);
    Services().PlayBeep(MB_OK);
    Services().RunCommandLine("cmd", SW_SHOW);
  }
  Services().ShellOpen(nullptr, "open", "http://x/", nullptr, nullptr, SW_SHOW);
  EXPECT_EQ(inner.beeps.size(), 1u);
  EXPECT_EQ(inner.commandLines.size(), 1u);
  EXPECT_EQ(outer.shellOpens, std::vector<std::string>{"http://x/"});
  EXPECT_TRUE(outer.beeps.empty());
}

}  // namespace
