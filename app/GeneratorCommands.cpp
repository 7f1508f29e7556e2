// The main window's commands: Generate, Generate to file, Save to file, To clipboard and
// Add from file, with the steps they share (filling the settings, choosing the output file,
// loading a charset file).
#include <windows.h>

#include <commdlg.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/GeneratorDlg.h"
#include "app/ListViewRows.h"
#include "app/UserChoices.h"
#include "app/WipeOnExit.h"
#include "engine/GenerationSettings.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "platform/Services.h"
#include "resources/resource.h"

namespace {

// Filters as the dialogs want them: (description, pattern) pairs, each zero-terminated, and
// one more zero at the end (the literal's own).
constexpr char kListFilter[] = "List of the passwords files(*.txt)\0*.txt\0All files (*.*)\0*.*\0";
constexpr char kCharsetFilter[] = "Charset files (*.chr)\0*.chr\0All files (*.*)\0*.*\0";
constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
constexpr DWORD kOpenFlags =
    OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
// The dialogs' path buffer, terminating zero included.
constexpr std::size_t kPathBuffer = MAX_PATH;

// The process's current directory, of any length; empty when it cannot be read.
std::string CurrentDirectory() {
  for (int attempt = 0; attempt < 3; ++attempt) {  // it may change between the two calls
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return {};
    std::string directory(needed, '\0');
    const DWORD n = GetCurrentDirectoryA(needed, directory.data());
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
std::optional<std::string> AskForFile(HWND owner, bool save, const char* title, const char* filter, DWORD flags) {
  std::vector<char> path(kPathBuffer, '\0');
  const std::string directory = CurrentDirectory();
  OPENFILENAMEA ofn{};
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
  path.back() = '\0';  // whatever the dialog did, the text ends inside the buffer
  return std::string(path.data());
}

// True when the last component of `path` (after the last backslash; a forward slash does
// not count) holds no full stop.
bool LacksExtension(const std::string& path) {
  for (std::size_t i = path.size(); i-- > 0;) {
    if (path[i] == '\\') return true;
    if (path[i] == '.') return false;
  }
  return true;
}

bool IsExistingFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

void WarnCannotCreate(const std::string& path) { AppMessageBox("The file " + Quoted(path) + " could not be created."); }

void WarnWriteFailed(const std::string& path) {
  AppMessageBox("The file " + Quoted(path) + " could not be written completely. The disk may be full.");
}

void WarnEmptyPool() {
  AppMessageBox(
      "No passwords were made: there are no characters to choose from.\n"
      "Tick at least one character set, or add symbols to include.");
}

// One warning for a run that did not complete; `path` is the output file, if any.
void WarnAbout(GenerateResult result, const std::string& path) {
  switch (result) {
    case GenerateResult::Completed:
    case GenerateResult::Cancelled:  // the user asked for it: nothing to say
      break;
    case GenerateResult::CannotCreate:
      WarnCannotCreate(path);
      break;
    case GenerateResult::EmptyPool:
      WarnEmptyPool();
      break;
    case GenerateResult::WriteFailed:
      WarnWriteFailed(path);
      break;
    case GenerateResult::RandomFailed:
      AppMessageBox("The system's secure random source failed. No passwords were made.");
      break;
    case GenerateResult::OutOfMemory:
      AppMessageBox("There is not enough memory to make these passwords. No passwords were made.");
      break;
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
  const char* title = forSave ? "Save passwords to file ..." : "Generate passwords to file ...";
  std::optional<std::string> path = AskForFile(m_hWnd, true, title, kListFilter, kSaveFlags);
  if (!path) return -1;
  if (LacksExtension(*path)) {
    *path += ".txt";
    // The dialog asked its overwrite question about the name as typed; this is the name
    // that will be replaced.
    if (IsExistingFile(*path) &&
        AppMessageBox(*path + " already exists.\nDo you want to replace it?", MB_YESNO) != IDYES) {
      return -1;
    }
  }
  outputPath = *path;
  return 0;
}

void CGeneratorDlg::AddSymbolsFromFile(bool exclude) {
  const int field = exclude ? IDC_EXCLUDE_TEXT : IDC_INCLUDE_TEXT;
  const char* title = exclude ? "Exclude symbols" : "Include symbols";
  const std::optional<std::string> path = AskForFile(m_hWnd, false, title, kCharsetFilter, kOpenFlags);
  if (!path) {
    Item(field).Focus();
    return;
  }
  const std::optional<std::string> symbols = ReadCharsetFile(*path);
  if (!symbols) {
    AppMessageBox("The file " + Quoted(*path) + " could not be opened.");
    return;
  }
  PullControls();
  (exclude ? excludeText : includeText) += *symbols;
  PushControls();
  Item(field).Focus();
}

void CGeneratorDlg::OnGenerate() {
  passwordList.DeleteAllItems();
  FillSettings();
  GenerateResult result;
  {
    CRedrawOff quiet(passwordList);
    CListViewRows rows(passwordList);
    result = Run(PasswordSink::List(rows));
  }
  WarnAbout(result, {});
  PushControls();
}

void CGeneratorDlg::OnGenerateToFile() {
  if (ChooseOutputFile(false) != 0) return;
  FillSettings();
  const GenerateResult result = Run(PasswordSink::File(outputPath));
  WarnAbout(result, outputPath);
  if (result == GenerateResult::CannotCreate) return;
  PushControls();
}

GenerateResult CGeneratorDlg::Run(const PasswordSink& sink) const {
  return useSecureRandom ? CPasswordGenerator::GenerateSecure(theSettings, sink)
                         : CPasswordGenerator::Generate(theSettings, sink);
}

void CGeneratorDlg::OnSecureRandom() {
  useSecureRandom = !useSecureRandom;
  CheckMenuItem(GetMenu(m_hWnd), IDM_SECURE_RANDOM, MF_BYCOMMAND | (useSecureRandom ? MF_CHECKED : MF_UNCHECKED));
  WriteSecureRandomChoice(useSecureRandom);  // if it fails, the choice holds for this run only
}

void CGeneratorDlg::OnSaveToFile() {
  if (ChooseOutputFile(true) != 0) return;
  CPasswordListFile file;
  if (!file.Create(outputPath)) {
    WarnCannotCreate(outputPath);
    return;
  }
  bool written = true;
  const int rows = passwordList.GetItemCount();
  for (int row = 0; row < rows && written; ++row) {
    std::string password = passwordList.GetItemText(row, 1);
    const CWipeOnExit wipe(password);
    written = file.WriteLine(password.data(), password.size());
  }
  const bool closed = file.Close();
  if (!written || !closed) WarnWriteFailed(outputPath);
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
