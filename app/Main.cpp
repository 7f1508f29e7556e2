// The process entry and the application object.
#include <windows.h>

#include "app/GeneratorApp.h"
#include "platform/WinApp.h"

// Constructed during static initialisation; the settings record comes from the engine.
CGeneratorApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunApplication(); }
