// The main window: frame, initialisation, the type pages on the tab and the editing handlers.
#include "app/GeneratorDlg.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <memory>

#include "app/NumberField.h"
#include "app/UserChoices.h"
#include "engine/GenerationSettings.h"
#include "engine/RandomSource.h"
#include "links/WebCommands.h"
#include "platform/Dpi.h"
#include "platform/Services.h"
#include "platform/WinApp.h"
#include "resources/resource.h"

namespace {
// Where a page sits in the tab control's client area, in pixels at 96 DPI.
constexpr int kPageX = 10;
constexpr int kPageY = 30;
// The list's column widths, in pixels at 96 DPI.
constexpr int kIdColumnWidth = 50;
constexpr int kPasswordColumnWidth = 220;
// Grid lines, full-row selection, one-click activation, flat scroll bars.
constexpr DWORD kListStyle = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_FLATSB;
}  // namespace

CGeneratorDlg::CGeneratorDlg()
    : CDialog(IDD_GENERATOR),
      exchange_{
          ExchangeEntry::Attach(IDC_TYPE_TAB, tabControl),
          ExchangeEntry::CheckBox(IDC_USE_CAPITALS, useCapitals),
          ExchangeEntry::CheckBox(IDC_USE_SMALL, useSmall),
          ExchangeEntry::CheckBox(IDC_USE_DIGITS, useDigits),
          ExchangeEntry::CheckBox(IDC_USE_SPECIAL, useSpecial),
          ExchangeEntry::CheckBox(IDC_USE_INCLUDE, useInclude),
          ExchangeEntry::CheckBox(IDC_USE_EXCLUDE, useExclude),
          ExchangeEntry::Text(IDC_INCLUDE_TEXT, includeText, kMaxSymbols),
          ExchangeEntry::Text(IDC_EXCLUDE_TEXT, excludeText, kMaxSymbols),
          ExchangeEntry::Number(IDC_COUNT, count, kMinCount, kMaxCount),
          ExchangeEntry::Attach(IDC_PASSWORD_LIST, passwordList),
      } {}

