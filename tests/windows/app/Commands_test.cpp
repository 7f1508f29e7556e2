// The window commands against the real window, list view, clipboard and files, with the
// file dialogs and message boxes answered through the services: Generate, Generate to file,
// Save to file, To clipboard and Add from file, their warnings and their dialogs.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "engine/PasswordGenerator.h"
#include "engine/RandomSource.h"
#include "platform/WinApp.h"
#include "tests/engine/TempDir.h"
#include "tests/windows/CliProcess.h"
#include "tests/windows/app/MainWindowFixture.h"

namespace {

std::wstring Widen(const std::string& text) { return WidenAnsi(text); }

// Also records what the generic recorder leaves out of a file dialog's set-up.
class CDialogRecorder : public CRecordingServices {
 public:
  bool ShowOpenFileDialog(OPENFILENAMEW& ofn) override { return Record(ofn, false); }
  bool ShowSaveFileDialog(OPENFILENAMEW& ofn) override { return Record(ofn, true); }
  std::vector<OPENFILENAMEW> setups;

 private:
  bool Record(OPENFILENAMEW& ofn, bool save) {
    setups.push_back(ofn);
    EXPECT_EQ(ofn.lpstrFile[0], L'\0');  // no initial file name
    return save ? CRecordingServices::ShowSaveFileDialog(ofn) : CRecordingServices::ShowOpenFileDialog(ofn);
  }
};

struct Collected : PasswordRows {
  void AddRow(int, std::string_view, std::string_view password) override { passwords.emplace_back(password); }
  std::vector<std::string> passwords;
};

// The window's settings as a test states them, independently of FillSettings.
CGenerationSettings Defaults(std::int32_t count) {
  CGenerationSettings s;
  s.mask = "????????";
  s.symbolMask = "?";
  s.length = 8;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  s.count = count;
  return s;
}

std::vector<std::string> EngineList(const CGenerationSettings& s, std::uint32_t seed) {
  CRandomSource random;
  random.Seed(seed);
  Collected rows;
  EXPECT_EQ(CPasswordGenerator::Generate(s, PasswordSink::List(rows), random), GenerateResult::Completed);
  return rows.passwords;
}

std::string EngineFile(const CGenerationSettings& s, std::uint32_t seed, const std::string& path) {
  CRandomSource random;
  random.Seed(seed);
  EXPECT_EQ(CPasswordGenerator::Generate(s, PasswordSink::File(path), random), GenerateResult::Completed);
  return TempDir::Read(path);
}

std::string ClipboardText() {
  if (!OpenClipboard(nullptr)) return "<not open>";
  std::string text = "<no text>";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void PutOnClipboard(const std::string& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  CloseClipboard();
}

// The registered formats on the clipboard, by name, each with its data.
std::map<std::string, std::string> RegisteredClipboardFormats() {
  std::map<std::string, std::string> formats;
  if (!OpenClipboard(nullptr)) return formats;
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    char name[256] = {};
    if (GetClipboardFormatNameA(format, name, sizeof(name)) <= 0) continue;
    std::string& data = formats[name];
    if (HANDLE block = GetClipboardData(format)) {
      if (const char* bytes = static_cast<const char*>(GlobalLock(block))) {
        data.assign(bytes, GlobalSize(block));
        GlobalUnlock(block);
      }
    }
  }
  CloseClipboard();
  return formats;
}

// Holds a file open with no sharing, as another program writing it would.
struct Locked {
  explicit Locked(const std::string& path)
      : handle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~Locked() { CloseHandle(handle); }
  HANDLE handle;
};

class CommandsTest : public MainWindowTest {
 protected:
  CommandsTest() { app.SetMainWindow(&dialog); }
  ~CommandsTest() override { app.SetMainWindow(nullptr); }

