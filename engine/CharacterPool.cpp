// Builds the character pool in its fixed order: the four sets, then include, then exclude.
#include "engine/CharacterPool.h"

#include <algorithm>

CCharacterPool CCharacterPool::Build(const CGenerationSettings& settings) {
  CCharacterPool pool;
  if (settings.useCapitals) pool.Append(kCapitals);
  if (settings.useSmall) pool.Append(kSmall);
  if (settings.useDigits) pool.Append(kDigits);
  if (settings.useSpecial) pool.Append(kSpecial);
  if (settings.useInclude) pool.Include(std::string_view(settings.includeText).substr(0, kMaxSymbolText));
  if (settings.useExclude) pool.Exclude(std::string_view(settings.excludeText).substr(0, kMaxSymbolText));
  return pool;
}

bool CCharacterPool::Contains(unsigned char c) const {
  return std::find(chars_, chars_ + length_, c) != chars_ + length_;
}

void CCharacterPool::Append(std::string_view set) {
  for (char c : set) chars_[length_++] = static_cast<unsigned char>(c);
}

void CCharacterPool::Include(std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    // A zero byte cannot be a character: the texts end there in every window control.
    if (c != 0 && !Contains(c)) chars_[length_++] = c;
  }
}

void CCharacterPool::Exclude(std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    unsigned char* end = chars_ + length_;
    unsigned char* at = std::find(chars_, end, c);
    if (at != end) {
      std::copy(at + 1, end, at);
      --length_;
    }
  }
}
