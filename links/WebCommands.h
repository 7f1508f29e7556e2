// The Help menu's commands: the three web targets and the About box.
#pragma once

// Each opens its target with OpenURL(..., SW_SHOW). A failure is silent: no beep, no message.
void OpenHomePage();
void OpenDownloadPage();
void SendFeedback();

// Makes a new About box, runs it modally and destroys it; the result is not used.
void ShowAboutBox();
