// CDialog: the one dialog procedure, our modal loop and the exchange with its lockout.
#include "platform/Dialog.h"

#include <exception>

#include "platform/WinApp.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::CDialog(const DLGTEMPLATE* dialogTemplate, CWnd* parent) : template_(dialogTemplate), parent_(parent) {}

CDialog::~CDialog() {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

HWND CDialog::CreateFromTemplate(HWND parent) {
  const LPARAM self = reinterpret_cast<LPARAM>(this);
  if (template_ != nullptr) {
    return CreateDialogIndirectParamA(ResourceModule(), template_, parent, &CDialog::DialogProc, self);
  }
  return CreateDialogParamA(ResourceModule(), MAKEINTRESOURCEA(templateId_), parent, &CDialog::DialogProc, self);
}

HWND CDialog::DefaultOwner() const {
  if (parent_ != nullptr) return parent_->GetSafeHwnd();
  CWinApp* app = CWinApp::Current();
  CWnd* main = app != nullptr ? app->MainWindow() : nullptr;
  if (main == nullptr || main == this || main->GetSafeHwnd() == nullptr) return nullptr;
  return GetLastActivePopup(main->GetSafeHwnd());
}

INT_PTR CDialog::DoModal() {
  HWND owner = DefaultOwner();
  modal_ = true;
  ended_ = false;
  HWND hwnd = CreateFromTemplate(owner);
  if (hwnd == nullptr) {
    modal_ = false;
    return -1;
  }
  result_ = IDCANCEL;  // should the window go without EndDialog
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  if (!IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);

  RunModalLoop();

  // Re-enable the owner before the window goes, so the activation returns to it.
  if (disableOwner) EnableWindow(owner, TRUE);
  if (IsWindow(hwnd)) {
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (owner != nullptr && GetActiveWindow() == hwnd) SetActiveWindow(owner);
    DestroyWindow(hwnd);
  }
  modal_ = false;
  return result_;
}

void CDialog::RunModalLoop() {
  HWND hwnd = m_hWnd;
  MSG msg;
  while (!ended_ && IsWindow(hwnd)) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // WM_QUIT (or a broken queue) ends the run as a cancel; outer loops see the quit too.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      result_ = IDCANCEL;
      break;
    }
    if (PreTranslateChain(hwnd, msg)) continue;
    if (IsDialogMessageA(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool CDialog::Create(HWND parent) {
  modal_ = false;
  return CreateFromTemplate(parent) != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
  if (!modal_) return;
  result_ = result;
  ended_ = true;
  // The loop looks at the flag only when GetMessage returns, and a message sent from
  // another thread or process is handled inside GetMessage without returning: wake it.
  if (m_hWnd != nullptr) PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::PullControls() { return Exchange(true); }

void CDialog::PushControls() { Exchange(false); }

bool CDialog::Exchange(bool pull) {
  CExchangeLockout lockout(m_hWnd);
  return ExchangeControls(m_hWnd, GetExchangeMap(), pull);
}

bool CDialog::OnInitWindow() {
  PushControls();
  return true;
}

void CDialog::OnOK() {
  if (modal_ && PullControls()) EndDialog(IDOK);
}

void CDialog::OnCancel() {
  if (modal_) EndDialog(IDCANCEL);
}

bool CDialog::OnUnhandled(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
  if (LOWORD(wParam) == IDOK) {
    OnOK();
  } else if (LOWORD(wParam) == IDCANCEL) {
    OnCancel();
  } else {
    return false;
  }
  result = 0;
  return true;
}

INT_PTR CDialog::InitDialog(HWND firstTabStop) {
  RECT before{};
  GetWindowRect(m_hWnd, &before);
  const bool defaultFocus = OnInitWindow();
  const bool topLevel = (Style() & WS_CHILD) == 0;
  if (!topLevel) return defaultFocus ? TRUE : FALSE;

  // The dialog manager would look for the first tab stop again after initialisation and
  // could land inside a page that initialisation put into a control parent. The first
  // tab stop of the template itself is meant.
  if (defaultFocus && firstTabStop != nullptr && IsWindow(firstTabStop)) {
    SetFocus(firstTabStop);
    if (SendMessageA(firstTabStop, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(firstTabStop, EM_SETSEL, 0, -1);
  }
  // A window that asks for no placement of its own and was not moved is centred.
  RECT after{};
  GetWindowRect(m_hWnd, &after);
  const bool moved = before.left != after.left || before.top != after.top;
  if (!moved && (Style() & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) == 0) {
    CenterWindow(m_hWnd, GetWindow(m_hWnd, GW_OWNER));
  }
  return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    CDialog* self = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    self->Bind(hwnd);
    try {
      return self->InitDialog(reinterpret_cast<HWND>(wParam));
    } catch (const std::exception& e) {
      ReportHandlerFailure(e.what());
    } catch (...) {
      ReportHandlerFailure("unknown exception");
    }
    return FALSE;
  }
  CDialog* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->Unbind();
    return FALSE;
  }
  LRESULT result = 0;
  if (!self->HandleMessage(message, wParam, lParam, result)) return FALSE;
  switch (message) {
    // These answer through the procedure's own result, not DWLP_MSGRESULT.
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

bool PreTranslateChain(HWND dialog, MSG& msg) {
  for (HWND h = msg.hwnd; h != nullptr;) {
    if (CWnd* window = CWnd::FromHandle(h); window != nullptr && window->PreTranslateMessage(msg)) return true;
    if (h == dialog || (GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD) == 0) break;
    h = GetParent(h);
  }
  return false;
}

void CenterWindow(HWND window, HWND owner) {
  RECT rc{};
  GetWindowRect(window, &rc);
  RECT area{};
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info)) return;
    area = info.rcWork;
  }
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Never above or left of the work area, so the caption stays reachable.
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) {
    if (x + width > info.rcWork.right) x = info.rcWork.right - width;
    if (y + height > info.rcWork.bottom) y = info.rcWork.bottom - height;
    if (x < info.rcWork.left) x = info.rcWork.left;
    if (y < info.rcWork.top) y = info.rcWork.top;
  }
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RepaintForSystemChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  struct Change {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } change{message, wParam, lParam};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        const Change* c = reinterpret_cast<const Change*>(data);
        SendMessageA(child, c->message, c->wParam, c->lParam);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&change));
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}
