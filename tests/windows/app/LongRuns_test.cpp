// Runs on the worker thread: the window answers while one goes, shows its progress window after
// a second, and Cancel, Close or the end of the session stop it and leave the files as they were.
// Also the figures of the progress window.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/ProgressDlg.h"
#include "platform/WinApp.h"
#include "tests/engine/TempDir.h"
#include "tests/windows/app/MainWindowFixture.h"

namespace {

// Wine's view of the null device: a long run writes there, so no disk fills. The trailing
// full stop keeps ".txt" off the name; the system drops it when opening.
constexpr wchar_t kNullDevice[] = L"Z:\\dev\\null.";

// The files in `folder`, by name.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

// The visible dialog owned by `owner` on the current thread, if there is one.
HWND OwnedDialog(HWND owner, DWORD thread) {
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM data) {
        auto* s = reinterpret_cast<Search*>(data);
        char name[16] = {};
        GetClassNameA(w, name, sizeof name);
        if (GetWindow(w, GW_OWNER) == s->owner && IsWindowVisible(w) && std::string(name) == "#32770") {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string TextOfItem(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);  // sent: the window answers from its thread
  return text;
}

// From another thread, while the window's thread pumps: asks the main window for WM_NULL
// every 20 ms (each must come back within 200 ms), waits for the progress window, reads it,
// and once its time-left line shows (or after `cancelAfterMs`) clicks its Cancel button.
class CProbe {
 public:
  CProbe(HWND main, DWORD cancelAfterMs) : main_(main), uiThread_(GetCurrentThreadId()), start_(GetTickCount64()) {
    thread_ = std::thread([this, cancelAfterMs] { Probe(cancelAfterMs); });
  }
  ~CProbe() { Join(); }
  // Stops the probe, answering its last question: a window thread that stopped pumping
  // would leave it unanswered.
  void Join() {
    stop = true;
    PumpUntil([this] { return finished.load(); }, 2000);
    if (thread_.joinable()) thread_.join();
  }

  // Read after Join.
  int unanswered = 0;        // WM_NULL not answered within 200 ms
  ULONGLONG slowest = 0;     // the longest answer, ms
  ULONGLONG slowestAt = 0;   // when it was asked, ms after the start
  ULONGLONG progressAt = 0;  // when the progress window was first seen, ms after the start
  std::string caption, count, timeLeft;
  bool mainDisabled = false;  // the main window was disabled while the progress window showed
  ULONGLONG cancelledAt = 0;  // when Cancel was clicked, GetTickCount64
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};

 private:
  void Probe(DWORD cancelAfterMs) {
    HWND progress = nullptr;
    while (!stop) {
      const ULONGLONG before = GetTickCount64();
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &answer) == 0) ++unanswered;
      if (GetTickCount64() - before > slowest) {
        slowest = GetTickCount64() - before;
        slowestAt = before - start_;
      }
      if (progress == nullptr && (progress = OwnedDialog(main_, uiThread_)) != nullptr) {
        progressAt = GetTickCount64() - start_;
        char text[64] = {};
        GetWindowTextA(progress, text, sizeof text);
        caption = text;
        mainDisabled = !IsWindowEnabled(main_);
      }
      if (progress != nullptr && cancelledAt == 0) {
        count = TextOfItem(progress, IDC_PROGRESS_COUNT);
        timeLeft = TextOfItem(progress, IDC_PROGRESS_TIME);
        if (!timeLeft.empty() || GetTickCount64() - start_ >= cancelAfterMs) {
          cancelledAt = GetTickCount64();
          SendMessageA(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
        }
      }
      Sleep(20);
    }
    finished = true;
  }

  HWND main_;
  DWORD uiThread_;
  ULONGLONG start_;
  std::thread thread_;
};

class LongRunTest : public MainWindowTest {
 protected:
  LongRunTest() { app.SetMainWindow(&dialog); }
  ~LongRunTest() override { app.SetMainWindow(nullptr); }

  void Choose(const std::wstring& path) {
    services.fileChosen = true;
    services.filePath = path;
  }
  // Length and count typed into the window.
  void Size(const std::string& length, const std::string& count) {
    TypeOver(randomItem(IDC_LENGTH), length);
    TypeOver(item(IDC_COUNT), count);
  }

