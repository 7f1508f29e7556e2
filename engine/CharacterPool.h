// The ordered, duplicate-free characters that random positions are drawn from.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/GenerationSettings.h"

class CCharacterPool {
 public:
  // The built-in sets, byte for byte, in the order they are appended. The "j" before
  // the "i" is deliberate: the pool's order decides which character an index picks.
  static constexpr std::string_view kCapitals = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  static constexpr std::string_view kSmall = "abcdefghjiklmnopqrstuvwxyz";
  static constexpr std::string_view kDigits = "0123456789";
  static constexpr std::string_view kSpecial = "`~!@#$%^&*()-_=+\\|,./<>?;:'\"[]{}";
  // Include and exclude read at most this many bytes of their texts.
  static constexpr std::size_t kMaxSymbolText = 1000;

  // Builds the pool from fields 6 to 13 of the record. Never fails; may be empty.
  static CCharacterPool Build(const CGenerationSettings& settings);

  int Length() const { return length_; }
  // REQUIRES: 0 <= index < Length().
  unsigned char At(int index) const { return chars_[index]; }
  std::string_view View() const { return {reinterpret_cast<const char*>(chars_), static_cast<std::size_t>(length_)}; }

 private:
  bool Contains(unsigned char c) const;
  void Append(std::string_view set);
  void Include(std::string_view text);
  void Exclude(std::string_view text);

  // No byte occurs twice and zero never occurs, so 255 places always suffice.
  unsigned char chars_[255] = {};
  int length_ = 0;
};
