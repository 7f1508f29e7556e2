// ChaCha20 keystream. The vector form keeps one block per lane: each of the 16 state
// words is one register, so the rounds are the scalar rounds on whole registers and
// nothing is shuffled; the result comes out word-sliced.
#include "engine/ChaCha20.h"

#include <cstring>

#include "engine/Wipe.h"

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
#define KM_QUARTER(x, a, b, c, d)  \
  x[a] += x[b];                    \
  x[d] = KM_ROTL(x[d] ^ x[a], 16); \
  x[c] += x[d];                    \
  x[b] = KM_ROTL(x[b] ^ x[c], 12); \
  x[a] += x[b];                    \
  x[d] = KM_ROTL(x[d] ^ x[a], 8);  \
  x[c] += x[d];                    \
  x[b] = KM_ROTL(x[b] ^ x[c], 7)
#define KM_DOUBLE_ROUND(x)     \
  KM_QUARTER(x, 0, 4, 8, 12);  \
  KM_QUARTER(x, 1, 5, 9, 13);  \
  KM_QUARTER(x, 2, 6, 10, 14); \
  KM_QUARTER(x, 3, 7, 11, 15); \
  KM_QUARTER(x, 0, 5, 10, 15); \
  KM_QUARTER(x, 1, 6, 11, 12); \
  KM_QUARTER(x, 2, 7, 8, 13);  \
  KM_QUARTER(x, 3, 4, 9, 14)

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
#define KM_CHACHA_GROUP(NAME, ATTR, LANES)                                       \
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
        KM_DOUBLE_ROUND(x);                                                      \
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

KM_CHACHA_GROUP(Group4, , 4)
KM_CHACHA_GROUP(Group8, KM_AVX2, 8)
KM_CHACHA_GROUP(Group16, KM_AVX512, 16)

}  // namespace

CChaCha20::CChaCha20(const unsigned char* key, const unsigned char* nonce, std::uint32_t counter) {
  std::memcpy(input_, kConstants, sizeof kConstants);
  for (int w = 0; w < 8; ++w) input_[4 + w] = LoadLittle(key + 4 * w);
  input_[12] = counter;
  for (int w = 0; w < 3; ++w) input_[13 + w] = LoadLittle(nonce + 4 * w);
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
    case FillPath::Sse2:
      Group4(input_, out, groups);
      break;
  }
}
