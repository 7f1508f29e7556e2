// The application object and the process entry's body.
#include "platform/WinApp.h"

#include "platform/Services.h"

#include <vector>

namespace {
CWinApp* theApplication = nullptr;
}

HINSTANCE ResourceModule() { return GetModuleHandleA(nullptr); }

std::string LoadResourceString(UINT id) {
  // LoadStringA reports only what it copied: grow until the text leaves room to spare.
  for (std::size_t size = 256; size <= 65536; size *= 4) {
    std::vector<char> buffer(size, '\0');
    const int n = LoadStringA(ResourceModule(), id, buffer.data(), static_cast<int>(size));
    if (n <= 0) return {};
    if (static_cast<std::size_t>(n) + 1 < size) return std::string(buffer.data(), static_cast<std::size_t>(n));
  }
  return {};
}

CWinApp::CWinApp() { theApplication = this; }

CWinApp::~CWinApp() {
  if (theApplication == this) theApplication = nullptr;
}

CWinApp* CWinApp::Current() { return theApplication; }

bool CWinApp::StartInstance() { return true; }

int CWinApp::ExitInstance() { return 0; }

const std::string& CWinApp::Title() const { return ApplicationTitle(); }

int RunApplication() {
  CWinApp* app = CWinApp::Current();
  if (app == nullptr) return -1;
  app->Title();  // settle the title before any window shows it
  if (app->StartInstance()) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return app->ExitInstance();
}
