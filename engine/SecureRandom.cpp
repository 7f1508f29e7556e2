// Secure draws: a ChaCha20 stream keyed from the system's source, mapped onto pools by
// Lemire's method, several characters per 16-bit word. The vector kernels make one chunk
// at a time: lane i of a register holds word i of the chunk, and digit j of every word
// goes to chars[j * lanes + i]. A rejected word leaves its lane's characters to be made
// again from fresh words, one word at a time, so every character stays uniform.
#include "engine/SecureRandom.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/SegmentRing.h"
#include "engine/ShuffleLookup.h"
#include "engine/Wipe.h"

// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined register,
// which its own uninitialised-value warnings then flag once inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define KM_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vbmi")))
#define KM_AVX512_COMPRESS __attribute__((target("avx2,avx512f,avx512bw,avx512vbmi,avx512vbmi2")))

namespace {

SystemRandomFunction theSource = nullptr;

// 16-bit words per chunk on each path.
std::size_t ChunkWords(FillPath path) { return path == FillPath::Avx512 ? 32 : path == FillPath::Avx2 ? 16 : 8; }

// The scalar mapping of one word: its digits to lane[0], lane[stride], ...; false when the
// word is rejected (its characters are then to be made again from a fresh word).
inline bool ScalarWord(const CSecureTable& t, std::uint32_t x, char* lane, std::size_t stride) {
  for (std::uint32_t j = 0; j < t.digits; ++j) {
    x *= t.length;
    lane[j * stride] = static_cast<char>(t.entries[x >> 16]);
    x &= 0xFFFF;
  }
  return x >= t.threshold;
}

// Lanes whose words are rejected, from a byte mask of 16-bit comparisons (two bits a lane).
inline std::uint32_t LanesOf(std::uint32_t byteMask, std::size_t lanes) {
  if (byteMask == 0) return 0;  // the common case: no word rejected
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < lanes; ++i) mask |= ((byteMask >> (2 * i)) & 1u) << i;
  return mask;
}

// Room for one chunk's digits on the SSE2 path: 8 words of up to 16 digits.
constexpr std::size_t kDigitRoom = 8 * 16;

// SSE2: the vectors make the digits into `digits` (kDigitRoom entries, which the caller
// wipes when done); the table is read one byte at a time.
std::uint32_t Sse2Chunk(const CSecureTable& t, const std::uint16_t* words, char* out, std::uint16_t* digits) {
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
  const __m128i n = _mm_set1_epi16(static_cast<short>(t.length));
  for (std::uint32_t j = 0; j < t.digits; ++j) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(digits + 8 * j), _mm_mulhi_epu16(x, n));
    x = _mm_mullo_epi16(x, n);
  }
  for (std::size_t k = 0; k < 8 * t.digits; ++k) out[k] = static_cast<char>(t.entries[digits[k]]);
  const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i below =
      _mm_cmplt_epi16(_mm_xor_si128(x, flip), _mm_set1_epi16(static_cast<short>(t.threshold ^ 0x8000)));
  return LanesOf(static_cast<std::uint32_t>(_mm_movemask_epi8(below)), 8);
}

// SSE4.1 and AVX2: two digits' vectors packed to bytes and looked up by shuffles, 16 or 32
// characters at once. The words' digits are below L, so no index reaches the table's end.
// kChunks is the table's chunk count, fixed per instance so that the lookup unrolls;
// `chunks` is a copy of the table's, which no store to out can touch.
template <int kChunks>
KM_SSE41 inline std::uint32_t Sse41Chunk(const CSecureTable& t, const unsigned char (*chunks)[32],
                                         const std::uint16_t* words, char* out) {
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
  const __m128i n = _mm_set1_epi16(static_cast<short>(t.length));
  for (std::uint32_t j = 0; j < t.digits; j += 2) {
    const __m128i first = _mm_mulhi_epu16(x, n);
    x = _mm_mullo_epi16(x, n);
    __m128i second = first;
    if (j + 1 < t.digits) {
      second = _mm_mulhi_epu16(x, n);
      x = _mm_mullo_epi16(x, n);
    }
    const __m128i chars = Sse41Lookup(chunks, kChunks, _mm_packus_epi16(first, second));
    if (j + 1 < t.digits) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * j), chars);
    } else {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 8 * j), chars);
    }
  }
  const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i below =
      _mm_cmplt_epi16(_mm_xor_si128(x, flip), _mm_set1_epi16(static_cast<short>(t.threshold ^ 0x8000)));
  return LanesOf(static_cast<std::uint32_t>(_mm_movemask_epi8(below)), 8);
}