constexpr MessageEntry CGeneratorDlg::kMessages[] = {
    // Frame.
    {WM_SYSCOMMAND, 0, 0, On<&CGeneratorDlg::OnSysCommand>},
    {WM_PAINT, 0, 0, On<&CGeneratorDlg::OnPaint>},
    {WM_QUERYDRAGICON, 0, 0, On<&CGeneratorDlg::OnQueryDragIcon>},
    {WM_DESTROY, 0, 0, On<&CGeneratorDlg::OnDestroy>},
    {WM_COMMAND, 0, IDM_EXIT, On<&CGeneratorDlg::OnExit>},
    {WM_DPICHANGED, 0, 0, On<&CGeneratorDlg::OnDpiChanged>},
    {WM_SYSCOLORCHANGE, 0, 0, On<&CGeneratorDlg::OnSystemChange>},
    {WM_SETTINGCHANGE, 0, 0, On<&CGeneratorDlg::OnSettingChange>},
    // Type pages.
    {WM_NOTIFY, static_cast<UINT>(TCN_SELCHANGE), IDC_TYPE_TAB, On<&CGeneratorDlg::OnTabSelChange>},
    {WM_NOTIFY, static_cast<UINT>(TCN_SELCHANGING), IDC_TYPE_TAB, On<&CGeneratorDlg::OnTabSelChanging>},
    // Commands (GeneratorCommands.cpp): Generate 1016, Generate to file 1017, Save to file
    // 1004, To clipboard 1003, Add from file 1023 and 1025 (all BN_CLICKED).
    {WM_COMMAND, BN_CLICKED, IDC_GENERATE, On<&CGeneratorDlg::OnGenerate>},
    {WM_COMMAND, BN_CLICKED, IDC_GENERATE_TO_FILE, On<&CGeneratorDlg::OnGenerateToFile>},
    {WM_COMMAND, BN_CLICKED, IDC_SAVE_TO_FILE, On<&CGeneratorDlg::OnSaveToFile>},
    {WM_COMMAND, BN_CLICKED, IDC_TO_CLIPBOARD, On<&CGeneratorDlg::OnToClipboard>},
    {WM_COMMAND, BN_CLICKED, IDC_ADD_INCLUDE, On<&CGeneratorDlg::OnAddIncludeFromFile>},
    {WM_COMMAND, BN_CLICKED, IDC_ADD_EXCLUDE, On<&CGeneratorDlg::OnAddExcludeFromFile>},
    // Help menu (code 0).
    {WM_COMMAND, 0, IDM_HOME_PAGE, On<&CGeneratorDlg::OnHomePage>},
    {WM_COMMAND, 0, IDM_DOWNLOAD, On<&CGeneratorDlg::OnDownloadPage>},
    {WM_COMMAND, 0, IDM_FEEDBACK, On<&CGeneratorDlg::OnSendFeedback>},
    {WM_COMMAND, 0, IDM_ABOUT, On<&CGeneratorDlg::OnAboutBox>},
    // Main menu (code 0): the secure random and every-set choices (GeneratorCommands.cpp).
    {WM_COMMAND, 0, IDM_SECURE_RANDOM, On<&CGeneratorDlg::OnSecureRandom>},
    {WM_COMMAND, 0, IDM_EVERY_TICKED_SET, On<&CGeneratorDlg::OnEveryTickedSet>},
    // Controls.
    {WM_COMMAND, BN_CLICKED, IDC_USE_INCLUDE, On<&CGeneratorDlg::OnIncludeClicked>},
    {WM_COMMAND, BN_CLICKED, IDC_USE_EXCLUDE, On<&CGeneratorDlg::OnExcludeClicked>},
    {WM_COMMAND, BN_CLICKED, IDC_CLEAR_INCLUDE, On<&CGeneratorDlg::OnClearInclude>},
    {WM_COMMAND, BN_CLICKED, IDC_CLEAR_EXCLUDE, On<&CGeneratorDlg::OnClearExclude>},
    {WM_NOTIFY, static_cast<UINT>(UDN_DELTAPOS), IDC_COUNT_SPIN, On<&CGeneratorDlg::OnCountDeltaPos>},
    {WM_COMMAND, EN_CHANGE, IDC_COUNT, On<&CGeneratorDlg::OnCountChange>},
    // Runs (GeneratorCommands.cpp).
    {CWindowRun::kRowsReady, 0, 0, On<&CGeneratorDlg::OnRowsReady>},
    {CWindowRun::kEnded, 0, 0, On<&CGeneratorDlg::OnRunEnded>},
    {WM_TIMER, 0, 0, On<&CGeneratorDlg::OnTimer>},
    {WM_ENDSESSION, 0, 0, On<&CGeneratorDlg::OnEndSession>},
    // Close (IDOK) and cancelling (IDCANCEL) take the base dialog's steps once no run is under way.
};

MessageTable CGeneratorDlg::GetMessageTable() const { return kMessages; }

bool CGeneratorDlg::OnInitWindow() {
  CDialog::OnInitWindow();

  if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE)) {
    const std::string about = LoadResourceString(IDS_ABOUT_MAIN);
    if (!about.empty()) {
      AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(systemMenu, MF_STRING, AboutSystemCommand, about.c_str());
    }
  }

  CreateTypePages();
  SetUpAccessibility();
  OnIncludeClicked();
  OnExcludeClicked();

  passwordList.SetExtendedStyle(0, kListStyle);
  passwordList.InsertColumn(0, "ID", LVCFMT_LEFT, kIdColumnWidth);
  passwordList.InsertColumn(1, "Password", LVCFMT_LEFT, kPasswordColumnWidth);
  ScaleToDpi(WindowDpi(m_hWnd));

  // The only seeding in the life of the process; nothing has drawn a number before it.
  theRandom.Seed(GetTickCount());
  useSecureRandom = ReadSecureRandomChoice();
  CheckMenuItem(GetMenu(m_hWnd), IDM_SECURE_RANDOM, MF_BYCOMMAND | (useSecureRandom ? MF_CHECKED : MF_UNCHECKED));
  useEveryTickedSet = ReadEveryTickedSetChoice();
  CheckMenuItem(GetMenu(m_hWnd), IDM_EVERY_TICKED_SET, MF_BYCOMMAND | (useEveryTickedSet ? MF_CHECKED : MF_UNCHECKED));
  return true;  // the focus goes to the first tab stop, "All caps latin (A...Z)"
}

