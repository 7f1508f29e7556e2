// Vector fills of pool characters. Each kernel keeps four registers of lane states, each
// lane a different draw of the same stream, and advances every lane by the width of one
// step at once. The lane of register i, position j holds draw 16 * (j / 4) + 4 * i + j % 4
// of its step, so that packing the four registers' indices to bytes lands every draw at
// its own place without a permutation.
//
// Scaling: (float)(state & 0x7FFF0000) is r * 65536 exactly; times a factor checked for
// every r when the table is built, then truncated, it is r * L / 32767.
#include "engine/FastFill.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>
#include <utility>

#include "engine/RandomSource.h"
#include "engine/ShuffleLookup.h"
#include "engine/Wipe.h"

// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined register,
// which its own uninitialised-value warnings then flag once inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define KM_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vbmi")))

namespace {

constexpr std::uint32_t kDrawBits = 0x7FFF0000;

// Jumps of 0 to 64 draws, for the lane states of one step.
const std::array<CJump, 65>& Jumps() {
  static const std::array<CJump, 65> jumps = [] {
    std::array<CJump, 65> j{};
    for (std::size_t k = 1; k < j.size(); ++k) j[k] = j[k - 1].Then(CJump::Of(1));
    return j;
  }();
  return jumps;
}

// Draw of register i, lane j within a step (see the top of the file).
constexpr std::size_t LaneDraw(std::size_t i, std::size_t j) { return 16 * (j / 4) + 4 * i + j % 4; }

// The states after each draw of the first step from `state`, register by register.
template <std::size_t W>
std::array<std::uint32_t, 4 * W> FirstStates(std::uint32_t state) {
  std::array<std::uint32_t, 4 * W> lanes{};
  const auto& jumps = Jumps();
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < W; ++j) lanes[i * W + j] = jumps[LaneDraw(i, j) + 1].Apply(state);
  return lanes;
}

// The given states (one per draw, `n` of up to 4 * W) arranged in lanes; the rest zero.
template <std::size_t W>
std::array<std::uint32_t, 4 * W> ArrangeStates(const std::uint32_t* states, std::size_t n) {
  std::array<std::uint32_t, 4 * W> lanes{};
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < W; ++j)
      if (LaneDraw(i, j) < n) lanes[i * W + j] = states[LaneDraw(i, j)];
  return lanes;
}

std::int32_t ScaleOne(std::uint32_t r, float scale) {
  const float bits = static_cast<float>(static_cast<std::int32_t>(r << 16));
  return static_cast<std::int32_t>(bits * scale);
}

// Each path has the same parts: Draws (the state bits as floats, shared by both tables),
// Chars (one table's characters for them), Step (one step into one or two outputs),
// Fill (a whole run, the tail through a buffer) and ForStates (tests).

// --- SSE2: every x86-64 processor. Vector states and scaling, table lookup per byte.

inline __m128i Sse2Mul(__m128i a, __m128i b) {
  // Only 32 x 32 -> 64 products exist here: the even lanes, then the odd ones.
  const __m128i even = _mm_mul_epu32(a, b);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), b);  // b is the same in every lane
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

inline void Sse2Draws(const __m128i s[4], __m128 bits[4]) {
  for (int i = 0; i < 4; ++i) bits[i] = _mm_cvtepi32_ps(_mm_and_si128(s[i], _mm_set1_epi32(kDrawBits)));
}

// `bytes` is scratch of 16 bytes for the indices, wiped by the caller when done.
inline void Sse2Chars(const CFillTable& t, const __m128 bits[4], char* out, unsigned char* bytes) {
  const __m128 scale = _mm_set1_ps(t.scale);
  __m128i index[4];
  for (int i = 0; i < 4; ++i) index[i] = _mm_cvttps_epi32(_mm_mul_ps(bits[i], scale));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes),
                   _mm_packus_epi16(_mm_packs_epi32(index[0], index[1]), _mm_packs_epi32(index[2], index[3])));
  for (int k = 0; k < 16; ++k) out[k] = static_cast<char>(t.entries[bytes[k]]);
}

template <bool kTwo>
inline void Sse2Step(const CFillTable& t, const CFillTable* second, const __m128i s[4], char* out, char* out2,
                     unsigned char* bytes) {
  __m128 bits[4];
  Sse2Draws(s, bits);
  Sse2Chars(t, bits, out, bytes);
  if constexpr (kTwo) Sse2Chars(*second, bits, out2, bytes);
}