  CWinApp app;
  TempDir dir;
};

TEST_F(LongRunTest, TheWindowAnswersShowsProgressAndCancelStopsTheRun) {
  // About 100 GB: far longer than the test, whatever the machine.
  Size("1000", "100000000");
  Choose(kNullDevice);
  Click(item(IDC_GENERATE_TO_FILE));
  ASSERT_TRUE(dialog.IsRunning());
  EXPECT_FALSE(IsWindowEnabled(hwnd()));
  CProbe probe(hwnd(), 4000);
  const bool ended = PumpUntil([&] { return !dialog.IsRunning(); }, 30000);
  const ULONGLONG endedAt = GetTickCount64();
  probe.Join();
  ASSERT_TRUE(ended) << "the run did not stop";
  ASSERT_NE(probe.cancelledAt, 0u) << "no progress window was seen";

  EXPECT_EQ(probe.unanswered, 0);
  EXPECT_LT(probe.slowest, 200u) << "asked " << probe.slowestAt << " ms after the start; progress window at "
                                 << probe.progressAt;
  EXPECT_GE(probe.progressAt, 900u);
  EXPECT_LE(probe.progressAt, 2500u);
  EXPECT_EQ(probe.caption, "app_tests");
  EXPECT_TRUE(probe.mainDisabled);
  const std::string total = " of 100,000,000 passwords";
  ASSERT_GT(probe.count.size(), total.size()) << probe.count;
  EXPECT_EQ(probe.count.substr(probe.count.size() - total.size()), total);
  EXPECT_NE(probe.timeLeft.find(" left"), std::string::npos) << probe.timeLeft;
  EXPECT_LE(endedAt - probe.cancelledAt, 500u);
  RecordProperty("cancel_ms", static_cast<int>(endedAt - probe.cancelledAt));
  RecordProperty("slowest_answer_ms", static_cast<int>(probe.slowest));
  RecordProperty("slowest_answer_at_ms", static_cast<int>(probe.slowestAt));
  RecordProperty("progress_at_ms", static_cast<int>(probe.progressAt));

  // Cancelled: no message box, the window is enabled again, the progress window is gone.
  EXPECT_TRUE(services.boxes.empty());
  EXPECT_TRUE(IsWindowEnabled(hwnd()));
  EXPECT_EQ(OwnedDialog(hwnd(), GetCurrentThreadId()), nullptr);
  EXPECT_EQ(GetActiveWindow(), hwnd());  // the activation came back from the progress window
}

// A Generate to file cancelled early (Close, as a sent IDCANCEL) leaves the folder as it was:
// no new file, an existing one unchanged, no temporary file. 100 million lines of 66 bytes:
// far from done after the first moments on any disk (a run of 150 MB ended before the
// cancel arrived on an idle machine), and 6.6 GB at most, should the run not stop.
TEST_F(LongRunTest, ACancelledFileRunLeavesTheFolderAsItWas) {
  Size("64", "100000000");
  TempDir::Write(dir.File("old.txt"), "old");
  for (const char* name : {"new.txt", "old.txt"}) {
    Choose(WidenAnsi(dir.File(name)));
    Click(item(IDC_GENERATE_TO_FILE));
    ASSERT_TRUE(dialog.IsRunning()) << name;
    PumpUntil([] { return false; }, 30);  // the run is under way
    SendMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    const ULONGLONG cancelled = GetTickCount64();
    FinishRun();
    EXPECT_LE(GetTickCount64() - cancelled, 500u) << name;
    EXPECT_EQ(FilesIn(dir.File("")), std::vector<std::string>{"old.txt"}) << name;
    EXPECT_TRUE(TempDir::Read(dir.File("old.txt")) == "old") << name;  // not printed: it may be large
  }
  EXPECT_TRUE(services.boxes.empty());
  EXPECT_TRUE(IsWindowEnabled(hwnd()));
}

