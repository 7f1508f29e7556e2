// The Help menu's commands.
#include "links/WebCommands.h"

#include <windows.h>

#include "links/AboutDlg.h"
#include "links/OpenURL.h"
#include "links/WebTargets.h"

void OpenHomePage() { OpenURL(kHomePageUrl, SW_SHOW); }

void OpenDownloadPage() { OpenURL(kDownloadPageUrl, SW_SHOW); }

void SendFeedback() { OpenURL(kSupportMailboxUrl, SW_SHOW); }

void ShowAboutBox() {
  // A new box each time, so its labels start unvisited.
  CAboutDlg about;
  about.DoModal();
}
