// Which passwords hold a character of each required set. Passwords of eight drawn
// characters (the common case) are tested eight at a time with vector compares on the
// widest path allowed; any other width one character at a time.
#include "engine/EverySet.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/CharacterPool.h"
#include "engine/FastFill.h"

// The vector helpers below are always inlined, so no call passes a vector in registers
// whose convention would differ between the paths.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// GCC vector types: the same source compiles to the instruction set of the function it is
// inlined into, so the one kernel below serves every path.
using Bytes64 = signed char __attribute__((vector_size(64)));
using Lanes8 = long long __attribute__((vector_size(64)));

#define KM_INLINE inline __attribute__((always_inline))

KM_INLINE Bytes64 Splat(signed char c) { return Bytes64{} + c; }

// True (-1) in each group of eight bytes that has a byte other than zero.
KM_INLINE Lanes8 AnyInGroup(Bytes64 v) {
  Lanes8 lanes;
  std::memcpy(&lanes, &v, sizeof lanes);
  return lanes != 0;
}

// -1 in each byte of x above lo and below hi (as signed bytes: no byte from 0x80 up is
// ever inside, since every bound here is ASCII).
KM_INLINE Bytes64 Between(Bytes64 x, signed char lo, signed char hi) {
  return static_cast<Bytes64>((x > Splat(lo)) & (x < Splat(hi)));
}

// Tests eight groups of eight characters at a time, `blocks` times, and writes every group
// to `out`, moving on only past those that pass: the kept ones end up side by side without
// a branch per group. Returns the groups kept; `last` becomes the index past the last kept.
KM_INLINE std::size_t KeepBlocks(const char* in, std::size_t blocks, unsigned required, char* out, std::size_t& last) {
  std::size_t kept = 0;
  for (std::size_t b = 0; b < blocks; ++b, in += 64) {
    Bytes64 x;
    std::memcpy(&x, in, sizeof x);
    const Bytes64 capitals = Between(x, '@', '['), small = Between(x, '`', '{'), digits = Between(x, '/', ':');
    Lanes8 pass = Lanes8{} - 1;
    if (required & CSetRule::kCapitals) pass &= AnyInGroup(capitals);
    if (required & CSetRule::kSmall) pass &= AnyInGroup(small);
    if (required & CSetRule::kDigits) pass &= AnyInGroup(digits);
    if (required & CSetRule::kSpecial) {
      const Bytes64 special = Between(x, ' ', 127) & ~(capitals | small | digits);
      pass &= AnyInGroup(special);
    }
    for (int k = 0; k < 8; ++k) {
      std::memcpy(out + 8 * kept, in + 8 * k, 8);
      kept += static_cast<std::size_t>(pass[k] & 1);
      last = pass[k] ? 8 * b + k + 1 : last;
    }
  }
  return kept;
}

__attribute__((target("avx2,avx512f,avx512bw"))) std::size_t KeepBlocksAvx512(const char* in, std::size_t blocks,
                                                                              unsigned required, char* out,
                                                                              std::size_t& last) {
  return KeepBlocks(in, blocks, required, out, last);
}

__attribute__((target("avx2"))) std::size_t KeepBlocksAvx2(const char* in, std::size_t blocks, unsigned required,
                                                           char* out, std::size_t& last) {
  return KeepBlocks(in, blocks, required, out, last);
}

std::size_t KeepBlocksSse2(const char* in, std::size_t blocks, unsigned required, char* out, std::size_t& last) {
  return KeepBlocks(in, blocks, required, out, last);
}

}  // namespace

CSetRule::CSetRule(const CGenerationSettings& settings, std::string_view pool) {
  unsigned present = 0;
  for (const char c : pool) present |= ClassOf(static_cast<unsigned char>(c));
  const unsigned ticked = (settings.useCapitals ? kCapitals : 0) | (settings.useSmall ? kSmall : 0) |
                          (settings.useDigits ? kDigits : 0) | (settings.useSpecial ? kSpecial : 0);
  required_ = present & ticked;
}

unsigned CSetRule::ClassOf(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return kCapitals;
  if (c >= 'a' && c <= 'z') return kSmall;
  if (c >= '0' && c <= '9') return kDigits;
  return CCharacterPool::kSpecial.find(static_cast<char>(c)) != std::string_view::npos ? kSpecial : 0;
}

int CSetRule::Count() const { return __builtin_popcount(required_); }

bool CSetRule::Passes(const char* chars, std::size_t n) const {
  unsigned found = 0;
  for (std::size_t k = 0; k < n && found != required_; ++k) found |= ClassOf(static_cast<unsigned char>(chars[k]));
  return (found & required_) == required_;
}

std::size_t CSetRule::Keep(const char* in, std::size_t groups, std::size_t draws, char* out, std::size_t most,
                           std::size_t& used) const {
  std::size_t kept = 0, last = 0, g = 0;
  if (draws == 8) {
    kept = KeepEights(in, groups, out, most, last);
    g = std::min(groups, most) / 8 * 8;
  }
  for (; g < groups && kept < most; ++g) {
    if (!Passes(in + g * draws, draws)) continue;
    std::memcpy(out + kept * draws, in + g * draws, draws);
    ++kept;
    last = g + 1;
  }
  used = (kept == most ? last : groups) * draws;
  return kept;
}

std::size_t CSetRule::KeepEights(const char* in, std::size_t groups, char* out, std::size_t most,
                                 std::size_t& last) const {
  // Whole blocks of eight while eight more may be kept; Keep takes the rest one at a time.
  const std::size_t blocks = std::min(groups, most) / 8;
  switch (ActiveFillPath()) {
    case FillPath::Avx512:
      return KeepBlocksAvx512(in, blocks, required_, out, last);
    case FillPath::Avx2:
      return KeepBlocksAvx2(in, blocks, required_, out, last);
    case FillPath::Sse2:
      break;
  }
  return KeepBlocksSse2(in, blocks, required_, out, last);
}
