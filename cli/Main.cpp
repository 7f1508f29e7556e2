// keymoor-cli's entry point: reads the options, then runs or says why not.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Options.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (!parsed.options) {
    std::fprintf(stderr, "%s\n", parsed.error.c_str());
    return parsed.status;
  }
  return RunCommandLine(*parsed.options);
}
