// Choices remembered per user: values under HKEY_CURRENT_USER\Software\Keymoor, the only
// place Keymoor writes besides the files the user asks for.
#pragma once

// The secure random choice as last stored; false when never stored or unreadable.
bool ReadSecureRandomChoice();
// Stores the choice. False when it could not be written (the caller's choice still holds).
bool WriteSecureRandomChoice(bool on);
// The every-ticked-set choice, likewise.
bool ReadEveryTickedSetChoice();
bool WriteEveryTickedSetChoice(bool on);
