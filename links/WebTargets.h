// The product's web targets: home page, download page and support mailbox. The domain is a
// reserved one, so nothing real is reached.
#pragma once

#define KEYMOOR_HOST "www.keymoor.example"
#define KEYMOOR_SUPPORT_ADDRESS "support@keymoor.example"

// Opened by the Help menu's Home Web-Page and by the About box's home page label.
inline constexpr char kHomePageUrl[] = "http://" KEYMOOR_HOST "/";
// The home page URL followed by "download.html".
inline constexpr char kDownloadPageUrl[] = "http://" KEYMOOR_HOST "/download.html";
// Written to by the Help menu's Send Feedback and by the About box's e-mail label.
inline constexpr char kSupportMailboxUrl[] = "mailto:" KEYMOOR_SUPPORT_ADDRESS;
