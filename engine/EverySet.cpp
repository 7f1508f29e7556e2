// Which passwords hold a character of each required set. Passwords of eight drawn
// characters (the common case) are tested eight at a time with vector compares on the
// widest path allowed; any other width one character at a time.
#include "engine/EverySet.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/CharacterPool.h"
#include "engine/FastFill.h"

// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined register,
// which its own uninitialised-value warnings then flag once inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define KM_AVX2 __attribute__((target("avx2")))
#define KM_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vbmi")))

namespace {

// The bytes of a block of 64 characters that belong to each built-in set, one bit a byte.
struct BlockMasks {
  std::uint64_t capitals, small, digits, printable;  // printable: '!' to '~'
};

// Bit 8k + 7 set when group k (byte k) of m is not zero.
inline std::uint64_t NonZeroBytes(std::uint64_t m) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full, kHigh = 0x8080808080808080ull;
  return (m | ((m & kLow7) + kLow7)) & kHigh;
}

// Copies the eight groups of eight characters of one block to out[kept...], moving on only
// past those that hold every required set: no branch per group. Returns the new kept
// count; `last` becomes the index past the block's last kept group, if any.
template <bool kLines>
inline std::size_t KeepBlock(const BlockMasks& m, unsigned required, const char* in, std::size_t first, char* out,
                             std::size_t kept, std::size_t& last) {
  std::uint64_t pass = 0x8080808080808080ull;
  if (required & CSetRule::kCapitals) pass &= NonZeroBytes(m.capitals);
  if (required & CSetRule::kSmall) pass &= NonZeroBytes(m.small);
  if (required & CSetRule::kDigits) pass &= NonZeroBytes(m.digits);
  if (required & CSetRule::kSpecial) pass &= NonZeroBytes(m.printable & ~(m.capitals | m.small | m.digits));
  // A line is one 16-byte store: its eight characters, CR LF and six bytes that the next
  // line overwrites.
  const __m128i lineEnd = _mm_set_epi64x(0x0A0D, 0);
  for (int k = 0; k < 8; ++k) {
    char* const to = out + (kLines ? 10 : 8) * kept;
    if constexpr (kLines) {
      const __m128i chars = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 8 * k));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_or_si128(chars, lineEnd));
    } else {
      std::memcpy(to, in + 8 * k, 8);
    }
    kept += (pass >> (8 * k + 7)) & 1;
  }
  if (pass != 0) last = first + static_cast<std::size_t>(63 - __builtin_clzll(pass)) / 8 + 1;
  return kept;
}

// Each path: the masks of the blocks by signed byte compares (every bound is ASCII, so no
// byte from 0x80 up falls inside), then KeepBlock.

template <bool kLines>
std::size_t KeepBlocksSse2(const char* in, std::size_t blocks, unsigned required, char* out, std::size_t& last) {
  const auto between = [](__m128i x, char lo, char hi) {
    return static_cast<std::uint64_t>(static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(lo)), _mm_cmpgt_epi8(_mm_set1_epi8(hi), x)))));
  };
  std::size_t kept = 0;
  for (std::size_t b = 0; b < blocks; ++b, in += 64) {
    BlockMasks m{};
    for (int q = 0; q < 4; ++q) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * q));
      m.capitals |= between(x, '@', '[') << (16 * q);
      m.small |= between(x, '`', '{') << (16 * q);
      m.digits |= between(x, '/', ':') << (16 * q);
      m.printable |= between(x, ' ', 127) << (16 * q);
    }
    kept = KeepBlock<kLines>(m, required, in, 8 * b, out, kept, last);
  }
  return kept;
}

template <bool kLines>
KM_AVX2 std::size_t KeepBlocksAvx2(const char* in, std::size_t blocks, unsigned required, char* out,
                                   std::size_t& last) {
  const auto between = [](__m256i x, char lo, char hi) KM_AVX2 {
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpgt_epi8(x, _mm256_set1_epi8(lo)), _mm256_cmpgt_epi8(_mm256_set1_epi8(hi), x)))));
  };
  std::size_t kept = 0;
  for (std::size_t b = 0; b < blocks; ++b, in += 64) {
    BlockMasks m{};
    for (int h = 0; h < 2; ++h) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32 * h));
      m.capitals |= between(x, '@', '[') << (32 * h);
      m.small |= between(x, '`', '{') << (32 * h);
      m.digits |= between(x, '/', ':') << (32 * h);
      m.printable |= between(x, ' ', 127) << (32 * h);
    }
    kept = KeepBlock<kLines>(m, required, in, 8 * b, out, kept, last);
  }
  return kept;
}

// Byte shuffles that spread packed groups of eight characters into lines of ten: the first
// six lines from groups 0 to 5, then lines 6 and 7 from groups 6 and 7; the CR LF bytes
// (index 0, masked off) come from kLineEnds.
struct LineShuffles {
  alignas(64) unsigned char first[64], second[64], ends[64];
  LineShuffles() : first(), second(), ends() {
    for (int j = 0; j < 64; ++j) {
      const bool end = j % 10 >= 8;
      first[j] = end ? 0 : static_cast<unsigned char>(j / 10 * 8 + j % 10);
      second[j] = end || j >= 20 ? 0 : static_cast<unsigned char>(48 + j / 10 * 8 + j % 10);
      ends[j] = end ? (j % 10 == 8 ? '\r' : '\n') : 0;
    }
  }
};
const LineShuffles kLineShuffles;