template <bool kTwo>
void Sse2Fill(const CFillTable& t, const CFillTable* second, std::uint32_t state, char* out, char* out2,
              std::size_t n) {
  const auto first = FirstStates<4>(state);
  __m128i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&first[4 * i]));
  const CJump step = Jumps()[16];
  const __m128i mul = _mm_set1_epi32(static_cast<int>(step.mul));
  const __m128i add = _mm_set1_epi32(static_cast<int>(step.add));
  unsigned char bytes[16];
  std::size_t done = 0;
  for (; done + 16 <= n; done += 16) {
    Sse2Step<kTwo>(t, second, s, out + done, kTwo ? out2 + done : nullptr, bytes);
    for (auto& lane : s) lane = _mm_add_epi32(Sse2Mul(lane, mul), add);
  }
  if (done < n) {
    char tail[16], tail2[16];
    Sse2Step<kTwo>(t, second, s, tail, tail2, bytes);
    std::memcpy(out + done, tail, n - done);
    if constexpr (kTwo) std::memcpy(out2 + done, tail2, n - done);
    SecureWipe(tail, sizeof tail);
    SecureWipe(tail2, sizeof tail2);
  }
  SecureWipe(bytes, sizeof bytes);
}

void Sse2ForStates(const CFillTable& t, const std::uint32_t* states, std::size_t n, char* out) {
  const auto lanes = ArrangeStates<4>(states, n);
  __m128i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&lanes[4 * i]));
  char chars[16];
  unsigned char bytes[16];
  Sse2Step<false>(t, nullptr, s, chars, nullptr, bytes);
  std::memcpy(out, chars, n);
  SecureWipe(chars, sizeof chars);
  SecureWipe(bytes, sizeof bytes);
}

// --- SSSE3 and SSE4.1: the SSE2 step with 32-bit multiplies, and the lookup by pshufb over
// 16-entry chunks as on AVX2, a half register at a time.

template <int kChunks>
KM_SSE41 inline __m128i Sse41Chars(const CFillTable& t, const __m128 bits[4]) {
  const __m128 scale = _mm_set1_ps(t.scale);
  __m128i index[4];
  for (int i = 0; i < 4; ++i) index[i] = _mm_cvttps_epi32(_mm_mul_ps(bits[i], scale));
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(index[0], index[1]), _mm_packs_epi32(index[2], index[3]));
  return Sse41Lookup(t.chunks, kChunks > 0 ? kChunks : t.chunkCount, bytes);
}

// The steps of a fill: each makes the characters of the draws of one step of lane states
// into out (and out2, with two tables). Their factors are members, in registers once the
// fill is inlined: loaded from a table on each step instead, they would be loaded again
// after every store, which may alias anything.

// One table, or two mapped on their own. kSecond: -1 for no second table; else its chunk
// count when fixed (1), or 0 for any.
template <int kChunks, int kSecond>
struct Sse41Tables {
  static constexpr bool kTwo = kSecond >= 0;
  KM_SSE41 void operator()(const __m128i s[4], char* out, char* out2) const {
    __m128 bits[4];
    Sse2Draws(s, bits);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Sse41Chars<kChunks>(t, bits));
    if constexpr (kTwo) _mm_storeu_si128(reinterpret_cast<__m128i*>(out2), Sse41Chars<kSecond>(*second, bits));
  }
  const CFillTable& t;
  const CFillTable* second;
};

// Both tables of a combined pair (CFillPair): q / L2 and q / L1 of one index q, packed as a
// single table's indices are, so that each draw lands at its own place.
template <int kChunks>
struct Sse41Pair {
  static constexpr bool kTwo = true;
  KM_SSE41 explicit Sse41Pair(const CFillPair& pair)
      : p(pair),
        scale(_mm_set1_ps(pair.scale)),
        firstMul(_mm_set1_epi16(static_cast<short>(pair.firstMul))),
        secondMul(_mm_set1_epi16(static_cast<short>(pair.secondMul))) {}
  KM_SSE41 void operator()(const __m128i s[4], char* out, char* out2) const {
    __m128 bits[4];
    Sse2Draws(s, bits);
    __m128i q[4];
    for (int i = 0; i < 4; ++i) q[i] = _mm_cvttps_epi32(_mm_mul_ps(bits[i], scale));
    const __m128i low = _mm_packus_epi32(q[0], q[1]), high = _mm_packus_epi32(q[2], q[3]);
    const __m128i first = _mm_packus_epi16(_mm_mulhi_epu16(low, firstMul), _mm_mulhi_epu16(high, firstMul));
    const __m128i second = _mm_packus_epi16(_mm_mulhi_epu16(low, secondMul), _mm_mulhi_epu16(high, secondMul));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Sse41Lookup(p.first->chunks, kChunks, first));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out2), Sse41Lookup(p.second->chunks, 1, second));
  }
  const CFillPair& p;
  __m128 scale;
  __m128i firstMul, secondMul;
};

