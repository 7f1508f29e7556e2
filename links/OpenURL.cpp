// OpenURL with its registry fallback, and the registry read it needs.
#include "links/OpenURL.h"

#include <cstring>

#include "platform/Services.h"

namespace {
// The longest registry text the fallback takes: 259 characters and the terminating zero.
constexpr std::size_t kRegistryTextSize = 260;
// The fallback's one working buffer: class name and key path, then the command line.
constexpr std::size_t kCommandSize = 520;
constexpr char kQuotedPlaceholder[] = "\"%1\"";

// An open registry key, closed when the owner goes. Not copyable.
class CRegistryKey {
 public:
  CRegistryKey() = default;
  ~CRegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  LONG OpenForQuery(HKEY root, const char* subKeyPath) {
    return RegOpenKeyExA(root, subKeyPath, 0, KEY_QUERY_VALUE, &key_);
  }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// Appends `text` to the terminated string in `buffer`. False, with `buffer` unchanged, when
// the result and its terminating zero would not fit in `size` bytes.
bool Append(char* buffer, std::size_t size, const char* text) {
  const std::size_t used = std::strlen(buffer);
  const std::size_t extra = std::strlen(text);
  if (used + extra + 1 > size) return false;
  std::memcpy(buffer + used, text, extra + 1);
  return true;
}
}  // namespace

LONG ReadRegistryDefault(HKEY root, const char* subKeyPath, char* out, std::size_t outSize) {
  CRegistryKey key;
  if (const LONG opened = key.OpenForQuery(root, subKeyPath); opened != ERROR_SUCCESS) return opened;

  char value[kRegistryTextSize + 1] = {};  // one spare zero terminates whatever was stored
  DWORD type = 0;
  DWORD size = kRegistryTextSize;
  const LONG read = RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (read != ERROR_SUCCESS) return read;  // no default value, or longer than 259 characters
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
  const std::size_t length = std::strlen(value);
  // A value stored without its terminating zero may fill all 260 bytes.
  if (length >= kRegistryTextSize) return ERROR_MORE_DATA;
  if (length >= outSize) return ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(out, value, length + 1);
  return ERROR_SUCCESS;
}

const char* FindQuotedPlaceholder(const char* command, UINT codePage) {
  const std::size_t n = std::strlen(kQuotedPlaceholder);
  for (const char* p = command; *p != '\0'; p = CharNextExA(static_cast<WORD>(codePage), p, 0)) {
    if (std::strncmp(p, kQuotedPlaceholder, n) == 0) return p;
  }
  return nullptr;
}

int OpenURL(const std::string& url, int showCommand) {
  const INT_PTR shell = Services().ShellOpen(nullptr, "open", url.c_str(), nullptr, nullptr, showCommand);
  if (static_cast<UINT_PTR>(shell) > 32) return static_cast<int>(shell);
  const int shellError = static_cast<int>(shell);

  // The class registered for web pages, then its open command, in the same buffer.
  char command[kCommandSize] = {};
  if (ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", command, sizeof(command)) != ERROR_SUCCESS) return shellError;
  if (!Append(command, sizeof(command), "\\shell\\open\\command")) return shellError;
  if (ReadRegistryDefault(HKEY_CLASSES_ROOT, command, command, sizeof(command)) != ERROR_SUCCESS) return shellError;

  // Everything from the placeholder on is dropped; the URL goes after one blank, unquoted.
  char* cut = const_cast<char*>(FindQuotedPlaceholder(command));
  if (cut == nullptr) cut = std::strstr(command, "%1");
  if (cut != nullptr) *cut = '\0';
  if (!Append(command, sizeof(command), " ") || !Append(command, sizeof(command), url.c_str())) return shellError;

  return static_cast<int>(Services().RunCommandLine(command, static_cast<UINT>(showCommand)));
}
