// Helpers for the resource tests: owners for the handles they create and template creation.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace keymoor::test {

// Calls the API function that frees a handle of that kind.
template <auto Free>
struct Freer {
  template <class Handle>
  void operator()(Handle h) const {
    Free(h);
  }
};
template <class Handle, auto Free>
using Unique = std::unique_ptr<std::remove_pointer_t<Handle>, Freer<Free>>;

using UniqueWindow = Unique<HWND, DestroyWindow>;
using UniqueMenu = Unique<HMENU, DestroyMenu>;
using UniqueBitmap = Unique<HBITMAP, DeleteObject>;
using UniqueIcon = Unique<HICON, DestroyIcon>;

// The bitmaps GetIconInfo hands out belong to the caller.
struct IconBitmaps {
  explicit IconBitmaps(const ICONINFO& info) : mask(info.hbmMask), color(info.hbmColor) {}
  UniqueBitmap mask;
  UniqueBitmap color;
};

inline HINSTANCE Module() { return GetModuleHandleA(nullptr); }

inline INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Creates a dialog from one of the program's templates, modeless, with no behaviour of its own.
// Child templates need a parent: pass one (see Host()).
inline UniqueWindow CreateTemplate(int id, HWND parent = nullptr) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  return UniqueWindow(CreateDialogParamA(Module(), MAKEINTRESOURCEA(id), parent, PlainDialogProc, 0));
}

// A plain top-level window to hold the child templates.
inline UniqueWindow Host() {
  return UniqueWindow(CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, Module(), nullptr));
}

inline std::string WindowText(HWND w) {
  std::vector<char> buffer(GetWindowTextLengthA(w) + 1);
  GetWindowTextA(w, buffer.data(), static_cast<int>(buffer.size()));
  return buffer.data();
}

inline std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) children.push_back(w);
  return children;
}

}  // namespace keymoor::test
