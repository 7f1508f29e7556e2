// ChaCha20 keystream. The vector form keeps one block per lane: each of the 16 state
// words is one register, so the rounds are the scalar rounds on whole registers and
// nothing is shuffled; the result comes out word-sliced.
#include "engine/ChaCha20.h"

#include <cstring>

#include "engine/Wipe.h"

#define KM_SSE41 __attribute__((target("ssse3,sse4.1")))
#define KM_AVX2 __attribute__((target("avx2")))
#define KM_AVX512 __attribute__((target("avx2,avx512f")))

namespace {

constexpr std::uint32_t kConstants[4] = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};  // "expand 32-byte k"

std::uint32_t LoadLittle(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Works for a scalar and for a GCC vector of 32-bit words alike.
#define KM_ROTL(x, r) (((x) << (r)) | ((x) >> (32 - (r))))
#define KM_ROTL16(x) KM_ROTL(x, 16)
#define KM_ROTL8(x) KM_ROTL(x, 8)
// Rotations by whole bytes as one byte shuffle (pshufb) instead of two shifts and an OR,
// for vectors of 4 and 8 words.
typedef unsigned char Bytes16 __attribute__((vector_size(16)));
typedef unsigned char Bytes32 __attribute__((vector_size(32)));
#define KM_ROT16_BYTES 2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13
#define KM_ROT8_BYTES 3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14
#define KM_SHUFFLE16(x, BYTES)   \
  reinterpret_cast<decltype(x)>( \
      __builtin_shufflevector(reinterpret_cast<Bytes16>(x), reinterpret_cast<Bytes16>(x), BYTES))
#define KM_ROT16_BYTES_HIGH 18, 19, 16, 17, 22, 23, 20, 21, 26, 27, 24, 25, 30, 31, 28, 29
#define KM_ROT8_BYTES_HIGH 19, 16, 17, 18, 23, 20, 21, 22, 27, 24, 25, 26, 31, 28, 29, 30
#define KM_SHUFFLE32(x, LOW, HIGH) \
  reinterpret_cast<decltype(x)>(   \
      __builtin_shufflevector(reinterpret_cast<Bytes32>(x), reinterpret_cast<Bytes32>(x), LOW, HIGH))
#define KM_ROTL16_4(x) KM_SHUFFLE16(x, KM_ROT16_BYTES)
#define KM_ROTL8_4(x) KM_SHUFFLE16(x, KM_ROT8_BYTES)
#define KM_ROTL16_8(x) KM_SHUFFLE32(x, KM_ROT16_BYTES, KM_ROT16_BYTES_HIGH)
#define KM_ROTL8_8(x) KM_SHUFFLE32(x, KM_ROT8_BYTES, KM_ROT8_BYTES_HIGH)
#define KM_QUARTER(x, a, b, c, d, ROT16, ROT8) \
  x[a] += x[b];                                \
  x[d] = ROT16(x[d] ^ x[a]);                   \
  x[c] += x[d];                                \
  x[b] = KM_ROTL(x[b] ^ x[c], 12);             \
  x[a] += x[b];                                \
  x[d] = ROT8(x[d] ^ x[a]);                    \
  x[c] += x[d];                                \
  x[b] = KM_ROTL(x[b] ^ x[c], 7)
#define KM_DOUBLE_ROUND_WITH(x, ROT16, ROT8) \
  KM_QUARTER(x, 0, 4, 8, 12, ROT16, ROT8);   \
  KM_QUARTER(x, 1, 5, 9, 13, ROT16, ROT8);   \
  KM_QUARTER(x, 2, 6, 10, 14, ROT16, ROT8);  \
  KM_QUARTER(x, 3, 7, 11, 15, ROT16, ROT8);  \
  KM_QUARTER(x, 0, 5, 10, 15, ROT16, ROT8);  \
  KM_QUARTER(x, 1, 6, 11, 12, ROT16, ROT8);  \
  KM_QUARTER(x, 2, 7, 8, 13, ROT16, ROT8);   \
  KM_QUARTER(x, 3, 4, 9, 14, ROT16, ROT8)
#define KM_DOUBLE_ROUND(x) KM_DOUBLE_ROUND_WITH(x, KM_ROTL16, KM_ROTL8)

void Block(const std::uint32_t* in, std::uint32_t* out) {
  std::uint32_t x[16];
  std::memcpy(x, in, sizeof x);
  for (int i = 0; i < 10; ++i) {
    KM_DOUBLE_ROUND(x);
  }
  for (int w = 0; w < 16; ++w) out[w] = x[w] + in[w];
  SecureWipe(x, sizeof x);
}

void Advance(std::uint32_t* in, std::uint64_t blocks) {
  const std::uint64_t counter = (static_cast<std::uint64_t>(in[13]) << 32 | in[12]) + blocks;
  in[12] = static_cast<std::uint32_t>(counter);
  in[13] = static_cast<std::uint32_t>(counter >> 32);
}

// `groups` groups of LANES blocks from `in` (counter in words 12 and 13), each group
// word-sliced into out in turn. Each lane adds its own offset to the 64-bit counter. Only
// the counter words differ by lane; the others are added back from `in`, which keeps
// every word in a register of its own. The working state is wiped once, at the end.
#define KM_CHACHA_GROUP(NAME, ATTR, LANES, ROT16, ROT8)                          \
  ATTR void NAME(std::uint32_t* in, std::uint32_t* out, std::size_t groups) {    \
    typedef std::uint32_t V __attribute__((vector_size(4 * (LANES))));           \
    V x[16], word;                                                               \
    V lane{};                                                                    \
    for (int b = 0; b < (LANES); ++b) lane[b] = static_cast<std::uint32_t>(b);   \
    for (std::size_t g = 0; g < groups; ++g, out += 16 * (LANES)) {              \
      for (int w = 0; w < 16; ++w) x[w] = V{} + in[w];                           \
      const V low = x[12] + lane;                                                \
      /* A comparison gives -1 where it holds: subtracting it adds the carry. */ \
      const V high = x[13] - reinterpret_cast<V>(low < in[12]);                  \
      x[12] = low;                                                               \
      x[13] = high;                                                              \
      for (int i = 0; i < 10; ++i) {                                             \
        KM_DOUBLE_ROUND_WITH(x, ROT16, ROT8);                                    \
      }                                                                          \
      for (int w = 0; w < 16; ++w) {                                             \
        word = x[w] + (w == 12 ? low : w == 13 ? high : V{} + in[w]);            \
        std::memcpy(out + w * (LANES), &word, sizeof word);                      \
      }                                                                          \
      Advance(in, (LANES));                                                      \
    }                                                                            \
    SecureWipe(x, sizeof x);                                                     \
    SecureWipe(&word, sizeof word);                                              \
  }

KM_CHACHA_GROUP(Group4, , 4, KM_ROTL16, KM_ROTL8)
KM_CHACHA_GROUP(Group4Ssse3, KM_SSE41, 4, KM_ROTL16_4, KM_ROTL8_4)
KM_CHACHA_GROUP(Group8, KM_AVX2, 8, KM_ROTL16_8, KM_ROTL8_8)
KM_CHACHA_GROUP(Group16, KM_AVX512, 16, KM_ROTL16, KM_ROTL8)

}  // namespace

