// keymoor-cli run as a process: its files and standard output against the engine's own
// run, replacing a file, its exit statuses, and the progress line on a terminal.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/PasswordGenerator.h"
#include "tests/engine/TempDir.h"

namespace {

struct Outcome {
  int status;
  std::string out, err;
};

// Runs the program with `args` (shell words) in `dir`, standard output and error caught.
Outcome RunCli(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout"), err = dir.File("stderr");
  const int raw = std::system((std::string(KEYMOOR_CLI) + " " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, TempDir::Read(out), TempDir::Read(err)};
}

std::string WithoutCr(std::string text) {
  std::string lf;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
  return lf;
}

TEST(CliRun, SeededRunIsTheEnginesOwnOnEveryOutput) {
  struct Case {
    const char* args;
    CGenerationSettings settings;
    bool everySet;
  };
  CGenerationSettings fixed;
  fixed.length = 8;
  fixed.useCapitals = fixed.useSmall = fixed.useDigits = 1;
  fixed.symbolMask = "?";
  CGenerationSettings variable = fixed;
  variable.length = 30;
  variable.variableLength = 1;
  variable.useSpecial = 1;
  CGenerationSettings longer = variable;  // lines over 16 characters, across several blocks
  longer.length = 40;
  longer.variableLength = 0;
  CGenerationSettings masked = fixed;
  masked.mode = GenerationMode::Masked;
  masked.mask = "id-????-#";
  masked.useInclude = 1;
  masked.includeText = "#%";
  const Case cases[] = {
      {"-l 8", fixed, false},
      {"--variable -l 30 -s CSDP", variable, false},
      {"-l 40 -s CSDP", longer, false},
      {"-m id-????-# --include '#%'", masked, false},
      {"--every-set -l 8", fixed, true},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    CRandomSource random;
    random.Seed(123456789);
    const std::string engine = dir.File("engine.txt");
    ASSERT_EQ(
        CPasswordGenerator::Run(c.settings, PasswordSink::File(engine), {false, &random, 50000, nullptr, c.everySet}),
        GenerateResult::Completed);
    const std::string want = TempDir::Read(engine);
    const std::string common = std::string(c.args) + " --seed 123456789 -n 50000";

    const Outcome file = RunCli(dir, common + " -o " + dir.File("cli.txt"));
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(TempDir::Read(dir.File("cli.txt")), want);
    EXPECT_EQ(file.out, "");

    const Outcome crlf = RunCli(dir, common + " --crlf");
    EXPECT_EQ(crlf.status, 0) << crlf.err;
    EXPECT_EQ(crlf.out, want);
    const Outcome lf = RunCli(dir, common);
    EXPECT_EQ(lf.out, WithoutCr(want));
    EXPECT_EQ(RunCli(dir, common + " --lf -o " + dir.File("cli.txt")).status, 0);
    EXPECT_EQ(TempDir::Read(dir.File("cli.txt")), WithoutCr(want));
  }
}

TEST(CliRun, ExitStatuses) {
  TempDir dir;
  const std::string target = dir.File("list.txt");
  TempDir::Write(target, "old bytes\r\n");
  struct Case {
    std::string args;
    int status;
    std::string err;  // the start of standard error
  };
  const Case cases[] = {
      {"-s '' -o " + target, 1,
       "keymoor-cli: No passwords were made: there are no characters to choose from.\n"
       "Tick at least one character set, or add symbols to include.\n"},
      {"-n 2", 0, ""},
      {"-n 2 --entropy --quiet", 0, ""},
      {"--length 0", 2, "keymoor-cli: --length needs a whole number from 1 to 1000000, not \"0\"\n"},
      {"-o " + dir.File("missing/x.txt"), 1,
       "keymoor-cli: The file \"" + dir.File("missing/x.txt") + "\" could not be created.\n"},
      {"-o /dev/full -n 100000", 1, "keymoor-cli: The file \"/dev/full\" could not be written completely."},
      {"--every-set -l 3 -s CSDP", 1,
       "keymoor-cli: A password of 3 random characters cannot hold a character of each of the 4 ticked sets.\n"},
      {"--include-file " + dir.File("none.chr"), 1,
       "keymoor-cli: The file \"" + dir.File("none.chr") + "\" could not be opened.\n"},
  };
  for (const Case& c : cases) {
    const Outcome o = RunCli(dir, c.args);
    EXPECT_EQ(o.status, c.status) << c.args;
    if (c.status == 0) {
      EXPECT_EQ(o.err, "") << c.args;
    } else {
      EXPECT_EQ(o.err.substr(0, c.err.size()), c.err) << c.args;
      EXPECT_EQ(o.out, "") << c.args;
    }
  }
  EXPECT_EQ(TempDir::Read(target), "old bytes\r\n");  // a failed run leaves the file as it was
  // Standard output is no file the user named: its own message.
  const std::string err = dir.File("full-err");
  const int raw = std::system((std::string(KEYMOOR_CLI) + " -n 100000 >/dev/full 2>" + err).c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
  EXPECT_EQ(TempDir::Read(err),
            "keymoor-cli: Standard output could not be written completely; it ends after the passwords written before "
            "the failure.\n");
}

TEST(CliRun, AClosedPipeEndsTheRunQuietly) {
  TempDir dir;
  const std::string status = dir.File("status"), err = dir.File("err");
  const std::string command = "{ " + std::string(KEYMOOR_CLI) + " -n 100000000 -l 8 2>" + err + "; echo $? >" + status +
                              "; } | head -c 9 >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(TempDir::Read(status), "0\n");
  EXPECT_EQ(TempDir::Read(err), "");
}

}  // namespace

namespace {

TEST(CliRun, InterruptStopsTheRunAndLeavesTheFileAsItWas) {
  TempDir dir;
  const std::string target = dir.File("list.txt"), status = dir.File("status");
  TempDir::Write(target, "old bytes\r\n");
  const std::string command = std::string(KEYMOOR_CLI) + " -n 1000000000000 -o " + target +
                              " & pid=$!; sleep 0.5; kill -INT $pid; wait $pid; echo $? >" + status;
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(TempDir::Read(status), "130\n");
  EXPECT_EQ(TempDir::Read(target), "old bytes\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(target).parent_path()), {}), 2)
      << "the list and the status: no temporary file is left";
}

}  // namespace

namespace {

// Runs `command` in a shell whose standard streams are a terminal (script(1)); returns what
// the terminal showed.
std::string OnATerminal(const std::string& command) {
  const std::string line = "script -qec '" + command + "' /dev/null";
  std::string shown;
  FILE* pipe = ::popen(line.c_str(), "r");
  if (!pipe) return "popen failed";
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) shown.append(chunk, n);
  ::pclose(pipe);
  return shown;
}

TEST(CliRun, ProgressOnlyOnATerminalAndNeverWithQuiet) {
  TempDir dir;
  // A run stopped by Ctrl+C after 1.6 s: the progress line comes after about a second.
  const std::string run =
      "timeout --preserve-status -s INT 1.6 " + std::string(KEYMOOR_CLI) + " -n 1000000000000 -o /dev/null";
  const std::string shown = OnATerminal(run + "; echo status=$?");
  EXPECT_NE(shown.find(" of 1000000000000 passwords, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" s left"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 12), "status=130\r\n") << shown;

  EXPECT_EQ(OnATerminal(run + " --quiet; echo status=$?"), "status=130\r\n");
  const std::string err = dir.File("err");
  EXPECT_EQ(OnATerminal(run + " 2>" + err + "; echo status=$?"), "status=130\r\n");
  EXPECT_EQ(TempDir::Read(err), "");
}

}  // namespace
