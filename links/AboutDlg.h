// CAboutDlg: the About box on template 100, with the support mailbox and home page labels.
#pragma once

#include "links/LinkLabel.h"
#include "platform/Dialog.h"

class CAboutDlg : public CDialog {
 public:
  // Template 100 with no parent given: the framework picks the owner.
  CAboutDlg();

  CLinkLabel emailLink;     // control 1056
  CLinkLabel homePageLink;  // control 1057

 protected:
  ExchangeMap GetExchangeMap() override { return exchange_; }
  // Attaches both labels, gives them their URLs, the underline and the hand cursor, and
  // writes the version.
  bool OnInitWindow() override;

 private:
  const ExchangeEntry exchange_[2];
};