template <int kChunks>
KM_AVX2 inline std::uint32_t Avx2Chunk(const CSecureTable& t, const unsigned char (*chunks)[32],
                                       const std::uint16_t* words, char* out) {
  __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
  const __m256i n = _mm256_set1_epi16(static_cast<short>(t.length));
  for (std::uint32_t j = 0; j < t.digits; j += 2) {
    const __m256i first = _mm256_mulhi_epu16(x, n);
    x = _mm256_mullo_epi16(x, n);
    __m256i second = first;
    if (j + 1 < t.digits) {
      second = _mm256_mulhi_epu16(x, n);
      x = _mm256_mullo_epi16(x, n);
    }
    // The pack works per 128-bit half; the permute puts digit j's 16 bytes before j + 1's.
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), _MM_SHUFFLE(3, 1, 2, 0));
    const __m256i chars = Avx2Lookup(chunks, kChunks, bytes);
    if (j + 1 < t.digits) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * j), chars);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * j), _mm256_castsi256_si128(chars));
    }
  }
  const __m256i flip = _mm256_set1_epi16(static_cast<short>(0x8000));
  const __m256i below =
      _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(t.threshold ^ 0x8000)), _mm256_xor_si256(x, flip));
  return LanesOf(static_cast<std::uint32_t>(_mm256_movemask_epi8(below)), 16);
}

// `count` chunks from consecutive words into consecutive output, the rejected lanes of
// each in masks[]; one instance per table chunk count.
using ChunksKernel = void (*)(const CSecureTable&, const std::uint16_t*, std::size_t, char*, std::uint32_t*);

template <int kChunks>
KM_SSE41 void Sse41Chunks(const CSecureTable& t, const std::uint16_t* words, std::size_t count, char* out,
                          std::uint32_t* masks) {
  unsigned char chunks[kChunks][32];
  std::memcpy(chunks, t.chunks, sizeof chunks);
  for (std::size_t c = 0; c < count; ++c)
    masks[c] = Sse41Chunk<kChunks>(t, chunks, words + 8 * c, out + 8 * t.digits * c);
}

template <int kChunks>
KM_AVX2 void Avx2Chunks(const CSecureTable& t, const std::uint16_t* words, std::size_t count, char* out,
                        std::uint32_t* masks) {
  unsigned char chunks[kChunks][32];
  std::memcpy(chunks, t.chunks, sizeof chunks);
  for (std::size_t c = 0; c < count; ++c)
    masks[c] = Avx2Chunk<kChunks>(t, chunks, words + 16 * c, out + 16 * t.digits * c);
}

template <std::size_t... k>
constexpr std::array<ChunksKernel, sizeof...(k)> Sse41Kernels(std::index_sequence<k...>) {
  return {&Sse41Chunks<k + 1>...};
}
template <std::size_t... k>
constexpr std::array<ChunksKernel, sizeof...(k)> Avx2Kernels(std::index_sequence<k...>) {
  return {&Avx2Chunks<k + 1>...};
}
constexpr auto kSse41Chunks = Sse41Kernels(std::make_index_sequence<16>());
constexpr auto kAvx2Chunks = Avx2Kernels(std::make_index_sequence<16>());

