// keymoor-cli's run on Windows, in process: its file against the engine's own run through
// the Win32 file layer, line ends, and a failed run leaving the file as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Options.h"
#include "engine/PasswordGenerator.h"
#include "tests/engine/TempDir.h"

namespace {

int RunCli(const std::vector<std::string>& args) {
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (!parsed.options) return parsed.status;
  return RunCommandLine(*parsed.options);
}

TEST(CliOnWindows, SeededFileIsTheEnginesOwnAndReplacesOnlyWhenComplete) {
  TempDir dir;
  CGenerationSettings s;
  s.mode = GenerationMode::Random;
  s.length = 30;
  s.variableLength = 1;
  s.useCapitals = s.useSmall = s.useDigits = s.useSpecial = 1;
  s.symbolMask = "?";
  CRandomSource random;
  random.Seed(4294967295u);
  const std::string engine = dir.File("engine.txt"), cli = dir.File("cli.txt");
  ASSERT_EQ(CPasswordGenerator::Run(s, PasswordSink::File(engine), {false, &random, 20000, nullptr, true}),
            GenerateResult::Completed);
  const std::string want = TempDir::Read(engine);

  TempDir::Write(cli, "old\r\n");
  EXPECT_EQ(
      RunCli({"--variable", "-l", "30", "-s", "CSDP", "--every-set", "--seed", "4294967295", "-n", "20000", "-o", cli}),
      0);
  EXPECT_EQ(TempDir::Read(cli), want);

  EXPECT_EQ(RunCli({"-s", "", "-o", cli}), 1);  // nothing to draw from
  EXPECT_EQ(TempDir::Read(cli), want);
  EXPECT_EQ(RunCli({"-o", dir.File("missing\\x.txt")}), 1);
  EXPECT_EQ(RunCli({"-n", "0", "-o", cli}), 2);

  // A file name outside any ANSI code page (UTF-8 here, as the entry point passes it).
  const std::string greek = dir.File("\xce\xba\xce\xbb\xce\xb5\xce\xb9\xce\xb4\xce\xaf.txt");
  EXPECT_EQ(RunCli({"-n", "2", "-o", greek}), 0);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(greek)));

  EXPECT_EQ(RunCli({"-l", "4", "-n", "3", "--lf", "-o", cli}), 0);
  const std::string lf = TempDir::Read(cli);
  ASSERT_EQ(lf.size(), 15u);
  for (std::size_t at = 4; at < lf.size(); at += 5) EXPECT_EQ(lf[at], '\n');
}

}  // namespace
