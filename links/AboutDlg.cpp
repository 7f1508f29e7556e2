// CAboutDlg: initialisation of the About box. OK, Enter, Escape and the close box end it
// through the base dialog's steps; nothing is read back.
#include "links/AboutDlg.h"

#include <cstdio>

#include "links/WebTargets.h"
#include "platform/WinApp.h"
#include "resources/resource.h"

CAboutDlg::CAboutDlg()
    : CDialog(IDD_ABOUT),
      exchange_{
          ExchangeEntry::Subclass(IDC_EMAIL_LINK, emailLink),
          ExchangeEntry::Subclass(IDC_HOME_PAGE_LINK, homePageLink),
      } {}

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
  return true;  // the focus goes to OK, the only tab stop
}