// A Generate cancelled (Close, as a sent IDCANCEL) leaves the list empty, not part-filled.
//
TEST_F(LongRunTest, ACancelledGenerateLeavesTheListEmpty) {
  Size("20000", "1000");
  Click(item(IDC_GENERATE));
  SendMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  FinishRun();
  EXPECT_EQ(dialog.passwordList.GetItemCount(), 0);
  EXPECT_TRUE(services.boxes.empty());
  EXPECT_TRUE(IsWindowEnabled(hwnd()));
}

// Close (IDOK) and the close box (WM_CLOSE) during a run stop the run, then end the window.
TEST(ModalLongRun, ClosingDuringARunStopsItThenEndsTheWindow) {
  const struct {
    const char* name;
    UINT message;
    WPARAM wParam;
    INT_PTR result;
  } cases[] = {{"Close", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK}, {"close box", WM_CLOSE, 0, IDCANCEL}};
  for (const auto& c : cases) {
    theSettings = CGenerationSettings{};
    CRecordingServices services;
    CScopedServices scope(services);
    services.fileChosen = true;
    services.filePath = kNullDevice;
    CGeneratorDlg dialog;
    bool runningBefore = false;
    const INT_PTR result = RunModalSteps(
        dialog, {[](HWND w) { TypeOver(GetDlgItem(w, IDC_COUNT), "100000000"); },
                 [](HWND w) { PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_GENERATE_TO_FILE, BN_CLICKED), 0); },
                 [&](HWND w) {
                   runningBefore = dialog.IsRunning();
                   SendMessageA(w, c.message, c.wParam, 0);
                   // The window ends once the run has: before the steps run out.
                   PumpUntil([&] { return !dialog.IsRunning(); }, 60000);
                 },
                 [](HWND) {}});
    EXPECT_TRUE(runningBefore) << c.name;
    EXPECT_EQ(result, c.result) << c.name;  // not kStillOpen: the window ended by itself
    EXPECT_FALSE(dialog.IsRunning()) << c.name;
    EXPECT_TRUE(services.boxes.empty()) << c.name;
  }
}

// Windows ending the session cancels the run and waits for it before the answer.
TEST_F(LongRunTest, TheEndOfTheSessionStopsTheRunBeforeTheAnswer) {
  Size("64", "15000000");  // about 1 GB: far from done when the session ends
  Choose(WidenAnsi(dir.File("session.txt")));
  Click(item(IDC_GENERATE_TO_FILE));
  ASSERT_TRUE(dialog.IsRunning());
  PumpUntil([] { return false; }, 30);  // the run is under way
  EXPECT_TRUE(dialog.Send(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
  const ULONGLONG before = GetTickCount64();
  dialog.Send(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_LE(GetTickCount64() - before, 500u);
  EXPECT_FALSE(dialog.IsRunning());
  EXPECT_EQ(FilesIn(dir.File("")), std::vector<std::string>{});
  EXPECT_TRUE(services.boxes.empty());
}

TEST(ProgressFigures, CountsAndTimeLeft) {
  EXPECT_EQ(GroupThousands(0, L","), L"0");
  EXPECT_EQ(GroupThousands(999, L","), L"999");
  EXPECT_EQ(GroupThousands(1000, L","), L"1,000");
  EXPECT_EQ(GroupThousands(1234567, L","), L"1,234,567");
  EXPECT_EQ(GroupThousands(100000000, L"\u202F"), L"100\u202F000\u202F000");
  const struct {
    std::uint64_t elapsedMs;
    std::int64_t done, total;
    std::string text;
  } cases[] = {
      {1999, 50, 100, ""},                         // too early
      {10000, 9, 1000, ""},                        // less than 1 % made
      {2000, 1, 100, "About 3 minutes left"},      // 198 s
      {2000, 5, 100, "About 40 seconds left"},     // 38 s
      {60000, 50, 100, "About 1 minute left"},     // 60 s
      {3000, 75, 100, "A few seconds left"},       // 1 s
      {600000, 1, 100, "About 990 minutes left"},  // 59,400 s
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimeLeftText(c.elapsedMs, c.done, c.total), c.text) << c.elapsedMs << " " << c.done;
  }
}

}  // namespace