// Each ASCII byte's sets, as CSetRule::ClassOf gives them.
struct ClassTable {
  alignas(64) unsigned char classes[128];
  ClassTable() : classes() {
    for (unsigned c = 0; c < 128; ++c)
      classes[c] = static_cast<unsigned char>(CSetRule::ClassOf(static_cast<unsigned char>(c)));
  }
};
const ClassTable kClassTable;

// With AVX-512 each byte's sets are looked up in one two-table permute (bytes from 0x80 up
// belong to none), a group holds a set when one of its bytes has the set's bit (one test
// per set), and the passing groups are packed by one compress of the eight groups and,
// for lines, spread by two byte shuffles.
template <bool kLines>
KM_AVX512 std::size_t KeepBlocksAvx512(const char* in, std::size_t blocks, unsigned required, char* out,
                                       std::size_t& last) {
  const __m512i first = _mm512_load_si512(kLineShuffles.first), second = _mm512_load_si512(kLineShuffles.second);
  const __m512i ends = _mm512_load_si512(kLineShuffles.ends);
  const __mmask64 notEnds = _mm512_cmpeq_epi8_mask(ends, _mm512_setzero_si512());
  const __m512i low = _mm512_load_si512(kClassTable.classes), high = _mm512_load_si512(kClassTable.classes + 64);
  const __m512i capitals = _mm512_set1_epi8(CSetRule::kCapitals), small = _mm512_set1_epi8(CSetRule::kSmall);
  const __m512i digits = _mm512_set1_epi8(CSetRule::kDigits), special = _mm512_set1_epi8(CSetRule::kSpecial);
  std::size_t kept = 0;
  for (std::size_t b = 0; b < blocks; ++b, in += 64) {
    const __m512i x = _mm512_loadu_si512(in);
    const __m512i sets = _mm512_maskz_permutex2var_epi8(~_mm512_movepi8_mask(x), low, x, high);
    __mmask8 pass = 0xFF;
    if (required & CSetRule::kCapitals) pass &= _mm512_test_epi64_mask(sets, capitals);
    if (required & CSetRule::kSmall) pass &= _mm512_test_epi64_mask(sets, small);
    if (required & CSetRule::kDigits) pass &= _mm512_test_epi64_mask(sets, digits);
    if (required & CSetRule::kSpecial) pass &= _mm512_test_epi64_mask(sets, special);
    const __m512i packed = _mm512_maskz_compress_epi64(pass, x);
    if constexpr (kLines) {
      char* const to = out + 10 * kept;
      _mm512_storeu_si512(to, _mm512_mask_permutexvar_epi8(ends, notEnds, first, packed));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 60),
                          _mm512_castsi512_si256(_mm512_mask_permutexvar_epi8(ends, notEnds, second, packed)));
    } else {
      _mm512_storeu_si512(out + 8 * kept, packed);
    }
    kept += static_cast<std::size_t>(__builtin_popcount(pass));
    if (pass != 0) last = 8 * b + static_cast<std::size_t>(31 - __builtin_clz(pass)) + 1;
  }
  return kept;
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
                           std::size_t& used, bool lines) const {
  std::size_t kept = 0, last = 0, g = 0;
  if (draws == 8) {
    kept = KeepEights(in, groups, out, most, last, lines);
    g = std::min(groups, most) / 8 * 8;
  }
  for (; g < groups && kept < most; ++g) {
    if (!Passes(in + g * draws, draws)) continue;
    std::memcpy(out + kept * (lines ? 10 : draws), in + g * draws, draws);
    if (lines) std::memcpy(out + kept * 10 + 8, "\r\n", 2);
    ++kept;
    last = g + 1;
  }
  used = (kept == most ? last : groups) * draws;
  return kept;
}

std::size_t CSetRule::KeepEights(const char* in, std::size_t groups, char* out, std::size_t most, std::size_t& last,
                                 bool lines) const {
  // Whole blocks of eight while eight more may be kept; Keep takes the rest one at a time.
  const std::size_t blocks = std::min(groups, most) / 8;
  switch (ActiveFillPath()) {
    case FillPath::Avx512:
      return (lines ? KeepBlocksAvx512<true> : KeepBlocksAvx512<false>)(in, blocks, required_, out, last);
    case FillPath::Avx2:
      return (lines ? KeepBlocksAvx2<true> : KeepBlocksAvx2<false>)(in, blocks, required_, out, last);
    case FillPath::Sse41:
    case FillPath::Sse2:
      break;
  }
  return (lines ? KeepBlocksSse2<true> : KeepBlocksSse2<false>)(in, blocks, required_, out, last);
}
