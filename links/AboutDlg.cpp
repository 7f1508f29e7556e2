// CAboutDlg: initialisation of the About box. OK, Enter, Escape and the close box end it
// through the base dialog's steps; nothing is read back.
#include "links/AboutDlg.h"

#include <algorithm>
#include <cstdio>

#include "links/WebTargets.h"
#include "platform/Dpi.h"
#include "platform/Services.h"
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
    {WM_SYSCOLORCHANGE, 0, 0, On<&CAboutDlg::OnSystemChange>},
    {WM_SETTINGCHANGE, 0, 0, On<&CAboutDlg::OnSettingChange>},
};

MessageTable CAboutDlg::GetMessageTable() const { return kMessages; }

namespace {
// The picture's place in the template, in dialog units.
constexpr SIZE kPictureUnits{43, 169};

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

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm{};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof(bm), &bm) == 0) return {0, 0};
  return {bm.bmWidth, bm.bmHeight};
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

  // The template gives the picture a place in dialog units, which follow the dialog's font
  // rather than the DPI itself. At 96 DPI the bitmap fills it; at other scales it is
  // stretched to fill it as well, keeping its proportions.
  dpi_ = WindowDpi(m_hWnd);
  picture_ = FindPicture(m_hWnd);
  if (picture_ != nullptr) {
    templatePicture_ = reinterpret_cast<HBITMAP>(SendMessageA(picture_, STM_GETIMAGE, IMAGE_BITMAP, 0));
    const SIZE own = BitmapSize(templatePicture_);
    RECT place{0, 0, kPictureUnits.cx, kPictureUnits.cy};
    if (dpi_ != kDefaultDpi && own.cx > 0 && own.cy > 0 && MapDialogRect(m_hWnd, &place)) {
      const int cy = std::min<int>(place.bottom, MulDiv(place.right, own.cy, own.cx));
      ShowPicture(MulDiv(cy, own.cx, own.cy), cy);
    }
  }
  // The focus goes to OK: the first tab stop of the template, before the labels became tab
  // stops (Tab then visits the e-mail label, the home page label and OK).
  return true;
}

void CAboutDlg::ShowPicture(int cx, int cy) {
  const SIZE own = BitmapSize(templatePicture_);
  if (cx == own.cx && cy == own.cy) {
    OnDestroy();  // back to its own bitmap
    return;
  }
  CBitmap scaled;
  if (!scaled.Load(ResourceModule(), IDB_ABOUT_PICTURE, cx, cy)) return;
  // The control sizes itself to the new bitmap; the one it gives back is either its own or
  // the earlier scaled one, which goes when `scaled` takes its place.
  SendMessageA(picture_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.Get()));
  scaledPicture_.Reset(scaled.Release());
}

bool CAboutDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT&) {
  MoveToSuggestedRect(m_hWnd, lParam);
  const UINT dpi = DpiOfChange(wParam);
  if (!Services().DialogsScaleWithDpi() && dpi_ != 0) relayout_.Apply(m_hWnd, dpi_, dpi);
  emailLink.SetDpi(dpi);
  homePageLink.SetDpi(dpi);
  // The layout now scales with the DPI itself; so does the picture.
  if (picture_ != nullptr && dpi_ != 0) {
    const SIZE shown = BitmapSize(reinterpret_cast<HBITMAP>(SendMessageA(picture_, STM_GETIMAGE, IMAGE_BITMAP, 0)));
    ShowPicture(MulDiv(shown.cx, dpi, dpi_), MulDiv(shown.cy, dpi, dpi_));
  }
  dpi_ = dpi;
  // Not eaten: the dialog manager's own handling scales the template's layout and fonts.
  return false;
}

bool CAboutDlg::OnSystemChange(WPARAM wParam, LPARAM lParam, LRESULT&) {
  RepaintForSystemChange(m_hWnd, WM_SYSCOLORCHANGE, wParam, lParam);
  return false;
}

bool CAboutDlg::OnSettingChange(WPARAM wParam, LPARAM lParam, LRESULT&) {
  RepaintForSystemChange(m_hWnd, WM_SETTINGCHANGE, wParam, lParam);
  return false;
}

void CAboutDlg::OnDestroy() {
  if (picture_ != nullptr && scaledPicture_.Get() != nullptr) {
    SendMessageA(picture_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(templatePicture_));
  }
  scaledPicture_.Delete();
}
