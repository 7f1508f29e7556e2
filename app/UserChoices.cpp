// The user's remembered choices, one DWORD value each under the program's own key.
#include "app/UserChoices.h"

#include <windows.h>

namespace {

constexpr char kKeyPath[] = "Software\\Keymoor";
constexpr char kSecureRandomValue[] = "SecureRandom";
constexpr char kEveryTickedSetValue[] = "EveryTickedSet";

// An open registry key, closed when the object goes.
class CRegistryKey {
 public:
  // Opens the key for reading, or creates it (with its parents) for writing.
  CRegistryKey(HKEY parent, const char* path, bool forWriting) {
    const LONG status = forWriting
                            ? RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr)
                            : RegOpenKeyExA(parent, path, 0, KEY_QUERY_VALUE, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~CRegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A choice stored as a DWORD under the key: not 0 is on; missing or unreadable is off.
bool ReadChoice(const char* name) {
  const CRegistryKey key(HKEY_CURRENT_USER, kKeyPath, false);
  if (key.Get() == nullptr) return false;
  DWORD type = 0, value = 0, size = sizeof value;
  const LONG status = RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value != 0;
}

bool WriteChoice(const char* name, bool on) {
  const CRegistryKey key(HKEY_CURRENT_USER, kKeyPath, true);
  if (key.Get() == nullptr) return false;
  const DWORD value = on ? 1 : 0;
  return RegSetValueExA(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

}  // namespace

bool ReadSecureRandomChoice() { return ReadChoice(kSecureRandomValue); }
bool WriteSecureRandomChoice(bool on) { return WriteChoice(kSecureRandomValue, on); }
bool ReadEveryTickedSetChoice() { return ReadChoice(kEveryTickedSetValue); }
bool WriteEveryTickedSetChoice(bool on) { return WriteChoice(kEveryTickedSetValue, on); }