// AVX-512: two digits' bytes side by side in one register, looked up in the 256-byte table
// with two-table byte permutes (the high bit of an index picks the upper pair).
KM_AVX512 inline __attribute__((always_inline)) std::uint32_t Avx512Chunk(const CSecureTable& t,
                                                                          const std::uint16_t* words, char* out) {
  const __m512i* table = reinterpret_cast<const __m512i*>(t.entries);
  const __m512i t0 = _mm512_loadu_si512(table), t1 = _mm512_loadu_si512(table + 1);
  const __m512i t2 = _mm512_loadu_si512(table + 2), t3 = _mm512_loadu_si512(table + 3);
  const bool wide = t.length > 128;
  __m512i x = _mm512_loadu_si512(words);
  const __m512i n = _mm512_set1_epi16(static_cast<short>(t.length));
  for (std::uint32_t j = 0; j < t.digits; j += 2) {
    const __m256i first = _mm512_cvtepi16_epi8(_mm512_mulhi_epu16(x, n));
    x = _mm512_mullo_epi16(x, n);
    __m256i second = first;
    if (j + 1 < t.digits) {
      second = _mm512_cvtepi16_epi8(_mm512_mulhi_epu16(x, n));
      x = _mm512_mullo_epi16(x, n);
    }
    const __m512i index = _mm512_inserti64x4(_mm512_castsi256_si512(first), second, 1);
    __m512i chars = _mm512_permutex2var_epi8(t0, index, t1);
    if (wide)
      chars = _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), chars, _mm512_permutex2var_epi8(t2, index, t3));
    if (j + 1 < t.digits) {
      _mm512_storeu_si512(out + 32 * j, chars);
    } else {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * j), _mm512_castsi512_si256(chars));
    }
  }
  return _mm512_cmplt_epu16_mask(x, _mm512_set1_epi16(static_cast<short>(t.threshold)));
}

// `chunks` chunks from consecutive words into consecutive output, the rejected lanes of
// each in masks[]. The table stays in registers across the chunks.
KM_AVX512 void Avx512Chunks(const CSecureTable& t, const std::uint16_t* words, std::size_t chunks, char* out,
                            std::uint32_t* masks) {
  for (std::size_t c = 0; c < chunks; ++c) masks[c] = Avx512Chunk(t, words + 32 * c, out + 32 * t.digits * c);
}

// The shuffles that bring fields of b bits to byte lanes, made once for each b from 1 to 8.
// AVX-512: `spread` moves group bytes [b * q, b * q + b) to qword q, `shifts` has each
// field's bit within its qword. 128-bit registers: `gather` brings field i of 16 (from 2b
// bytes) to a 16-bit lane, fields 0-7 then 8-15, and a multiply by `scale` (2^(8 - ib mod
// 8)) moves it to the lane's high byte.
struct FieldShuffles {
  alignas(64) unsigned char spread[64], shifts[64];
  alignas(16) unsigned char gather[2][16];
  alignas(16) std::uint16_t scale[2][8];
};
struct AllFieldShuffles {
  FieldShuffles of[9];
  AllFieldShuffles() : of() {
    for (std::uint32_t b = 1; b <= 8; ++b) {
      FieldShuffles& f = of[b];
      for (std::uint32_t j = 0; j < 64; ++j) {
        f.spread[j] = static_cast<unsigned char>(std::min(b * (j / 8) + j % 8, 63u));  // bytes past 8b: masked off
        f.shifts[j] = static_cast<unsigned char>(b * (j % 8));
      }
      for (std::uint32_t i = 0; i < 16; ++i) {
        const std::uint32_t bit = i * b;
        f.gather[i / 8][2 * (i % 8)] = static_cast<unsigned char>(bit / 8);
        f.gather[i / 8][2 * (i % 8) + 1] = static_cast<unsigned char>(std::min(bit / 8 + 1, 15u));  // b = 8: unused
        f.scale[i / 8][i % 8] = static_cast<std::uint16_t>(1u << (8 - bit % 8));
      }
    }
  }
};
const AllFieldShuffles kFieldShuffles;

