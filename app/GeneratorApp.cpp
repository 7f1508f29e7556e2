// Start-up: the main window's modal run is the program's only loop.
#include "app/GeneratorApp.h"

#include <commctrl.h>

#include <memory>

#include "app/GeneratorDlg.h"
#include "platform/Accessible.h"

bool CGeneratorApp::StartInstance() {
  InitCommonControls();
  // Assistive technology is handed the windows' accessible objects through COM.
  const CComApartment com;
  CWinApp::StartInstance();
  auto window = std::make_unique<CGeneratorDlg>();
  SetMainWindow(window.get());
  window->DoModal();  // 1, 2 or -1: the process ends the same way after each
  window.reset();
  SetMainWindow(nullptr);
  return false;
}
