// The command line as read into its record: every option in its forms, and each bad form
// once with its message and status.
#include "cli/Options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The fields a test compares, in one line, so that a difference shows which.
std::string Describe(const CliOptions& o) {
  const CGenerationSettings& s = o.settings;
  std::string seed = o.seed ? std::to_string(*o.seed) : "none";
  return "mode=" + std::to_string(static_cast<int>(s.mode)) + " mask=" + s.mask + " marker=" + s.symbolMask +
         " length=" + std::to_string(s.length) + " variable=" + std::to_string(s.variableLength) +
         " sets=" + std::to_string(s.useCapitals) + std::to_string(s.useSmall) + std::to_string(s.useDigits) +
         std::to_string(s.useSpecial) + " include=" + std::to_string(s.useInclude) + ":" + s.includeText +
         " exclude=" + std::to_string(s.useExclude) + ":" + s.excludeText + " includeFile=" + o.includeFile +
         " excludeFile=" + o.excludeFile + " count=" + std::to_string(o.count) +
         " everySet=" + std::to_string(o.everySet) + " output=" + o.output + " seed=" + seed +
         " lineEnd=" + std::to_string(static_cast<int>(o.lineEnd)) + " entropy=" + std::to_string(o.entropy) +
         " quiet=" + std::to_string(o.quiet) + " help=" + std::to_string(o.help) +
         " version=" + std::to_string(o.version);
}

TEST(CommandLine, DefaultsAreTheWindowsAndSecure) {
  const ParsedCommandLine parsed = ParseCommandLine({});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const CliOptions& o = *parsed.options;
  EXPECT_EQ(o.count, 1);
  EXPECT_EQ(o.settings.length, 16);
  EXPECT_EQ(o.settings.mode, GenerationMode::Random);
  EXPECT_EQ(o.settings.symbolMask, "?");
  EXPECT_EQ(o.settings.useCapitals + o.settings.useSmall + o.settings.useDigits, 3);
  EXPECT_EQ(o.settings.useSpecial, 0);
  EXPECT_FALSE(o.seed);
  EXPECT_EQ(o.lineEnd, LineEnd::Platform);
  EXPECT_TRUE(o.output.empty());
}

TEST(CommandLine, EveryOptionInItsForms) {
  struct Case {
    std::vector<std::string> args;
    std::function<void(CliOptions&)> expect;  // applied to the defaults
  };
  const Case cases[] = {
      {{"-n", "5"}, [](CliOptions& o) { o.count = 5; }},
      {{"--count=1000000000000"}, [](CliOptions& o) { o.count = 1'000'000'000'000; }},
      {{"-n7"}, [](CliOptions& o) { o.count = 7; }},
      {{"--length", "1000000"}, [](CliOptions& o) { o.settings.length = 1'000'000; }},
      {{"-l1"}, [](CliOptions& o) { o.settings.length = 1; }},
      {{"--variable", "-l", "20"},
       [](CliOptions& o) {
         o.settings.variableLength = 1;
         o.settings.length = 20;
       }},
      {{"-m", "??-##", "--marker=#"},
       [](CliOptions& o) {
         o.settings.mode = GenerationMode::Masked;
         o.settings.mask = "??-##";
         o.settings.symbolMask = "#";
       }},
      {{"--sets", "PD"},
       [](CliOptions& o) {
         o.settings.useCapitals = o.settings.useSmall = 0;
         o.settings.useSpecial = 1;
       }},
      {{"-s", ""}, [](CliOptions& o) { o.settings.useCapitals = o.settings.useSmall = o.settings.useDigits = 0; }},
      {{"--include", "@#", "--exclude=0O"},
       [](CliOptions& o) {
         o.settings.useInclude = o.settings.useExclude = 1;
         o.settings.includeText = "@#";
         o.settings.excludeText = "0O";
       }},
      {{"--include-file", "a.chr", "--exclude-file=b.chr"},
       [](CliOptions& o) {
         o.includeFile = "a.chr";
         o.excludeFile = "b.chr";
       }},
      {{"--every-set"}, [](CliOptions& o) { o.everySet = true; }},
      {{"-o", "out.txt"}, [](CliOptions& o) { o.output = "out.txt"; }},
      {{"--output=-x"}, [](CliOptions& o) { o.output = "-x"; }},
      {{"--seed", "0"}, [](CliOptions& o) { o.seed = 0; }},
      {{"--seed=4294967295"}, [](CliOptions& o) { o.seed = 4294967295u; }},
      {{"--lf"}, [](CliOptions& o) { o.lineEnd = LineEnd::Lf; }},
      {{"--crlf", "--crlf"}, [](CliOptions& o) { o.lineEnd = LineEnd::CrLf; }},
      {{"--entropy", "-q"},
       [](CliOptions& o) {
         o.entropy = true;
         o.quiet = true;
       }},
      {{"-qh"},
       [](CliOptions& o) {
         o.quiet = true;
         o.help = true;
       }},
      {{"-qn3"},
       [](CliOptions& o) {
         o.quiet = true;
         o.count = 3;
       }},
      {{"--version", "--"}, [](CliOptions& o) { o.version = true; }},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.status, 0);
    CliOptions want = *ParseCommandLine({}).options;
    c.expect(want);
    EXPECT_EQ(Describe(*parsed.options), Describe(want));
  }
}

