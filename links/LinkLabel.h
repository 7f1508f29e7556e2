// CLinkLabel: a static text control of a dialog turned into a hyperlink.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Controls.h"

// Shows its text in the link colour (the visited colour after a successful click), with an
// underlined font on a transparent background, a tooltip holding its URL and its own cursor;
// a click opens the URL with OpenURL. Attach it to a dialog's static control with
// SubclassWindow (or an ExchangeEntry::Subclass); the parent reflects STN_CLICKED and
// WM_CTLCOLORSTATIC to it, and the modal loop runs its pre-filter.
class CLinkLabel : public CStatic {
 public:
  CLinkLabel() = default;
  // Deletes the underlined font if it was made, destroys the tooltip, then lets go of the window.
  ~CLinkLabel() override;

  // What a click opens and what the tooltip shows. Fits the control to its text again; the
  // text shown and the tool's rectangle stay. Before attaching it only sets the URL, which
  // the attach steps then show as the text if the control has none.
  void SetURL(const std::string& url);
  // Switches the underline and repaints the whole control.
  void SetUnderline(bool underline);
  // The DPI of the window the label is shown in, after a change (WM_DPICHANGED): fits the
  // control to its text again and moves the tooltip's tool with it. Attaching takes the
  // window's DPI at that time.
  void SetDpi(UINT dpi);
  // The cursor shown over the label from the next WM_SETCURSOR on. Shared, never destroyed.
  void SetLinkCursor(HCURSOR cursor) { linkCursor_ = cursor; }

  // Relays every message to the tooltip, then lets the base decide; eats nothing itself.
  bool PreTranslateMessage(MSG& msg) override;

  COLORREF LinkColour() const { return linkColour_; }
  COLORREF VisitedColour() const { return visitedColour_; }
  bool IsVisited() const { return visited_; }
  bool IsUnderlined() const { return underline_; }
  bool FitsToText() const { return fitToText_; }
  const std::string& URL() const { return url_; }
  HCURSOR LinkCursor() const { return linkCursor_; }
  // Null until the first colour request with the underline on.
  HFONT UnderlinedFont() const { return underlinedFont_.Get(); }
  const CToolTipCtrl& ToolTip() const { return toolTip_; }

 protected:
  MessageTable GetMessageTable() const override;
  // SS_NOTIFY; URL from the text and text from the URL; fit to the text; the arrow cursor;
  // the tooltip with tool 1 over the client rectangle.
  void OnAttach() override;

 private:
  void OnClicked();
  bool CtlColor(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnSetCursor(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Moves and sizes the control to the extent of its text, by its alignment styles, at the
  // label's DPI.
  void FitToText();
  static void ShowOpenError(int code);

  static const MessageEntry kMessages[];

  COLORREF linkColour_ = RGB(0, 0, 238);
  COLORREF visitedColour_ = RGB(85, 26, 139);
  bool visited_ = false;
  bool underline_ = true;
  bool fitToText_ = true;
  UINT dpi_ = 0;  // 0: the window's own
  std::string url_;
  CFont underlinedFont_;       // made once, from the control's own font
  HFONT plainFont_ = nullptr;  // the control's font before it drew underlined; not owned
  HCURSOR linkCursor_ = nullptr;
  CToolTipCtrl toolTip_;
};

// The message a failed open shows: "Unable to open hyperlink:\n\n" and the text for `code`.
std::string OpenErrorMessage(int code);
