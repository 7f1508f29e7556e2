// Wiping a string of ours that held a password when it goes out of scope.
#pragma once

#include <string>

#include "engine/Wipe.h"

// Wipes the characters of `text` when this object goes. Declare it right after the string,
// which must outlive it and keep its buffer (no growing) until then.
class CWipeOnExit {
 public:
  explicit CWipeOnExit(std::string& text) : text_(text) {}
  ~CWipeOnExit() { SecureWipe(text_.data(), text_.size()); }
  CWipeOnExit(const CWipeOnExit&) = delete;
  CWipeOnExit& operator=(const CWipeOnExit&) = delete;

 private:
  std::string& text_;
};
