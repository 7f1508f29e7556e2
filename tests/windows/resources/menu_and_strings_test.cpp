// Menu bar 129 and the string table: exact texts, ids, separators, all items enabled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ResourceTest.h"
#include "resources/resource.h"

namespace keymoor::test {
namespace {

struct Item {
  std::string text;  // empty for a separator
  int id;
};

std::vector<Item> Items(HMENU menu) {
  std::vector<Item> items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[128] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info));
    if (info.fType & MFT_SEPARATOR) {
      items.push_back({"", 0});
    } else {
      EXPECT_EQ(info.fState & (MFS_GRAYED | MFS_DISABLED | MFS_CHECKED), 0u) << text;
      items.push_back({text, static_cast<int>(info.wID)});
    }
  }
  return items;
}

void ExpectItems(HMENU menu, const std::vector<Item>& expected) {
  std::vector<Item> items = Items(menu);
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].text, expected[i].text) << "item " << i;
    EXPECT_EQ(items[i].id, expected[i].id) << "item " << i << " " << expected[i].text;
    EXPECT_EQ(GetSubMenu(menu, static_cast<int>(i)), nullptr) << "item " << i;
  }
}

TEST(MainMenu, HasMainAndHelpWithExactItems) {
  UniqueMenu menu(LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_MAIN_MENU)));
  ASSERT_TRUE(menu);
  ASSERT_EQ(GetMenuItemCount(menu.get()), 2);
  char title[32] = {};
  GetMenuStringA(menu.get(), 0, title, sizeof title, MF_BYPOSITION);
  EXPECT_STREQ(title, "&Main");
  GetMenuStringA(menu.get(), 1, title, sizeof title, MF_BYPOSITION);
  EXPECT_STREQ(title, "&Help");

  HMENU main = GetSubMenu(menu.get(), 0);
  HMENU help = GetSubMenu(menu.get(), 1);
  ASSERT_TRUE(main);
  ASSERT_TRUE(help);
  ExpectItems(main, {{"Generate passwords\tAlt+G", 1016},
                     {"Generate passwords to file ...\tAlt+F", 1017},
                     {"", 0},
                     {"Save passwords to file...\tAlt+S", 1004},
                     {"", 0},
                     {"Use the system's secure random source", 32811},
                     {"Use every ticked set in each password", 32812},
                     {"", 0},
                     {"&Exit\tAlt+F4", 32771}});
  ExpectItems(help, {{"Home Web-Page", 32806},
                     {"Download last version", 32807},
                     {"", 0},
                     {"Send Feedback", 32810},
                     {"", 0},
                     {"&About ...", 32772}});
}

TEST(MainMenu, IsTheMainWindowsMenuBar) {
  UniqueWindow dialog = CreateTemplate(IDD_GENERATOR);
  ASSERT_TRUE(dialog);
  HMENU bar = GetMenu(dialog.get());
  ASSERT_TRUE(bar);
  EXPECT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 1), 5), static_cast<UINT>(IDM_ABOUT));
}

std::string LoadText(int id) {
  char text[256] = {};
  int length = LoadStringA(Module(), id, text, sizeof text);
  return std::string(text, length > 0 ? length : 0);
}

TEST(StringTable, HoldsTheSystemMenuTextAndTheWebCommandPrompts) {
  EXPECT_EQ(LoadText(IDS_ABOUT_MAIN), "&About Main...");
  EXPECT_EQ(LoadText(IDM_HOME_PAGE), "Home Web-Page\nHome Web-Page");
  EXPECT_EQ(LoadText(IDM_DOWNLOAD), "Download last version\nDownload last version");
  EXPECT_EQ(LoadText(IDM_FEEDBACK), "Send Feedback\nSend Feedback");
}

}  // namespace
}  // namespace keymoor::test
