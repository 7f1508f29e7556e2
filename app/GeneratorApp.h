// The application object: runs the main window modally and ends the process after it.
#pragma once

#include "platform/WinApp.h"

class CGeneratorApp : public CWinApp {
 public:
  // Initialises the common controls, runs the main window modally, then lets it go.
  // Returns false: there is no further message loop, the process ends.
  bool StartInstance() override;
};
