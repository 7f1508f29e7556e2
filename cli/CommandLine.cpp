// keymoor-cli's run: the settings and sink from the options, the engine's one run, and
// what the outcome means for the exit status.
#include "cli/CommandLine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <tuple>

#include "cli/Entropy.h"

#include "engine/OsFile.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "engine/RandomSource.h"
#include "engine/RunMessages.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace {

// The run that Ctrl+C stops, while there is one.
std::atomic<CRunControl*> theRun{nullptr};
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used from a signal handler");
static_assert(std::atomic<CRunControl*>::is_always_lock_free, "used from a signal handler");

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  interrupted.store(true);
  if (CRunControl* run = theRun.load()) run->Cancel();
  return TRUE;
}
#else
void OnInterrupt(int) {
  interrupted.store(true);
  if (CRunControl* run = theRun.load()) run->Cancel();
}
#endif

// Ctrl+C cancels the run (which then leaves no temporary file) instead of ending the
// process; a closed pipe is a failed write, not the end of the process.
void CatchSignals() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
#endif
}

// A file name of the options as the file layer takes it: UTF-8 on Windows (see Main.cpp),
// the bytes as given elsewhere.
std::filesystem::path FilePath(const std::string& name) {
#ifdef _WIN32
  return std::filesystem::u8path(name);
#else
  return std::filesystem::path(name);
#endif
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(FilePath(path), error);
}

// The message of a failed run: the window's own text for a file; standard output is no
// file the user named, and what was written to it stays there.
std::string FailureText(GenerateResult result, const RunMessage& message, const std::string& output) {
  if (output.empty() && result == GenerateResult::CannotCreate) return "Standard output could not be opened.";
  if (output.empty() && result == GenerateResult::WriteFailed)
    return "Standard output could not be written completely; it ends after the passwords written before the failure.";
  std::string text = message.before;
  if (message.namesFile) text += "\"" + output + "\"" + message.after;
  return text;
}

bool ErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return ::isatty(STDERR_FILENO) != 0;
#endif
}

// Runs the engine on a thread of its own while this one shows progress: once the run has
// gone on for a second, one line on standard error (a terminal), rewritten in place.
GenerateResult RunWithProgress(const CGenerationSettings& settings, const PasswordSink& sink, const RunOptions& run,
                               bool showProgress) {
  GenerateResult result = GenerateResult::Completed;
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;  // guarded by mutex
  std::thread worker([&] {
    try {
      result = CPasswordGenerator::Run(settings, sink, run);
    } catch (const std::bad_alloc&) {
      result = GenerateResult::OutOfMemory;
    } catch (const std::exception&) {
      result = GenerateResult::WriteFailed;
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      finished = true;
    }
    ended.notify_one();
  });
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  bool shown = false;
  // A short run ends the wait at once: `keymoor-cli -n 1` must not wait for a tick.
  std::unique_lock<std::mutex> lock(mutex);
  while (!ended.wait_for(lock, std::chrono::milliseconds(250), [&] { return finished; })) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!showProgress || seconds < 1) continue;
    const double made = static_cast<double>(run.control->Made());
    const double rate = made / seconds;
    const double left = rate > 0 ? (static_cast<double>(run.count) - made) / rate : 0;
    std::fprintf(stderr, "\r%.0f of %lld passwords, %.0f a second, %.0f s left   ", made,
                 static_cast<long long>(run.count), rate, left);
    std::fflush(stderr);
    shown = true;
  }
  lock.unlock();
  worker.join();
  if (shown) std::fputs("\r\n", stderr);
  return result;
}

}  // namespace

void PrintError(const std::string& text) {
#ifdef _WIN32
  // A console shows UTF-16 whatever its code page; bytes written to it would be read in
  // the console's code page, and a file name outside it would come out garbled.
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error != nullptr && error != INVALID_HANDLE_VALUE && GetConsoleMode(error, &mode)) {
    const std::string line = text + "\r\n";
    const int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), n);
    DWORD written = 0;
    if (n > 0 && WriteConsoleW(error, wide.data(), static_cast<DWORD>(n), &written, nullptr)) return;
  }
#endif
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

std::string CannotOpenMessage(const std::string& path) { return "The file \"" + path + "\" could not be opened."; }

int RunCommandLine(const CliOptions& options) {
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitDone : kExitFailed;
  }
  if (options.version) {
    std::fputs("keymoor-cli " KEYMOOR_VERSION "\n", stdout);
    return std::fflush(stdout) == 0 ? kExitDone : kExitFailed;
  }
  CGenerationSettings settings = options.settings;
  for (const auto& [path, use, text] : {std::tie(options.includeFile, settings.useInclude, settings.includeText),
                                        std::tie(options.excludeFile, settings.useExclude, settings.excludeText)}) {
    if (path.empty()) continue;
    const std::optional<std::string> symbols = ReadCharsetFile(FilePath(path));
    if (!symbols) {
      PrintError("keymoor-cli: " + CannotOpenMessage(path));
      return kExitFailed;
    }
    use = 1;
    text = *symbols;
  }

  const bool toFile = !options.output.empty();
#ifdef _WIN32
  const bool platformLf = false;
#else
  const bool platformLf = true;
#endif
  const bool lf = options.lineEnd == LineEnd::Lf || (options.lineEnd == LineEnd::Platform && !toFile && platformLf);
  const PasswordSink sink =
      toFile ? PasswordSink::File(FilePath(options.output), lf) : PasswordSink::StandardOutput(lf);
  const bool kept = toFile && Exists(options.output);

  CRandomSource random;
  if (options.seed) random.Seed(*options.seed);
  CRunControl control;
  RunOptions run;
  run.secure = !options.seed.has_value();
  run.random = &random;
  run.count = options.count;
  run.control = &control;
  run.everySet = options.everySet;

  if (options.entropy && !options.quiet) {
    std::fprintf(stderr, "%.2f bits of entropy per password (%s); %lld passwords, %.0f bytes\n",
                 PasswordEntropyBits(settings, options.everySet),
                 options.seed ? "but a seeded run follows from one of 2^32 seeds" : "secure source",
                 static_cast<long long>(options.count),
                 RunBytes(settings, static_cast<double>(options.count), lf ? 1 : 2));
  }

  CatchSignals();
  theRun.store(&control);
  const GenerateResult result = RunWithProgress(settings, sink, run, !options.quiet && ErrorIsTerminal());
  theRun.store(nullptr);

  if (result == GenerateResult::Completed) return kExitDone;
  if (result == GenerateResult::Cancelled || interrupted.load()) return kExitInterrupted;
  // A reader that has gone (`| head -1`) wants no more: that is no failure.
  if (result == GenerateResult::WriteFailed && !toFile && StandardOutputReaderGone()) return kExitDone;
  const SetsAndPlaces needs =
      result == GenerateResult::SetsDoNotFit ? CPasswordGenerator::EverySetNeeds(settings) : SetsAndPlaces{};
  PrintError("keymoor-cli: " + FailureText(result, RunFailureMessage(result, kept, needs), options.output));
  return kExitFailed;
}
