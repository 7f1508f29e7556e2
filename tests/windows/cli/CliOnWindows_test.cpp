// keymoor-cli on Windows: in process, a file name outside the code page reaching the Win32
// file layer and a message reaching a console; as a process (keymoor-cli.exe with pipes),
// its standard output and file against the engine's run, exit statuses and a closed pipe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Options.h"
#include "engine/PasswordGenerator.h"
#include "tests/engine/TempDir.h"
#include "tests/windows/CliProcess.h"

namespace {

int RunCli(const std::vector<std::string>& args) {
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (!parsed.options) return parsed.status;
  return RunCommandLine(*parsed.options);
}

// In process, where the file name reaches the file layer: the process test below holds the
// files and statuses against the engine's run.
TEST(CliOnWindows, AFileNameOutsideTheCodePage) {
  TempDir dir;
  // A file name outside any ANSI code page (UTF-8 here, as the entry point passes it).
  const std::string greek = dir.File("\xce\xba\xce\xbb\xce\xb5\xce\xb9\xce\xb4\xce\xaf.txt");
  EXPECT_EQ(RunCli({"-n", "2", "-o", greek}), 0);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(greek)));
}

// A console shows a message whole whatever its code page, a file name outside it too.
TEST(CliOnWindows, MessagesReachAConsoleInUtf16) {
  FreeConsole();
  ASSERT_TRUE(AllocConsole());
  HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(screen, INVALID_HANDLE_VALUE);
  CHandle owned(screen);
  const HANDLE before = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, screen);
  PrintError("keymoor-cli: \xce\xba\xce\xbb\xce\xb5\xce\xb9\xce\xb4\xce\xaf \xe2\x82\xac");
  SetStdHandle(STD_ERROR_HANDLE, before);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
  wchar_t shown[64] = {};
  DWORD read = 0;
  ASSERT_TRUE(
      ReadConsoleOutputCharacterW(screen, shown, 21, COORD{0, static_cast<SHORT>(info.dwCursorPosition.Y - 1)}, &read));
  EXPECT_EQ(std::wstring(shown, read), L"keymoor-cli: \x03ba\x03bb\x03b5\x03b9\x03b4\x03af \x20ac");
  FreeConsole();
}

TEST(CliOnWindows, ProgramOutputStatusesAndAClosedPipe) {
  TempDir dir;
  CGenerationSettings s;
  s.length = 12;
  s.useCapitals = s.useSmall = s.useDigits = s.useSpecial = 1;
  s.symbolMask = "?";
  CRandomSource random;
  random.Seed(7);
  const std::string engine = dir.File("engine.txt"), cli = dir.File("cli.txt");
  ASSERT_EQ(CPasswordGenerator::Run(s, PasswordSink::File(engine), {false, &random, 30000, nullptr}),
            GenerateResult::Completed);
  const std::string want = TempDir::Read(engine);
  const std::wstring settings = L"-l 12 -s CSDP --seed 7 -n 30000";

  // Standard output: CR LF, the platform's own.
  const Child out = RunExe(settings);
  EXPECT_EQ(out.status, 0u) << out.err;
  EXPECT_EQ(out.out, want);
  EXPECT_EQ(out.err, "");

  TempDir::Write(cli, "old\r\n");
  const std::wstring target = std::filesystem::path(cli).wstring();
  const Child file = RunExe(settings + L" -o \"" + target + L"\"");
  EXPECT_EQ(file.status, 0u) << file.err;
  EXPECT_EQ(TempDir::Read(cli), want);
  EXPECT_EQ(file.out, "");

  // A run-time failure leaves the file as it was; its message names a file outside any
  // ANSI code page, in UTF-8 since standard error is no console here.
  const Child failed = RunExe(L"-s \"\" -o \"" + target + L"\"");
  EXPECT_EQ(failed.status, 1u);
  EXPECT_EQ(failed.err.substr(0, 31), "keymoor-cli: No passwords were ");
  EXPECT_EQ(TempDir::Read(cli), want);
  const std::string missing = dir.File("\xce\xba\xce\xbb\xce\xb5\xce\xb9\xce\xb4\xce\xaf\\x.txt");
  const Child unnamed = RunExe(L"-o \"" + std::filesystem::u8path(missing).wstring() + L"\"");
  EXPECT_EQ(unnamed.status, 1u);
  EXPECT_EQ(unnamed.err, "keymoor-cli: The file \"" + missing + "\" could not be created.\r\n");

  const Child bad = RunExe(L"--length 0");
  EXPECT_EQ(bad.status, 2u);
  EXPECT_EQ(bad.err, "keymoor-cli: --length needs a whole number from 1 to 1000000, not \"0\"\r\n");
  EXPECT_EQ(bad.out, "");

  // The reader takes one line and goes: the run ends quietly, done.
  const Child head = RunExe(L"-n 100000000 -l 8", 10);
  EXPECT_EQ(head.status, 0u) << head.err;
  EXPECT_EQ(head.err, "");
  EXPECT_EQ(head.out.size(), 10u);
}

}  // namespace