// A whole fill of n draws by `step`, the tail through a buffer.
template <class Step>
KM_SSE41 void Sse41Run(const Step step, std::uint32_t state, char* out, char* out2, std::size_t n) {
  const auto first = FirstStates<4>(state);
  __m128i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&first[4 * i]));
  const CJump jump = Jumps()[16];
  const __m128i mul = _mm_set1_epi32(static_cast<int>(jump.mul));
  const __m128i add = _mm_set1_epi32(static_cast<int>(jump.add));
  std::size_t done = 0;
  for (; done + 16 <= n; done += 16) {
    step(s, out + done, Step::kTwo ? out2 + done : nullptr);
    for (auto& lane : s) lane = _mm_add_epi32(_mm_mullo_epi32(lane, mul), add);
  }
  if (done < n) {
    char tail[16], tail2[16];
    step(s, tail, tail2);
    std::memcpy(out + done, tail, n - done);
    if constexpr (Step::kTwo) std::memcpy(out2 + done, tail2, n - done);
    SecureWipe(tail, sizeof tail);
    SecureWipe(tail2, sizeof tail2);
  }
}

template <int kChunks, int kSecond>
KM_SSE41 void Sse41Fill(const CFillTable& t, const CFillTable* second, std::uint32_t state, char* out, char* out2,
                        std::size_t n) {
  Sse41Run(Sse41Tables<kChunks, kSecond>{t, second}, state, out, out2, n);
}

template <int kChunks>
KM_SSE41 void Sse41PairFill(const CFillPair& p, std::uint32_t state, char* out, char* out2, std::size_t n) {
  Sse41Run(Sse41Pair<kChunks>(p), state, out, out2, n);
}

template <int kChunks>
KM_SSE41 void Sse41ForStates(const CFillTable& t, const std::uint32_t* states, std::size_t n, char* out) {
  const auto lanes = ArrangeStates<4>(states, n);
  __m128i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&lanes[4 * i]));
  char chars[16];
  Sse41Tables<kChunks, -1>{t, nullptr}(s, chars, nullptr);
  std::memcpy(out, chars, n);
  SecureWipe(chars, sizeof chars);
}

// --- AVX2: 32 draws a step; lookup by pshufb over 16-entry chunks.

KM_AVX2 inline void Avx2Draws(const __m256i s[4], __m256 bits[4]) {
  for (int i = 0; i < 4; ++i) bits[i] = _mm256_cvtepi32_ps(_mm256_and_si256(s[i], _mm256_set1_epi32(kDrawBits)));
}

// kChunks is the table's chunk count when fixed per instance, so that the lookup unrolls;
// 0 reads it from the table.
template <int kChunks>
KM_AVX2 inline __m256i Avx2Chars(const CFillTable& t, const __m256 bits[4]) {
  const __m256 scale = _mm256_set1_ps(t.scale);
  __m256i index[4];
  for (int i = 0; i < 4; ++i) index[i] = _mm256_cvttps_epi32(_mm256_mul_ps(bits[i], scale));
  const __m256i bytes =
      _mm256_packus_epi16(_mm256_packs_epi32(index[0], index[1]), _mm256_packs_epi32(index[2], index[3]));
  return Avx2Lookup(t.chunks, kChunks > 0 ? kChunks : t.chunkCount, bytes);
}

// The SSE4.1 steps and fill on 256-bit registers.
template <int kChunks, int kSecond>
struct Avx2Tables {
  static constexpr bool kTwo = kSecond >= 0;
  KM_AVX2 void operator()(const __m256i s[4], char* out, char* out2) const {
    __m256 bits[4];
    Avx2Draws(s, bits);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), Avx2Chars<kChunks>(t, bits));
    if constexpr (kTwo) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out2), Avx2Chars<kSecond>(*second, bits));
  }
  const CFillTable& t;
  const CFillTable* second;
};

template <int kChunks>
struct Avx2Pair {
  static constexpr bool kTwo = true;
  KM_AVX2 explicit Avx2Pair(const CFillPair& pair)
      : p(pair),
        scale(_mm256_set1_ps(pair.scale)),
        firstMul(_mm256_set1_epi16(static_cast<short>(pair.firstMul))),
        secondMul(_mm256_set1_epi16(static_cast<short>(pair.secondMul))) {}
  KM_AVX2 void operator()(const __m256i s[4], char* out, char* out2) const {
    __m256 bits[4];
    Avx2Draws(s, bits);
    __m256i q[4];
    for (int i = 0; i < 4; ++i) q[i] = _mm256_cvttps_epi32(_mm256_mul_ps(bits[i], scale));
    const __m256i low = _mm256_packus_epi32(q[0], q[1]), high = _mm256_packus_epi32(q[2], q[3]);
    const __m256i first = _mm256_packus_epi16(_mm256_mulhi_epu16(low, firstMul), _mm256_mulhi_epu16(high, firstMul));
    const __m256i second = _mm256_packus_epi16(_mm256_mulhi_epu16(low, secondMul), _mm256_mulhi_epu16(high, secondMul));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), Avx2Lookup(p.first->chunks, kChunks, first));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out2), Avx2Lookup(p.second->chunks, 1, second));
  }
  const CFillPair& p;
  __m256 scale;
  __m256i firstMul, secondMul;
};