// Fields of b bits: 64 from each group of 8b bytes. The group's bytes [b * q, b * q + b)
// are spread to qword q, whose fields are its bits at 0, b, ..., 7b (so the fields follow
// the little-endian bit stream); those up to L - 1 are looked up in `kTables` 64-entry
// quarters of the table and packed in order by one compress. Goes on until `room`
// characters are made or the groups run out; returns the characters made and the groups
// used in `used` (the rest of the last group's fields are dropped).
template <int kTables>
KM_AVX512_COMPRESS std::size_t Avx512Fields(const CSecureTable& t, const unsigned char* in, std::size_t groups,
                                            char* out, std::size_t room, std::size_t& used) {
  const std::uint32_t b = t.fieldBits;
  const FieldShuffles& f = kFieldShuffles.of[b];
  const __m512i spreadV = _mm512_load_si512(f.spread), shiftsV = _mm512_load_si512(f.shifts);
  const __m512i fieldMask = _mm512_set1_epi8(static_cast<char>((1u << b) - 1));
  const __m512i last = _mm512_set1_epi8(static_cast<char>(t.length - 1));
  const __mmask64 bytes = b == 8 ? ~__mmask64{0} : (__mmask64{1} << (8 * b)) - 1;
  const __m512i* table = reinterpret_cast<const __m512i*>(t.entries);
  const __m512i t0 = _mm512_loadu_si512(table), t1 = _mm512_loadu_si512(table + 1);
  const __m512i t2 = _mm512_loadu_si512(table + 2), t3 = _mm512_loadu_si512(table + 3);
  std::size_t made = 0, g = 0;
  while (g < groups && made < room) {
    const __m512i x = _mm512_permutexvar_epi8(spreadV, _mm512_maskz_loadu_epi8(bytes, in + 8 * b * g++));
    const __m512i index = _mm512_and_si512(_mm512_multishift_epi64_epi8(shiftsV, x), fieldMask);
    const __mmask64 keep = _mm512_cmple_epu8_mask(index, last);
    __m512i chars = kTables == 1 ? _mm512_permutexvar_epi8(index, t0) : _mm512_permutex2var_epi8(t0, index, t1);
    if (kTables == 4)
      chars = _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), chars, _mm512_permutex2var_epi8(t2, index, t3));
    const __m512i packed = _mm512_maskz_compress_epi8(keep, chars);
    const auto count = static_cast<std::size_t>(__builtin_popcountll(keep));
    if (room - made >= 64) {
      _mm512_storeu_si512(out + made, packed);
      made += count;
    } else {
      const std::size_t part = std::min(count, room - made);
      _mm512_mask_storeu_epi8(out + made, (__mmask64{1} << part) - 1, packed);
      made += part;
    }
  }
  used = g;
  return made;
}

// The kept ones of 16 characters (bit i of `keep` for byte i), packed eight lanes at a
// time by shuffles from kLeftPack, to out + made, no further than `room`; returns the new
// count made.
KM_SSE41 inline std::size_t StoreKept(__m128i chars, unsigned keep, char* out, std::size_t made, std::size_t room) {
  const unsigned lowKeep = keep & 0xFF, highKeep = keep >> 8;
  const __m128i low =
      _mm_shuffle_epi8(chars, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLeftPack.shuffle[lowKeep])));
  const __m128i high = _mm_shuffle_epi8(_mm_srli_si128(chars, 8),
                                        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLeftPack.shuffle[highKeep])));
  const std::size_t lowCount = kLeftPack.count[lowKeep], count = lowCount + kLeftPack.count[highKeep];
  if (room - made >= 16) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + made), low);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + made + lowCount), high);
    return made + count;
  }
  char part[16];
  _mm_storel_epi64(reinterpret_cast<__m128i*>(part), low);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(part + lowCount), high);
  const std::size_t n = std::min(count, room - made);
  std::memcpy(out + made, part, n);
  SecureWipe(part, sizeof part);
  return made + n;
}

