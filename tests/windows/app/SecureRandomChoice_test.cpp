// The Main menu's secure random choice: remembered in the user's registry across a restart,
// drawing from the secure source when checked, and warning when that source fails.
#include <gtest/gtest.h>

#include <string>

#include "engine/RandomSource.h"
#include "engine/SecureRandom.h"
#include "platform/WinApp.h"
#include "tests/engine/TempDir.h"
#include "tests/windows/app/MainWindowFixture.h"

namespace {

constexpr char kKey[] = "Software\\Keymoor";
constexpr char kValue[] = "SecureRandom";

bool MenuChecked(HWND window) {
  return (GetMenuState(GetMenu(window), IDM_SECURE_RANDOM, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// The stored value, or -1 when there is none.
long long Stored() {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return -1;
  return value;
}

void Store(long long value) {
  if (value < 0) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, kValue);
    return;
  }
  const DWORD dword = static_cast<DWORD>(value);
  RegSetKeyValueA(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &dword, sizeof dword);
}

// A main window of its own, as a later start of the program makes it.
struct Restarted {
  Restarted() { EXPECT_TRUE(dialog.Create(nullptr)); }
  CGeneratorDlg dialog;
};

class SecureRandomChoiceTest : public MainWindowTest {
 protected:
  SecureRandomChoiceTest() { app.SetMainWindow(&dialog); }
  ~SecureRandomChoiceTest() override {
    app.SetMainWindow(nullptr);
    Store(saved);
    ReplaceSystemRandom(nullptr);
  }
  void Toggle() { SendMessageA(hwnd(), WM_COMMAND, IDM_SECURE_RANDOM, 0); }

  long long saved = Stored();
  CWinApp app;
  TempDir dir;
};

TEST_F(SecureRandomChoiceTest, TheCheckSurvivesARestart) {
  Store(-1);
  {
    Restarted first;  // nothing stored: as before the choice existed
    EXPECT_FALSE(MenuChecked(first.dialog.GetSafeHwnd()));
    EXPECT_FALSE(first.dialog.useSecureRandom);
  }
  Toggle();
  EXPECT_TRUE(MenuChecked(hwnd()));
  EXPECT_EQ(Stored(), 1);
  {
    Restarted later;
    EXPECT_TRUE(MenuChecked(later.dialog.GetSafeHwnd()));
    EXPECT_TRUE(later.dialog.useSecureRandom);
  }
  Toggle();
  EXPECT_FALSE(MenuChecked(hwnd()));
  EXPECT_EQ(Stored(), 0);
  Restarted again;
  EXPECT_FALSE(MenuChecked(again.dialog.GetSafeHwnd()));
}

TEST_F(SecureRandomChoiceTest, CheckedRunsDrawFromTheSecureSourceAndAFailureWarns) {
  Toggle();
  theRandom.Seed(99);
  RunCommand(IDC_GENERATE);
  EXPECT_EQ(theRandom.State(), 99u);  // the 15-bit generator was not used
  ASSERT_EQ(dialog.passwordList.GetItemCount(), 10);
  const std::string first = dialog.passwordList.GetItemText(0, 1);
  EXPECT_EQ(first.size(), 8u);
  EXPECT_EQ(first.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            std::string::npos);
  EXPECT_TRUE(TakeWarnings().empty());

  ReplaceSystemRandom([](void*, std::size_t) { return false; });
  RunCommand(IDC_GENERATE);
  EXPECT_TRUE(Mentions(TakeWarnings(), "secure random source failed"));
  EXPECT_EQ(dialog.passwordList.GetItemCount(), 0);
  const std::string kept = dir.File("kept.txt");
  TempDir::Write(kept, "old");
  services.fileChosen = true;
  services.filePath = WidenAnsi(kept);
  RunCommand(IDC_GENERATE_TO_FILE);
  EXPECT_TRUE(Mentions(TakeWarnings(), "No passwords were made"));
  EXPECT_EQ(TempDir::Read(kept), "old");
  Toggle();
}

}  // namespace
