// What assistive technology is told about a window (MSAA): the system's standard proxy of its
// client area, with the answers a window of ours gives itself in front of it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// Answers about a window's client object (child CHILDID_SELF) or its simple elements
// (children 1, 2, ...). Each returns true with the answer, or false to leave the question to
// the standard proxy. The window may be gone by the time a client asks: check it.
class CAccessibleAnswers {
 public:
  virtual ~CAccessibleAnswers() = default;
  virtual bool Name(HWND, LONG /*child*/, std::wstring& /*name*/) const { return false; }
  virtual bool Value(HWND, LONG /*child*/, std::wstring& /*value*/) const { return false; }
  virtual bool Role(HWND, LONG /*child*/, LONG& /*role*/) const { return false; }
  virtual bool State(HWND, LONG /*child*/, LONG& /*state*/) const { return false; }
  virtual bool DefaultAction(HWND, LONG /*child*/, std::wstring& /*action*/) const { return false; }
  // Carries out the default action; true when it was taken (or queued).
  virtual bool DoDefaultAction(HWND, LONG /*child*/) const { return false; }
  // The number of simple elements; true when this object has its own.
  virtual bool ChildCount(HWND, LONG& /*count*/) const { return false; }
};

// WM_GETOBJECT of `window`: for OBJID_CLIENT, `result` becomes the standard proxy wrapped with
// `answers` (which every client reference keeps alive) and true is returned. False for any
// other object id, or when the proxy cannot be made: the message then goes on to the default
// handling. REQUIRES: COM started on this thread (see CComApartment), for the hand-over.
bool AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, std::shared_ptr<const CAccessibleAnswers> answers,
                     LRESULT& result);

// Subclasses `control` so that its client object answers with `answers` in front of the
// standard proxy. The subclass owns its reference and lets it go when the window is destroyed.
// False when `control` is null or the subclass fails.
bool SetAccessibleAnswers(HWND control, std::shared_ptr<const CAccessibleAnswers> answers);

// `control` reports `name` (its label's text, without the mnemonic's ampersand) as its name;
// everything else is the standard proxy's.
bool SetAccessibleName(HWND control, const std::wstring& name);

// The tab control's items are simple elements with role page tab, named by their texts.
bool ExposeTabItems(HWND tab);

// COM for this thread for the object's lifetime (single-threaded apartment), as the hand-over
// of accessible objects needs it. Not copyable.
class CComApartment {
 public:
  CComApartment();
  ~CComApartment();
  CComApartment(const CComApartment&) = delete;
  CComApartment& operator=(const CComApartment&) = delete;

 private:
  bool started_ = false;
};
