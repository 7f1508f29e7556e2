// Plain, one-step-at-a-time versions of what the engine does, written from the file
// formats and rules alone, for the fuzz targets to hold the engine against; and the
// scratch files and failure report they share.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/GenerationSettings.h"

// The fuzz input read from the front: fixed-size numbers, and texts with a two-byte
// length. Past the end every byte reads as zero.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}

  std::uint8_t Byte() { return at_ < end_ ? *at_++ : 0; }
  std::uint32_t Word() {
    std::uint32_t w = 0;
    for (int k = 0; k < 4; ++k) w |= std::uint32_t{Byte()} << (8 * k);
    return w;
  }
  // lo to hi, both included. REQUIRES: lo <= hi, hi - lo < 2^32 - 1.
  std::int64_t In(std::int64_t lo, std::int64_t hi) { return lo + Word() % static_cast<std::uint32_t>(hi - lo + 1); }
  std::string Text(std::size_t max) {
    std::size_t n = Byte();
    n |= std::size_t{Byte()} << 8;
    n = std::min({n, max, static_cast<std::size_t>(end_ - at_)});
    std::string text(reinterpret_cast<const char*>(at_), n);
    at_ += n;
    return text;
  }
  bool AtEnd() const { return at_ == end_; }

 private:
  const std::uint8_t* at_;
  const std::uint8_t* end_;
};

// What the current input is about, said with any finding.
inline std::string& FindingContext() {
  static std::string context;
  return context;
}

// Ends the run as a finding: libFuzzer keeps the input that led here.
inline void Expect(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "keymoor fuzz: %s%s\n", what, FindingContext().c_str());
  std::abort();
}

// The 15-bit generator: the state advances by one step of the recurrence per draw, and a
// draw of 0 to n - 1 scales bits 16 to 30 by n / 32767, capped at n - 1.
struct ModelRandom {
  std::uint32_t state;
  std::uint64_t draws = 0;  // made so far

  std::uint32_t Pick(std::uint32_t n) {
    ++draws;
    state = state * 214013u + 2531011u;
    const std::uint64_t q = ((state >> 16) & 0x7FFFu) * std::uint64_t{n} / 32767u;
    return q < n ? static_cast<std::uint32_t>(q) : n - 1;
  }
};

// The four built-in sets in the window's order, byte for byte as the pool appends them.
inline const std::array<std::string, 4>& ModelBuiltInSets() {
  static const unsigned char kSpecial[] = {0x60, 0x7E, 0x21, 0x40, 0x23, 0x24, 0x25, 0x5E, 0x26, 0x2A, 0x28,
                                           0x29, 0x2D, 0x5F, 0x3D, 0x2B, 0x5C, 0x7C, 0x2C, 0x2E, 0x2F, 0x3C,
                                           0x3E, 0x3F, 0x3B, 0x3A, 0x27, 0x22, 0x5B, 0x5D, 0x7B, 0x7D};
  static const std::array<std::string, 4> sets = {
      "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
      "abcdefghjiklmnopqrstuvwxyz",  // "j" before "i", as the window has always had it
      "0123456789", std::string(std::begin(kSpecial), std::end(kSpecial))};
  return sets;
}

// Which of the four built-in sets the settings tick, in the same order.
inline std::array<bool, 4> ModelTicked(const CGenerationSettings& s) {
  return {s.useCapitals != 0, s.useSmall != 0, s.useDigits != 0, s.useSpecial != 0};
}

// The pool: the ticked sets in their order, then the first 1,000 include bytes that are
// new and not zero, then the first 1,000 exclude bytes taken out where present.
inline std::string ModelPool(const CGenerationSettings& s) {
  std::string pool;
  for (int k = 0; k < 4; ++k)
    if (ModelTicked(s)[k]) pool += ModelBuiltInSets()[k];
  if (s.useInclude)
    for (char c : s.includeText.substr(0, 1000))
      if (c != '\0' && pool.find(c) == std::string::npos) pool += c;
  if (s.useExclude)
    for (char c : s.excludeText.substr(0, 1000))
      if (const auto at = pool.find(c); at != std::string::npos) pool.erase(at, 1);
  return pool;
}

// The every-set rule's sets: each built-in set that is ticked and still has a character in
// the pool, as its characters. Include symbols are no set of their own.
inline std::vector<std::string> ModelRequiredSets(const CGenerationSettings& s, const std::string& pool) {
  std::vector<std::string> required;
  for (int k = 0; k < 4; ++k)
    if (ModelTicked(s)[k] && pool.find_first_of(ModelBuiltInSets()[k]) != std::string::npos)
      required.push_back(ModelBuiltInSets()[k]);
  return required;
}

