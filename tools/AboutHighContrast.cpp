// For `make screenshot`: the About box as a high-contrast theme shows it. Wine refuses to switch
// high contrast on (SPI_SETHIGHCONTRAST fails with error 1439), so the query answers "on"
// here instead, through the same services the tests replace. The links open nothing.
#include <windows.h>

#include <commctrl.h>

#include "links/WebCommands.h"
#include "platform/Accessible.h"
#include "platform/Services.h"

namespace {
class CHighContrastServices : public CPlatformServices {
 public:
  bool HighContrastOn() override { return true; }
  INT_PTR ShellOpen(HWND, const char*, const char*, const char*, const char*, int) override { return 42; }
};
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  const CComApartment com;
  CHighContrastServices services;
  const CScopedServices scope(services);
  ShowAboutBox();
  return 0;
}
