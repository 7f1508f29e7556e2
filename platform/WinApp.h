// CWinApp: the one application object, its start-up operation and the process entry.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

// The module that holds the program's resources (templates, icons, strings).
HINSTANCE ResourceModule();

// String resource `id` of ResourceModule(), whole; empty when there is none.
std::string LoadResourceString(UINT id);

class CWinApp {
 public:
  // Registers this object as the process's application. REQUIRES: only one exists.
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The application object, or null when none exists (as in the window tests).
  static CWinApp* Current();

  // The start-up operation. True asks the process entry to run a message loop until
  // WM_QUIT; false skips it. The base is the standard instance initialisation, which
  // has nothing to do (no language resource library is looked for) and returns true.
  virtual bool StartInstance();
  // Runs after the start-up (and the loop); returns the process exit code.
  virtual int ExitInstance();

  // The main window, owner of message boxes and modal windows. Not owned.
  CWnd* MainWindow() const { return mainWindow_; }
  void SetMainWindow(CWnd* window) { mainWindow_ = window; }

  // The executable's file name without its extension.
  const std::string& Title() const;

 private:
  CWnd* mainWindow_ = nullptr;
};

// The body of the process entry: StartInstance, then the loop if it asked for one, then
// ExitInstance, whose result is returned. Without an application object: -1.
int RunApplication();