void CGeneratorDlg::CreateTypePages() {
  tabControl.InsertItem(0, "Random");
  tabControl.InsertItem(1, "Masked");
  // The dialog manager walks into a control parent: Tab reaches the shown page's controls,
  // and Enter and Escape there act as in the main window (the pages are DS_CONTROL).
  tabControl.ModifyExStyle(0, WS_EX_CONTROLPARENT);
  // A tab stop too, so that the keyboard reaches the tabs (Left and Right then switch pages);
  // set here rather than in the template, so that the window still opens with the focus on
  // the first check box. The dialog manager does not stop at a control parent itself: see
  // TabTarget.
  tabControl.ModifyStyle(0, WS_TABSTOP);
  // Observed under Wine with the common controls 6 manifest: the "Password type" group box,
  // above the tab control in template order, fills its inside and hides the tab. Raising the
  // tab above it keeps the tab visible; the group box is no tab stop, so the keyboard order
  // stays: the tab control is the first stop, as it is the top of the window.
  SetWindowPos(tabControl.GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  // Each page object belongs to its tab item from here on; OnDestroy deletes it.
  auto place = [this](int index, std::unique_ptr<CDialog> page) {
    if (!tabControl.SetItemData(index, reinterpret_cast<LPARAM>(page.get()))) return;
    CDialog* owned = page.release();
    owned->Create(tabControl.GetSafeHwnd());
    // Draw the page on the tab's own background, as property pages are.
    EnableThemeDialogTexture(owned->GetSafeHwnd(), ETDT_ENABLETAB);
  };
  place(0, std::make_unique<CRandomTypeDlg>());
  place(1, std::make_unique<CMaskTypeDlg>());

  tabControl.SetCurSel(0);
  if (CDialog* random = PageOf(0)) random->Show(SW_SHOW);
  if (CDialog* masked = PageOf(1)) masked->Show(SW_HIDE);
}

void CGeneratorDlg::ScaleToDpi(UINT dpi) {
  // The window must never hold a destroyed icon: the new ones go in before the old go.
  CIcon big, small;
  big.Load(ResourceModule(), IDI_APP, SystemMetricForDpi(SM_CXICON, dpi));
  small.Load(ResourceModule(), IDI_APP, SystemMetricForDpi(SM_CXSMICON, dpi));
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
  appIcon = bigIcon_.Get();

  for (int index = 0; index < 2; ++index) {
    if (CDialog* page = PageOf(index)) {
      SetWindowPos(page->GetSafeHwnd(), nullptr, ScaleForDpi(kPageX, dpi), ScaleForDpi(kPageY, dpi), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  // The columns were made at 96 DPI; the user may have resized them since.
  const UINT from = dpi_ != 0 ? dpi_ : kDefaultDpi;
  if (dpi != from) {
    for (int column = 0; column < 2; ++column) {
      passwordList.SetColumnWidth(column, MulDiv(passwordList.GetColumnWidth(column), dpi, from));
    }
  }
  dpi_ = dpi;
}

bool CGeneratorDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT&) {
  MoveToSuggestedRect(m_hWnd, lParam);
  if (!Services().DialogsScaleWithDpi() && dpi_ != 0) relayout_.Apply(m_hWnd, dpi_, DpiOfChange(wParam));
  ScaleToDpi(DpiOfChange(wParam));
  // Not eaten: the dialog manager's own handling scales the template's layout and fonts.
  return false;
}

CGeneratorDlg::~CGeneratorDlg() {
  if (GetSafeHwnd() != nullptr && IsWindow(GetSafeHwnd())) DestroyWindow(GetSafeHwnd());
}

CDialog* CGeneratorDlg::PageOf(int tabIndex) const {
  if (!tabControl.IsAttached()) return nullptr;
  return reinterpret_cast<CDialog*>(tabControl.GetItemData(tabIndex));
}

CRandomTypeDlg* CGeneratorDlg::RandomPage() const { return static_cast<CRandomTypeDlg*>(PageOf(0)); }

CMaskTypeDlg* CGeneratorDlg::MaskPage() const { return static_cast<CMaskTypeDlg*>(PageOf(1)); }

void CGeneratorDlg::OnDestroy() {
  run_.reset();  // cancels a run still going and waits for its worker
  for (int index = 1; index >= 0; --index) {
    std::unique_ptr<CDialog> page(PageOf(index));
    if (!page) continue;
    tabControl.SetItemData(index, 0);
    page->Destroy();
  }
}

bool CGeneratorDlg::OnSysCommand(WPARAM wParam, LPARAM, LRESULT& result) {
  if ((wParam & 0xFFF0) != AboutSystemCommand) return false;  // move, minimise, close...
  OnAboutBox();
  result = 0;
  return true;
}

// A new About box for each run; the web commands report nothing, whatever the result.
void CGeneratorDlg::OnAboutBox() { ShowAboutBox(); }

void CGeneratorDlg::OnHomePage() { OpenHomePage(); }

void CGeneratorDlg::OnDownloadPage() { OpenDownloadPage(); }

void CGeneratorDlg::OnSendFeedback() { SendFeedback(); }

bool CGeneratorDlg::OnPaint(WPARAM, LPARAM, LRESULT& result) {
  if (!IsIconic(m_hWnd)) return false;
  CPaintDC dc(m_hWnd);
  Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
  const int cx = SystemMetricForDpi(SM_CXICON, dpi_);
  const int cy = SystemMetricForDpi(SM_CYICON, dpi_);
  RECT rc{};
  GetClientRect(m_hWnd, &rc);
  const int x = (rc.right - rc.left - cx + 1) / 2;
  const int y = (rc.bottom - rc.top - cy + 1) / 2;
  DrawIcon(dc.Get(), x, y, appIcon);
  result = 0;
  return true;
}

bool CGeneratorDlg::OnQueryDragIcon(WPARAM, LPARAM, LRESULT& result) {
  result = reinterpret_cast<LRESULT>(appIcon);
  return true;
}

// "Exit" leaves as Alt+F4 does: without validation.
void CGeneratorDlg::OnExit() { OnCancel(); }

void CGeneratorDlg::OnTabSelChanging(NMHDR*, LRESULT* result) {
  if (CDialog* page = PageOf(tabControl.GetCurSel())) {
    // The focus never stays behind on a page that goes out of sight.
    if (IsChild(page->GetSafeHwnd(), GetFocus())) tabControl.Focus();
    page->Show(SW_HIDE);
  }
  *result = 0;
}

void CGeneratorDlg::OnTabSelChange(NMHDR*, LRESULT* result) {
  const int index = tabControl.GetCurSel();
  if (CDialog* page = PageOf(index)) page->Show(SW_SHOW);
  theSettings.mode = static_cast<GenerationMode>(index);
  *result = 0;
}

void CGeneratorDlg::SetRowEnabled(std::int32_t state, int edit, int clear, int add) {
  // The focus never stays on, or goes to, a disabled control: when the row is disabled the
  // row's check box (just before its edit box) keeps or takes it.
  HWND focus = GetFocus();
  for (int id : {edit, clear, add}) {
    if (state == 0 && focus == GetDlgItem(id)) CWindowRef(GetNextWindow(GetDlgItem(edit), GW_HWNDPREV)).Focus();
    Item(id).Enable(state != 0);
  }
  if (state != 0) Item(edit).Focus();
}

void CGeneratorDlg::OnIncludeClicked() {
  PullControls();
  SetRowEnabled(useInclude, IDC_INCLUDE_TEXT, IDC_CLEAR_INCLUDE, IDC_ADD_INCLUDE);
}

void CGeneratorDlg::OnExcludeClicked() {
  PullControls();
  SetRowEnabled(useExclude, IDC_EXCLUDE_TEXT, IDC_CLEAR_EXCLUDE, IDC_ADD_EXCLUDE);
}

void CGeneratorDlg::OnClearInclude() {
  PullControls();
  includeText.clear();
  Item(IDC_INCLUDE_TEXT).Focus();
  PushControls();
}

void CGeneratorDlg::OnClearExclude() {
  PullControls();
  excludeText.clear();
  Item(IDC_EXCLUDE_TEXT).Focus();
  PushControls();
}

void CGeneratorDlg::OnCountDeltaPos(NMHDR* notification, LRESULT* result) {
  OnNumberSpin(*this, count, kMinCount, kMaxCount, IDC_COUNT, notification, result);
}

void CGeneratorDlg::OnCountChange() { OnNumberChange(*this, count, kMinCount, kMaxCount); }
