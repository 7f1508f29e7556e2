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
// For the keyboard it is a tab stop: Enter and Space open it as a click does, and it draws a
// focus rectangle while focused (unless the keyboard cues are hidden). Assistive technology
// sees a link (MSAA role link) named by its text, with its URL as value and "Jump" as its
// default action. In a high-contrast theme it draws with the system's colours
// (HighContrastLinkColours).
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
  // The colour the text is drawn in now: the link or visited colour, or in high contrast the
  // system's (see HighContrastLinkColours).
  COLORREF TextColour() const;
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
  // Keyboard: Enter and Space are the label's own (not the dialog's default button); a key
  // held down opens once.
  bool OnGetDlgCode(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnKeyDown(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Paints as the static does, then the focus rectangle when focused and cues are shown.
  bool OnPaint(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Focus in or out, or a change of the keyboard cues: the label and the background under it
  // are drawn again, so no trace of an earlier focus rectangle stays.
  bool OnFocusChange(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnUpdateUiState(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Redraw() const;
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

// The colours a link draws with.
struct LinkColours {
  COLORREF text;
  COLORREF visited;
  int background;  // system colour index painted behind the text, or -1: transparent
};

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white): the relative
// luminance of each sRGB colour, (lighter + 0.05) / (darker + 0.05).
double ContrastRatio(COLORREF a, COLORREF b);

// The colours of a link in a high-contrast theme, from the system colours `sysColour` gives
// (GetSysColor by default): the first of these pairs that reaches 4.5:1, the ratio body text
// needs, or else the one that contrasts most:
//  1. hot-light (the theme's hyperlink colour) on the dialog's button face: the link sits on
//     the dialog's own background like the rest of the text, in the colour the theme gives
//     links;
//  2. highlight text on highlight (painted behind the text), the theme's other pair made to
//     stand out;
//  3. button text on button face, the dialog's own text: always readable in a high-contrast
//     theme; the underline still marks the link.
// A high-contrast theme has one hyperlink colour, so a visited link keeps it: that it was
// visited is told to assistive technology (traversed) rather than in a second colour that the
// theme does not define.
LinkColours HighContrastLinkColours(COLORREF (*sysColour)(int) = nullptr);

// The message a failed open shows: "Unable to open hyperlink:\n\n" and the text for `code`.
std::string OpenErrorMessage(int code);
