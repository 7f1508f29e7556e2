// Plain, one-step-at-a-time versions of what the engine does, written from the file
// formats and rules alone, for the fuzz targets to hold the engine against; and the
// scratch files and failure report they share.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

  std::uint32_t Pick(std::uint32_t n) {
    state = state * 214013u + 2531011u;
    const std::uint64_t q = ((state >> 16) & 0x7FFFu) * std::uint64_t{n} / 32767u;
    return q < n ? static_cast<std::uint32_t>(q) : n - 1;
  }
};

// The pool: the ticked sets in their order, then the first 1,000 include bytes that are
// new and not zero, then the first 1,000 exclude bytes taken out where present.
inline std::string ModelPool(const CGenerationSettings& s) {
  static const unsigned char kSpecial[] = {0x60, 0x7E, 0x21, 0x40, 0x23, 0x24, 0x25, 0x5E, 0x26, 0x2A, 0x28,
                                           0x29, 0x2D, 0x5F, 0x3D, 0x2B, 0x5C, 0x7C, 0x2C, 0x2E, 0x2F, 0x3C,
                                           0x3E, 0x3F, 0x3B, 0x3A, 0x27, 0x22, 0x5B, 0x5D, 0x7B, 0x7D};
  std::string pool;
  if (s.useCapitals) pool += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  if (s.useSmall) pool += "abcdefghjiklmnopqrstuvwxyz";  // "j" before "i", as the window has always had it
  if (s.useDigits) pool += "0123456789";
  if (s.useSpecial) pool.append(std::begin(kSpecial), std::end(kSpecial));
  if (s.useInclude)
    for (char c : s.includeText.substr(0, 1000))
      if (c != '\0' && pool.find(c) == std::string::npos) pool += c;
  if (s.useExclude)
    for (char c : s.excludeText.substr(0, 1000))
      if (const auto at = pool.find(c); at != std::string::npos) pool.erase(at, 1);
  return pool;
}

// Whether a run of these settings needs a character from the pool at all.
inline bool ModelNeedsPool(const CGenerationSettings& s) {
  if (s.count <= 0) return false;
  if (s.mode != GenerationMode::Masked) return s.length > 0;
  return !s.symbolMask.empty() && s.mask.find(s.symbolMask[0]) != std::string::npos;
}

// Makes `count` passwords in order, each handed to onPassword, drawing from `random`.
// REQUIRES: the pool is not empty where ModelNeedsPool says it is needed.
template <class OnPassword>
void ModelPasswords(const CGenerationSettings& s, const std::string& pool, std::int64_t count, ModelRandom& random,
                    OnPassword onPassword) {
  const auto poolSize = static_cast<std::uint32_t>(pool.size());
  std::string password;
  for (std::int64_t i = 0; i < count; ++i) {
    password.clear();
    if (s.mode == GenerationMode::Masked) {
      for (char c : s.mask) password += !s.symbolMask.empty() && c == s.symbolMask[0] ? pool[random.Pick(poolSize)] : c;
    } else {
      auto length = static_cast<std::uint32_t>(s.length);
      if (s.variableLength && length >= 6) length = 5 + random.Pick(length - 4);
      for (std::uint32_t k = 0; k < length; ++k) password += pool[random.Pick(poolSize)];
    }
    onPassword(password);
  }
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
