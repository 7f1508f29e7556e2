// Per-window message tables: plain arrays of {message, code, id, handler}, first match wins.
//
//   constexpr MessageEntry CMyDlg::kMessages[] = {
//       {WM_COMMAND, BN_CLICKED, IDC_CLEAR, On<&CMyDlg::OnClear>},         // void OnClear()
//       {WM_NOTIFY, UDN_DELTAPOS, IDC_SPIN, On<&CMyDlg::OnSpinDeltaPos>},  // void (NMHDR*, LRESULT*)
//       {WM_PAINT, 0, 0, On<&CMyDlg::OnPaint>},                           // bool (WPARAM, LPARAM, LRESULT&)
//   };
//   MessageTable CMyDlg::GetMessageTable() const { return kMessages; }  // after the table
//
// The class declares `static const MessageEntry kMessages[];`; the table's definition
// (which fixes its size) must precede GetMessageTable's.
//
// WM_COMMAND matches on its notification code and control (or menu) id, WM_NOTIFY on
// NMHDR::code and idFrom; every other message on the message alone (code and id 0).
// A reflected message (Reflected(WM_CTLCOLORSTATIC)) is one a parent offers back to the
// child control it came from; it matches on its code, with id 0.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

class CWnd;

// The message number under which a child control's table receives `message` reflected
// from its parent. Lies in the WM_APP range, above the few private messages of the program's
// own windows (WM_APP + 1 and + 2, the main window's run reports).
constexpr UINT Reflected(UINT message) { return 0xBC00 + message; }

// A handler, in one of three shapes, bound into a table as On<&CMyDlg::OnSomething>:
//  - command: void Handler(), for WM_COMMAND and any message whose parameters do not matter
//    (the result is 0 and the message counts as handled);
//  - notify: void Handler(NMHDR* notification, LRESULT* result), for WM_NOTIFY (the result
//    leaves through DWLP_MSGRESULT in a dialog);
//  - message: bool Handler(WPARAM, LPARAM, LRESULT& result), returning false to leave the
//    message to the default handling.
// The table holds a plain function per handler, so it stays a compile-time constant.
using MessageHandler = bool (*)(CWnd& window, WPARAM wParam, LPARAM lParam, LRESULT& result);

namespace message_table_detail {
template <class T>
struct MemberOf;
template <class W, class R, class... A>
struct MemberOf<R (W::*)(A...)> {
  using Class = W;
};

template <auto F>
bool Call(CWnd& window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  using W = typename MemberOf<decltype(F)>::Class;
  W& w = static_cast<W&>(window);
  if constexpr (std::is_same_v<decltype(F), void (W::*)()>) {
    (w.*F)();
    result = 0;
    return true;
  } else if constexpr (std::is_same_v<decltype(F), void (W::*)(NMHDR*, LRESULT*)>) {
    result = 0;
    (w.*F)(reinterpret_cast<NMHDR*>(lParam), &result);
    return true;
  } else {
    static_assert(std::is_same_v<decltype(F), bool (W::*)(WPARAM, LPARAM, LRESULT&)>,
                  "a handler is void(), void(NMHDR*, LRESULT*) or bool(WPARAM, LPARAM, LRESULT&)");
    return (w.*F)(wParam, lParam, result);
  }
}
}  // namespace message_table_detail

template <auto F>
inline constexpr MessageHandler On = &message_table_detail::Call<F>;

struct MessageEntry {
  UINT message;
  UINT code;  // WM_COMMAND: HIWORD(wParam); WM_NOTIFY: NMHDR::code; otherwise 0
  UINT id;    // WM_COMMAND: LOWORD(wParam); WM_NOTIFY: NMHDR::idFrom; otherwise 0
  MessageHandler handler;
};

// A view of a window's table.
struct MessageTable {
  constexpr MessageTable() = default;
  template <std::size_t N>
  constexpr MessageTable(const MessageEntry (&table)[N]) : entries(table), count(N) {}

  const MessageEntry* entries = nullptr;
  std::size_t count = 0;
};