TEST(CommandLine, EachBadFormIsOneLineAndStatusTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"-n", "0"}, "--count needs a whole number from 1 to 1000000000000, not \"0\""},
      {{"--count=1000000000001"}, "--count needs a whole number from 1 to 1000000000000, not \"1000000000001\""},
      {{"-n", "99999999999999999999999"},
       "--count needs a whole number from 1 to 1000000000000, not \"99999999999999999999999\""},
      {{"-n", "-5"}, "--count needs a whole number from 1 to 1000000000000, not \"-5\""},
      {{"-n", " 5"}, "--count needs a whole number from 1 to 1000000000000, not \" 5\""},
      {{"--length=1000001"}, "--length needs a whole number from 1 to 1000000, not \"1000001\""},
      {{"-l", "abc"}, "--length needs a whole number from 1 to 1000000, not \"abc\""},
      {{"--seed", "4294967296"}, "--seed needs a whole number from 0 to 4294967295, not \"4294967296\""},
      {{"--seed="}, "--seed needs a whole number from 0 to 4294967295, not \"\""},
      {{"--marker", "ab"}, "--marker needs exactly one character, not \"ab\""},
      {{"-m", ""}, "--mask needs a non-empty text"},
      {{"-s", "CX"}, "--sets takes letters of C (capitals), S (small), D (digits), P (special symbols), not \"CX\""},
      {{"-o", ""}, "--output needs a file name"},
      {{"--include-file="}, "--include-file needs a file name"},
      {{"--lf", "--crlf"}, "--lf and --crlf exclude each other"},
      {{"--include", "x", "--include-file", "f"}, "--include and --include-file exclude each other"},
      {{"--exclude-file", "f", "--exclude", "x"}, "--exclude and --exclude-file exclude each other"},
      {{"-m", "??", "--variable"}, "--variable applies to random passwords, not to --mask"},
      {{"--bogus"}, "unknown option \"--bogus\" (see --help)"},
      {{"--count5"}, "unknown option \"--count5\" (see --help)"},
      {{"-x"}, "unknown option \"-x\" (see --help)"},
      {{"-qz"}, "unknown option \"-z\" (see --help)"},
      {{"--quiet=yes"}, "--quiet takes no value"},
      {{"--count"}, "--count needs a value"},
      {{"-l"}, "--length needs a value"},
      {{"words"}, "unexpected argument \"words\""},
      {{"--", "-n"}, "unexpected argument \"-n\""},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    EXPECT_FALSE(parsed.options) << c.message;
    EXPECT_EQ(parsed.status, 2) << c.message;
    EXPECT_EQ(parsed.error, std::string("keymoor-cli: ") + c.message);
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
}

TEST(CommandLine, HelpNamesEveryOption) {
  const std::string help = HelpText();
  for (const char* option : {"--count", "--length", "--variable", "--mask", "--marker", "--sets", "--include ",
                             "--exclude ", "--include-file", "--exclude-file", "--every-set", "--output", "--seed",
                             "--lf", "--crlf", "--entropy", "--quiet", "--help", "--version"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
