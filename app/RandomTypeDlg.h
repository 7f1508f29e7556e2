// The Random page on the main window's tab: the password length and the variable-length flag.
#pragma once

#include <cstdint>

#include "platform/Dialog.h"

class CRandomTypeDlg : public CDialog {
 public:
  static constexpr std::int32_t kMinLength = 1;
  static constexpr std::int32_t kMaxLength = 1000000;

  CRandomTypeDlg();

  // Pulls the page (a failure has warned; the fields are used as they then are) and writes
  // length and variableLength into theSettings. Returns 0.
  int StoreSettings();

  std::int32_t variableLength = 0;
  std::int32_t length = 8;

 protected:
  MessageTable GetMessageTable() const override;
  ExchangeMap GetExchangeMap() override { return exchange_; }

 private:
  void OnLengthDeltaPos(NMHDR* notification, LRESULT* result);
  void OnLengthChange();

  static const MessageEntry kMessages[];
  const ExchangeEntry exchange_[2];
};
