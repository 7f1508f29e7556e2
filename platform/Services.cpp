// The real services, the replacement slot and the message box service.
#include "platform/Services.h"

#include <shellapi.h>

#include "platform/WinApp.h"
#include "platform/Wnd.h"

int CPlatformServices::ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

int CPlatformServices::ShowMessageBoxW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

bool CPlatformServices::ShowOpenFileDialog(OPENFILENAMEW& ofn) { return GetOpenFileNameW(&ofn) != FALSE; }

bool CPlatformServices::ShowSaveFileDialog(OPENFILENAMEW& ofn) { return GetSaveFileNameW(&ofn) != FALSE; }

INT_PTR CPlatformServices::ShellOpen(HWND owner, const char* verb, const char* file, const char* parameters,
                                     const char* directory, int showCommand) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(owner, verb, file, parameters, directory, showCommand));
}

UINT CPlatformServices::RunCommandLine(const char* commandLine, UINT showCommand) {
  return WinExec(commandLine, showCommand);
}

void CPlatformServices::PlayBeep(UINT type) { MessageBeep(type); }

bool CPlatformServices::HighContrastOn() {
  HIGHCONTRASTA contrast{};
  contrast.cbSize = sizeof(contrast);
  if (!SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0)) return false;
  return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool CPlatformServices::DialogsScaleWithDpi() {
  // Looked up at run time: user32 of systems before Windows 10 1607 lacks both.
  using GetContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)();
  using EqualFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return false;
  const auto getContext =
      reinterpret_cast<GetContextFn>(reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  const auto equal =
      reinterpret_cast<EqualFn>(reinterpret_cast<void*>(GetProcAddress(user32, "AreDpiAwarenessContextsEqual")));
  if (getContext == nullptr || equal == nullptr) return false;
  return equal(getContext(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) != FALSE;
}

namespace {
CPlatformServices realServices;
CPlatformServices* currentServices = &realServices;
}  // namespace

CPlatformServices& Services() { return *currentServices; }

CScopedServices::CScopedServices(CPlatformServices& replacement) : previous_(currentServices) {
  currentServices = &replacement;
}

CScopedServices::~CScopedServices() { currentServices = previous_; }

const std::string& ApplicationTitle() {
  static const std::string title = [] {
    std::string path(MAX_PATH, '\0');
    for (;;) {
      const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return std::string();
      if (n < path.size()) {
        path.resize(n);
        break;
      }
      path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
  }();
  return title;
}

HWND MessageBoxOwner() {
  HWND start = nullptr;
  if (CWinApp* app = CWinApp::Current()) {
    if (CWnd* main = app->MainWindow()) start = main->GetSafeHwnd();
  }
  if (start == nullptr || !IsWindow(start)) start = GetActiveWindow();
  if (start == nullptr) return nullptr;
  // The most recently active window owned by it: a modal box in front, or the window itself.
  return GetLastActivePopup(start);
}

namespace {
UINT WithDefaultIcon(UINT type) {
  if ((type & MB_ICONMASK) == 0) {
    switch (type & MB_TYPEMASK) {
      case MB_OK:
      case MB_OKCANCEL:
      case MB_YESNOCANCEL:
      case MB_YESNO:
        type |= MB_ICONEXCLAMATION;
        break;
      default:  // Abort/Retry/Ignore and Retry/Cancel stay without an icon
        break;
    }
  }
  return type;
}
}  // namespace

int AppMessageBox(const std::string& text, UINT type) {
  return Services().ShowMessageBox(MessageBoxOwner(), text, ApplicationTitle(), WithDefaultIcon(type));
}

int AppMessageBox(const std::wstring& text, UINT type) {
  return Services().ShowMessageBoxW(MessageBoxOwner(), text, WidenAnsi(ApplicationTitle()), WithDefaultIcon(type));
}

std::wstring WidenAnsi(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string NarrowToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
  return narrow;
}
