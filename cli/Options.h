// The command line of keymoor-cli: what it accepts, read into one record, and its help text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/GenerationSettings.h"

enum class LineEnd { Platform, Lf, CrLf };

// Everything one invocation asks for. `settings` holds the sets, texts, length and mode as
// the window would fill them; its count is left 0 (counts go beyond its 32 bits).
struct CliOptions {
  CGenerationSettings settings;
  std::int64_t count = 1;
  // File names: UTF-8 on Windows, the bytes as given elsewhere.
  std::string includeFile;  // read at run time; empty when not given
  std::string excludeFile;
  bool everySet = false;
  std::string output;  // empty: standard output
  std::optional<std::uint32_t> seed;
  LineEnd lineEnd = LineEnd::Platform;
  bool entropy = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// The outcome of reading the arguments: options, or a one-line error (no line end) and the
// exit status 2.
struct ParsedCommandLine {
  std::optional<CliOptions> options;
  std::string error;
  int status = 0;
};

// Reads `args` (without the program name), GNU style: "--name value", "--name=value",
// "-n value", "-nvalue", flags bundled ("-qh"), "--" ends the options. No positional
// argument is accepted. Pure: nothing is read from the file system here.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help: every option with its range and default, and the security note.
std::string HelpText();