template <class Step>
KM_AVX2 void Avx2Run(const Step step, std::uint32_t state, char* out, char* out2, std::size_t n) {
  const auto first = FirstStates<8>(state);
  __m256i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&first[8 * i]));
  const CJump jump = Jumps()[32];
  const __m256i mul = _mm256_set1_epi32(static_cast<int>(jump.mul));
  const __m256i add = _mm256_set1_epi32(static_cast<int>(jump.add));
  std::size_t done = 0;
  for (; done + 32 <= n; done += 32) {
    step(s, out + done, Step::kTwo ? out2 + done : nullptr);
    for (auto& lane : s) lane = _mm256_add_epi32(_mm256_mullo_epi32(lane, mul), add);
  }
  if (done < n) {
    char tail[32], tail2[32];
    step(s, tail, tail2);
    std::memcpy(out + done, tail, n - done);
    if constexpr (Step::kTwo) std::memcpy(out2 + done, tail2, n - done);
    SecureWipe(tail, sizeof tail);
    SecureWipe(tail2, sizeof tail2);
  }
}

template <int kChunks, int kSecond>
KM_AVX2 void Avx2Fill(const CFillTable& t, const CFillTable* second, std::uint32_t state, char* out, char* out2,
                      std::size_t n) {
  Avx2Run(Avx2Tables<kChunks, kSecond>{t, second}, state, out, out2, n);
}

template <int kChunks>
KM_AVX2 void Avx2PairFill(const CFillPair& p, std::uint32_t state, char* out, char* out2, std::size_t n) {
  Avx2Run(Avx2Pair<kChunks>(p), state, out, out2, n);
}

template <int kChunks>
KM_AVX2 void Avx2ForStates(const CFillTable& t, const std::uint32_t* states, std::size_t n, char* out) {
  const auto lanes = ArrangeStates<8>(states, n);
  __m256i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&lanes[8 * i]));
  char chars[32];
  Avx2Tables<kChunks, -1>{t, nullptr}(s, chars, nullptr);
  std::memcpy(out, chars, n);
  SecureWipe(chars, sizeof chars);
}

// The fills and the test kernels of both pshufb paths for every chunk count, 1 to 16.
using FillKernel = void (*)(const CFillTable&, const CFillTable*, std::uint32_t, char*, char*, std::size_t);
using StatesKernel = void (*)(const CFillTable&, const std::uint32_t*, std::size_t, char*);
template <int kSecond, std::size_t... k>
constexpr std::array<FillKernel, sizeof...(k)> Avx2Fills(std::index_sequence<k...>) {
  return {&Avx2Fill<k + 1, kSecond>...};
}
template <std::size_t... k>
constexpr std::array<StatesKernel, sizeof...(k)> Avx2StatesKernels(std::index_sequence<k...>) {
  return {&Avx2ForStates<k + 1>...};
}
template <int kSecond, std::size_t... k>
constexpr std::array<FillKernel, sizeof...(k)> Sse41Fills(std::index_sequence<k...>) {
  return {&Sse41Fill<k + 1, kSecond>...};
}
template <std::size_t... k>
constexpr std::array<StatesKernel, sizeof...(k)> Sse41StatesKernels(std::index_sequence<k...>) {
  return {&Sse41ForStates<k + 1>...};
}
using PairKernel = void (*)(const CFillPair&, std::uint32_t, char*, char*, std::size_t);
template <std::size_t... k>
constexpr std::array<PairKernel, sizeof...(k)> Avx2PairFills(std::index_sequence<k...>) {
  return {&Avx2PairFill<k + 1>...};
}
template <std::size_t... k>
constexpr std::array<PairKernel, sizeof...(k)> Sse41PairFills(std::index_sequence<k...>) {
  return {&Sse41PairFill<k + 1>...};
}
// One table; two; two of which the second fits one chunk (the steps between variable lengths).
constexpr auto kAvx2Fills = Avx2Fills<-1>(std::make_index_sequence<16>());
constexpr auto kAvx2Fills2 = Avx2Fills<0>(std::make_index_sequence<16>());
constexpr auto kAvx2Fills2One = Avx2Fills<1>(std::make_index_sequence<16>());
constexpr auto kAvx2ForStates = Avx2StatesKernels(std::make_index_sequence<16>());
constexpr auto kSse41Fills = Sse41Fills<-1>(std::make_index_sequence<16>());
constexpr auto kSse41Fills2 = Sse41Fills<0>(std::make_index_sequence<16>());
constexpr auto kSse41Fills2One = Sse41Fills<1>(std::make_index_sequence<16>());
constexpr auto kSse41ForStates = Sse41StatesKernels(std::make_index_sequence<16>());
constexpr auto kAvx2PairFills = Avx2PairFills(std::make_index_sequence<16>());
constexpr auto kSse41PairFills = Sse41PairFills(std::make_index_sequence<16>());

