// keymoor-cli's entry point: reads the options, then runs or says why not.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Options.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

namespace {

// The argument array of CommandLineToArgvW, freed with LocalFree.
class CWideArgs {
 public:
  CWideArgs() : args_(CommandLineToArgvW(GetCommandLineW(), &count_)) {}
  ~CWideArgs() { LocalFree(args_); }
  CWideArgs(const CWideArgs&) = delete;
  CWideArgs& operator=(const CWideArgs&) = delete;
  int Count() const { return args_ ? count_ : 0; }
  const wchar_t* operator[](int i) const { return args_[i]; }

 private:
  int count_ = 0;
  wchar_t** args_;
};

std::string Narrow(const wchar_t* text, UINT codePage) {
  const int n = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text, -1, bytes.data(), n, nullptr, nullptr);
  bytes.resize(static_cast<std::size_t>(n - 1));
  return bytes;
}

// `text` in the code page, in UTF-8.
std::string Utf8(const std::string& text, UINT codePage) {
  const int n = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.c_str(), -1, wide.data(), n);
  return Narrow(wide.c_str(), CP_UTF8);
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // Texts (masks, symbols) are bytes of the ANSI code page, as in the window; file names
  // must reach the file layer whole, whatever the code page, so the same words are read
  // once more in UTF-8 and the file names taken from that reading.
  static_cast<void>(argc);
  static_cast<void>(argv);
  const CWideArgs wide;
  std::vector<std::string> args, utf8;
  for (int i = 1; i < wide.Count(); ++i) {
    args.push_back(Narrow(wide[i], CP_ACP));
    utf8.push_back(Narrow(wide[i], CP_UTF8));
  }
  ParsedCommandLine parsed = ParseCommandLine(args);
  const ParsedCommandLine names = ParseCommandLine(utf8);
  if (parsed.options && names.options) {
    parsed.options->output = names.options->output;
    parsed.options->includeFile = names.options->includeFile;
    parsed.options->excludeFile = names.options->excludeFile;
  }
  // Messages are printed as UTF-8: the UTF-8 reading's own when it fails alike, else the
  // ANSI reading's, brought to UTF-8.
  if (!parsed.options) parsed.error = names.options ? Utf8(parsed.error, CP_ACP) : names.error;
#else
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(args);
#endif
  if (!parsed.options) {
    PrintError(parsed.error);
    return parsed.status;
  }
  return RunCommandLine(*parsed.options);
}
