// The rule that every password holds a character of each ticked set: which sets it asks
// for, and which drawn passwords meet it.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/GenerationSettings.h"

class CSetRule {
 public:
  // The four built-in sets, as bits of a byte's class.
  static constexpr unsigned kCapitals = 1, kSmall = 2, kDigits = 4, kSpecial = 8;

  // The sets ticked in `settings` that still have a character in `pool` (after exclude).
  // Include symbols form no set of their own.
  CSetRule(const CGenerationSettings& settings, std::string_view pool);

  // The set bits of one byte: the built-in set it belongs to, or 0.
  static unsigned ClassOf(unsigned char c);

  unsigned Required() const { return required_; }
  // How many sets are required.
  int Count() const;
  // True when the n drawn characters at `chars` hold every required set.
  bool Passes(const char* chars, std::size_t n) const;

  // Of the `groups` groups of `draws` characters at `in`, copies those that pass to `out`,
  // one after the other, and stops after `most`. Returns how many were kept; `used` is
  // the characters taken: up to the end of the last group kept, or every group when fewer
  // than `most` passed (the failed ones at the end are used up: no password takes them).
  // With `lines` (only for draws = 8), each kept group is written as a whole line, its
  // characters and CR LF, and up to 64 bytes past the last line may be written.
  std::size_t Keep(const char* in, std::size_t groups, std::size_t draws, char* out, std::size_t most,
                   std::size_t& used, bool lines = false) const;

 private:
  std::size_t KeepEights(const char* in, std::size_t groups, char* out, std::size_t most, std::size_t& last,
                         bool lines) const;

  unsigned required_ = 0;
};
