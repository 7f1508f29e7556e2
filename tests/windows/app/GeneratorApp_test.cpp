// Start-up: the main window runs once, modally; the random source is seeded from the tick
// count at the end of the window's initialisation.
#include "app/GeneratorApp.h"

#include <gtest/gtest.h>

#include "engine/RandomSource.h"
#include "tests/windows/app/MainWindowFixture.h"

namespace {

TEST(GeneratorApp, RunsTheMainWindowOnceModallyAndAsksForNoLoop) {
  CRecordingServices services;
  CScopedServices scope(services);
  CGeneratorApp app;
  static CGeneratorApp* running = nullptr;
  static HWND seen = nullptr;
  running = &app;
  // From inside the modal run: the window is the main window; leave it by Main > Exit.
  struct Closer {
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
      CWnd* main = running->MainWindow();
      if (main == nullptr || main->GetSafeHwnd() == nullptr) return;
      seen = main->GetSafeHwnd();
      PostMessageA(seen, WM_COMMAND, IDM_EXIT, 0);
    }
  };
  const std::uint32_t before = GetTickCount();
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &Closer::Tick);
  const bool loop = app.StartInstance();
  KillTimer(nullptr, timer);
  const std::uint32_t after = GetTickCount();

  EXPECT_FALSE(loop);
  ASSERT_NE(seen, nullptr);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_EQ(app.MainWindow(), nullptr);  // the reference goes with the window
  // Seeded with the tick count during the run, and nothing drawn since.
  EXPECT_GE(theRandom.State(), before);
  EXPECT_LE(theRandom.State(), after);
}

TEST_F(MainWindowTest, InitialisationSeedsTheRandomSourceFromTheTickCount) {
  const std::uint32_t before = GetTickCount();
  CGeneratorDlg second;
  ASSERT_TRUE(second.Create(nullptr));
  const std::uint32_t after = GetTickCount();
  EXPECT_GE(theRandom.State(), before);
  EXPECT_LE(theRandom.State(), after);
}

}  // namespace
