// resource.h: every id is named by its kind, defined once, does not clash with another id
// that could meet it, and is used by the resources (no leftovers).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "ResourceTest.h"
#include "resources/resource.h"

namespace keymoor::test {
namespace {

struct Define {
  std::string name;
  std::string prefix;
  long value;
};

// Reads every "#define NAME number" of resource.h, whose path the build compiles in.
std::vector<Define> ReadResourceHeader() {
  std::string path = KEYMOOR_RESOURCE_H;
  // Under Wine the Unix root is drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  std::vector<Define> defines;
  static const std::regex line(R"(^\s*#\s*define\s+([A-Za-z_]\w*)\s+(\S+)\s*$)");
  static const std::regex prefix(R"(^(ID[A-Z]*)_)");
  std::string text;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::smatch m;
    if (!std::regex_match(text, m, line)) {
      EXPECT_EQ(text.find("#define"), std::string::npos) << "unexpected definition: " << text;
      continue;
    }
    Define d{m[1], "", std::strtol(m[2].str().c_str(), nullptr, 0)};
    std::smatch p;
    if (std::regex_search(d.name, p, prefix)) d.prefix = p[1];
    defines.push_back(d);
  }
  return defines;
}

// Every control id found in the program's dialog templates, per template.
std::map<int, std::set<int>> TemplateControlIds() {
  std::map<int, std::set<int>> ids;
  UniqueWindow host = Host();
  for (int dialogId : {IDD_ABOUT, IDD_GENERATOR, IDD_RANDOM_TYPE, IDD_MASK_TYPE, IDD_PROGRESS}) {
    bool child = dialogId == IDD_RANDOM_TYPE || dialogId == IDD_MASK_TYPE;
    UniqueWindow dialog = CreateTemplate(dialogId, child ? host.get() : nullptr);
    EXPECT_TRUE(dialog) << dialogId;
    if (!dialog) continue;
    std::vector<int> all;
    for (HWND w : Children(dialog.get())) {
      int id = GetDlgCtrlID(w);
      if (id != -1) all.push_back(id);
    }
    ids[dialogId] = std::set<int>(all.begin(), all.end());
    EXPECT_EQ(ids[dialogId].size(), all.size()) << "a control id repeats inside template " << dialogId;
  }
  return ids;
}

std::set<int> MenuCommandIds(HMENU menu) {
  std::set<int> ids;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      std::set<int> inner = MenuCommandIds(sub);
      ids.insert(inner.begin(), inner.end());
    } else if (!(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)) {
      ids.insert(static_cast<int>(GetMenuItemID(menu, i)));
    }
  }
  return ids;
}

TEST(ResourceIds, NamedByKindAndDefinedOnce) {
  std::vector<Define> defines = ReadResourceHeader();
  ASSERT_GE(defines.size(), 40u);
  const std::set<std::string> kinds{"IDD", "IDC", "IDM", "IDS", "IDI", "IDR", "IDCUR", "IDB"};
  std::set<std::string> names;
  for (const Define& d : defines) {
    EXPECT_TRUE(kinds.count(d.prefix)) << d.name << " has no known kind prefix";
    EXPECT_TRUE(names.insert(d.name).second) << d.name << " is defined twice";
    EXPECT_GT(d.value, 0) << d.name;
    EXPECT_LE(d.value, 0xFFFF) << d.name;
  }
}

TEST(ResourceIds, ResourcesAndCommandsDoNotClash) {
  // Dialogs, strings, icons, menus, cursors and bitmaps share one numbering; the menu commands
  // share another, with the buttons they stand for.
  std::map<long, std::string> resources, commands;
  for (const Define& d : ReadResourceHeader()) {
    if (d.prefix == "IDC") continue;  // checked per template below
    auto& space = d.prefix == "IDM" ? commands : resources;
    auto [it, fresh] = space.emplace(d.value, d.name);
    EXPECT_TRUE(fresh) << d.name << " repeats " << it->second;
  }
}

TEST(ResourceIds, EveryIdIsUsed) {
  std::map<int, std::set<int>> controls = TemplateControlIds();
  std::set<int> allControls;
  for (const auto& [dialog, ids] : controls) allControls.insert(ids.begin(), ids.end());
  UniqueMenu menu(LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_MAIN_MENU)));
  ASSERT_TRUE(menu);
  std::set<int> commands = MenuCommandIds(menu.get());

  HINSTANCE module = Module();
  for (const Define& d : ReadResourceHeader()) {
    SCOPED_TRACE(d.name);
    LPCSTR id = MAKEINTRESOURCEA(d.value);
    if (d.prefix == "IDC") {
      EXPECT_TRUE(allControls.count(d.value)) << "not a control of any template";
    } else if (d.prefix == "IDM") {
      EXPECT_TRUE(commands.count(d.value)) << "not an item of the menu";
      // Menu choices and control notifications both reach the main window as WM_COMMAND.
      EXPECT_FALSE(controls[IDD_GENERATOR].count(d.value)) << "same id as a main window control";
    } else if (d.prefix == "IDD") {
      EXPECT_TRUE(FindResourceA(module, id, MAKEINTRESOURCEA(5) /* RT_DIALOG */));
    } else if (d.prefix == "IDS") {
      char text[256] = {};
      EXPECT_GT(LoadStringA(module, d.value, text, sizeof text), 0);
    } else if (d.prefix == "IDI") {
      EXPECT_TRUE(FindResourceA(module, id, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */));
    } else if (d.prefix == "IDR") {
      EXPECT_TRUE(FindResourceA(module, id, MAKEINTRESOURCEA(4) /* RT_MENU */));
    } else if (d.prefix == "IDCUR") {
      EXPECT_TRUE(FindResourceA(module, id, MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */));
    } else if (d.prefix == "IDB") {
      EXPECT_TRUE(FindResourceA(module, id, MAKEINTRESOURCEA(2) /* RT_BITMAP */));
    }
  }
  // The Main menu's items stand for the main window's buttons and carry their ids.
  for (int button : {IDC_GENERATE, IDC_GENERATE_TO_FILE, IDC_SAVE_TO_FILE}) {
    EXPECT_TRUE(commands.count(button)) << button;
    EXPECT_TRUE(controls[IDD_GENERATOR].count(button)) << button;
  }
}

}  // namespace
}  // namespace keymoor::test
