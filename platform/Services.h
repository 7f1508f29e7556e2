// Services that block or leave the process (message boxes, file dialogs, shell open,
// process start, beep), reached through one replaceable object so tests can stand in.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

class CPlatformServices {
 public:
  virtual ~CPlatformServices() = default;

  // MessageBoxA. Returns the button pressed (IDOK, ...), or 0 when the box cannot be shown.
  virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);
  // MessageBoxW, for texts that carry a path (UTF-16). Returns as ShowMessageBox.
  virtual int ShowMessageBoxW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
  // GetOpenFileNameW / GetSaveFileNameW. True when the user chose a file; the path is in
  // ofn.lpstrFile. False for a cancel or a failure of the dialog.
  virtual bool ShowOpenFileDialog(OPENFILENAMEW& ofn);
  virtual bool ShowSaveFileDialog(OPENFILENAMEW& ofn);
  // ShellExecuteA; above 32 is success, 32 or less the platform's error code.
  virtual INT_PTR ShellOpen(HWND owner, const char* verb, const char* file, const char* parameters,
                            const char* directory, int showCommand);
  // WinExec; above 31 is success.
  virtual UINT RunCommandLine(const char* commandLine, UINT showCommand);
  // MessageBeep.
  virtual void PlayBeep(UINT type);
  // SystemParametersInfo(SPI_GETHIGHCONTRAST): true when a high-contrast theme is on.
  virtual bool HighContrastOn();
  // True when the dialog manager itself re-scales a dialog's controls and font on a DPI
  // change: the thread runs per-monitor v2. False under per-monitor v1 (and on systems
  // before Windows 10 1703), where the program re-lays them out itself.
  virtual bool DialogsScaleWithDpi();
};

// The services in use: the real ones unless a CScopedServices stands in.
CPlatformServices& Services();

// Puts `replacement` in place of the services for its lifetime; restores the previous ones.
class CScopedServices {
 public:
  explicit CScopedServices(CPlatformServices& replacement);
  ~CScopedServices();
  CScopedServices(const CScopedServices&) = delete;
  CScopedServices& operator=(const CScopedServices&) = delete;

 private:
  CPlatformServices* previous_;
};

// The application title: the executable's file name without its extension.
const std::string& ApplicationTitle();

// The window that owns the application's message boxes: the main window, or the modal
// window that stands in front of it; without a main window, the active window (may be null).
HWND MessageBoxOwner();

// The message box service: caption = application title, owner = MessageBoxOwner().
// Without an icon in `type`, OK, OK/Cancel, Yes/No/Cancel and Yes/No boxes get the
// exclamation icon; Abort/Retry/Ignore and Retry/Cancel get none.
int AppMessageBox(const std::string& text, UINT type = MB_OK);
// The same box for a text that names a path: shown through MessageBoxW, so that any
// folder name shows as it is.
int AppMessageBox(const std::wstring& text, UINT type = MB_OK);

// `text` (bytes of the ANSI code page) as UTF-16, and back; characters the code page
// lacks become its default character on the way back.
std::wstring WidenAnsi(const std::string& text);
std::string NarrowToAnsi(const std::wstring& text);
