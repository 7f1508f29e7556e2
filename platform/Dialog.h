// CDialog: a dialog from a template, run modally in our own loop or created modeless as a
// child (the type pages), with its exchange mapping and the standard OK and Cancel steps.
#pragma once

#include <windows.h>

#include "platform/DataExchange.h"
#include "platform/Wnd.h"

class CDialog : public CWnd {
 public:
  // The template is a resource of ResourceModule(). Without a parent, a modal run is owned
  // by the application's main window (its front-most popup), unless this is the main window.
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  // An in-memory template; it must outlive the window's creation.
  explicit CDialog(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);
  // Destroys the window if it still exists.
  ~CDialog() override;

  // Creates the window, disables the owner, runs the loop until EndDialog (or until the
  // window is gone), hides and destroys the window and re-enables the owner.
  // Returns the value given to EndDialog: 1 for OK, 2 for cancelling; -1 when the window
  // cannot be created.
  INT_PTR DoModal();
  // Creates the window modeless, as a child of `parent`. False when creation fails.
  bool Create(HWND parent);
  // Ends a modal run with `result`; the loop wakes even when no other message follows.
  // Has no effect on a modeless dialog.
  void EndDialog(INT_PTR result);
  bool IsModal() const { return modal_; }

  // Takes every control into its field, in mapping order, with validation. False when an
  // entry failed: its warning has been shown and the focus is on its control.
  bool PullControls();
  // Writes every field into its control, in mapping order.
  void PushControls();

 protected:
  // WM_INITDIALOG. The base pushes the fields (which also attaches the wrappers) and
  // returns true: the focus goes to the first tab stop the template had before this ran.
  virtual bool OnInitWindow();
  // IDOK: a modal dialog pulls and, if that passed, ends with IDOK. A modeless one ignores it.
  virtual void OnOK();
  // IDCANCEL: a modal dialog ends with IDCANCEL, without a pull. A modeless one ignores it.
  virtual void OnCancel();
  virtual ExchangeMap GetExchangeMap() { return {}; }

  bool OnUnhandled(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR InitDialog(HWND firstTabStop);
  HWND CreateFromTemplate(HWND parent);
  HWND DefaultOwner() const;
  void RunModalLoop();
  bool Exchange(bool pull);

  UINT templateId_ = 0;
  const DLGTEMPLATE* template_ = nullptr;
  CWnd* parent_;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = -1;
};

// Offers `msg` to PreTranslateMessage of our objects from msg.hwnd up through its parents
// to `dialog`. True when one of them ate it.
bool PreTranslateChain(HWND dialog, MSG& msg);

// Centres `window` over `owner` (when it has a visible one) or on the work area of its
// monitor.
void CenterWindow(HWND window, HWND owner);

// WM_SYSCOLORCHANGE or WM_SETTINGCHANGE (a theme, high contrast or a colour changed) of a
// top-level window: hands the message on to every control below it (the common controls
// refresh their cached colours from it) and draws the whole window again with the new colours.
void RepaintForSystemChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
