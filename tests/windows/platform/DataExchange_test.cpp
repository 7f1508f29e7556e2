// Pull and push over a mapping: each kind, validation with its warning and focus, the stop
// at the failing entry, input limits and the push that leaves equal texts alone.
#include "platform/DataExchange.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/windows/platform/TestDialog.h"

namespace {

TEST(ParseLeadingNumber, ReadsLikePercentD) {
  EXPECT_EQ(ParseLeadingNumber("42"), 42);
  EXPECT_EQ(ParseLeadingNumber("  \t-17"), -17);
  EXPECT_EQ(ParseLeadingNumber("+8"), 8);
  EXPECT_EQ(ParseLeadingNumber("12abc"), 12);
  EXPECT_EQ(ParseLeadingNumber("007"), 7);
  EXPECT_EQ(ParseLeadingNumber(""), std::nullopt);
  EXPECT_EQ(ParseLeadingNumber("abc"), std::nullopt);
  EXPECT_EQ(ParseLeadingNumber("-"), std::nullopt);
  EXPECT_EQ(ParseLeadingNumber("- 5"), std::nullopt);
}

TEST(ParseLeadingNumber, NumbersBeyond32BitsStayOutOfRangeInsteadOfWrapping) {
  EXPECT_EQ(ParseLeadingNumber("2147483647"), INT_MAX);
  EXPECT_EQ(ParseLeadingNumber("2147483648"), INT_MAX);
  EXPECT_EQ(ParseLeadingNumber("4294967297"), INT_MAX);  // would wrap to 1
  EXPECT_EQ(ParseLeadingNumber("-2147483648"), INT_MIN);
  EXPECT_EQ(ParseLeadingNumber("-99999999999999999999"), INT_MIN);
  // Only the first 63 characters are read.
  EXPECT_EQ(ParseLeadingNumber(std::string(63, '0') + "5"), 0);
  EXPECT_EQ(ParseLeadingNumber(std::string(62, ' ') + "9"), 9);
}

class ExchangeTest : public ::testing::Test {
 protected:
  CRecordingServices services;
  CScopedServices scope{services};
  ModelessTestDialog t;
};

TEST_F(ExchangeTest, InitialisationPushesEveryFieldAndAttaches) {
  EXPECT_TRUE(t.dialog.initialised);
  EXPECT_EQ(t.dialog.attached.GetSafeHwnd(), t.item(kLinkStatic));
  EXPECT_EQ(SendMessageA(t.item(kCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(TextOf(t.item(kTextEdit)), "abc");
  EXPECT_EQ(TextOf(t.item(kNumberEdit)), "5");
  EXPECT_EQ(SendMessageA(t.item(kTextEdit), EM_GETLIMITTEXT, 0, 0), 8);
  EXPECT_EQ(t.dialog.numberChanges, 0);  // the push was locked out
  EXPECT_TRUE(services.boxes.empty());
}

TEST_F(ExchangeTest, PullTakesEveryControlAndPushWritesEveryField) {
  SendMessageA(t.item(kCheck), BM_CLICK, 0, 0);
  SetWindowTextA(t.item(kTextEdit), "hello");
  SetWindowTextA(t.item(kNumberEdit), "12abc");
  EXPECT_TRUE(t.dialog.PullControls());
  EXPECT_EQ(t.dialog.checked, 0);
  EXPECT_EQ(t.dialog.text, "hello");
  EXPECT_EQ(t.dialog.number, 12);
  EXPECT_TRUE(services.boxes.empty());

  t.dialog.checked = 1;
  t.dialog.text = "x";
  t.dialog.number = -3;  // the range is not checked on push
  const int changes = t.dialog.numberChanges;
  t.dialog.PushControls();
  EXPECT_EQ(SendMessageA(t.item(kCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(TextOf(t.item(kTextEdit)), "x");
  EXPECT_EQ(TextOf(t.item(kNumberEdit)), "-3");
  EXPECT_EQ(t.dialog.numberChanges, changes);
  // After the exchange the window hears its controls again.
  SetWindowTextA(t.item(kNumberEdit), "4");
  EXPECT_EQ(t.dialog.numberChanges, changes + 1);
}

TEST_F(ExchangeTest, TooLongTextWarnsSelectsAndStopsBeforeLaterEntries) {
  SendMessageA(t.item(kCheck), BM_CLICK, 0, 0);    // before the failing entry
  SetWindowTextA(t.item(kTextEdit), "123456789");  // 9 > 8
  SetWindowTextA(t.item(kNumberEdit), "50");       // after it
  SetFocus(t.item(kButton));
  EXPECT_FALSE(t.dialog.PullControls());
  EXPECT_EQ(t.dialog.checked, 0);
  EXPECT_EQ(t.dialog.text, "123456789");
  EXPECT_EQ(t.dialog.number, 5);
  ASSERT_EQ(services.boxes.size(), 1u);
  EXPECT_NE(services.boxes[0].text.find("8"), std::string::npos) << services.boxes[0].text;
  EXPECT_EQ(services.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(services.boxes[0].focusBefore, t.item(kButton));  // the focus moves after the box
  EXPECT_EQ(GetFocus(), t.item(kTextEdit));
  EXPECT_EQ(SelectionOf(t.item(kTextEdit)), std::make_pair(0, 9));
}

TEST_F(ExchangeTest, NumberFailures) {
  struct Case {
    const char* text;
    bool passes;
    int field;            // the field after the pull
    const char* warning;  // a piece of the warning
  };
  const Case cases[] = {
      {"100", true, 100, nullptr},
      {"", false, 100, "whole number"},  // keeps the last value
      {"x7", false, 100, "whole number"},
      {"0", false, 0, "1 to 100"},  // takes the out-of-range value
      {"101", false, 101, "1 to 100"},
      {"-5", false, -5, "1 to 100"},
      {"4294967297", false, INT_MAX, "1 to 100"},
      {"+", false, INT_MAX, "whole number"},
  };
  for (const Case& c : cases) {
    services.boxes.clear();
    SetWindowTextA(t.item(kNumberEdit), c.text);
    EXPECT_EQ(t.dialog.PullControls(), c.passes) << c.text;
    EXPECT_EQ(t.dialog.number, c.field) << c.text;
    if (c.passes) {
      EXPECT_TRUE(services.boxes.empty()) << c.text;
    } else {
      ASSERT_EQ(services.boxes.size(), 1u) << c.text;
      EXPECT_NE(services.boxes[0].text.find(c.warning), std::string::npos) << services.boxes[0].text;
      EXPECT_EQ(GetFocus(), t.item(kNumberEdit));
      EXPECT_EQ(SelectionOf(t.item(kNumberEdit)), std::make_pair(0, static_cast<int>(strlen(c.text))));
    }
  }
}

TEST_F(ExchangeTest, TheInputLimitRefusesTypingWithoutAWarning) {
  SetWindowTextA(t.item(kTextEdit), "");
  SetFocus(t.item(kTextEdit));
  Type(t.item(kTextEdit), "abcdefghij");
  EXPECT_EQ(TextOf(t.item(kTextEdit)), "abcdefgh");
  EXPECT_TRUE(services.boxes.empty());
  // The program may write more than the limit; the next pull then fails on it.
  t.dialog.text = std::string(20, 'z');
  t.dialog.PushControls();
  EXPECT_EQ(TextOf(t.item(kTextEdit)).size(), 20u);
  EXPECT_FALSE(t.dialog.PullControls());
}

TEST_F(ExchangeTest, APushLeavesAnEqualTextAndItsSelectionAlone) {
  SendMessageA(t.item(kTextEdit), EM_SETSEL, 1, 2);
  SendMessageA(t.item(kNumberEdit), EM_SETSEL, 0, 1);
  t.dialog.PushControls();
  EXPECT_EQ(SelectionOf(t.item(kTextEdit)), std::make_pair(1, 2));
  EXPECT_EQ(SelectionOf(t.item(kNumberEdit)), std::make_pair(0, 1));
  t.dialog.text = "abd";
  t.dialog.PushControls();
  EXPECT_EQ(TextOf(t.item(kTextEdit)), "abd");
  EXPECT_EQ(SelectionOf(t.item(kTextEdit)), std::make_pair(0, 0));
  // Long texts too: a failed pull's full selection survives the push after it.
  t.dialog.text = std::string(300, 'x');
  t.dialog.PushControls();
  EXPECT_FALSE(t.dialog.PullControls());
  EXPECT_EQ(SelectionOf(t.item(kTextEdit)), std::make_pair(0, 300));
  t.dialog.PushControls();
  EXPECT_EQ(SelectionOf(t.item(kTextEdit)), std::make_pair(0, 300));
}

}  // namespace
