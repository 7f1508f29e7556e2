// One run of a window command (Generate, Generate to file, Save to file) on a worker thread,
// with what the window keeps about it while it lasts.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/PasswordGenerator.h"
#include "platform/Controls.h"
#include "platform/TaskbarProgress.h"

class CDialog;

// What a run makes: the list's rows, a new password list file, or the list saved to a file.
enum class RunKind { List, File, Save };

// A window that does not repaint while this object lives, and repaints in full after.
// Observed under Wine: a list view that repaints after every inserted row takes about 17 ms
// a row, 1,000 rows some seventeen seconds; without repainting they take well under one.
class CRedrawOff {
 public:
  explicit CRedrawOff(CWindowRef window) : window_(window) { window_.Send(WM_SETREDRAW, FALSE); }
  ~CRedrawOff() {
    window_.Send(WM_SETREDRAW, TRUE);
    window_.Invalidate();
  }
  CRedrawOff(const CRedrawOff&) = delete;
  CRedrawOff& operator=(const CRedrawOff&) = delete;

 private:
  CWindowRef window_;
};

// Strings that held passwords, wiped when the object goes.
class CWipedLines {
 public:
  CWipedLines() = default;
  ~CWipedLines();
  CWipedLines(const CWipedLines&) = delete;
  CWipedLines& operator=(const CWipedLines&) = delete;
  std::vector<std::string> lines;
};

// The worker's side reports to `window` by posted messages only: kRowsReady when list rows
// wait to be inserted, kEnded (once, last) with the result. The window's side (every method
// not marked otherwise) runs on the thread that owns the window.
class CWindowRun {
 public:
  // wParam: the run's serial number. The run's rows wait in the run (InsertRows).
  static constexpr UINT kRowsReady = WM_APP + 1;
  // wParam: the run's serial number; lParam: its GenerateResult.
  static constexpr UINT kEnded = WM_APP + 2;
  // The worker's work: makes the passwords with the run's control (and, for a list, into
  // Rows()). An exception leaving it is reported as a result (OutOfMemory for bad_alloc and
  // for a list, WriteFailed otherwise).
  using Work = std::function<GenerateResult(CWindowRun& run)>;

  // A run of `total` passwords that will report to `window`. REQUIRES: a List run's total
  // is at most PasswordSink::kMaxListRows.
  CWindowRun(HWND window, RunKind kind, std::int64_t total);
  // Cancels a run still going and waits for its worker.
  ~CWindowRun();
  CWindowRun(const CWindowRun&) = delete;
  CWindowRun& operator=(const CWindowRun&) = delete;

  // Starts the worker. Throws std::system_error when no thread can be started.
  void Start(Work work);
  // Any thread.
  CRunControl& Control() { return control_; }
  WPARAM Serial() const { return serial_; }
  RunKind Kind() const { return kind_; }
  std::int64_t Total() const { return total_; }
  // When the run started (GetTickCount64).
  ULONGLONG StartTick() const { return startTick_; }

  // Worker: the list sink. Each row is queued; the window is told by one kRowsReady at a time.
  PasswordRows& Rows() { return rows_; }
  // Inserts up to `most` queued rows into `list`. True when rows remain, for which the
  // caller posts kRowsReady again; false when the queue is empty (the worker then posts the
  // next kRowsReady itself).
  bool InsertRows(CListCtrl list, std::size_t most);
  // Waits at most `milliseconds` for the worker to end, then joins it if it has. True when
  // it has ended. (Only where the window must clean up before it answers: WM_ENDSESSION.)
  bool WaitEnded(DWORD milliseconds);
  // Waits for the worker, however long it takes.
  void Join();

  // The window's own notes about the run.
  std::wstring path;                          // the file of a File or Save run
  bool targetWasFile = false;                 // that path named an existing regular file before the run
  CWipedLines saved;                          // a Save run's passwords, copied from the list
  HWND focus = nullptr;                       // the focus before the window was disabled
  std::unique_ptr<CRedrawOff> quiet;          // a List run: the list does not repaint
  std::unique_ptr<CTaskbarProgress> taskbar;  // once the progress window shows
  CDialog* progress = nullptr;                // the progress window while it is up
  bool ended = false;                         // kEnded has arrived (or the worker was seen to end)
  GenerateResult result = GenerateResult::Completed;
  int closeWith = 0;           // IDOK or IDCANCEL: the window ends once the run has
  bool endingSession = false;  // Windows is ending: nothing is shown afterwards

 private:
  class CRowQueue : public PasswordRows {
   public:
    explicit CRowQueue(CWindowRun& run) : run_(run) {}
    ~CRowQueue() override;
    void AddRow(int index, std::string_view id, std::string_view password) override;
    struct Row {
      int index = 0;
      std::string id;
      std::string password;
    };
    std::mutex lock;
    std::vector<Row> rows;  // waiting, in order
    std::size_t next = 0;   // the first row not yet inserted
    bool posted = false;    // a kRowsReady is on its way or being handled

   private:
    CWindowRun& run_;
  };

  void Post(UINT message, LPARAM lParam) const;

  HWND window_;
  RunKind kind_;
  std::int64_t total_;
  WPARAM serial_;
  ULONGLONG startTick_;
  CRunControl control_;
  CRowQueue rows_{*this};
  std::mutex endLock_;
  std::condition_variable endSignal_;
  bool workerEnded_ = false;
  std::thread worker_;
};
