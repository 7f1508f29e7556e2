// The application object and the process entry's body.
#include "platform/WinApp.h"

#include "platform/Services.h"

namespace {
CWinApp* theApplication = nullptr;
}

HINSTANCE ResourceModule() { return GetModuleHandleA(nullptr); }

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
