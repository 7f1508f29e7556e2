// CAboutDlg: initialisation of the About box. OK, Enter, Escape and the close box end it
// through the base dialog's steps; nothing is read back.
#include "links/AboutDlg.h"

#include <cstdio>

#include "links/WebTargets.h"
#include "platform/Dpi.h"
#include "platform/WinApp.h"
#include "resources/resource.h"

CAboutDlg::CAboutDlg()
    : CDialog(IDD_ABOUT),
      exchange_{
          ExchangeEntry::Subclass(IDC_EMAIL_LINK, emailLink),
          ExchangeEntry::Subclass(IDC_HOME_PAGE_LINK, homePageLink),
      } {}

constexpr MessageEntry CAboutDlg::kMessages[] = {
    {WM_DPICHANGED, 0, 0, On<&CAboutDlg::OnDpiChanged>},
    {WM_DESTROY, 0, 0, On<&CAboutDlg::OnDestroy>},
};

MessageTable CAboutDlg::GetMessageTable() const { return kMessages; }

namespace {
// The picture control: the one static child with SS_BITMAP (its id is -1, like other statics).
HWND FindPicture(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[16] = {};
    GetClassNameA(child, name, sizeof(name));
    if (lstrcmpiA(name, "Static") == 0 && (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
      return child;
    }
  }
  return nullptr;
}
}  // namespace

bool CAboutDlg::OnInitWindow() {
  // Attaching gives each label its caption as URL, its fitted size, the arrow and a tooltip.
  CDialog::OnInitWindow();

  HCURSOR hand = LoadCursorA(ResourceModule(), MAKEINTRESOURCEA(IDCUR_HAND));
  emailLink.SetURL(kSupportMailboxUrl);
  emailLink.SetUnderline(true);
  emailLink.SetLinkCursor(hand);
  homePageLink.SetURL(kHomePageUrl);
  homePageLink.SetUnderline(true);
  homePageLink.SetLinkCursor(hand);

  char version[32];
  std::snprintf(version, sizeof(version), "%s %s", "Version", "2.0");
  Item(IDC_VERSION).SetText(version);

  picture_ = FindPicture(m_hWnd);
  if (picture_ != nullptr) {
    templatePicture_ = reinterpret_cast<HBITMAP>(SendMessageA(picture_, STM_GETIMAGE, IMAGE_BITMAP, 0));
  }
  ScaleToDpi(WindowDpi(m_hWnd));
  return true;  // the focus goes to OK, the only tab stop
}

void CAboutDlg::ScaleToDpi(UINT dpi) {
  emailLink.SetDpi(dpi);
  homePageLink.SetDpi(dpi);
  if (picture_ == nullptr || templatePicture_ == nullptr) return;
  if (dpi == kDefaultDpi) {  // the bitmap as it is
    OnDestroy();
    return;
  }
  BITMAP size{};
  if (GetObjectA(templatePicture_, sizeof(size), &size) == 0) return;
  CBitmap scaled;
  if (!scaled.Load(ResourceModule(), IDB_ABOUT_PICTURE, ScaleForDpi(size.bmWidth, dpi),
                   ScaleForDpi(size.bmHeight, dpi))) {
    return;
  }
  // The control sizes itself to the new bitmap; the one it gives back is either its own or
  // the earlier scaled one, which goes when `scaled` takes its place.
  SendMessageA(picture_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.Get()));
  scaledPicture_.Reset(scaled.Release());
}

bool CAboutDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  MoveToSuggestedRect(m_hWnd, lParam);
  ScaleToDpi(DpiOfChange(wParam));
  result = 0;
  return true;
}

void CAboutDlg::OnDestroy() {
  if (picture_ != nullptr && scaledPicture_.Get() != nullptr) {
    SendMessageA(picture_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(templatePicture_));
  }
  scaledPicture_.Delete();
}