// The fields on 128-bit registers (SSSE3, SSE4.1): 16 from each group of 2b bytes (see
// FieldShuffles), read by a 16-byte load, so groups start only where 16 bytes remain; the
// packed high bytes are masked to b bits, and those up to L - 1 are kept.
template <int kChunks>
KM_SSE41 std::size_t Sse41Fields(const CSecureTable& t, const unsigned char* in, std::size_t bytes, char* out,
                                 std::size_t room, std::size_t& used) {
  const std::uint32_t b = t.fieldBits;
  const std::size_t groups = bytes < 16 ? 0 : (bytes - 16) / (2 * b) + 1;
  unsigned char chunks[kChunks][32];
  std::memcpy(chunks, t.chunks, sizeof chunks);
  const FieldShuffles& f = kFieldShuffles.of[b];
  const __m128i gatherLow = _mm_load_si128(reinterpret_cast<const __m128i*>(f.gather[0]));
  const __m128i gatherHigh = _mm_load_si128(reinterpret_cast<const __m128i*>(f.gather[1]));
  const __m128i scaleLow = _mm_load_si128(reinterpret_cast<const __m128i*>(f.scale[0]));
  const __m128i scaleHigh = _mm_load_si128(reinterpret_cast<const __m128i*>(f.scale[1]));
  const __m128i fieldMask = _mm_set1_epi8(static_cast<char>((1u << b) - 1));
  const __m128i last = _mm_set1_epi8(static_cast<char>(t.length - 1));
  std::size_t made = 0, g = 0;
  for (; g < groups && made < room; ++g) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * b * g));
    const __m128i low = _mm_srli_epi16(_mm_mullo_epi16(_mm_shuffle_epi8(x, gatherLow), scaleLow), 8);
    const __m128i high = _mm_srli_epi16(_mm_mullo_epi16(_mm_shuffle_epi8(x, gatherHigh), scaleHigh), 8);
    const __m128i index = _mm_and_si128(_mm_packus_epi16(low, high), fieldMask);
    const auto keep = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(index, last), index)));
    made = StoreKept(Sse41Lookup(chunks, kChunks, index), keep, out, made, room);
  }
  used = 2 * b * g;
  return made;
}

using FieldsKernelFunction = std::size_t (*)(const CSecureTable&, const unsigned char*, std::size_t, char*, std::size_t,
                                             std::size_t&);
template <std::size_t... k>
constexpr std::array<FieldsKernelFunction, sizeof...(k)> Sse41FieldsKernels(std::index_sequence<k...>) {
  return {&Sse41Fields<k + 1>...};
}
constexpr auto kSse41Fields = Sse41FieldsKernels(std::make_index_sequence<16>());

// Characters from the fields of the `bytes` bytes at in (see Avx512Fields) until `room`
// are made or too few bytes are left for a group; `used` gets the bytes used, always whole
// 16-bit words.
std::size_t FieldsKernel(FillPath path, const CSecureTable& t, const unsigned char* in, std::size_t bytes, char* out,
                         std::size_t room, std::size_t& used) {
  if (path == FillPath::Sse41) return kSse41Fields[t.chunkCount - 1](t, in, bytes, out, room, used);
  std::size_t groups = 0;
  const std::size_t made = t.fieldBits <= 6   ? Avx512Fields<1>(t, in, bytes / (8 * t.fieldBits), out, room, groups)
                           : t.fieldBits == 7 ? Avx512Fields<2>(t, in, bytes / (8 * t.fieldBits), out, room, groups)
                                              : Avx512Fields<4>(t, in, bytes / (8 * t.fieldBits), out, room, groups);
  used = 8 * t.fieldBits * groups;
  return made;
}

}  // namespace

bool HasFieldKernel(FillPath path) {
  static const bool compress = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                               __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2");
  // With AVX2 the words cost about as much: its cipher is fast enough that packing the
  // kept fields eats what they save.
  return path == FillPath::Avx512 ? compress : path == FillPath::Sse41;
}

std::size_t MapFieldsForTest(FillPath path, const CSecureTable& t, const unsigned char* bytes, std::size_t groups,
                             char* out) {
  std::vector<unsigned char> padded(bytes, bytes + 8 * t.fieldBits * groups);
  padded.resize(padded.size() + 16);  // the 128-bit kernel reads 16 bytes from its last group's start
  std::size_t used = 0;
  // Bytes for exactly `groups` groups of 64 fields on every path.
  return FieldsKernel(path, t, padded.data(), padded.size() - 2 * t.fieldBits, out, 64 * groups, used);
}

SystemRandomFunction ReplaceSystemRandom(SystemRandomFunction source) {
  const SystemRandomFunction previous = theSource ? theSource : SystemRandomBytes;
  theSource = source;
  return previous;
}

