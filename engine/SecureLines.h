// The lines of a secure run: the same shape as a normal run's (pool, lengths, masks, CR LF),
// every random decision drawn from a CSecureRandom instead of the 15-bit generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/CharacterPool.h"
#include "engine/FastFill.h"
#include "engine/GenerationSettings.h"
#include "engine/SecureRandom.h"

// Characters made ahead in bulk and taken as lines need them; wiped when done with.
class CSecureStage {
 public:
  // `capacity` is the most that Ensure may ask for.
  CSecureStage(CSecureRandom& random, const CSecureTable& table, std::size_t capacity);
  ~CSecureStage();
  CSecureStage(const CSecureStage&) = delete;
  CSecureStage& operator=(const CSecureStage&) = delete;

  // Makes sure at least `need` characters are ready. REQUIRES: need <= capacity.
  void Ensure(std::size_t need);
  std::size_t Available() const { return filled_ - cursor_; }
  // The ready characters, followed by 32 readable bytes.
  const char* Chars() const { return chars_.data() + cursor_; }
  void Take(std::size_t n) { cursor_ += n; }

 private:
  CSecureRandom& random_;
  const CSecureTable& table_;
  std::vector<char> chars_;
  std::size_t capacity_, filled_ = 0, cursor_ = 0;
};

class CSecureLines {
 public:
  // `random` must be started before the first Make; `pool` may be empty only when no line
  // needs a random character (see NeedsDraws). Both must outlive this object.
  CSecureLines(const CGenerationSettings& settings, const CCharacterPool& pool, CSecureRandom& random);
  ~CSecureLines();

  // The longest line, CR LF included.
  std::size_t MaxLine() const { return nominal_ + 2; }
  // True when a line takes a character from the pool.
  bool NeedsDraws() const;
  // Makes whole lines (password and CR LF) into out while `left` lasts and the next line
  // surely fits in `size` bytes, counting `left` down; returns the bytes made. May write up
  // to 32 bytes past them. REQUIRES: size >= MaxLine().
  std::size_t Make(char* out, std::size_t size, std::int64_t& left);

 private:
  std::size_t MakeFixed(char* out, std::size_t size, std::int64_t& left);
  std::size_t MakeVariable(char* out, std::size_t size, std::int64_t& left);

  CSecureRandom& random_;
  std::size_t nominal_;
  bool variable_;
  std::optional<CSecureTable> table_;        // the pool, when it has characters
  std::optional<CSecureTable> lengthTable_;  // variable lengths 5 to N as bytes, when N <= 255
  std::optional<CLineLayout> layout_;        // every line alike: Masked, or Random of a fixed length
  std::unique_ptr<CSecureStage> chars_, lengths_;
};
