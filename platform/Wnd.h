// Window wrappers: CWindowRef, a copyable handle with one-line forwards to the API, and
// CWnd, a window object of ours with a message table, reflection and a message pre-filter.
#pragma once

#include <windows.h>

#include <string>

#include "platform/MessageTable.h"

// Holds an HWND it does not own. Copyable; every method forwards to the API.
class CWindowRef {
 public:
  CWindowRef() = default;
  explicit CWindowRef(HWND hwnd) : m_hWnd(hwnd) {}

  HWND GetSafeHwnd() const { return m_hWnd; }
  void Attach(HWND hwnd) { m_hWnd = hwnd; }
  bool IsAttached() const { return m_hWnd != nullptr; }

  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageA(m_hWnd, message, wParam, lParam);
  }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  CWindowRef Item(int id) const { return CWindowRef(::GetDlgItem(m_hWnd, id)); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }

  // The whole window text, of any length.
  std::string GetText() const;
  void SetText(const std::string& text) const { SetWindowTextA(m_hWnd, text.c_str()); }

  void Enable(bool enable) const { EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
  bool IsEnabled() const { return IsWindowEnabled(m_hWnd) != FALSE; }
  void Show(int showCommand) const { ShowWindow(m_hWnd, showCommand); }
  bool IsVisible() const { return IsWindowVisible(m_hWnd) != FALSE; }
  void Focus() const { SetFocus(m_hWnd); }
  void Invalidate(bool erase = true) const { InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE); }
  bool Destroy() const { return DestroyWindow(m_hWnd) != FALSE; }

  DWORD Style() const { return static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
  DWORD ExStyle() const { return static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE)); }
  void ModifyStyle(DWORD remove, DWORD add) const;
  void ModifyExStyle(DWORD remove, DWORD add) const;

 protected:
  HWND m_hWnd = nullptr;
};

// A window object of ours: a dialog (CDialog) or a control subclassed through
// SubclassWindow. Not copyable: the window refers back to the object.
//
// Messages reach HandleMessage, which in order:
//  1. ignores WM_COMMAND and WM_NOTIFY from child controls while this window exchanges
//     data (the lockout, see CExchangeLockout);
//  2. offers WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR* from a child control that is itself one
//     of our objects to that child, as Reflected(message); if the child handles it, its
//     result is used;
//  3. runs the first matching entry of GetMessageTable();
//  4. falls back to OnUnhandled (for dialogs: IDOK and IDCANCEL).
class CWnd : public CWindowRef {
 public:
  CWnd() = default;
  // Removes a subclass this object still holds. A dialog's window is destroyed by CDialog.
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The object of ours behind `hwnd`, or null.
  static CWnd* FromHandle(HWND hwnd);

  // Attaches this object to an existing window (a dialog item) and subclasses it:
  // OnAttach runs first, then the window's messages come to this object.
  // REQUIRES: not attached yet. False when hwnd is null or the subclass fails.
  bool SubclassWindow(HWND hwnd);
  bool SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }
  // Hands the window back to its own procedure. The window itself stays.
  void UnsubclassWindow();

  // Runs before a message aimed at this window (or at a child of it, up to the modal
  // dialog) is dispatched by the modal loop. True eats the message.
  virtual bool PreTranslateMessage(MSG& msg);

  // The dispatch described above. True when handled; `result` is then the answer.
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // True while this window's own control notifications are locked out.
  bool IsLockedOut() const;

 protected:
  virtual MessageTable GetMessageTable() const { return {}; }
  // Runs when the object is attached to its window, before the subclass is installed.
  virtual void OnAttach() {}
  // Messages no table entry took.
  virtual bool OnUnhandled(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Links and unlinks the object and its window for FromHandle.
  void Bind(HWND hwnd);
  void Unbind();

 private:
  friend class CExchangeLockout;
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR refData);
  bool Dispatch(const MessageTable& table, UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam,
                LRESULT& result);
  bool OfferToChild(UINT message, UINT code, WPARAM wParam, LPARAM lParam, LRESULT& result);

  bool subclassed_ = false;
  static HWND lockedOut_;
};

// While it lives, `window` ignores WM_COMMAND and WM_NOTIFY from its own controls, so the
// text changes of an exchange never reach its handlers. Restores the previous lockout.
class CExchangeLockout {
 public:
  explicit CExchangeLockout(HWND window) : previous_(CWnd::lockedOut_) { CWnd::lockedOut_ = window; }
  ~CExchangeLockout() { CWnd::lockedOut_ = previous_; }
  CExchangeLockout(const CExchangeLockout&) = delete;
  CExchangeLockout& operator=(const CExchangeLockout&) = delete;

 private:
  HWND previous_;
};

// Reports a failure that escaped a handler ("cannot happen") without letting it cross the
// window procedure: a debugger line and the exclamation beep.
void ReportHandlerFailure(const char* what);
