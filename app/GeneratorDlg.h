// The main window: its frame (icon, system menu, painting while minimised), its controls and
// fields with their exchange, the type pages on the tab control and the editing handlers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/MaskTypeDlg.h"
#include "app/RandomTypeDlg.h"
#include "app/WindowRun.h"
#include "engine/PasswordGenerator.h"
#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Dpi.h"

class CGeneratorDlg : public CDialog {
 public:
  // System-menu command that opens the About box; 0x0010 to 0x001F all do.
  static constexpr UINT AboutSystemCommand = 0x0010;
  static constexpr int kMaxSymbols = 1000;
  static constexpr std::int32_t kMinCount = 1;
  static constexpr std::int32_t kMaxCount = 100000000;

  // The window itself is made by DoModal (or Create).
  CGeneratorDlg();
  // Destroys a window that still exists while this class's handlers can still run, so the
  // pages are deleted through WM_DESTROY (the base's destructor would be too late for that).
  ~CGeneratorDlg() override;

  // The pages, found through the data of tab items 0 and 1; null before they exist.
  CRandomTypeDlg* RandomPage() const;
  CMaskTypeDlg* MaskPage() const;
  // True from the start of a Generate, Generate to file or Save to file run until it has
  // ended and been put away (the window is disabled for as long).
  bool IsRunning() const { return run_ != nullptr; }

  // Keyboard (GeneratorKeyboard.cpp): Ctrl+Tab and Ctrl+Shift+Tab (or Ctrl+Page Down and
  // Ctrl+Page Up) switch pages from anywhere in the window; Tab and Shift+Tab stop at the tab
  // control between the controls above it and the shown page's; Up and Down in an edit box
  // step the up-down control beside it. True when the key was taken.
  bool PreTranslateMessage(MSG& msg) override;

  // Fields, in the order of the settings they feed.
  std::wstring outputPath;  // set by the file commands
  HICON appIcon = nullptr;  // the large icon at the window's DPI; owned by the window object
  CTabCtrl tabControl;
  std::int32_t useCapitals = 1;
  std::int32_t useSmall = 1;
  std::int32_t useDigits = 1;
  std::int32_t useSpecial = 0;
  std::int32_t useInclude = 0;
  std::int32_t useExclude = 0;
  std::string includeText;
  std::string excludeText;
  std::int32_t count = 10;
  CListCtrl passwordList;
  // Generate and Generate to file draw from the system's secure source (Main menu check);
  // read from the user's registry when the window initialises.
  bool useSecureRandom = false;
  // Each password made holds a character of every ticked set (Main menu check); read
  // likewise.
  bool useEveryTickedSet = false;

 protected:
  MessageTable GetMessageTable() const override;
  ExchangeMap GetExchangeMap() override { return exchange_; }
  // Pushes the fields, completes the system menu, sets the icons, creates the pages, sets up
  // the include and exclude rows and the list, seeds the random source and reads the secure
  // random choice into the Main menu.
  bool OnInitWindow() override;
  // Close (IDOK) and cancelling (IDCANCEL, WM_CLOSE, Exit) during a run stop the run first;
  // the window ends once the run has ended.
  void OnOK() override;
  void OnCancel() override;

 private:
  // Sizes the pixel-sized parts (icons, page offset, list columns) for `dpi`; the columns
  // keep the widths they have, in proportion.
  void ScaleToDpi(UINT dpi);
  bool OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT& result);
  void CreateTypePages();
  // Names for assistive technology where the standard proxy has none of its own: the count's
  // edit box and up-down control, the list and the tab items (GeneratorKeyboard.cpp).
  void SetUpAccessibility();
  // Shows the page `step` tabs on (wrapping round), as a click on its tab would, and puts the
  // focus on its first control (GeneratorKeyboard.cpp).
  void SwitchPage(int step);
  // Where Tab (or Shift+Tab) from `focus` must go instead of the dialog manager's choice, or
  // null to leave it to the dialog manager (GeneratorKeyboard.cpp).
  HWND TabTarget(HWND focus, bool backward) const;
  // A change of colours or theme: drawn again with the new colours.
  bool OnSystemChange(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnSettingChange(WPARAM wParam, LPARAM lParam, LRESULT& result);
  CDialog* PageOf(int tabIndex) const;
  void SetRowEnabled(std::int32_t state, int edit, int clear, int add);

  // Frame.
  bool OnSysCommand(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnPaint(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnQueryDragIcon(WPARAM wParam, LPARAM lParam, LRESULT& result);
  void OnDestroy();
  void OnExit();
  void OnAboutBox();
  // Help menu: the three web targets.
  void OnHomePage();
  void OnDownloadPage();
  void OnSendFeedback();
  // Type pages.
  void OnTabSelChanging(NMHDR* notification, LRESULT* result);
  void OnTabSelChange(NMHDR* notification, LRESULT* result);
  // Controls.
  void OnIncludeClicked();
  void OnExcludeClicked();
  void OnClearInclude();
  void OnClearExclude();
  void OnCountDeltaPos(NMHDR* notification, LRESULT* result);
  void OnCountChange();
  // The commands behind Generate, Generate to file, Save to file, To clipboard and Add from
  // file are declared here and live in GeneratorCommands.cpp.
  void OnGenerate();
  void OnGenerateToFile();
  void OnSaveToFile();
  void OnToClipboard();
  void OnAddIncludeFromFile();
  void OnAddExcludeFromFile();
  // Main menu: turns the secure random source on or off, shows it and remembers it.
  void OnSecureRandom();
  // Main menu: the every-ticked-set rule, likewise.
  void OnEveryTickedSet();
  // Runs. StartRun disables the window and starts `run`'s worker on `work`; the window
  // answers while it goes (kRowsReady, kEnded), shows the progress window after a second
  // (the timer), and FinishRun puts the run away when it has ended: the list's last rows,
  // the window enabled again, the warnings.
  void StartRun(std::unique_ptr<CWindowRun> run, CWindowRun::Work work);
  void FinishRun();
  // The run has ended: ends the progress window (OnTimer then calls FinishRun) or, when
  // none is up, calls FinishRun.
  void EndProgressOrFinish();
  bool OnRowsReady(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnRunEnded(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnTimer(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Windows is ending: a run is cancelled and waited for (bounded) before the answer.
  bool OnEndSession(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The work of a Generate or Generate to file run into `sink`, with the menu's source.
  CWindowRun::Work GenerateWork(PasswordSink sink) const;
  // Pulls the window and both pages (a failed pull has warned; the fields go on as they
  // stand) and fills theSettings from them.
  void FillSettings();
  // Asks for the output file; ".txt" is appended when its last component has no full stop.
  // Returns 0 with the path in outputPath, or -1 (outputPath empty) when the user cancelled.
  int ChooseOutputFile(bool forSave);
  // Asks for a charset file and appends its symbols to includeText or excludeText.
  void AddSymbolsFromFile(bool exclude);

  static const MessageEntry kMessages[];
  const ExchangeEntry exchange_[11];
  UINT dpi_ = 0;  // what the pixel sizes are scaled for; 0 before the first scaling
  CIcon bigIcon_;
  CIcon smallIcon_;
  std::unique_ptr<CWindowRun> run_;  // the run under way, if any
  CDpiRelayout relayout_;            // per-monitor v1 only; owns the font the controls then use
};
