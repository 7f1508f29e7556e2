// The Masked page and the tab switching between the pages.
#include "app/MaskTypeDlg.h"

#include <gtest/gtest.h>

#include "tests/windows/app/MainWindowFixture.h"

namespace {

using MaskPageTest = MainWindowTest;

TEST_F(MaskPageTest, StartsHiddenWithItsDefaultsAndLimits) {
  EXPECT_FALSE(IsWindowVisible(maskPage()));
  EXPECT_EQ(TextOf(maskItem(IDC_MASK)), "????????");
  EXPECT_EQ(TextOf(maskItem(IDC_SYMBOL_MASK)), "?");
  EXPECT_EQ(SendMessageA(maskItem(IDC_MASK), EM_GETLIMITTEXT, 0, 0), 1000);
  EXPECT_EQ(SendMessageA(maskItem(IDC_SYMBOL_MASK), EM_GETLIMITTEXT, 0, 0), 3);
}

TEST_F(MaskPageTest, TypingStopsAtTheLimitsWithoutAWarning) {
  TypeOver(maskItem(IDC_SYMBOL_MASK), "#*-+");
  EXPECT_EQ(TextOf(maskItem(IDC_SYMBOL_MASK)), "#*-");
  TypeOver(maskItem(IDC_MASK), std::string(1001, '?'));
  EXPECT_EQ(TextOf(maskItem(IDC_MASK)).size(), 1000u);
  // The page's 1018 is its own: the main window's exclude edit of the same number is untouched.
  EXPECT_EQ(TextOf(item(IDC_EXCLUDE_TEXT)), "");
  EXPECT_TRUE(dialog.PullControls());
  EXPECT_EQ(dialog.excludeText, "");
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(MaskPageTest, SwitchingTabsShowsOnePageSetsTheModeAndKeepsTypedText) {
  TypeOver(randomItem(IDC_LENGTH), "15");
  ClickTab(item(IDC_TYPE_TAB), 1);
  EXPECT_EQ(dialog.tabControl.GetCurSel(), 1);
  EXPECT_TRUE(IsWindowVisible(maskPage()));
  EXPECT_FALSE(IsWindowVisible(randomPage()));
  EXPECT_EQ(theSettings.mode, GenerationMode::Masked);

  TypeOver(maskItem(IDC_MASK), "ab??");
  ClickTab(item(IDC_TYPE_TAB), 0);
  EXPECT_TRUE(IsWindowVisible(randomPage()));
  EXPECT_FALSE(IsWindowVisible(maskPage()));
  EXPECT_EQ(theSettings.mode, GenerationMode::Random);
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "15");
  EXPECT_EQ(TextOf(maskItem(IDC_MASK)), "ab??");
  // Switching neither pulls nor pushes the pages.
  EXPECT_EQ(dialog.MaskPage()->mask, "????????");

  // Selecting the selected tab again changes nothing.
  ClickTab(item(IDC_TYPE_TAB), 0);
  EXPECT_TRUE(IsWindowVisible(randomPage()));
  EXPECT_EQ(theSettings.mode, GenerationMode::Random);
}

class PageKeyboardTest : public ::testing::Test {
 protected:
  PageKeyboardTest() { theSettings = CGenerationSettings{}; }
  CRecordingServices services;
  CScopedServices scope{services};
  CGeneratorDlg dialog;
};

TEST_F(PageKeyboardTest, TabReachesTheShownPageAndEnterThereNeverHidesIt) {
  std::vector<int> focus;  // control ids, and their parents
  std::vector<HWND> parents;
  HWND page = nullptr;
  const auto tab = [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 1); };
  const INT_PTR result =
      RunModalSteps(dialog, {[&](HWND hwnd) {
                               page = dialog.RandomPage()->GetSafeHwnd();
                               // The last tab stop: the next is the tab control, then the page's first.
                               SetFocus(GetDlgItem(hwnd, IDOK));
                               PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
                             },
                             [&](HWND h) {
                               focus.push_back(GetDlgCtrlID(GetFocus()));
                               parents.push_back(GetParent(GetFocus()));
                               tab(h);
                             },
                             [&](HWND h) {
                               focus.push_back(GetDlgCtrlID(GetFocus()));
                               parents.push_back(GetParent(GetFocus()));
                               tab(h);
                             },
                             [&](HWND h) {
                               focus.push_back(GetDlgCtrlID(GetFocus()));
                               parents.push_back(GetParent(GetFocus()));
                               tab(h);
                             },
                             [&](HWND) {
                               focus.push_back(GetDlgCtrlID(GetFocus()));
                               parents.push_back(GetParent(GetFocus()));
                               // Enter in the page's length edit acts as in the main window: the page stays.
                               SetFocus(GetDlgItem(page, IDC_LENGTH));
                               PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
                             },
                             [&](HWND hwnd) {
                               EXPECT_TRUE(IsWindowVisible(page));
                               EXPECT_TRUE(IsWindowVisible(hwnd));
                               EXPECT_EQ(dialog.passwordList.GetItemCount(), 10);  // the default button ran
                               // Escape in the page ends the main window as Escape there does.
                               PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
                             }});
  const std::vector<int> expected = {IDC_TYPE_TAB, IDC_LENGTH, IDC_VARIABLE_LENGTH, IDC_USE_CAPITALS};
  EXPECT_EQ(focus, expected);
  ASSERT_EQ(parents.size(), 4u);
  EXPECT_NE(parents[0], page);
  EXPECT_EQ(parents[1], page);
  EXPECT_EQ(parents[2], page);
  EXPECT_NE(parents[3], page);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(services.boxes.empty());
}

}  // namespace