// --- AVX-512 with byte permutes: 64 draws a step; a lookup of 64 or 128 entries is one
// instruction.

KM_AVX512 inline void Avx512Draws(const __m512i s[4], __m512 bits[4]) {
  for (int i = 0; i < 4; ++i) bits[i] = _mm512_cvtepi32_ps(_mm512_and_si512(s[i], _mm512_set1_epi32(kDrawBits)));
}

// The byte permute that gathers the low bytes of two registers' 32-bit lanes in the order
// that packing them to bytes would give: byte 16l + 4m + q of the result is lane 4l + q
// of register m (m = 0, 1 here; 2 and 3 come from a second permute).
struct LowBytes {
  alignas(64) unsigned char index[64];
  LowBytes() : index() {
    for (unsigned j = 0; j < 64; ++j)
      index[j] = static_cast<unsigned char>((j / 4 % 2) * 64 + 4 * (j / 16 * 4 + j % 4));
  }
};
const LowBytes kLowBytes;

// r * L / 32767, truncated, as an integer in the low mantissa bits: one fused multiply-add
// of the draw's bits, the scale and 2^23, rounded toward zero (the exact product's floor,
// which the table's scale makes the same as the multiply and truncation of the other
// paths), then the low bytes gathered.
KM_AVX512 inline __m512i Avx512Chars(const CFillTable& t, const __m512 bits[4]) {
  const __m512 scale = _mm512_set1_ps(t.scale), magic = _mm512_set1_ps(8388608.0f);
  __m512i index[4];
  for (int i = 0; i < 4; ++i)
    index[i] =
        _mm512_castps_si512(_mm512_fmadd_round_ps(bits[i], scale, magic, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
  const __m512i gather = _mm512_load_si512(kLowBytes.index);
  const __m512i bytes =
      _mm512_mask_blend_epi8(0xFF00FF00FF00FF00ull, _mm512_permutex2var_epi8(index[0], gather, index[1]),
                             _mm512_permutex2var_epi8(index[2], gather, index[3]));
  const __m512i t0 = _mm512_loadu_si512(t.entries);
  if (t.chunkCount <= 4) return _mm512_permutexvar_epi8(bytes, t0);
  const __m512i below = _mm512_permutex2var_epi8(t0, bytes, _mm512_loadu_si512(t.entries + 64));
  if (t.chunkCount <= 8) return below;
  const __m512i above =
      _mm512_permutex2var_epi8(_mm512_loadu_si512(t.entries + 128), bytes, _mm512_loadu_si512(t.entries + 192));
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), below, above);
}

template <bool kTwo>
KM_AVX512 inline void Avx512Step(const CFillTable& t, const CFillTable* second, const __m512i s[4], char* out,
                                 char* out2) {
  __m512 bits[4];
  Avx512Draws(s, bits);
  _mm512_storeu_si512(out, Avx512Chars(t, bits));
  if constexpr (kTwo) _mm512_storeu_si512(out2, Avx512Chars(*second, bits));
}

template <bool kTwo>
KM_AVX512 void Avx512Fill(const CFillTable& t, const CFillTable* second, std::uint32_t state, char* out, char* out2,
                          std::size_t n) {
  const auto first = FirstStates<16>(state);
  __m512i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm512_loadu_si512(&first[16 * i]);
  const CJump step = Jumps()[64];
  const __m512i mul = _mm512_set1_epi32(static_cast<int>(step.mul));
  const __m512i add = _mm512_set1_epi32(static_cast<int>(step.add));
  std::size_t done = 0;
  for (; done + 64 <= n; done += 64) {
    Avx512Step<kTwo>(t, second, s, out + done, kTwo ? out2 + done : nullptr);
    for (auto& lane : s) lane = _mm512_add_epi32(_mm512_mullo_epi32(lane, mul), add);
  }
  if (done < n) {
    char tail[64], tail2[64];
    Avx512Step<kTwo>(t, second, s, tail, tail2);
    std::memcpy(out + done, tail, n - done);
    if constexpr (kTwo) std::memcpy(out2 + done, tail2, n - done);
    SecureWipe(tail, sizeof tail);
    SecureWipe(tail2, sizeof tail2);
  }
}

