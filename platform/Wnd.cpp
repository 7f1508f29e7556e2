// Window wrappers, the message-table dispatch, reflection and control subclassing.
#include "platform/Wnd.h"

#include <commctrl.h>

#include <exception>
#include <new>

#include "platform/Services.h"

namespace {
// Links a window to its object of ours; removed when the window goes.
constexpr char kObjectProperty[] = "Keymoor.CWnd";
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

std::string CWindowRef::GetText() const {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(m_hWnd)), '\0');
  if (!text.empty()) {
    // The length may be an upper bound (double-byte text); keep what was copied.
    const int n = GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size() + 1));
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  return text;
}

void CWindowRef::ModifyStyle(DWORD remove, DWORD add) const {
  SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>((Style() & ~remove) | add));
}

void CWindowRef::ModifyExStyle(DWORD remove, DWORD add) const {
  SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>((ExStyle() & ~remove) | add));
}

HWND CWnd::lockedOut_ = nullptr;

CWnd::~CWnd() {
  UnsubclassWindow();
  Unbind();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<CWnd*>(GetPropA(hwnd, kObjectProperty));
}

void CWnd::Bind(HWND hwnd) {
  m_hWnd = hwnd;
  SetPropA(hwnd, kObjectProperty, this);
}

void CWnd::Unbind() {
  if (m_hWnd != nullptr && FromHandle(m_hWnd) == this) RemovePropA(m_hWnd, kObjectProperty);
  m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (hwnd == nullptr || m_hWnd != nullptr) return false;
  m_hWnd = hwnd;
  OnAttach();
  if (!SetWindowSubclass(hwnd, &CWnd::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    m_hWnd = nullptr;
    return false;
  }
  subclassed_ = true;
  Bind(hwnd);
  return true;
}

void CWnd::UnsubclassWindow() {
  if (!subclassed_) return;
  RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
  subclassed_ = false;
  Unbind();
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData) {
  CWnd* self = reinterpret_cast<CWnd*>(refData);
  if (message == WM_NCDESTROY) {
    // The window goes: the object lets go of it and stays usable without a window.
    self->UnsubclassWindow();
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  LRESULT result = 0;
  if (self->HandleMessage(message, wParam, lParam, result)) return result;
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool CWnd::PreTranslateMessage(MSG&) { return false; }

bool CWnd::IsLockedOut() const { return m_hWnd != nullptr && lockedOut_ == m_hWnd; }

bool CWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  try {
    UINT code = 0;
    UINT id = 0;
    bool fromControl = false;
    if (message == WM_COMMAND) {
      code = HIWORD(wParam);
      id = LOWORD(wParam);
      fromControl = lParam != 0;  // menus and accelerators carry no control
    } else if (message == WM_NOTIFY) {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      code = header->code;
      id = static_cast<UINT>(header->idFrom);
      fromControl = true;
    }
    if (fromControl && IsLockedOut()) {
      result = 0;
      return true;
    }
    if (OfferToChild(message, code, wParam, lParam, result)) return true;
    if (Dispatch(GetMessageTable(), message, code, id, wParam, lParam, result)) return true;
    return OnUnhandled(message, wParam, lParam, result);
  } catch (const std::bad_alloc&) {
    ReportHandlerFailure("out of memory");
  } catch (const std::exception& e) {
    ReportHandlerFailure(e.what());
  } catch (...) {
    ReportHandlerFailure("unknown exception");
  }
  result = 0;
  return true;
}

bool CWnd::OnUnhandled(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool CWnd::Dispatch(const MessageTable& table, UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam,
                    LRESULT& result) {
  for (std::size_t i = 0; i < table.count; ++i) {
    const MessageEntry& entry = table.entries[i];
    if (entry.message == message && entry.code == code && entry.id == id) {
      return entry.handler(*this, wParam, lParam, result);
    }
  }
  return false;
}

bool CWnd::OfferToChild(UINT message, UINT code, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND from = nullptr;
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      from = reinterpret_cast<HWND>(lParam);
      break;
    case WM_NOTIFY:
      from = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
      break;
    default:
      return false;
  }
  CWnd* child = FromHandle(from);
  if (child == nullptr || child == this) return false;
  return child->Dispatch(child->GetMessageTable(), Reflected(message), code, 0, wParam, lParam, result);
}

void ReportHandlerFailure(const char* what) {
  OutputDebugStringA("Keymoor: a message handler failed: ");
  OutputDebugStringA(what);
  OutputDebugStringA("\n");
  Services().PlayBeep(MB_ICONEXCLAMATION);
}
