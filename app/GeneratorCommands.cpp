// The main window's commands: Generate, Generate to file, Save to file, To clipboard and
// Add from file, with the steps they share (filling the settings, choosing the output file,
// loading a charset file), and the runs behind the first three, on a worker thread.
#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/GeneratorDlg.h"
#include "app/ProgressDlg.h"
#include "app/UserChoices.h"
#include "app/WipeOnExit.h"
#include "engine/GenerationSettings.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "engine/RunMessages.h"
#include "platform/Services.h"
#include "resources/resource.h"

namespace {

// Filters as the dialogs want them: (description, pattern) pairs, each zero-terminated, and
// one more zero at the end (the literal's own).
constexpr wchar_t kListFilter[] = L"List of the passwords files(*.txt)\0*.txt\0All files (*.*)\0*.*\0";
constexpr wchar_t kCharsetFilter[] = L"Charset files (*.chr)\0*.chr\0All files (*.*)\0*.*\0";
constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
constexpr DWORD kOpenFlags =
    OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
// The dialogs' path buffer, terminating zero included.
constexpr std::size_t kPathBuffer = MAX_PATH;
// The timer that shows the progress window of a run still going after a second.
constexpr UINT_PTR kProgressTimer = 0x4B50;
constexpr UINT kProgressDelayMs = 1000;
// List rows inserted per message, so the window answers between batches.
constexpr std::size_t kRowBatch = 100;
// How long the end of a Windows session waits for a cancelled run.
constexpr DWORD kEndSessionWaitMs = 3000;

// The process's current directory, of any length; empty when it cannot be read.
std::wstring CurrentDirectory() {
  for (int attempt = 0; attempt < 3; ++attempt) {  // it may change between the two calls
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return {};
    std::wstring directory(needed, L'\0');
    const DWORD n = GetCurrentDirectoryW(needed, directory.data());
    if (n == 0) return {};
    if (n < needed) {
      directory.resize(n);
      return directory;
    }
  }
  return {};
}

// Runs the Open or Save dialog, owned by `owner`, starting in the current directory with the
// first filter selected. The chosen full path, or nothing for a cancel or a failed dialog.
std::optional<std::wstring> AskForFile(HWND owner, bool save, const wchar_t* title, const wchar_t* filter,
                                       DWORD flags) {
  std::vector<wchar_t> path(kPathBuffer, L'\0');
  const std::wstring directory = CurrentDirectory();
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path.data();
  ofn.nMaxFile = static_cast<DWORD>(path.size());
  ofn.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  ofn.lpstrTitle = title;
  ofn.Flags = flags;
  const bool chosen = save ? Services().ShowSaveFileDialog(ofn) : Services().ShowOpenFileDialog(ofn);
  if (!chosen) return std::nullopt;
  path.back() = L'\0';  // whatever the dialog did, the text ends inside the buffer
  return std::wstring(path.data());
}

// True when the last component of `path` (after the last backslash; a forward slash does
// not count) holds no full stop.
bool LacksExtension(const std::wstring& path) {
  for (std::size_t i = path.size(); i-- > 0;) {
    if (path[i] == L'\\') return true;
    if (path[i] == L'.') return false;
  }
  return true;
}

bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A handle of an open file, closed when the object goes.
class CFileHandle {
 public:
  explicit CFileHandle(HANDLE handle) : handle_(handle) {}
  ~CFileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  CFileHandle(const CFileHandle&) = delete;
  CFileHandle& operator=(const CFileHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// True when `path` names an existing file on a disk: not a folder, not a device.
bool IsRegularFile(const std::wstring& path) {
  if (!IsExistingFile(path)) return false;
  // Opened for no access at all, so that a file another program holds still answers.
  const CFileHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
  return file.Get() != INVALID_HANDLE_VALUE && GetFileType(file.Get()) == FILE_TYPE_DISK;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The bytes of an ASCII text as UTF-16.
std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// One warning for a run that did not complete; `path` is the output file, if any, and
// `kept` says it existed before the run. A text that names the file goes out in UTF-16,
// so that any file name shows.
void WarnAbout(GenerateResult result, const std::wstring& path, bool kept) {
  const SetsAndPlaces needs =
      result == GenerateResult::SetsDoNotFit ? CPasswordGenerator::EverySetNeeds(theSettings) : SetsAndPlaces{};
  const RunMessage message = RunFailureMessage(result, kept, needs);
  if (message.namesFile) {
    AppMessageBox(Widened(message.before) + Quoted(path) + Widened(message.after));
  } else if (!message.before.empty()) {
    AppMessageBox(message.before);
  }
}

// The clipboard, open for the lifetime of this object.
class CClipboard {
 public:
  explicit CClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~CClipboard() {
    if (open_) CloseClipboard();
  }
  CClipboard(const CClipboard&) = delete;
  CClipboard& operator=(const CClipboard&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// A movable global memory block, wiped and freed unless handed on with Release().
class CGlobalBlock {
 public:
  explicit CGlobalBlock(SIZE_T size) : block_(GlobalAlloc(GMEM_MOVEABLE, size)) {}
  ~CGlobalBlock() {
    if (block_ == nullptr) return;
    if (void* bytes = GlobalLock(block_)) {
      SecureWipe(bytes, GlobalSize(block_));
      GlobalUnlock(block_);
    }
    GlobalFree(block_);
  }
  CGlobalBlock(const CGlobalBlock&) = delete;
  CGlobalBlock& operator=(const CGlobalBlock&) = delete;
  HGLOBAL Get() const { return block_; }
  void Release() { block_ = nullptr; }

 private:
  HGLOBAL block_;
};

// Puts a copy of the `size` bytes at `data` on the open clipboard in `format`. False when
// that fails.
bool PutOnClipboard(UINT format, const void* data, std::size_t size) {
  CGlobalBlock block(size);
  if (block.Get() == nullptr) return false;
  void* bytes = GlobalLock(block.Get());
  if (bytes == nullptr) return false;
  std::memcpy(bytes, data, size);
  GlobalUnlock(block.Get());
  // The clipboard owns the block only once SetClipboardData has taken it.
  if (SetClipboardData(format, block.Get()) == nullptr) return false;
  block.Release();
  return true;
}

// Registered formats whose presence asks clipboard monitors, the clipboard history and
// cloud sync to leave the data alone. The last two read a DWORD: 0 means "no".
constexpr const char* kPrivacyFormats[] = {"ExcludeClipboardContentFromMonitorProcessing",
                                           "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard",
                                           "Clipboard Viewer Ignore"};

// Puts `text` on the clipboard as CF_TEXT, marked private by kPrivacyFormats. Failures end
// it silently: when the clipboard cannot be opened it keeps its contents; after that it has
// been emptied.
void CopyToClipboard(HWND owner, const std::string& text) {
  CClipboard clipboard(owner);
  if (!clipboard.IsOpen()) return;
  EmptyClipboard();
  if (!PutOnClipboard(CF_TEXT, text.c_str(), text.size() + 1)) return;
  const DWORD no = 0;
  for (const char* name : kPrivacyFormats) {
    if (const UINT format = RegisterClipboardFormatA(name)) PutOnClipboard(format, &no, sizeof(no));
  }
}

}  // namespace

void CGeneratorDlg::FillSettings() {
  PullControls();  // a failure has warned; the fields are used as they now stand
  theSettings.mode = static_cast<GenerationMode>(tabControl.GetCurSel());
  if (CRandomTypeDlg* random = RandomPage()) random->StoreSettings();
  if (CMaskTypeDlg* masked = MaskPage()) masked->StoreSettings();
  theSettings.useCapitals = useCapitals;
  theSettings.useSmall = useSmall;
  theSettings.useDigits = useDigits;
  theSettings.useSpecial = useSpecial;
  theSettings.useInclude = useInclude;
  theSettings.useExclude = useExclude;
  theSettings.includeText = includeText;
  theSettings.excludeText = excludeText;
  theSettings.count = count;
}

int CGeneratorDlg::ChooseOutputFile(bool forSave) {
  outputPath.clear();
  const wchar_t* title = forSave ? L"Save passwords to file ..." : L"Generate passwords to file ...";
  std::optional<std::wstring> path = AskForFile(m_hWnd, true, title, kListFilter, kSaveFlags);
  if (!path) return -1;
  if (LacksExtension(*path)) {
    *path += L".txt";
    // The dialog asked its overwrite question about the name as typed; this is the name
    // that will be replaced.
    if (IsExistingFile(*path) &&
        AppMessageBox(*path + L" already exists.\nDo you want to replace it?", MB_YESNO) != IDYES) {
      return -1;
    }
  }
  outputPath = *path;
  return 0;
}

void CGeneratorDlg::AddSymbolsFromFile(bool exclude) {
  const int field = exclude ? IDC_EXCLUDE_TEXT : IDC_INCLUDE_TEXT;
  const wchar_t* title = exclude ? L"Exclude symbols" : L"Include symbols";
  const std::optional<std::wstring> path = AskForFile(m_hWnd, false, title, kCharsetFilter, kOpenFlags);
  if (!path) {
    Item(field).Focus();
    return;
  }
  const std::optional<std::string> symbols = ReadCharsetFile(std::filesystem::path(*path));
  if (!symbols) {
    AppMessageBox(L"The file " + Quoted(*path) + L" could not be opened.");
    return;
  }
  PullControls();
  (exclude ? excludeText : includeText) += *symbols;
  PushControls();
  Item(field).Focus();
}

CWindowRun::Work CGeneratorDlg::GenerateWork(PasswordSink sink) const {
  // The worker's own copy of the settings; theRandom is the worker's alone while it runs
  // (the window is disabled, so no other command can touch it).
  return [settings = theSettings, sink = std::move(sink), secure = useSecureRandom,
          everySet = useEveryTickedSet](CWindowRun& run) {
    PasswordSink target = sink;
    if (target.kind == PasswordSink::Kind::List) target.rows = &run.Rows();
    RunOptions options;
    options.secure = secure;
    options.everySet = everySet;
    options.control = &run.Control();
    return CPasswordGenerator::Run(settings, target, options);
  };
}

void CGeneratorDlg::StartRun(std::unique_ptr<CWindowRun> run, CWindowRun::Work work) {
  run->focus = GetFocus();
  if (run->Kind() == RunKind::List) run->quiet = std::make_unique<CRedrawOff>(passwordList);
  // As under a modal window: nothing can start a second command while this one runs.
  EnableWindow(m_hWnd, FALSE);
  run_ = std::move(run);
  try {
    run_->Start(std::move(work));
  } catch (const std::exception&) {
    // No worker (std::system_error, std::bad_alloc): reported as a run that could not get
    // what it needs.
    const RunKind kind = run_->Kind();
    run_->ended = true;
    run_->result = kind == RunKind::List ? GenerateResult::OutOfMemory : GenerateResult::CannotCreate;
    FinishRun();
    return;
  }
  SetTimer(m_hWnd, kProgressTimer, kProgressDelayMs, nullptr);
}

bool CGeneratorDlg::OnRowsReady(WPARAM wParam, LPARAM, LRESULT& result) {
  result = 0;
  if (!run_ || run_->Serial() != wParam || run_->ended) return true;
  if (run_->InsertRows(passwordList, kRowBatch)) PostMessageA(m_hWnd, CWindowRun::kRowsReady, wParam, 0);
  return true;
}

bool CGeneratorDlg::OnRunEnded(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  if (!run_ || run_->Serial() != wParam || run_->ended) return true;
  run_->ended = true;
  run_->result = static_cast<GenerateResult>(lParam);
  EndProgressOrFinish();
  return true;
}

void CGeneratorDlg::EndProgressOrFinish() {
  if (run_->progress == nullptr) return FinishRun();
  // The progress window's loop returns first; OnTimer, which runs it, then puts the run away.
  // The run has ended, so the window may take input again; enabled before the progress
  // window goes, it gets the activation back, as the owner of any modal window does.
  EnableWindow(m_hWnd, TRUE);
  run_->progress->EndDialog(IDOK);
}

bool CGeneratorDlg::OnTimer(WPARAM wParam, LPARAM, LRESULT& result) {
  if (wParam != kProgressTimer) return false;
  result = 0;
  KillTimer(m_hWnd, kProgressTimer);
  if (!run_ || run_->ended) return true;
  CWindowRun* const run = run_.get();
  run->taskbar = std::make_unique<CTaskbarProgress>(m_hWnd);
  CProgressDlg progress(*this, *run);
  run->progress = &progress;
  progress.DoModal();
  // The run is still this window's: only its end (OnRunEnded) or the window's own
  // destruction ends the loop, and the window does not put a run away under the loop.
  if (run_.get() != run) return true;
  run->progress = nullptr;
  if (run->ended) FinishRun();
  return true;
}

bool CGeneratorDlg::OnEndSession(WPARAM wParam, LPARAM, LRESULT& result) {
  result = 0;
  if (wParam == FALSE || !run_ || run_->ended) return true;
  run_->endingSession = true;
  run_->Control().Cancel();
  // A cancelled run ends within a block; its temporary file goes with it. Should it not
  // end in time, the session ends regardless.
  if (!run_->WaitEnded(kEndSessionWaitMs)) return true;
  run_->ended = true;
  run_->result = GenerateResult::Cancelled;
  EndProgressOrFinish();
  return true;
}

void CGeneratorDlg::OnOK() {
  if (!run_) return CDialog::OnOK();
  run_->closeWith = IDOK;
  run_->Control().Cancel();
}

void CGeneratorDlg::OnCancel() {
  if (!run_) return CDialog::OnCancel();
  run_->closeWith = IDCANCEL;
  run_->Control().Cancel();
}

void CGeneratorDlg::FinishRun() {
  KillTimer(m_hWnd, kProgressTimer);
  const std::unique_ptr<CWindowRun> run = std::move(run_);
  run->Join();  // it has posted its end: at most a moment
  if (run->Kind() == RunKind::List) {
    while (run->InsertRows(passwordList, static_cast<std::size_t>(-1))) {
    }
    // A cancelled Generate leaves no partial list: the list stays as the command found it, empty.
    if (run->result == GenerateResult::Cancelled) passwordList.DeleteAllItems();
    run->quiet.reset();
  }
  run->taskbar.reset();
  EnableWindow(m_hWnd, TRUE);
  if (run->focus != nullptr && IsWindow(run->focus)) SetFocus(run->focus);
  if (run->endingSession) return;
  if (run->closeWith != 0) {
    // The user asked to leave: nothing more is said about the run.
    run->closeWith == IDOK ? CDialog::OnOK() : CDialog::OnCancel();
    return;
  }
  switch (run->Kind()) {
    case RunKind::List:
      WarnAbout(run->result, {}, false);
      PushControls();
      break;
    case RunKind::File:
      WarnAbout(run->result, run->path, run->targetWasFile);
      if (run->result != GenerateResult::CannotCreate) PushControls();
      break;
    case RunKind::Save:
      WarnAbout(run->result, run->path, run->targetWasFile);
      break;
  }
}

void CGeneratorDlg::OnGenerate() {
  // The window is disabled during a run; a command sent to it anyway (not by the user's
  // input) is ignored, so there is never a second run.
  if (run_) return;
  passwordList.DeleteAllItems();
  FillSettings();
  const std::int64_t rows = std::min<std::int64_t>(std::max(theSettings.count, 0), PasswordSink::kMaxListRows);
  auto run = std::make_unique<CWindowRun>(m_hWnd, RunKind::List, rows);
  // The list sink's rows are the run's own queue, filled in by GenerateWork.
  StartRun(std::move(run), GenerateWork(PasswordSink{PasswordSink::Kind::List, nullptr, {}}));
}

void CGeneratorDlg::OnGenerateToFile() {
  if (run_ || ChooseOutputFile(false) != 0) return;
  FillSettings();
  auto run = std::make_unique<CWindowRun>(m_hWnd, RunKind::File, std::max(theSettings.count, 0));
  run->path = outputPath;
  run->targetWasFile = IsRegularFile(outputPath);
  StartRun(std::move(run), GenerateWork(PasswordSink::File(std::filesystem::path(outputPath))));
}

void CGeneratorDlg::OnSecureRandom() {
  useSecureRandom = !useSecureRandom;
  CheckMenuItem(GetMenu(m_hWnd), IDM_SECURE_RANDOM, MF_BYCOMMAND | (useSecureRandom ? MF_CHECKED : MF_UNCHECKED));
  WriteSecureRandomChoice(useSecureRandom);  // if it fails, the choice holds for this run only
}

void CGeneratorDlg::OnEveryTickedSet() {
  useEveryTickedSet = !useEveryTickedSet;
  CheckMenuItem(GetMenu(m_hWnd), IDM_EVERY_TICKED_SET, MF_BYCOMMAND | (useEveryTickedSet ? MF_CHECKED : MF_UNCHECKED));
  WriteEveryTickedSetChoice(useEveryTickedSet);  // if it fails, the choice holds for this run only
}

void CGeneratorDlg::OnSaveToFile() {
  if (run_ || ChooseOutputFile(true) != 0) return;
  const int rows = passwordList.GetItemCount();
  auto run = std::make_unique<CWindowRun>(m_hWnd, RunKind::Save, std::max(rows, 0));
  run->path = outputPath;
  run->targetWasFile = IsRegularFile(outputPath);
  // The texts are read here, on the window's thread; the worker only writes them.
  run->saved.lines.resize(static_cast<std::size_t>(std::max(rows, 0)));
  for (int row = 0; row < rows; ++row) {
    std::string password = passwordList.GetItemText(row, 1);
    const CWipeOnExit wipe(password);
    run->saved.lines[static_cast<std::size_t>(row)].assign(password);
  }
  const std::filesystem::path target(outputPath);
  StartRun(std::move(run), [target](CWindowRun& run) {
    CPasswordListFile file;
    try {
      if (!file.Create(target)) return GenerateResult::CannotCreate;
    } catch (const std::bad_alloc&) {
      return GenerateResult::CannotCreate;  // the file was not touched
    }
    const std::vector<std::string>& lines = run.saved.lines;
    for (std::size_t row = 0; row < lines.size(); ++row) {
      // Cancelled: the file goes without Close, so the target stays as it was.
      if (run.Control().Report(static_cast<std::int64_t>(row))) return GenerateResult::Cancelled;
      if (!file.WriteLine(lines[row].data(), lines[row].size())) {
        file.Close();
        return GenerateResult::WriteFailed;
      }
    }
    run.Control().Report(static_cast<std::int64_t>(lines.size()));
    return file.Close() ? GenerateResult::Completed : GenerateResult::WriteFailed;
  });
}

void CGeneratorDlg::OnToClipboard() {
  if (passwordList.GetItemCount() <= 0) return;
  if (passwordList.GetSelectedCount() != 1) return;
  const int row = passwordList.GetSelectedRow();
  if (row < 0) return;
  std::string password = passwordList.GetItemText(row, 1);
  const CWipeOnExit wipe(password);
  CopyToClipboard(m_hWnd, password);
}

void CGeneratorDlg::OnAddIncludeFromFile() { AddSymbolsFromFile(false); }

void CGeneratorDlg::OnAddExcludeFromFile() { AddSymbolsFromFile(true); }