KM_AVX512 void Avx512ForStates(const CFillTable& t, const std::uint32_t* states, std::size_t n, char* out) {
  const auto lanes = ArrangeStates<16>(states, n);
  __m512i s[4];
  for (int i = 0; i < 4; ++i) s[i] = _mm512_loadu_si512(&lanes[16 * i]);
  char chars[64];
  Avx512Step<false>(t, nullptr, s, chars, nullptr);
  std::memcpy(out, chars, n);
  SecureWipe(chars, sizeof chars);
}

// One table's characters, or a pair's, for the next n draws on the active path.
template <bool kTwo>
void Fill(const CFillTable& table, const CFillPair* pair, std::uint32_t& state, char* out, char* out2, std::size_t n) {
  if (n == 0) return;
  const CFillTable* const second = kTwo ? pair->second : nullptr;
  if (!table.exact || (kTwo && !second->exact)) {
    CRandomSource one;
    one.Seed(state);
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint32_t r = one.Next();
      out[k] = static_cast<char>(table.entries[CRandomSource::Scale(r, table.length)]);
      if constexpr (kTwo) out2[k] = static_cast<char>(second->entries[CRandomSource::Scale(r, second->length)]);
    }
    state = one.State();
    return;
  }
  const FillPath path = ActiveFillPath();
  if (kTwo && pair->combined && (path == FillPath::Avx2 || path == FillPath::Sse41)) {
    (path == FillPath::Avx2 ? kAvx2PairFills : kSse41PairFills)[table.chunkCount - 1](*pair, state, out, out2, n);
    state = CJump::Of(n).Apply(state);
    return;
  }
  switch (path) {
    case FillPath::Avx512:
      Avx512Fill<kTwo>(table, second, state, out, out2, n);
      break;
    case FillPath::Avx2:
      (!kTwo                     ? kAvx2Fills
       : second->chunkCount == 1 ? kAvx2Fills2One
                                 : kAvx2Fills2)[table.chunkCount - 1](table, second, state, out, out2, n);
      break;
    case FillPath::Sse41:
      (!kTwo                     ? kSse41Fills
       : second->chunkCount == 1 ? kSse41Fills2One
                                 : kSse41Fills2)[table.chunkCount - 1](table, second, state, out, out2, n);
      break;
    case FillPath::Sse2:
      Sse2Fill<kTwo>(table, second, state, out, out2, n);
      break;
  }
  state = CJump::Of(n).Apply(state);
}

// --- Path choice.

FillPath SupportedPath() {
  static const FillPath path = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi"))
      return FillPath::Avx512;
    if (__builtin_cpu_supports("avx2")) return FillPath::Avx2;
    if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1")) return FillPath::Sse41;
    return FillPath::Sse2;
  }();
  return path;
}

FillPath fillLimit = FillPath::Avx512;

}  // namespace

CJump CJump::Of(std::uint64_t n) {
  CJump result, power{214013u, 2531011u};
  for (; n > 0; n >>= 1) {
    if (n & 1) result = result.Then(power);
    power = power.Then(power);
  }
  return result;
}

FillPath ActiveFillPath() { return std::min(SupportedPath(), fillLimit); }

const char* FillPathName(FillPath path) {
  static const char* const kNames[] = {"sse2", "sse41", "avx2", "avx512"};
  return kNames[static_cast<int>(path)];
}

bool FillPathNamed(std::string_view name, FillPath& path) {
  for (FillPath p : kFillPaths)
    if (name == FillPathName(p)) {
      path = p;
      return true;
    }
  return false;
}

FillPath LimitFillPath(FillPath limit) {
  fillLimit = limit;
  return ActiveFillPath();
}

