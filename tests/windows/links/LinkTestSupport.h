// Helpers of the link tests: a host window for labels made at exact pixel positions, and a
// guard that registers a web-page class under HKEY_CLASSES_ROOT and restores what was there.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "links/LinkLabel.h"
#include "tests/windows/platform/TestSupport.h"

// A shown, empty top-level dialog of ours: it reflects its controls' clicks and colour
// requests to them. Labels are made inside it with CreateWindowExA at pixel positions.
class CLabelHost {
 public:
  CLabelHost() : template_(WS_POPUP | WS_CAPTION, 300, 120, "Host"), dialog_(template_.Get()) {
    if (!dialog_.Create(nullptr)) ADD_FAILURE() << "the host window was not created: " << GetLastError();
    // Shown, so that invalidating a control leaves an update region to look at.
    SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  }
  HWND hwnd() const { return dialog_.GetSafeHwnd(); }

  // A static control with `text`, `style` (SS_*) and the dialog's font unless `noFont`.
  HWND AddStatic(const std::string& text, DWORD style, int x, int y, int cx, int cy, bool noFont = false) {
    HWND control =
        CreateWindowExA(0, "Static", text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, hwnd(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)), GetModuleHandleA(nullptr), nullptr);
    if (!noFont) SendMessageA(control, WM_SETFONT, SendMessageA(hwnd(), WM_GETFONT, 0, 0), FALSE);
    return control;
  }

  // The control's rectangle in the host's client coordinates.
  static RECT PlaceOf(HWND control) {
    RECT rc{};
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  }

 private:
  class CHostDialog : public CDialog {
   public:
    using CDialog::CDialog;
  };
  CTemplateBuilder template_;
  CHostDialog dialog_;
  int nextId_ = 100;
};

// The text extent that fitting measures: the control's own DC, without its font.
inline SIZE MeasuredExtent(HWND control, const std::string& text) {
  SIZE extent{};
  HDC dc = GetDC(control);
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  ReleaseDC(control, dc);
  return extent;
}

// The default (unnamed) value of HKEY_CLASSES_ROOT\path, or nullopt without key or value.
inline std::optional<std::string> ClassesRootDefault(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  char value[1024] = {};
  DWORD size = sizeof(value) - 1;
  const LONG read = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS) return std::nullopt;
  return std::string(value);
}

inline bool SetClassesRootValue(const std::string& path, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG set = RegSetValueExA(key, nullptr, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

inline bool SetClassesRootDefault(const std::string& path, const std::string& text) {
  return SetClassesRootValue(path, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// For its lifetime, ".htm" under HKEY_CLASSES_ROOT names the test's own class (or, after
// Unregister, nothing). Written in the test prefix's real classes root, since Wine does not
// merge HKEY_CURRENT_USER\Software\Classes into it. A ".htm" that was there is copied aside
// whole and put back afterwards; the test class is removed.
class CWebClassGuard {
 public:
  static constexpr char kClass[] = "KeymoorLinksTest.htm";
  static constexpr char kBackup[] = "KeymoorLinksTest.saved.htm";

  CWebClassGuard() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kClass);
    HKEY htm = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_READ, &htm) != ERROR_SUCCESS) return;
    HKEY backup = nullptr;
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kBackup);
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kBackup, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr) ==
        ERROR_SUCCESS) {
      saved_ = RegCopyTreeA(htm, nullptr, backup) == ERROR_SUCCESS;
      RegCloseKey(backup);
    }
    RegCloseKey(htm);
    if (!saved_) ADD_FAILURE() << "the existing .htm key could not be copied aside";
  }
  ~CWebClassGuard() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kClass);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".htm");
    if (!saved_) return;
    HKEY backup = nullptr;
    HKEY htm = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kBackup, 0, KEY_READ, &backup) == ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &htm, nullptr) ==
            ERROR_SUCCESS) {
      RegCopyTreeA(backup, nullptr, htm);
    }
    if (htm != nullptr) RegCloseKey(htm);
    if (backup != nullptr) RegCloseKey(backup);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kBackup);
  }
  CWebClassGuard(const CWebClassGuard&) = delete;
  CWebClassGuard& operator=(const CWebClassGuard&) = delete;

  // ".htm" names the test class, whose open command is `command`.
  void Register(const std::string& command) {
    ASSERT_TRUE(SetClassesRootDefault(".htm", kClass));
    ASSERT_TRUE(SetClassesRootDefault(std::string(kClass) + "\\shell\\open\\command", command));
  }
  // ".htm" names the test class, which has no open command.
  void RegisterWithoutCommand() {
    ASSERT_TRUE(SetClassesRootDefault(".htm", kClass));
    ASSERT_TRUE(SetClassesRootDefault(kClass, "a class without commands"));
  }
  // No ".htm" key at all, as in a fresh prefix.
  void Unregister() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".htm");
    ASSERT_FALSE(ClassesRootDefault(".htm").has_value());
  }

 private:
  bool saved_ = false;
};
