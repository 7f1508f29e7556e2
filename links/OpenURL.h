// Opening a URL: the shell's "open" verb first, then the command registered for web pages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Opens `url` with the shell's "open" verb (through the platform services). When that fails,
// falls back to the open command of the class registered for ".htm" under HKEY_CLASSES_ROOT:
// the command is cut at its "\"%1\"" (or else "%1") placeholder, one blank and the unquoted
// URL are appended, and the line is started with the process-start service.
// Returns the shell's result when it is above 32 (success); the launcher's result when the
// fallback starts; otherwise the shell's error code (32 or less). Nothing is launched when
// the class or its command cannot be read, or when the command line would not fit.
int OpenURL(const std::string& url, int showCommand);

// Reads the default (unnamed) string value of root\subKeyPath into `out` (`outSize` bytes),
// terminated. The key is opened with query access only. Returns 0, or the platform's error
// code and leaves `out` untouched: the key cannot be opened, it has no default value, the
// value is not a string, or it does not fit in 259 characters (or in `out`).
// `out` may be the buffer that holds subKeyPath.
LONG ReadRegistryDefault(HKEY root, const char* subKeyPath, char* out, std::size_t outSize);

// The first "\"%1\"" in `command` that starts on a character boundary of `codePage` (a
// double-byte character's trail byte never starts a match), or null.
const char* FindQuotedPlaceholder(const char* command, UINT codePage = CP_ACP);