CSecureTable::CSecureTable(std::string_view pool) : length(static_cast<std::uint32_t>(pool.size())) {
  std::memcpy(entries, pool.data(), pool.size());
  // The most characters per word of keystream, counting the words rejected.
  chunkCount = static_cast<int>((length + 15) / 16);
  MakeShuffleChunks(entries, chunkCount, chunks);
  digits = 1;
  threshold = 65536 % length;
  double best = 0;
  std::uint32_t product = 1;
  for (std::uint32_t k = 1; product * length <= 65536; ++k) {
    product *= length;
    const std::uint32_t rejectBelow = 65536 % product;
    const double yield = k * (1.0 - rejectBelow / 65536.0);
    if (yield > best) {
      best = yield;
      digits = k;
      threshold = rejectBelow;
    }
    if (length == 1) break;  // one character: nothing to draw, any word will do
  }
  // Fields of b bits keep L in 2^b of them: b * 2^b / L bits a character, against 16 /
  // best for the words.
  std::uint32_t b = 1;
  while (1u << b < length) ++b;
  if (length > 1 && b * 65536.0 / length * best < 16.0 * 65536 / (1u << b)) fieldBits = b;
}

CSecureRandom::CSecureRandom() : path_(ActiveFillPath()) {}

CSecureRandom::~CSecureRandom() = default;

void CSecureRandom::UsePath(FillPath path) { path_ = path; }

bool CSecureRandom::Start() {
  unsigned char key[32];
  const bool drawn = (theSource ? theSource : SystemRandomBytes)(key, sizeof key);
  if (drawn) {
    static const unsigned char kNonce[12] = {};  // a fresh key every run: a fixed nonce is safe
    // Segment k of kBufferWords words is blocks [k * 256, (k + 1) * 256) of the stream;
    // each thread that makes segments has a cipher of its own.
    constexpr std::uint64_t kBlocks = 2 * kBufferWords / CChaCha20::kBlockBytes;
    auto make = [this, own = std::make_shared<CChaCha20>(key, kNonce, 0),
                 helpers = std::make_shared<CChaCha20>(key, kNonce, 0)](std::uint64_t k, char* slot, bool helper) {
      CChaCha20& cipher = helper ? *helpers : *own;
      cipher.Seek(k * kBlocks);
      cipher.KeystreamGroup(path_, reinterpret_cast<std::uint32_t*>(slot), kBlocks / CChaCha20::Lanes(path_));
    };
    ring_ = std::make_unique<CSegmentRing>(2 * kBufferWords, make, demand_);
  }
  SecureWipe(key, sizeof key);
  next_ = kBufferWords;
  return drawn;
}

void CSecureRandom::Refill() {
  words_ = reinterpret_cast<const std::uint16_t*>(ring_->Next());
  next_ = 0;
}

const std::uint16_t* CSecureRandom::Take(std::size_t n) {
  if (kBufferWords - next_ < n) Refill();  // the rest is dropped: keystream is never used twice
  const std::uint16_t* words = words_ + next_;
  next_ += n;
  return words;
}

std::uint32_t CSecureRandom::Below(std::uint32_t n) {
  auto draw = [this] {
    const std::uint16_t* w = Take(2);
    return static_cast<std::uint32_t>(w[0]) | static_cast<std::uint32_t>(w[1]) << 16;
  };
  std::uint64_t m = static_cast<std::uint64_t>(draw()) * n;
  if (static_cast<std::uint32_t>(m) < n) {
    const std::uint32_t reject = (0u - n) % n;  // 2^32 mod n
    while (static_cast<std::uint32_t>(m) < reject) m = static_cast<std::uint64_t>(draw()) * n;
  }
  return static_cast<std::uint32_t>(m >> 32);
}