namespace {

// The single-precision factor that scales every r to r * length / 32767, truncated, or
// false when there is none. The factor nearest length / (32767 * 65536) from above
// usually does; its neighbours are tried in case rounding defeats it.
bool FindExactScale(std::uint32_t length, float& scale) {
  const float start = std::nextafter(static_cast<float>(length / 2147418112.0), 1.0f);
  for (int attempt = 0; attempt < 16; ++attempt) {
    float candidate = start;
    for (int k = 0; k < (attempt + 1) / 2; ++k) candidate = std::nextafter(candidate, attempt % 2 ? 1.0f : 0.0f);
    bool exact = true;
    // Both the truncated product and the exact product's floor (AVX-512's fused multiply-add
    // rounded toward zero) must give r * length / 32767; the double product is exact.
    for (std::uint32_t r = 0; r < 32768 && exact; ++r) {
      const auto want = static_cast<std::int32_t>(r * length / 32767);
      exact = ScaleOne(r, candidate) == want &&
              static_cast<std::int32_t>(std::floor(static_cast<double>(r << 16) * candidate)) == want;
    }
    if (exact) {
      scale = candidate;
      return true;
    }
  }
  return false;
}

// The multiplier for which (q * mul) >> 16 is q / divisor for every q up to `most`, or
// false when there is none.
bool FindDivision(std::uint32_t divisor, std::uint32_t most, std::uint16_t& mul) {
  const std::uint32_t m = (65536 + divisor - 1) / divisor;
  if (m > 0xFFFF) return false;
  for (std::uint32_t q = 0; q <= most; ++q)
    if ((q * m) >> 16 != q / divisor) return false;
  mul = static_cast<std::uint16_t>(m);
  return true;
}

}  // namespace

CFillTable::CFillTable(std::string_view pool) : length(static_cast<std::uint32_t>(pool.size())) {
  std::memcpy(entries, pool.data(), length);
  entries[length] = entries[length - 1];
  chunkCount = static_cast<int>(length / 16 + 1);
  MakeShuffleChunks(entries, chunkCount, chunks);
  exact = FindExactScale(length, scale);
}

CFillPair::CFillPair(const CFillTable& one, const CFillTable& two) : first(&one), second(&two) {
  const std::uint32_t product = one.length * two.length;
  combined = one.exact && two.exact && two.chunkCount == 1 && product <= 0xFFFF && FindExactScale(product, scale) &&
             FindDivision(two.length, product, firstMul) && FindDivision(one.length, product, secondMul);
}

void FillChars(const CFillTable& table, std::uint32_t& state, char* out, std::size_t n) {
  Fill<false>(table, nullptr, state, out, nullptr, n);
}

void FillChars(const CFillPair& pair, std::uint32_t& state, char* out, char* out2, std::size_t n) {
  Fill<true>(*pair.first, &pair, state, out, out2, n);
}

void CharsForStates(FillPath path, const CFillTable& table, const std::uint32_t* states, std::size_t n, char* out) {
  const std::size_t step = path == FillPath::Avx512 ? 64 : path == FillPath::Avx2 ? 32 : 16;
  for (std::size_t done = 0; done < n; done += step) {
    const std::size_t part = std::min(step, n - done);
    if (path == FillPath::Avx512) Avx512ForStates(table, states + done, part, out + done);
    if (path == FillPath::Avx2) kAvx2ForStates[table.chunkCount - 1](table, states + done, part, out + done);
    if (path == FillPath::Sse41) kSse41ForStates[table.chunkCount - 1](table, states + done, part, out + done);
    if (path == FillPath::Sse2) Sse2ForStates(table, states + done, part, out + done);
  }
}

// --- Lines.

namespace {

// Each 16 bytes of a line: a shuffle of the draws it needs, OR its literal bytes. SSSE3
// alone; compiled into both pshufb paths below so that each keeps its own encoding. For
// the counts short lines and their groups have (1, 2, 3, 5 or 7 segments) the shuffles
// and literals stay in registers.
template <std::size_t kCount>
KM_SSE41 inline __attribute__((always_inline)) void AssembleFixed(const CLineLayout::Segment* segments,
                                                                  const char* chars, std::size_t draws,
                                                                  std::size_t width, std::size_t lines, char* out) {
  __m128i shuffle[kCount], literal[kCount];
  std::size_t first[kCount];
  for (std::size_t k = 0; k < kCount; ++k) {
    shuffle[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(segments[k].shuffle));
    literal[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(segments[k].literal));
    first[k] = segments[k].first;
  }
  for (std::size_t i = 0; i < lines; ++i, chars += draws, out += width)
    for (std::size_t k = 0; k < kCount; ++k) {
      const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + first[k]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * k),
                       _mm_or_si128(_mm_shuffle_epi8(in, shuffle[k]), literal[k]));
    }
}

