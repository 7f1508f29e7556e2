// One invocation of keymoor-cli, from read options to exit status.
#pragma once

#include <string>

#include "cli/Options.h"

// Exit statuses: the run completed (or its reader went away); the run failed at run time;
// a bad option (ParseCommandLine); stopped by Ctrl+C.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Prints the help or version, or makes the passwords into standard output or the output
// file through the engine's run; errors and messages go to standard error. Returns the
// exit status.
int RunCommandLine(const CliOptions& options);

// Writes `text` and a line end to standard error. On Windows `text` is UTF-8 and a console
// is given it in UTF-16 (WriteConsoleW), so that any file name in it shows as it is; other
// targets get the bytes.
void PrintError(const std::string& text);

// The message for a file that cannot be read as a charset file.
std::string CannotOpenMessage(const std::string& path);