  void Choose(const std::string& path) { Choose(WidenAnsi(path)); }
  void Choose(const std::wstring& path) {
    recorder.fileChosen = true;
    recorder.filePath = path;
  }
  void Cancel() { recorder.fileChosen = false; }
  void Generate(std::uint32_t seed) {
    theRandom.Seed(seed);
    RunCommand(IDC_GENERATE);
  }
  void GenerateToFile(std::uint32_t seed, const std::string& path) {
    theRandom.Seed(seed);
    Choose(path);
    RunCommand(IDC_GENERATE_TO_FILE);
  }
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (int row = 0; row < dialog.passwordList.GetItemCount(); ++row)
      texts.push_back(dialog.passwordList.GetItemText(row, column));
    return texts;
  }
  // The message boxes shown so far, then forgotten; each must be the one style of warning.
  std::vector<std::string> Warnings() {
    for (const auto& box : recorder.boxes) EXPECT_EQ(box.owner, hwnd());
    services.boxes = std::move(recorder.boxes);
    recorder.boxes.clear();
    return TakeWarnings();
  }

  CWinApp app;
  CDialogRecorder recorder;
  CScopedServices recorderScope{recorder};
  TempDir dir;
};

TEST_F(CommandsTest, GenerateEmptiesTheListFirstAndCapsItAtOneThousandRows) {
  TypeOver(item(IDC_COUNT), "5000");
  Generate(7);
  const auto ids = Column(0);
  ASSERT_EQ(ids.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(ids[i], std::to_string(i));
  EXPECT_EQ(Column(1), EngineList(Defaults(5000), 7));
  EXPECT_EQ(theSettings.count, 5000);

  TypeOver(item(IDC_COUNT), "3");
  Generate(8);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"0", "1", "2"}));  // the earlier rows are gone
  EXPECT_EQ(Column(1), EngineList(Defaults(3), 8));
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, EveryGeneratePathMakesWhatTheEngineMakesForTheSameSeed) {
  CGenerationSettings variable = Defaults(300);
  variable.variableLength = 1;
  variable.length = 30;
  variable.useSpecial = 1;
  CGenerationSettings masked = Defaults(300);
  masked.mode = GenerationMode::Masked;
  masked.mask = "ab??-#?x";
  masked.symbolMask = "?#";
  masked.useInclude = masked.useExclude = 1;
  masked.includeText = "~%";
  masked.excludeText = "0Oo";
  masked.length = 30;  // the Random page keeps its length while the Masked tab is used
  masked.variableLength = 1;

  TypeOver(item(IDC_COUNT), "300");
  Click(item(IDC_USE_SPECIAL));
  Click(randomItem(IDC_VARIABLE_LENGTH));
  TypeOver(randomItem(IDC_LENGTH), "30");
  const auto check = [&](const CGenerationSettings& expected, const std::string& name) {
    for (int byMenu = 0; byMenu < 2; ++byMenu) {
      theRandom.Seed(99);
      if (byMenu) {
        SendMessageA(hwnd(), WM_COMMAND, IDC_GENERATE, 0);
        FinishRun();
      } else {
        RunCommand(IDC_GENERATE);
      }
      EXPECT_EQ(Column(1), EngineList(expected, 99)) << name << byMenu;
    }
    CRandomSource after;
    after.Seed(99);
    CPasswordGenerator::Generate(expected, PasswordSink::File(dir.File("engine.txt")), after);
    GenerateToFile(99, dir.File(name));
    EXPECT_EQ(TempDir::Read(dir.File(name)), EngineFile(expected, 99, dir.File("engine.txt"))) << name;
    EXPECT_EQ(theRandom.State(), after.State()) << name;  // no draw more, no draw less
  };
  check(variable, "variable.txt");

  ClickTab(item(IDC_TYPE_TAB), 1);
  TypeOver(maskItem(IDC_MASK), masked.mask);
  TypeOver(maskItem(IDC_SYMBOL_MASK), masked.symbolMask);
  Click(item(IDC_USE_SPECIAL));
  masked.useSpecial = 0;
  Click(item(IDC_USE_INCLUDE));
  TypeOver(item(IDC_INCLUDE_TEXT), masked.includeText);
  Click(item(IDC_USE_EXCLUDE));
  TypeOver(item(IDC_EXCLUDE_TEXT), masked.excludeText);
  check(masked, "masked.txt");
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, TheCommandLineWritesTheWindowsFileForTheSameSeed) {
  TypeOver(item(IDC_COUNT), "3000");
  Click(item(IDC_USE_SPECIAL));
  TypeOver(randomItem(IDC_LENGTH), "12");
  const auto same = [&](const std::string& name, const std::wstring& options) {
    const std::string window = dir.File(name + "-window.txt"), cli = dir.File(name + "-cli.txt");
    GenerateToFile(4321, window);
    ASSERT_EQ(RunExe(L"--seed 4321 -n 3000 -s CSDP " + options + L" -o \"" + Widen(cli) + L"\"").status, 0u) << name;
    EXPECT_EQ(TempDir::Read(cli), TempDir::Read(window)) << name;
    EXPECT_FALSE(TempDir::Read(cli).empty()) << name;
  };
  same("fixed", L"-l 12");
  Click(randomItem(IDC_VARIABLE_LENGTH));
  same("variable", L"-l 12 --variable");
  ClickTab(item(IDC_TYPE_TAB), 1);
  TypeOver(maskItem(IDC_MASK), "id-##??-x");
  TypeOver(maskItem(IDC_SYMBOL_MASK), "#");
  same("masked", L"-m id-##??-x --marker #");
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, GenerateToFileWritesEveryPasswordAndLeavesTheListAlone) {
  Generate(1);
  const auto rows = Column(1);
  TypeOver(item(IDC_COUNT), "5000");
  GenerateToFile(2, dir.File("all.txt"));
  EXPECT_EQ(dialog.outputPath, Widen(dir.File("all.txt")));
  EXPECT_EQ(TempDir::Read(dir.File("all.txt")), EngineFile(Defaults(5000), 2, dir.File("engine.txt")));
  EXPECT_EQ(TempDir::Read(dir.File("all.txt")).size(), 5000u * 10);
  EXPECT_EQ(Column(1), rows);
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, FileDialogsAndTheirCancelPaths) {
  Generate(1);
  const auto rows = Column(1);
  theSettings = CGenerationSettings{};
  Click(item(IDC_USE_INCLUDE));
  Click(item(IDC_USE_EXCLUDE));
  TypeOver(item(IDC_INCLUDE_TEXT), "in");
  Cancel();
  for (int id : {IDC_GENERATE_TO_FILE, IDC_SAVE_TO_FILE}) {
    dialog.outputPath = L"stale";
    Click(item(id));
    EXPECT_EQ(dialog.outputPath, L"") << id;
  }
  EXPECT_EQ(theSettings.count, 0);  // not filled
  Click(item(IDC_ADD_INCLUDE));
  EXPECT_EQ(GetFocus(), item(IDC_INCLUDE_TEXT));
  Click(item(IDC_ADD_EXCLUDE));
  EXPECT_EQ(GetFocus(), item(IDC_EXCLUDE_TEXT));
  EXPECT_EQ(dialog.includeText, "");  // nothing pulled either
  EXPECT_EQ(Column(1), rows);

  const std::string list = "List of the passwords files(*.txt)|*.txt|All files (*.*)|*.*|";
  const std::string charset = "Charset files (*.chr)|*.chr|All files (*.*)|*.*|";
  const DWORD save = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  const DWORD open = save | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  const struct {
    bool save;
    std::string title, filter;
    DWORD flags;
  } expected[] = {{true, "Generate passwords to file ...", list, save},
                  {true, "Save passwords to file ...", list, save},
                  {false, "Include symbols", charset, open},
                  {false, "Exclude symbols", charset, open}};
  wchar_t cwd[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_EQ(recorder.fileDialogs.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const auto& seen = recorder.fileDialogs[i];
    EXPECT_EQ(seen.save, expected[i].save) << i;
    EXPECT_EQ(seen.title, expected[i].title) << i;
    EXPECT_EQ(seen.filter, expected[i].filter) << i;
    EXPECT_EQ(seen.flags, expected[i].flags) << i;
    EXPECT_EQ(seen.owner, hwnd()) << i;
    EXPECT_EQ(seen.initialDirectory, cwd) << i;
    EXPECT_EQ(recorder.setups[i].nFilterIndex, 1u) << i;
    EXPECT_EQ(recorder.setups[i].lpstrDefExt, nullptr) << i;
  }
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, InitialDirectoryWhateverTheCurrentDirectorysLength) {
  char before[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, before);
  std::string deep = dir.File("deep");
  while (deep.size() < 210) deep += "\\" + std::string(20, 'd');
  std::filesystem::create_directories(deep);
  ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
  Cancel();
  RunCommand(IDC_SAVE_TO_FILE);
  SetCurrentDirectoryA(before);
  ASSERT_EQ(recorder.fileDialogs.size(), 1u);
  EXPECT_EQ(recorder.fileDialogs[0].initialDirectory, Widen(deep));
}

TEST_F(CommandsTest, TxtIsAppendedWhenTheLastComponentHasNoFullStop) {
  std::filesystem::create_directories(dir.File("out"));
  std::filesystem::create_directories(dir.File("out.d"));
  const struct {
    std::string chosen, used, written;
  } cases[] = {
      {"out\\list", "out\\list.txt", "out\\list.txt"},
      {"out.d\\list", "out.d\\list.txt", "out.d\\list.txt"},
      {"out\\list.csv", "out\\list.csv", "out\\list.csv"},
      {"out\\list.", "out\\list.", "out\\list"},       // the system drops the trailing full stop
      {"out.d/plain", "out.d/plain", "out.d\\plain"},  // a forward slash is no separator
  };
  for (const auto& c : cases) {
    Choose(dir.File(c.chosen));
    RunCommand(IDC_SAVE_TO_FILE);
    EXPECT_EQ(dialog.outputPath, Widen(dir.File(c.used))) << c.chosen;
    EXPECT_TRUE(std::filesystem::exists(dir.File(c.written))) << c.chosen;
  }
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, TheAppendedNameGetsItsOwnOverwriteQuestion) {
  TempDir::Write(dir.File("list.txt"), "old");
  Choose(dir.File("list"));
  recorder.boxAnswer = IDNO;
  RunCommand(IDC_SAVE_TO_FILE);
  EXPECT_EQ(dialog.outputPath, L"");
  EXPECT_EQ(TempDir::Read(dir.File("list.txt")), "old");
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
  EXPECT_EQ(recorder.boxes[0].caption, "app_tests");
  EXPECT_NE(recorder.boxes[0].text.find(dir.File("list.txt")), std::string::npos);
  GenerateToFile(1, dir.File("list"));  // No there ends Generate to file before the fill
  EXPECT_EQ(theSettings.count, 0);
  EXPECT_EQ(TempDir::Read(dir.File("list.txt")), "old");
  recorder.boxes.clear();

  recorder.boxAnswer = IDYES;
  RunCommand(IDC_SAVE_TO_FILE);
  EXPECT_EQ(dialog.outputPath, Widen(dir.File("list.txt")));
  EXPECT_EQ(recorder.boxes.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(dir.File("list.txt")));
  EXPECT_EQ(TempDir::Read(dir.File("list.txt")), "");  // an empty list saves as 0 bytes
  recorder.boxes.clear();

  Choose(dir.File("list.txt"));  // named in full: the dialog has asked already
  RunCommand(IDC_SAVE_TO_FILE);
  Choose(dir.File("fresh"));  // nothing to replace
  RunCommand(IDC_SAVE_TO_FILE);
  EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(CommandsTest, SaveAndCopyTakeTheListsPasswordsWhole) {
  TypeOver(randomItem(IDC_LENGTH), "20");
  Generate(3);
  TypeOver(randomItem(IDC_LENGTH), "8");
  GenerateToFile(4, dir.File("eight.txt"));
  EXPECT_EQ(TempDir::Read(dir.File("eight.txt")).size(), 10u * 10);
  Choose(dir.File("saved.txt"));
  RunCommand(IDC_SAVE_TO_FILE);
  std::string lines;
  for (const auto& password : Column(1)) {
    EXPECT_EQ(password.size(), 20u);
    lines += password + "\r\n";
  }
  EXPECT_EQ(TempDir::Read(dir.File("saved.txt")), lines);

  PutOnClipboard("before");
  Click(item(IDC_TO_CLIPBOARD));  // no row selected
  EXPECT_EQ(ClipboardText(), "before");
  dialog.passwordList.SelectRow(3);
  Click(item(IDC_TO_CLIPBOARD));
  EXPECT_EQ(ClipboardText(), Column(1)[3]);

  // A password of 1,000,000 characters is saved and copied whole.
  TypeOver(randomItem(IDC_LENGTH), "1000000");
  TypeOver(item(IDC_COUNT), "1");
  Generate(5);
  const std::string longest = Column(1).at(0);
  EXPECT_EQ(longest.size(), 1000000u);
  CGenerationSettings s = Defaults(1);
  s.length = 1000000;
  EXPECT_EQ(longest, EngineList(s, 5).at(0));
  Choose(dir.File("long.txt"));
  RunCommand(IDC_SAVE_TO_FILE);
  EXPECT_EQ(TempDir::Read(dir.File("long.txt")), longest + "\r\n");
  dialog.passwordList.SelectRow(0);
  Click(item(IDC_TO_CLIPBOARD));
  EXPECT_EQ(ClipboardText(), longest);
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, ToClipboardWithAnEmptyListLeavesTheClipboardAlone) {
  PutOnClipboard("kept");
  Click(item(IDC_TO_CLIPBOARD));
  EXPECT_EQ(ClipboardText(), "kept");
  // A masked password of 150 characters.
  ClickTab(item(IDC_TYPE_TAB), 1);
  TypeOver(maskItem(IDC_MASK), std::string(150, '?'));
  Generate(6);
  dialog.passwordList.SelectRow(9);
  Click(item(IDC_TO_CLIPBOARD));
  EXPECT_EQ(ClipboardText().size(), 150u);
  EXPECT_EQ(ClipboardText(), Column(1)[9]);
}

TEST_F(CommandsTest, ToClipboardKeepsTheCopyOutOfMonitorsHistoryAndCloudSync) {
  Generate(8);
  dialog.passwordList.SelectRow(2);
  Click(item(IDC_TO_CLIPBOARD));
  EXPECT_EQ(ClipboardText(), Column(1)[2]);
  const auto formats = RegisteredClipboardFormats();
  const std::string zero(sizeof(DWORD), '\0');
  EXPECT_EQ(formats.count("ExcludeClipboardContentFromMonitorProcessing"), 1u);
  EXPECT_EQ(formats.count("Clipboard Viewer Ignore"), 1u);
  for (const char* name : {"CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"}) {
    ASSERT_EQ(formats.count(name), 1u) << name;
    EXPECT_EQ(formats.at(name).substr(0, sizeof(DWORD)), zero) << name;
  }
}

TEST_F(CommandsTest, AddFromFileAppendsTheCharsetFilesSymbols) {
  std::string printable;
  for (int i = 0; i < 3000; ++i) printable += static_cast<char>('!' + i % 94);
  TempDir::Write(dir.File("big.chr"), printable);
  TempDir::Write(dir.File("zero.chr"), std::string("0123456789") + '\0' + "after");
  TempDir::Write(dir.File("empty.chr"), "");

  Click(item(IDC_USE_EXCLUDE));
  Choose(dir.File("zero.chr"));
  Click(item(IDC_ADD_EXCLUDE));
  EXPECT_EQ(TextOf(item(IDC_EXCLUDE_TEXT)), "0123456789");
  SetFocus(item(IDC_COUNT));
  Choose(dir.File("empty.chr"));
  Click(item(IDC_ADD_EXCLUDE));
  EXPECT_EQ(dialog.excludeText, "0123456789");
  EXPECT_EQ(GetFocus(), item(IDC_EXCLUDE_TEXT));

  // Typed symbols come first; the file's first 1,000 bytes follow.
  Click(item(IDC_USE_INCLUDE));
  TypeOver(item(IDC_INCLUDE_TEXT), "ab");
  Choose(dir.File("big.chr"));
  Click(item(IDC_ADD_INCLUDE));
  EXPECT_EQ(dialog.includeText, "ab" + printable.substr(0, 1000));
  EXPECT_EQ(TextOf(item(IDC_INCLUDE_TEXT)), dialog.includeText);
  EXPECT_EQ(GetFocus(), item(IDC_INCLUDE_TEXT));
  EXPECT_TRUE(Warnings().empty());

  // A file that cannot be opened: one warning naming it, nothing changes, the focus stays.
  Locked locked(dir.File("big.chr"));
  Choose(dir.File("big.chr"));
  SetFocus(item(IDC_COUNT));
  dialog.Send(WM_COMMAND, MAKEWPARAM(IDC_ADD_INCLUDE, BN_CLICKED), 0);
  EXPECT_EQ(GetFocus(), item(IDC_COUNT));
  EXPECT_EQ(dialog.includeText.size(), 1002u);
  EXPECT_TRUE(Mentions(Warnings(), dir.File("big.chr")));
}

TEST_F(CommandsTest, CreateAndWriteFailuresWarnOnceEach) {
  Generate(1);
  const auto rows = Column(1);
  // Cannot be created: a missing folder, and a file another program holds.
  GenerateToFile(2, dir.File("missing\\out.txt"));
  EXPECT_TRUE(Mentions(Warnings(), "could not be created"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  TempDir::Write(dir.File("held.txt"), "old");
  {
    Locked held(dir.File("held.txt"));
    Choose(dir.File("held.txt"));
    RunCommand(IDC_SAVE_TO_FILE);
    EXPECT_TRUE(Mentions(Warnings(), dir.File("held.txt")));
  }
  EXPECT_EQ(TempDir::Read(dir.File("held.txt")), "old");

  // No push after a create failure: with the pull stopped at an over-long include text, the
  // exclude field keeps its old empty text, and a push would write it over the typed one.
  Click(item(IDC_USE_INCLUDE));
  Click(item(IDC_USE_EXCLUDE));
  dialog.includeText = std::string(1001, 'i');
  dialog.PushControls();
  TypeOver(item(IDC_EXCLUDE_TEXT), "xy");
  GenerateToFile(2, dir.File("missing\\out.txt"));
  EXPECT_EQ(Warnings().size(), 2u);  // the too-long text, then the file
  EXPECT_EQ(TextOf(item(IDC_EXCLUDE_TEXT)), "xy");
  dialog.includeText.clear();
  dialog.PushControls();

  // Every write to Wine's view of the full device fails (ERROR_DISK_FULL). The trailing full
  // stop keeps ".txt" off, and the system drops it when opening.
  const std::string full = "Z:\\dev\\full.";
  HANDLE probe = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no full device here";
  CloseHandle(probe);
  TypeOver(item(IDC_COUNT), "5000");
  GenerateToFile(3, full);
  EXPECT_TRUE(Mentions(Warnings(), "could not be written completely"));
  Choose(full);
  RunCommand(IDC_SAVE_TO_FILE);
  EXPECT_TRUE(Mentions(Warnings(), "could not be written completely"));
  EXPECT_EQ(Column(1), rows);
}

TEST_F(CommandsTest, AnEmptyPoolWarnsAndTouchesNoFile) {
  Generate(1);
  for (int id : {IDC_USE_CAPITALS, IDC_USE_SMALL, IDC_USE_DIGITS}) Click(item(id));
  Generate(2);
  EXPECT_TRUE(Mentions(Warnings(), "no characters"));
  EXPECT_EQ(dialog.passwordList.GetItemCount(), 0);
  TempDir::Write(dir.File("kept.txt"), "old");
  GenerateToFile(3, dir.File("kept.txt"));
  EXPECT_TRUE(Mentions(Warnings(), "no characters"));
  EXPECT_EQ(TempDir::Read(dir.File("kept.txt")), "old");

  // A mask without its marker draws nothing, so it needs no characters.
  ClickTab(item(IDC_TYPE_TAB), 1);
  TypeOver(maskItem(IDC_MASK), "fixed");
  Generate(4);
  EXPECT_EQ(Column(1), std::vector<std::string>(10, "fixed"));
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(CommandsTest, TheMainMenuCarriesTheButtonsIds) {
  HMENU main = GetSubMenu(GetMenu(hwnd()), 0);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetMenuItemID(main, 0), static_cast<UINT>(IDC_GENERATE));
  EXPECT_EQ(GetMenuItemID(main, 1), static_cast<UINT>(IDC_GENERATE_TO_FILE));
  EXPECT_EQ(GetMenuItemID(main, 3), static_cast<UINT>(IDC_SAVE_TO_FILE));
  // A menu choice: code 0, no control.
  Cancel();
  SendMessageA(hwnd(), WM_COMMAND, IDC_GENERATE_TO_FILE, 0);
  SendMessageA(hwnd(), WM_COMMAND, IDC_SAVE_TO_FILE, 0);
  EXPECT_FALSE(dialog.IsRunning());
  ASSERT_EQ(recorder.fileDialogs.size(), 2u);
  EXPECT_EQ(recorder.fileDialogs[0].title, "Generate passwords to file ...");
  EXPECT_EQ(recorder.fileDialogs[1].title, "Save passwords to file ...");
}

// Paths in any script: a folder named in Cyrillic and Japanese, through the file dialogs, the
// writes, a replacement, Add from file and the messages that show a path.
TEST_F(CommandsTest, PathsInAnyScriptWorkEverywhere) {
  const std::filesystem::path folder = std::filesystem::path(Widen(dir.File("x"))).parent_path() /
                                       L"\u041a\u043b\u044e\u0447\u0438 \u30d1\u30b9\u30ef\u30fc\u30c9";
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  const auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::wstring list = (folder / L"list").wstring();
  const std::wstring listTxt = list + L".txt";

  theRandom.Seed(1);
  Choose(list);
  RunCommand(IDC_GENERATE_TO_FILE);
  EXPECT_EQ(dialog.outputPath, listTxt);
  EXPECT_EQ(read(listTxt), EngineFile(Defaults(10), 1, dir.File("engine.txt")));
  // Replaced, after the question about the appended name, which shows the path whole.
  recorder.boxAnswer = IDYES;
  theRandom.Seed(2);
  Choose(list);
  RunCommand(IDC_GENERATE_TO_FILE);
  EXPECT_EQ(read(listTxt), EngineFile(Defaults(10), 2, dir.File("engine.txt")));
  recorder.boxAnswer = IDOK;

  Generate(3);
  Choose((folder / L"saved.txt").wstring());
  RunCommand(IDC_SAVE_TO_FILE);
  std::string lines;
  for (const auto& password : Column(1)) lines += password + "\r\n";
  EXPECT_EQ(read(folder / L"saved.txt"), lines);

  std::ofstream(folder / L"set.chr", std::ios::binary) << "xyz";
  Click(item(IDC_USE_INCLUDE));
  Choose((folder / L"set.chr").wstring());
  Click(item(IDC_ADD_INCLUDE));
  EXPECT_EQ(dialog.includeText, "xyz");

  // Failures name the path as it is, and a device being written is no existing file to keep.
  const std::wstring missingSet = (folder / L"\u0444.chr").wstring();
  Choose(missingSet);
  Click(item(IDC_ADD_INCLUDE));
  const std::wstring missingFolder = (folder / L"\u30d5" / L"out.txt").wstring();
  Choose(missingFolder);
  RunCommand(IDC_GENERATE_TO_FILE);
  Choose(std::wstring(L"Z:\\dev\\full."));
  RunCommand(IDC_GENERATE_TO_FILE);
  std::vector<std::wstring> texts;
  for (const auto& box : recorder.boxes) texts.push_back(box.wideText);
  EXPECT_EQ(texts, (std::vector<std::wstring>{
                       listTxt + L" already exists.\nDo you want to replace it?",
                       L"The file \"" + missingSet + L"\" could not be opened.",
                       L"The file \"" + missingFolder + L"\" could not be created.",
                       L"The file \"Z:\\dev\\full.\" could not be written completely. The disk may be full.",
                   }));
  for (const auto& box : recorder.boxes) EXPECT_EQ(box.caption, "app_tests");
  recorder.boxes.clear();
}

class ModalCommandsTest : public ::testing::Test {
 protected:
  ModalCommandsTest() { theSettings = CGenerationSettings{}; }
  CRecordingServices services;
  CScopedServices scope{services};
  CGeneratorDlg dialog;
};

TEST_F(ModalCommandsTest, AltGAltFAndAltSRunTheCommands) {
  int rows = 0;
  const auto press = [](char key) {
    return [key](HWND) { PostMessageA(GetFocus(), WM_SYSCHAR, static_cast<WPARAM>(key), 1 << 29); };
  };
  const auto finished = [&](HWND) { PumpUntil([&] { return !dialog.IsRunning(); }, 60000); };
  RunModalSteps(dialog, {press('g'), finished, [&](HWND) { rows = dialog.passwordList.GetItemCount(); }, press('f'),
                         press('s'), [&](HWND) { dialog.EndDialog(IDCANCEL); }});
  EXPECT_EQ(rows, 10);
  ASSERT_EQ(services.fileDialogs.size(), 2u);
  EXPECT_EQ(services.fileDialogs[0].title, "Generate passwords to file ...");
  EXPECT_EQ(services.fileDialogs[1].title, "Save passwords to file ...");
}

}  // namespace
