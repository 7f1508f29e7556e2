// The Main menu's two choices, the secure random source and every ticked set: remembered in
// the user's registry across a restart; drawing from the secure source when checked, and
// warning when that source fails; every set in each password, and a warning for settings
// that cannot hold them.
#include <gtest/gtest.h>

#include <string>

#include "engine/RandomSource.h"
#include "engine/SecureRandom.h"
#include "platform/WinApp.h"
#include "tests/engine/TempDir.h"
#include "tests/windows/app/MainWindowFixture.h"

namespace {

constexpr char kKey[] = "Software\\Keymoor";

// A menu choice: its command, its registry value and the window's field.
struct Choice {
  UINT command;
  const char* value;
  bool CGeneratorDlg::*field;
};
constexpr Choice kSecure{IDM_SECURE_RANDOM, "SecureRandom", &CGeneratorDlg::useSecureRandom};
constexpr Choice kEverySet{IDM_EVERY_TICKED_SET, "EveryTickedSet", &CGeneratorDlg::useEveryTickedSet};

bool MenuChecked(HWND window, const Choice& choice) {
  return (GetMenuState(GetMenu(window), choice.command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// The stored value, or -1 when there is none.
long long Stored(const Choice& choice) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kKey, choice.value, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return -1;
  return value;
}

void Store(const Choice& choice, long long value) {
  if (value < 0) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, choice.value);
    return;
  }
  const DWORD dword = static_cast<DWORD>(value);
  RegSetKeyValueA(HKEY_CURRENT_USER, kKey, choice.value, REG_DWORD, &dword, sizeof dword);
}

// A main window of its own, as a later start of the program makes it.
struct Restarted {
  Restarted() { EXPECT_TRUE(dialog.Create(nullptr)); }
  CGeneratorDlg dialog;
};

class MenuChoiceTest : public MainWindowTest {
 protected:
  MenuChoiceTest() { app.SetMainWindow(&dialog); }
  ~MenuChoiceTest() override {
    app.SetMainWindow(nullptr);
    Store(kSecure, savedSecure);
    Store(kEverySet, savedEverySet);
    ReplaceSystemRandom(nullptr);
  }
  void Toggle(const Choice& choice = kSecure) { SendMessageA(hwnd(), WM_COMMAND, choice.command, 0); }

  long long savedSecure = Stored(kSecure), savedEverySet = Stored(kEverySet);
  CWinApp app;
  TempDir dir;
};

TEST_F(MenuChoiceTest, TheChecksSurviveARestart) {
  for (const Choice& choice : {kSecure, kEverySet}) {
    SCOPED_TRACE(choice.value);
    Store(choice, -1);
    {
      Restarted first;  // nothing stored: as before the choice existed
      EXPECT_FALSE(MenuChecked(first.dialog.GetSafeHwnd(), choice));
      EXPECT_FALSE(first.dialog.*choice.field);
    }
    Toggle(choice);
    EXPECT_TRUE(MenuChecked(hwnd(), choice));
    EXPECT_EQ(Stored(choice), 1);
    {
      Restarted later;
      EXPECT_TRUE(MenuChecked(later.dialog.GetSafeHwnd(), choice));
      EXPECT_TRUE(later.dialog.*choice.field);
    }
    Toggle(choice);
    EXPECT_FALSE(MenuChecked(hwnd(), choice));
    EXPECT_EQ(Stored(choice), 0);
    Restarted again;
    EXPECT_FALSE(MenuChecked(again.dialog.GetSafeHwnd(), choice));
  }
}

TEST_F(MenuChoiceTest, CheckedRunsDrawFromTheSecureSourceAndAFailureWarns) {
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

// Checked: every password of the list holds a capital, a small letter and a digit. Four sets
// ticked and three characters: a warning that names both figures, and the file untouched.
TEST_F(MenuChoiceTest, EveryTickedSetInEachPasswordOrAWarning) {
  Toggle(kEverySet);
  TypeOver(item(IDC_COUNT), "1000");
  RunCommand(IDC_GENERATE);
  ASSERT_EQ(dialog.passwordList.GetItemCount(), 1000);
  for (int row = 0; row < 1000; ++row) {
    const std::string p = dialog.passwordList.GetItemText(row, 1);
    if (p.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos ||
        p.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos ||
        p.find_first_of("0123456789") == std::string::npos) {
      ADD_FAILURE() << "row " << row << " lacks a set: " << p;
      break;
    }
  }
  EXPECT_TRUE(TakeWarnings().empty());

  Click(item(IDC_USE_SPECIAL));
  TypeOver(randomItem(IDC_LENGTH), "3");
  const std::string kept = dir.File("kept.txt");
  TempDir::Write(kept, "old");
  services.fileChosen = true;
  services.filePath = WidenAnsi(kept);
  RunCommand(IDC_GENERATE_TO_FILE);
  const std::vector<std::string> warnings = TakeWarnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "A password of 3 random characters cannot hold a character of each of the 4 ticked sets.");
  EXPECT_EQ(TempDir::Read(kept), "old");
  Toggle(kEverySet);
}

}  // namespace
