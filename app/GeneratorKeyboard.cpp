// The main window for the keyboard and assistive technology: page switching, the tab
// control's place in the Tab order, Up and Down in the number fields, accessible names and
// repainting after a change of colours.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/GeneratorDlg.h"
#include "platform/Accessible.h"
#include "resources/resource.h"

namespace {
bool KeyDown(int key) { return GetKeyState(key) < 0; }

bool CanTakeFocus(HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); }

// The first tab stop inside `container` in z-order (walking into control parents that are
// shown and enabled), or null.
HWND FirstTabStopIn(HWND container) {
  if (container == nullptr || !CanTakeFocus(container)) return nullptr;
  for (HWND child = GetWindow(container, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!CanTakeFocus(child)) continue;
    if (GetWindowLongPtrA(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
      if (HWND inner = FirstTabStopIn(child)) return inner;
    } else if (GetWindowLongPtrA(child, GWL_STYLE) & WS_TABSTOP) {
      return child;
    }
  }
  return nullptr;
}

bool IsClass(HWND window, const char* name) {
  char found[32] = {};
  return GetClassNameA(window, found, sizeof(found)) > 0 && lstrcmpiA(found, name) == 0;
}

// The text of the label before `control` in z-order, without its mnemonic's ampersand.
std::wstring LabelBefore(HWND control) {
  HWND label = GetWindow(control, GW_HWNDPREV);
  std::wstring text(static_cast<std::size_t>(label != nullptr ? GetWindowTextLengthW(label) : 0), L'\0');
  if (!text.empty()) text.resize(static_cast<std::size_t>(GetWindowTextW(label, text.data(), int(text.size() + 1))));
  const auto amp = text.find(L'&');
  if (amp != std::wstring::npos) text.erase(amp, 1);
  return text;
}

// Moves the focus as Tab would: through the dialog manager (which also selects an edit
// box's text and moves the default button), with the keyboard cues shown.
void FocusAsTab(HWND dialog, HWND target) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
  SendMessageA(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}
}  // namespace

void CGeneratorDlg::SetUpAccessibility() {
  // The count's label stands before its edit box; the edit box, its up-down control and the
  // list (after its group box "Passwords") are named by those texts.
  HWND count = GetDlgItem(IDC_COUNT);
  const std::wstring countName = LabelBefore(count);
  SetAccessibleName(count, countName);
  SetAccessibleName(GetDlgItem(IDC_COUNT_SPIN), countName);
  HWND list = GetDlgItem(IDC_PASSWORD_LIST);
  SetAccessibleName(list, LabelBefore(list));
  ExposeTabItems(tabControl.GetSafeHwnd());
}

bool CGeneratorDlg::PreTranslateMessage(MSG& msg) {
  if (msg.message != WM_KEYDOWN || IsRunning()) return CDialog::PreTranslateMessage(msg);
  const bool ctrl = KeyDown(VK_CONTROL);
  const bool shift = KeyDown(VK_SHIFT);
  const bool alt = KeyDown(VK_MENU);
  const WPARAM key = msg.wParam;
  if (ctrl && !alt && (key == VK_TAB || key == VK_NEXT || key == VK_PRIOR)) {
    SwitchPage(key == VK_PRIOR || (key == VK_TAB && shift) ? -1 : 1);
    return true;
  }
  if (!ctrl && !alt && key == VK_TAB) {
    if (HWND target = TabTarget(GetFocus(), shift)) {
      FocusAsTab(m_hWnd, target);
      return true;
    }
  }
  // Up and Down in a number field step it as its up-down control's arrows do (Up adds one;
  // under the control's default range that is a negative delta), as a buddy would.
  if (!ctrl && !alt && (key == VK_UP || key == VK_DOWN) && IsClass(msg.hwnd, "Edit")) {
    HWND spin = GetWindow(msg.hwnd, GW_HWNDNEXT);
    if (spin != nullptr && IsClass(spin, UPDOWN_CLASSA) && IsWindowEnabled(spin)) {
      NMUPDOWN step{};
      step.hdr.hwndFrom = spin;
      step.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(spin));
      step.hdr.code = UDN_DELTAPOS;
      step.iDelta = key == VK_UP ? -1 : 1;
      SendMessageA(::GetParent(spin), WM_NOTIFY, step.hdr.idFrom, reinterpret_cast<LPARAM>(&step));
      return true;
    }
  }
  return CDialog::PreTranslateMessage(msg);
}

HWND CGeneratorDlg::TabTarget(HWND focus, bool backward) const {
  // The tab control holds the pages, so it is a control parent: the dialog manager walks
  // into the shown page but never stops at the tab control itself. It is put in between:
  // after the controls above it (wrapping round from Close), before the page's controls.
  HWND tab = tabControl.GetSafeHwnd();
  if (tab == nullptr || focus == nullptr || !CanTakeFocus(tab) ||
      (GetWindowLongPtrA(tab, GWL_STYLE) & WS_TABSTOP) == 0) {
    return nullptr;
  }
  const bool inPage = IsChild(tab, focus) != FALSE;
  if (!backward) {
    if (focus == tab) {
      const CDialog* page = PageOf(tabControl.GetCurSel());
      return page != nullptr ? FirstTabStopIn(page->GetSafeHwnd()) : nullptr;
    }
    HWND next = GetNextDlgTabItem(m_hWnd, focus, FALSE);
    if (!inPage && (next == tab || IsChild(tab, next))) return tab;
    return nullptr;
  }
  if (inPage) {
    HWND previous = GetNextDlgTabItem(m_hWnd, focus, TRUE);
    if (previous != tab && !IsChild(tab, previous)) return tab;
  }
  return nullptr;
}

void CGeneratorDlg::SwitchPage(int step) {
  const int count = tabControl.GetItemCount();
  if (count < 2) return;
  const int next = ((tabControl.GetCurSel() + step) % count + count) % count;
  // The same steps as a click on the tab: the notifications' handlers hide and show.
  LRESULT ignored = 0;
  OnTabSelChanging(nullptr, &ignored);
  tabControl.SetCurSel(next);
  OnTabSelChange(nullptr, &ignored);
  CDialog* page = PageOf(next);
  HWND first = page != nullptr ? FirstTabStopIn(page->GetSafeHwnd()) : nullptr;
  FocusAsTab(m_hWnd, first != nullptr ? first : tabControl.GetSafeHwnd());
}

bool CGeneratorDlg::OnSystemChange(WPARAM wParam, LPARAM lParam, LRESULT&) {
  RepaintForSystemChange(m_hWnd, WM_SYSCOLORCHANGE, wParam, lParam);
  return false;
}

bool CGeneratorDlg::OnSettingChange(WPARAM wParam, LPARAM lParam, LRESULT&) {
  RepaintForSystemChange(m_hWnd, WM_SETTINGCHANGE, wParam, lParam);
  return false;
}
