// The generator's list sink shown in a list view: one row per password, ID then password.
#pragma once

#include <string>
#include <string_view>

#include "app/WipeOnExit.h"
#include "engine/PasswordGenerator.h"
#include "platform/Controls.h"

class CListViewRows : public PasswordRows {
 public:
  explicit CListViewRows(CListCtrl list) : list_(list) {}

  // Inserts row `index` with the ID in column 0 and sets the password into column 1.
  void AddRow(int index, std::string_view id, std::string_view password) override {
    const int row = list_.InsertItem(index, std::string(id));
    if (row < 0) return;
    std::string text(password);  // the control wants it zero-terminated
    const CWipeOnExit wipe(text);
    list_.SetItemText(row, 1, text);
  }

 private:
  CListCtrl list_;
};
