// Tab control items with their data; list view rows and texts of any length.
#include "platform/Controls.h"

#include <gtest/gtest.h>

#include "tests/windows/platform/TestSupport.h"

namespace {

struct ControlHost {
  CTemplateBuilder t;
  CDialog dialog;
  ControlHost()
      : t([] {
          CTemplateBuilder b(WS_POPUP | WS_CAPTION, 300, 200);
          b.Control(WC_TABCONTROLA, "", 1, 0, 5, 5, 200, 50)
              .Control(WC_LISTVIEWA, "", 2, LVS_REPORT | LVS_SINGLESEL | WS_BORDER, 5, 60, 250, 100);
          return b;
        }()),
        dialog(t.Get()) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    dialog.Create(nullptr);
  }
  CTabCtrl tab() const { return CTabCtrl(dialog.GetDlgItem(1)); }
  CListCtrl list() const { return CListCtrl(dialog.GetDlgItem(2)); }
};

TEST(TabCtrl, ItemsKeepTheirTextAndData) {
  ControlHost host;
  CTabCtrl tab = host.tab();
  EXPECT_EQ(tab.InsertItem(0, "Random"), 0);
  EXPECT_EQ(tab.InsertItem(1, "Masked"), 1);
  int a = 0, b = 0;
  EXPECT_TRUE(tab.SetItemData(0, reinterpret_cast<LPARAM>(&a)));
  EXPECT_TRUE(tab.SetItemData(1, reinterpret_cast<LPARAM>(&b)));
  EXPECT_EQ(tab.GetItemData(0), reinterpret_cast<LPARAM>(&a));
  EXPECT_EQ(tab.GetItemData(1), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(tab.GetItemData(5), 0);
  EXPECT_EQ(tab.GetItemText(1), "Masked");
  EXPECT_EQ(tab.GetItemCount(), 2);
  tab.SetCurSel(1);
  EXPECT_EQ(tab.GetCurSel(), 1);
}

TEST(ListCtrl, RowsColumnsAndLongTexts) {
  ControlHost host;
  CListCtrl list = host.list();
  list.SetExtendedStyle(0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(list.GetExtendedStyle(), static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
  EXPECT_EQ(list.InsertColumn(0, "ID", LVCFMT_LEFT, 50), 0);
  EXPECT_EQ(list.InsertColumn(1, "Password", LVCFMT_LEFT, 220), 1);
  EXPECT_EQ(list.GetColumnCount(), 2);
  EXPECT_EQ(list.GetColumnText(1), "Password");
  EXPECT_EQ(list.GetColumnWidth(0), 50);

  const std::string longText(5000, 'q');
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list.InsertItem(row, std::to_string(row)), row);
    EXPECT_TRUE(list.SetItemText(row, 1, row == 1 ? longText : "pw" + std::to_string(row)));
  }
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(1, 1), longText);
  EXPECT_EQ(list.GetItemText(2, 1), "pw2");
  EXPECT_EQ(list.GetItemText(0, 0), "0");
  EXPECT_EQ(list.GetItemText(2, 1 + 0).size(), 3u);
  // A text exactly at a buffer size boundary comes back whole.
  list.SetItemText(0, 1, std::string(255, 'b'));
  EXPECT_EQ(list.GetItemText(0, 1), std::string(255, 'b'));

  EXPECT_EQ(list.GetSelectedRow(), -1);
  EXPECT_EQ(list.GetSelectedCount(), 0);
  list.SelectRow(2);
  list.SelectRow(1);  // single selection: the earlier one goes
  EXPECT_EQ(list.GetSelectedRow(), 1);
  EXPECT_EQ(list.GetSelectedCount(), 1);
  EXPECT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(list.GetItemCount(), 0);
}

TEST(Font, OwnsWhatItCreated) {
  LOGFONTA description{};
  description.lfHeight = -12;
  description.lfUnderline = 1;
  CFont font;
  EXPECT_FALSE(font.IsCreated());
  ASSERT_TRUE(font.Create(description));
  LOGFONTA back{};
  ASSERT_EQ(GetObjectA(font.Get(), sizeof(back), &back), static_cast<int>(sizeof(back)));
  EXPECT_EQ(back.lfUnderline, 1);
  font.Delete();
  EXPECT_FALSE(font.IsCreated());
}

TEST(ToolTip, HoldsItsToolsText) {
  ControlHost host;
  CToolTipCtrl tip;
  ASSERT_TRUE(tip.Create(host.dialog.GetSafeHwnd()));
  RECT rc{0, 0, 10, 10};
  HWND tool = host.dialog.GetDlgItem(1);
  ASSERT_TRUE(tip.AddTool(tool, 1, rc, "http://first/"));
  EXPECT_EQ(tip.GetText(tool, 1), "http://first/");
  tip.UpdateTipText(tool, 1, "mailto:x@y");
  EXPECT_EQ(tip.GetText(tool, 1), "mailto:x@y");
  HWND tipWindow = tip.GetSafeHwnd();
  tip.DestroyTip();
  EXPECT_FALSE(IsWindow(tipWindow));
}

}  // namespace