CChaCha20::CChaCha20(const unsigned char* key, const unsigned char* nonce, std::uint32_t counter) {
  std::memcpy(input_, kConstants, sizeof kConstants);
  for (int w = 0; w < 8; ++w) input_[4 + w] = LoadLittle(key + 4 * w);
  input_[12] = counter;
  for (int w = 0; w < 3; ++w) input_[13 + w] = LoadLittle(nonce + 4 * w);
  origin_ = static_cast<std::uint64_t>(input_[13]) << 32 | input_[12];
}

void CChaCha20::Seek(std::uint64_t block) {
  input_[12] = static_cast<std::uint32_t>(origin_ + block);
  input_[13] = static_cast<std::uint32_t>((origin_ + block) >> 32);
}

CChaCha20::~CChaCha20() { SecureWipe(input_, sizeof input_); }

void CChaCha20::Keystream(unsigned char* out, std::size_t blocks) {
  std::uint32_t words[16];
  for (std::size_t k = 0; k < blocks; ++k, out += kBlockBytes) {
    Block(input_, words);
    for (int w = 0; w < 16; ++w)
      for (int b = 0; b < 4; ++b) out[4 * w + b] = static_cast<unsigned char>(words[w] >> (8 * b));
    Advance(input_, 1);
  }
  SecureWipe(words, sizeof words);
}

std::size_t CChaCha20::Lanes(FillPath path) { return path == FillPath::Avx512 ? 16 : path == FillPath::Avx2 ? 8 : 4; }

void CChaCha20::KeystreamGroup(FillPath path, std::uint32_t* out, std::size_t groups) {
  switch (path) {
    case FillPath::Avx512:
      Group16(input_, out, groups);
      break;
    case FillPath::Avx2:
      Group8(input_, out, groups);
      break;
    case FillPath::Sse41:
      Group4Ssse3(input_, out, groups);
      break;
    case FillPath::Sse2:
      Group4(input_, out, groups);
      break;
  }
}
