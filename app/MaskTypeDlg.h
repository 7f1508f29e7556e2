// The Masked page on the main window's tab: the mask and its marker character.
#pragma once

#include <string>

#include "platform/Dialog.h"

class CMaskTypeDlg : public CDialog {
 public:
  static constexpr int kMaxMask = 1000;
  static constexpr int kMaxSymbolMask = 3;

  CMaskTypeDlg();

  // Pulls the page and writes mask and symbolMask into theSettings. Returns 0.
  int StoreSettings();

  std::string mask = "????????";
  std::string symbolMask = "?";

 protected:
  ExchangeMap GetExchangeMap() override { return exchange_; }

 private:
  const ExchangeEntry exchange_[2];
};
