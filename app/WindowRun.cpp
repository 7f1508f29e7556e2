// CWindowRun: the worker thread, its row queue and its reports to the window.
#include "app/WindowRun.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>

#include "engine/Wipe.h"

namespace {
std::atomic<WPARAM> lastSerial{0};

void Wipe(std::string& text) { SecureWipe(text.data(), text.size()); }
}  // namespace

CWipedLines::~CWipedLines() {
  for (std::string& line : lines) Wipe(line);
}

CWindowRun::CRowQueue::~CRowQueue() {
  for (Row& row : rows) Wipe(row.password);
}

void CWindowRun::CRowQueue::AddRow(int index, std::string_view id, std::string_view password) {
  bool post = false;
  {
    std::lock_guard<std::mutex> hold(lock);
    // Built in place: a temporary moved in would leave a short password's bytes behind.
    Row& row = rows.emplace_back();
    row.index = index;
    row.id.assign(id);
    row.password.assign(password);
    post = !posted;
    posted = true;
  }
  if (post) run_.Post(kRowsReady, 0);
}

CWindowRun::CWindowRun(HWND window, RunKind kind, std::int64_t total)
    : window_(window), kind_(kind), total_(total), serial_(++lastSerial), startTick_(GetTickCount64()) {
  // Room for every row of the list at once, so that adding rows never moves the strings.
  if (kind == RunKind::List) rows_.rows.reserve(static_cast<std::size_t>(total));
}

CWindowRun::~CWindowRun() {
  control_.Cancel();
  Join();
}

void CWindowRun::Post(UINT message, LPARAM lParam) const { PostMessageA(window_, message, serial_, lParam); }

void CWindowRun::Start(Work work) {
  worker_ = std::thread([this, work = std::move(work)] {
    GenerateResult result = GenerateResult::WriteFailed;
    try {
      result = work(*this);
    } catch (const std::bad_alloc&) {
      result = GenerateResult::OutOfMemory;
    } catch (...) {
      result = kind_ == RunKind::List ? GenerateResult::OutOfMemory : GenerateResult::WriteFailed;
    }
    {
      std::lock_guard<std::mutex> hold(endLock_);
      workerEnded_ = true;
    }
    endSignal_.notify_all();
    Post(kEnded, static_cast<LPARAM>(result));
  });
}

bool CWindowRun::InsertRows(CListCtrl list, std::size_t most) {
  // The worker waits at its next row while a batch goes in; the rows are never copied.
  std::lock_guard<std::mutex> hold(rows_.lock);
  const std::size_t end = rows_.next + std::min(most, rows_.rows.size() - rows_.next);
  for (; rows_.next < end; ++rows_.next) {
    CRowQueue::Row& row = rows_.rows[rows_.next];
    const int at = list.InsertItem(row.index, row.id);
    if (at >= 0) list.SetItemText(at, 1, row.password);
    Wipe(row.password);
  }
  if (rows_.next < rows_.rows.size()) return true;
  rows_.rows.clear();  // the capacity stays: no reallocation moves a password again
  rows_.next = 0;
  rows_.posted = false;
  return false;
}

bool CWindowRun::WaitEnded(DWORD milliseconds) {
  {
    std::unique_lock<std::mutex> hold(endLock_);
    if (!endSignal_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return workerEnded_; })) {
      return false;
    }
  }
  Join();
  return true;
}

void CWindowRun::Join() {
  if (worker_.joinable()) worker_.join();
}