std::size_t CSecureRandom::Chunks(const CSecureTable& t, std::size_t chunks, char* out) {
  const std::size_t lanes = ChunkWords(path_), width = lanes * t.digits;
  std::uint32_t masks[kBufferWords / 8];  // one per chunk of the narrowest path
  if (kBufferWords - next_ < lanes) Refill();
  chunks = std::min(chunks, (kBufferWords - next_) / lanes);
  const std::uint16_t* words = Take(chunks * lanes);
  switch (path_) {
    case FillPath::Avx512:
      Avx512Chunks(t, words, chunks, out, masks);
      break;
    case FillPath::Avx2:
      kAvx2Chunks[t.chunkCount - 1](t, words, chunks, out, masks);
      break;
    case FillPath::Sse41:
      kSse41Chunks[t.chunkCount - 1](t, words, chunks, out, masks);
      break;
    case FillPath::Sse2: {
      std::uint16_t digits[kDigitRoom];
      for (std::size_t c = 0; c < chunks; ++c) masks[c] = Sse2Chunk(t, words + lanes * c, out + width * c, digits);
      SecureWipe(digits, width * sizeof *digits);  // the part in use
      break;
    }
  }
  // Each rejected word's characters are made again from fresh words until one is kept.
  for (std::size_t c = 0; c < chunks; ++c)
    for (std::uint32_t rejected = masks[c]; rejected != 0; rejected &= rejected - 1) {
      char* lane = out + width * c + static_cast<std::size_t>(__builtin_ctz(rejected));
      while (!ScalarWord(t, *Take(1), lane, lanes)) {
      }
    }
  return chunks;
}

void CSecureRandom::FillFields(const CSecureTable& t, char* out, std::size_t n) {
  for (std::size_t done = 0; done < n;) {
    std::size_t used = 0;
    if (next_ < kBufferWords)  // else there is no segment yet, or it is used up
      done += FieldsKernel(path_, t, reinterpret_cast<const unsigned char*>(words_ + next_), 2 * (kBufferWords - next_),
                           out + done, n - done, used);
    if (used == 0) {
      Refill();  // too little left for a group: dropped, as by Take
    } else {
      next_ += used / 2;
    }
  }
}

void CSecureRandom::Fill(const CSecureTable& t, char* out, std::size_t n) {
  if (t.length == 1) {
    std::memset(out, t.entries[0], n);
    return;
  }
  if (t.fieldBits != 0 && HasFieldKernel(path_)) return FillFields(t, out, n);
  const std::size_t chunk = ChunkWords(path_) * t.digits;
  std::size_t done = 0;
  while (n - done >= chunk) done += chunk * Chunks(t, (n - done) / chunk, out + done);
  if (done < n) {
    char tail[32 * 16];
    Chunks(t, 1, tail);
    std::memcpy(out + done, tail, n - done);
    SecureWipe(tail, chunk);
  }
}

void MapWordsForTest(MapKernel kernel, const CSecureTable& t, const std::uint16_t* words, std::size_t n, char* out,
                     bool* rejected) {
  if (kernel == MapKernel::Scalar) {
    for (std::size_t i = 0; i < n; ++i) rejected[i] = !ScalarWord(t, words[i], out + i * t.digits, 1);
    return;
  }
  const FillPath path = kernel == MapKernel::Avx512  ? FillPath::Avx512
                        : kernel == MapKernel::Avx2  ? FillPath::Avx2
                        : kernel == MapKernel::Sse41 ? FillPath::Sse41
                                                     : FillPath::Sse2;
  const std::size_t lanes = ChunkWords(path);
  std::uint16_t chunkWords[32] = {}, digits[kDigitRoom];
  char chars[32 * 16];
  for (std::size_t done = 0; done < n; done += lanes) {
    const std::size_t part = std::min(lanes, n - done);
    std::memcpy(chunkWords, words + done, part * sizeof *words);
    std::uint32_t mask = 0;
    if (path == FillPath::Avx512) Avx512Chunks(t, chunkWords, 1, chars, &mask);
    if (path == FillPath::Avx2) kAvx2Chunks[t.chunkCount - 1](t, chunkWords, 1, chars, &mask);
    if (path == FillPath::Sse41) kSse41Chunks[t.chunkCount - 1](t, chunkWords, 1, chars, &mask);
    if (path == FillPath::Sse2) mask = Sse2Chunk(t, chunkWords, chars, digits);
    for (std::size_t i = 0; i < part; ++i) {  // lane i's digit j is chars[j * lanes + i]
      rejected[done + i] = mask >> i & 1;
      for (std::uint32_t j = 0; j < t.digits; ++j) out[(done + i) * t.digits + j] = chars[j * lanes + i];
    }
  }
}
