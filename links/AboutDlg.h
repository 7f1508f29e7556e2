// CAboutDlg: the About box on template 100, with the support mailbox and home page labels.
#pragma once

#include "links/LinkLabel.h"
#include "platform/Dialog.h"
#include "platform/Dpi.h"

class CAboutDlg : public CDialog {
 public:
  // Template 100 with no parent given: the framework picks the owner.
  CAboutDlg();

  CLinkLabel emailLink;     // control 1056
  CLinkLabel homePageLink;  // control 1057

 protected:
  ExchangeMap GetExchangeMap() override { return exchange_; }
  MessageTable GetMessageTable() const override;
  // Attaches both labels, gives them their URLs, the underline and the hand cursor, writes
  // the version and sizes the picture for the window's DPI.
  bool OnInitWindow() override;

 private:
  // Shows the picture stretched to cx x cy pixels; its own bitmap when that is its size.
  void ShowPicture(int cx, int cy);
  // Fits the labels and scales the picture from the old DPI to the new one; under per-monitor
  // v1 first places the controls and makes the font for the new DPI.
  bool OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // A change of colours or theme (high contrast on or off): drawn again with the new colours.
  bool OnSystemChange(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnSettingChange(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Gives the picture control its own bitmap back, so that it never holds ours when ours goes.
  void OnDestroy();

  static const MessageEntry kMessages[];
  const ExchangeEntry exchange_[2];
  UINT dpi_ = 0;
  HWND picture_ = nullptr;             // the SS_BITMAP static
  HBITMAP templatePicture_ = nullptr;  // the bitmap the control loaded itself; not ours
  CBitmap scaledPicture_;
  CDpiRelayout relayout_;  // per-monitor v1 only; owns the font the controls then use
};
