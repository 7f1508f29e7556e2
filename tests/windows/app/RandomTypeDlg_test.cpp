// The Random page inside the main window: its start, the length's spin and clamp, and its
// share of the settings whichever tab is selected.
#include "app/RandomTypeDlg.h"

#include <gtest/gtest.h>

#include "tests/windows/app/MainWindowFixture.h"

namespace {

using RandomPageTest = MainWindowTest;

TEST_F(RandomPageTest, StartsWithLengthEightAndFixedLength) {
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "8");
  EXPECT_FALSE(IsChecked(randomItem(IDC_VARIABLE_LENGTH)));
  EXPECT_EQ(TextOf(randomItem(IDC_VARIABLE_LENGTH)), "Variable length (5...length)");
}

TEST_F(RandomPageTest, LengthSpinStepsByOneAndStopsAtBothBounds) {
  EXPECT_EQ(SpinDelta(randomPage(), IDC_LENGTH_SPIN, -3), 0);
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "9");
  EXPECT_EQ(GetFocus(), randomItem(IDC_LENGTH));
  SetWindowTextA(randomItem(IDC_LENGTH), "1000000");
  SpinDelta(randomPage(), IDC_LENGTH_SPIN, -1);
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "1000000");
  SetWindowTextA(randomItem(IDC_LENGTH), "1");
  SpinDelta(randomPage(), IDC_LENGTH_SPIN, 1);
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "1");
  SpinDelta(randomPage(), IDC_LENGTH_SPIN, -1);
  EXPECT_EQ(dialog.RandomPage()->length, 2);
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(RandomPageTest, LengthTyping) {
  TypeOver(randomItem(IDC_LENGTH), "0");
  EXPECT_TRUE(Mentions(TakeWarnings(), "1 to 1000000"));
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "1");

  // A seventh digit that takes "100000" beyond 1,000,000.
  SetWindowTextA(randomItem(IDC_LENGTH), "100000");
  SendMessageA(randomItem(IDC_LENGTH), EM_SETSEL, 6, 6);
  Type(randomItem(IDC_LENGTH), "1");
  EXPECT_TRUE(Mentions(TakeWarnings(), "1 to 1000000"));
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "1000000");

  TypeOver(randomItem(IDC_LENGTH), "12");
  EXPECT_TRUE(TakeWarnings().empty());
  SendMessageA(randomItem(IDC_LENGTH), EM_SETSEL, 0, -1);
  Type(randomItem(IDC_LENGTH), "\b");
  EXPECT_TRUE(Mentions(TakeWarnings(), "whole number"));
  EXPECT_EQ(TextOf(randomItem(IDC_LENGTH)), "12");
  // The main window's fields are not touched by the page's exchange.
  EXPECT_EQ(dialog.count, 10);
}

TEST_F(RandomPageTest, BothPagesStoreWhicheverTabIsSelected) {
  TypeOver(randomItem(IDC_LENGTH), "20");
  Click(randomItem(IDC_VARIABLE_LENGTH));
  EXPECT_EQ(theSettings.length, 0);  // the flag reaches the settings only at the next fill
  ClickTab(item(IDC_TYPE_TAB), 1);
  SetWindowTextA(maskItem(IDC_MASK), "??-??");
  EXPECT_EQ(dialog.RandomPage()->StoreSettings(), 0);
  EXPECT_EQ(dialog.MaskPage()->StoreSettings(), 0);
  EXPECT_EQ(theSettings.length, 20);
  EXPECT_EQ(theSettings.variableLength, 1);
  EXPECT_EQ(theSettings.mask, "??-??");
  EXPECT_EQ(theSettings.symbolMask, "?");
  EXPECT_EQ(theSettings.mode, GenerationMode::Masked);
}

TEST_F(RandomPageTest, AStoreAfterAFailedPullStoresWhatTheFieldsHold) {
  TypeOver(randomItem(IDC_LENGTH), "30");
  // Put a non-number into the edit without the change handler (which would write 30 back),
  // so that the store's own pull meets it.
  {
    CExchangeLockout quiet(randomPage());
    SetWindowTextA(randomItem(IDC_LENGTH), "x");
  }
  TakeWarnings();
  dialog.RandomPage()->StoreSettings();
  EXPECT_TRUE(Mentions(TakeWarnings(), "whole number"));
  EXPECT_EQ(theSettings.length, 30);
}

}  // namespace