KM_SSE41 inline __attribute__((always_inline)) void AssembleSegments(const CLineLayout::Segment* segments,
                                                                     std::size_t count, const char* chars,
                                                                     std::size_t draws, std::size_t width,
                                                                     std::size_t lines, char* out) {
  switch (count) {
    case 1:
      return AssembleFixed<1>(segments, chars, draws, width, lines, out);
    case 2:
      return AssembleFixed<2>(segments, chars, draws, width, lines, out);
    case 3:
      return AssembleFixed<3>(segments, chars, draws, width, lines, out);
    case 5:
      return AssembleFixed<5>(segments, chars, draws, width, lines, out);
    case 7:
      return AssembleFixed<7>(segments, chars, draws, width, lines, out);
    default:
      break;
  }
  for (std::size_t i = 0; i < lines; ++i, chars += draws, out += width)
    for (std::size_t k = 0; k < count; ++k) {
      const CLineLayout::Segment& s = segments[k];
      const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + s.first));
      const __m128i picked = _mm_shuffle_epi8(in, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.shuffle)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * k),
                       _mm_or_si128(picked, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.literal))));
    }
}

// Whole groups of lines as the group's segments (each 16 bytes stored once), then the rest
// line by line.
KM_SSE41 inline __attribute__((always_inline)) void AssembleGroups(const CLineLayout::Layout& group,
                                                                   const CLineLayout::Layout& line, std::size_t lines,
                                                                   const char* chars, char* out) {
  const std::size_t groups = group.lines > 1 ? lines / group.lines : 0;
  if (groups > 0)
    AssembleSegments(group.segments.data(), group.segments.size(), chars, group.draws, group.width, groups, out);
  const std::size_t done = groups * group.lines;
  AssembleSegments(line.segments.data(), line.segments.size(), chars + done * line.draws, line.draws, line.width,
                   lines - done, out + done * line.width);
}

KM_SSE41 void AssembleGroupsSse41(const CLineLayout::Layout& group, const CLineLayout::Layout& line, std::size_t lines,
                                  const char* chars, char* out) {
  AssembleGroups(group, line, lines, chars, out);
}

KM_AVX2 void AssembleGroupsAvx2(const CLineLayout::Layout& group, const CLineLayout::Layout& line, std::size_t lines,
                                const char* chars, char* out) {
  AssembleGroups(group, line, lines, chars, out);
}

// The segments of `lines` copies of `line` one after another, the draws numbered on from
// one line to the next.
CLineLayout::Layout Segments(std::string_view line, const std::vector<bool>& isDraw, std::size_t lines) {
  CLineLayout::Layout layout;
  layout.lines = lines;
  layout.width = line.size() * lines;
  std::size_t drawn = 0;
  for (std::size_t start = 0; start < layout.width; start += 16) {
    CLineLayout::Segment segment{drawn, {}, {}};
    for (std::size_t b = 0; b < 16; ++b) {
      const std::size_t p = start + b;
      const bool draw = p < layout.width && isDraw[p % line.size()];
      segment.shuffle[b] = draw ? static_cast<unsigned char>(drawn++ - segment.first) : 0x80;
      segment.literal[b] = p < layout.width && !draw ? static_cast<unsigned char>(line[p % line.size()]) : 0;
    }
    layout.segments.push_back(segment);
  }
  layout.draws = drawn;
  return layout;
}

}  // namespace

CLineLayout::CLineLayout(std::string_view line, const std::vector<bool>& isDraw) : line_(line) {
  for (std::size_t p = 0, drawn = 0; p < line_.size(); ++p) {
    if (!isDraw[p]) continue;
    if (runs_.empty() || runs_.back().at + runs_.back().length != p) runs_.push_back({p, drawn, 0});
    ++runs_.back().length;
    ++drawn;
  }
  one_ = Segments(line_, isDraw, 1);
  // A line whose width is not a multiple of 16 would store some bytes twice, with stores
  // that often straddle cache lines; the lines of a group 16 / gcd(width, 16) long end on
  // a 16-byte boundary, so that each byte of it is stored once. Long lines gain nothing.
  const std::size_t lines = 16 / std::gcd<std::size_t>(line_.size(), 16);
  if (lines > 1 && line_.size() <= 64) group_ = Segments(line_, isDraw, lines);
}

void CLineLayout::Assemble(const char* chars, std::size_t lines, char* out) const {
  switch (ActiveFillPath()) {
    case FillPath::Sse2:
      AssembleRuns(chars, lines, out);
      break;
    case FillPath::Sse41:
      AssembleGroupsSse41(group_, one_, lines, chars, out);
      break;
    default:
      AssembleGroupsAvx2(group_, one_, lines, chars, out);
      break;
  }
}

void CLineLayout::AssembleRuns(const char* chars, std::size_t lines, char* out) const {
  for (std::size_t i = 0; i < lines; ++i, chars += one_.draws, out += line_.size()) {
    std::memcpy(out, line_.data(), line_.size());
    for (const Run& run : runs_) std::memcpy(out + run.at, chars + run.first, run.length);
  }
}