// Whether the drawn characters of a password hold a character of every required set.
inline bool ModelPasses(const std::vector<std::string>& required, std::string_view drawn) {
  for (const std::string& set : required)
    if (drawn.find_first_of(set) == std::string_view::npos) return false;
  return true;
}

// The random characters of the shortest password of these settings: the markers of the
// mask, the shortest variable length (5), or the length.
inline std::size_t ModelPlaces(const CGenerationSettings& s) {
  if (s.mode == GenerationMode::Masked)
    return s.symbolMask.empty() ? 0
                                : static_cast<std::size_t>(std::count(s.mask.begin(), s.mask.end(), s.symbolMask[0]));
  const auto length = static_cast<std::size_t>(std::max(s.length, 0));
  return s.variableLength && length >= 6 ? 5 : length;
}

// How many pool characters each required set has.
inline std::vector<std::size_t> ModelSetSizes(const std::vector<std::string>& required, const std::string& pool) {
  std::vector<std::size_t> sizes;
  for (const std::string& set : required)
    sizes.push_back(static_cast<std::size_t>(
        std::count_if(pool.begin(), pool.end(), [&](char c) { return set.find(c) != std::string::npos; })));
  return sizes;
}

// The chance that `places` characters drawn evenly from a pool of `poolSize` hold every
// required set, of the sizes given: by inclusion and exclusion over the sets a password
// may miss (the sets share no character).
inline double ModelPassChance(const std::vector<std::size_t>& setSizes, std::size_t poolSize, std::size_t places) {
  double chance = 0;
  for (unsigned missed = 0; missed < 1u << setSizes.size(); ++missed) {
    std::size_t out = 0;  // pool characters of the missed sets
    for (std::size_t k = 0; k < setSizes.size(); ++k)
      if (missed >> k & 1) out += setSizes[k];
    const double term =
        std::pow(1.0 - static_cast<double>(out) / static_cast<double>(poolSize), static_cast<double>(places));
    chance += __builtin_popcount(missed) % 2 ? -term : term;
  }
  return chance;
}

// Whether a run of these settings needs a character from the pool at all.
inline bool ModelNeedsPool(const CGenerationSettings& s) {
  if (s.count <= 0) return false;
  if (s.mode != GenerationMode::Masked) return s.length > 0;
  return !s.symbolMask.empty() && s.mask.find(s.symbolMask[0]) != std::string::npos;
}

// Makes `count` passwords in order, each handed to onPassword, drawing from `random`.
// With `required` sets (the every-set rule), a password whose drawn characters miss one of
// them is drawn again whole, from the next draws, keeping its variable length. Gives up,
// returning false, once more than `maxDraws` draws are made.
// REQUIRES: the pool is not empty where ModelNeedsPool says it is needed.
template <class OnPassword>
bool ModelPasswords(const CGenerationSettings& s, const std::string& pool, std::int64_t count, ModelRandom& random,
                    OnPassword onPassword, const std::vector<std::string>& required = {},
                    std::uint64_t maxDraws = UINT64_MAX) {
  const auto poolSize = static_cast<std::uint32_t>(pool.size());
  const bool masked = s.mode == GenerationMode::Masked;
  std::string password, drawn;
  for (std::int64_t i = 0; i < count; ++i) {
    auto length = static_cast<std::uint32_t>(s.length);
    if (!masked && s.variableLength && length >= 6) length = 5 + random.Pick(length - 4);
    do {
      if (random.draws > maxDraws) return false;
      password.clear();
      drawn.clear();
      if (masked) {
        for (char c : s.mask) {
          if (!s.symbolMask.empty() && c == s.symbolMask[0]) {
            drawn += pool[random.Pick(poolSize)];
            password += drawn.back();
          } else {
            password += c;
          }
        }
      } else {
        for (std::uint32_t k = 0; k < length; ++k) drawn += pool[random.Pick(poolSize)];
        password = drawn;
      }
    } while (!ModelPasses(required, drawn));
    onPassword(password);
  }
  return true;
}

// The charset file's symbols: the bytes before the first zero among its first 1,000.
inline std::string ModelCharset(const std::string& fileBytes) {
  const std::string head = fileBytes.substr(0, 1000);
  return head.substr(0, head.find('\0'));
}

// A scratch folder for the process's files, under TMPDIR, removed at exit.
class Scratch {
 public:
  static const Scratch& Get() {
    static const Scratch scratch;
    return scratch;
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }

 private:
  Scratch() : path_(std::filesystem::temp_directory_path() / ("keymoor-fuzz-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  std::filesystem::path path_;
};
