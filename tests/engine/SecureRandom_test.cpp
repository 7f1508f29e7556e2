// Secure draws: every pool size's characters pass a chi-square test that a modulo bias
// fails, on each vector path, and every word maps exactly uniformly; the key comes from
// the replaceable system source.
#include "engine/SecureRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// Q(a, x), the regularised upper incomplete gamma function: a series below a + 1, a
// continued fraction above.
double UpperGamma(double a, double x) {
  const double front = std::exp(-x + a * std::log(x) - std::lgamma(a));
  if (x < a + 1) {
    double term = 1 / a, sum = term;
    for (int n = 1; n < 10000 && term > sum * 1e-16; ++n) sum += term *= x / (a + n);
    return 1 - sum * front;
  }
  double b = x + 1 - a, c = 1e300, d = 1 / b, h = d;
  for (int i = 1; i < 10000; ++i) {
    const double an = -i * (i - a);
    b += 2;
    d = 1 / (an * d + b);
    c = b + an / c;
    h *= d * c;
    if (std::fabs(d * c - 1) < 1e-16) break;
  }
  return front * h;
}

// The chance that counts this uneven come from a uniform source: the chi-square
// statistic's upper tail with n - 1 degrees of freedom.
double UniformPValue(const std::vector<double>& counts) {
  double total = 0, chi = 0;
  for (double c : counts) total += c;
  const double expected = total / counts.size();
  for (double c : counts) chi += (c - expected) * (c - expected) / expected;
  return UpperGamma((counts.size() - 1) / 2.0, chi / 2);
}

// A uniform source fails below this less than once in a million runs.
constexpr double kFailBelow = 1e-6;
constexpr std::size_t kDraws = 10000000;

std::string Pool(std::size_t n) {
  std::string pool;
  for (std::size_t k = 0; k < n; ++k) pool += static_cast<char>(k + 1);
  return pool;
}

// Counts of each index among `draws` draws from fill(buffer, size).
std::vector<double> Count(std::size_t n, std::size_t draws, const std::function<void(char*, std::size_t)>& fill) {
  std::vector<double> counts(n);
  std::vector<char> buffer(1 << 20);
  for (std::size_t done = 0; done < draws; done += buffer.size()) {
    const std::size_t part = std::min(buffer.size(), draws - done);
    fill(buffer.data(), part);
    for (std::size_t k = 0; k < part; ++k) counts[static_cast<unsigned char>(buffer[k]) - 1] += 1;
  }
  return counts;
}

TEST(SecureRandom, TheTestsThresholdIsRightAndCatchesAModuloBias) {
  // Two degrees of freedom: the tail is exp(-chi / 2) exactly.
  EXPECT_NEAR(UpperGamma(1, 2 * std::log(1e6) / 2), 1e-6, 1e-12);
  // Many: the Wilson-Hilferty estimate of the one-in-a-million point is close there.
  const double df = 254, h = 2 / (9 * df);
  const double chi = df * std::pow(1 - h + 4.753 * std::sqrt(h), 3);
  EXPECT_GT(UpperGamma(df / 2, chi / 2), 0.5e-6);
  EXPECT_LT(UpperGamma(df / 2, chi / 2), 2e-6);
  // Bytes of a keystream taken modulo 94: indices below 68 come 3 times in 256, the rest twice.
  const unsigned char key[32] = {1}, nonce[12] = {};
  CChaCha20 cipher(key, nonce, 0);
  const auto counts = Count(94, kDraws, [&](char* out, std::size_t n) {
    std::vector<unsigned char> bytes((n + 63) / 64 * 64);
    cipher.Keystream(bytes.data(), bytes.size() / 64);
    for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<char>(bytes[k] % 94 + 1);
  });
  EXPECT_LT(UniformPValue(counts), kFailBelow);
}

TEST(SecureRandom, EveryPoolSizeIsUniformOnEveryPath) {
  for (FillPath path : kFillPaths) {
    if (LimitFillPath(path) != path) continue;
    LimitFillPath(FillPath::Avx512);
    // The widest path draws the full count; the others a tenth of it.
    const std::size_t draws = ActiveFillPath() == path ? kDraws : kDraws / 10;
    CSecureRandom random;
    ASSERT_TRUE(random.Start());
    random.UsePath(path);
    for (std::size_t n : {1, 2, 3, 62, 94, 255}) {
      SCOPED_TRACE(std::string("path ") + FillPathName(path) + ", pool of " + std::to_string(n));
      const CSecureTable table(Pool(n));
      // In pieces of 1 to 97 characters: every way a fill can end within a chunk or group.
      const auto counts = Count(n, draws, [&](char* out, std::size_t k) {
        for (std::size_t at = 0, piece = 1; at < k; at += piece, piece = piece % 97 + 1)
          random.Fill(table, out + at, std::min(piece, k - at));
      });
      if (n == 1) {
        EXPECT_EQ(counts[0], draws);
      } else {
        EXPECT_GT(UniformPValue(counts), kFailBelow);
      }
    }
  }
  LimitFillPath(FillPath::Avx512);
}

// Exact uniformity, which no sample can show: every 16-bit word through the scalar mapping
// and each vector kernel the processor has. For a pool of L and P = L^digits, a uniform
// mapping rejects exactly the words whose x * P mod 2^16 is below 2^16 mod P, and gives
// every one of the P tuples of characters exactly floor(2^16 / P) times. The scalar
// mapping is held against that; each kernel must then give exactly its characters and
// rejections. L goes to 256: the table's byte index holds it, though a pool never has
// more than 255 characters.
TEST(SecureRandom, EveryWordOfEveryPoolSizeMapsExactlyUniformly) {
  std::vector<MapKernel> kernels;
  for (const auto& [path, kernel] : {std::pair{FillPath::Sse2, MapKernel::Sse2},
                                     {FillPath::Sse41, MapKernel::Sse41},
                                     {FillPath::Avx2, MapKernel::Avx2},
                                     {FillPath::Avx512, MapKernel::Avx512}})
    if (LimitFillPath(path) == path) kernels.push_back(kernel);
  constexpr std::uint32_t kWords = 65536;
  std::vector<std::uint16_t> words(kWords);
  for (std::uint32_t x = 0; x < kWords; ++x) words[x] = static_cast<std::uint16_t>(x);
  std::vector<char> scalarChars(kWords * 16), chars(kWords * 16);
  std::unique_ptr<bool[]> scalarRejected(new bool[kWords]), rejected(new bool[kWords]);
  std::vector<std::uint32_t> counts;
  for (std::uint32_t length = 1; length <= 256; ++length) {
    SCOPED_TRACE("pool of " + std::to_string(length));
    std::string pool(length, '\0');
    for (std::uint32_t k = 0; k < length; ++k) pool[k] = static_cast<char>(k);  // character = index
    const CSecureTable table(pool);
    std::uint32_t tuples = 1;
    for (std::uint32_t j = 0; j < table.digits; ++j) tuples *= length;
    ASSERT_LE(tuples, kWords);
    MapWordsForTest(MapKernel::Scalar, table, words.data(), kWords, scalarChars.data(), scalarRejected.get());
    counts.assign(tuples, 0);
    std::uint32_t wronglyRejected = 0;
    for (std::uint32_t x = 0; x < kWords; ++x) {
      wronglyRejected += scalarRejected[x] != ((x * tuples & 0xFFFF) < kWords % tuples);
      if (scalarRejected[x]) continue;
      std::uint32_t tuple = 0;
      for (std::uint32_t j = 0; j < table.digits; ++j)
        tuple = tuple * length + static_cast<unsigned char>(scalarChars[x * table.digits + j]);
      ++counts[tuple];
    }
    EXPECT_EQ(wronglyRejected, 0u);
    EXPECT_EQ(std::count(counts.begin(), counts.end(), kWords / tuples), static_cast<std::ptrdiff_t>(tuples));
    const std::size_t used = std::size_t{kWords} * table.digits;
    for (MapKernel kernel : kernels) {
      MapWordsForTest(kernel, table, words.data(), kWords, chars.data(), rejected.get());
      EXPECT_TRUE(std::equal(rejected.get(), rejected.get() + kWords, scalarRejected.get()))
          << "kernel " << static_cast<int>(kernel);
      EXPECT_TRUE(std::equal(chars.begin(), chars.begin() + used, scalarChars.begin()))
          << "kernel " << static_cast<int>(kernel);
    }
  }
  LimitFillPath(FillPath::Avx512);
}

// The fields likewise, for every pool size drawn from them and every path that has them:
// field i of the stream holds (i + i / 64) mod 2^b, so each place in a group meets every
// value; exactly the characters of the values below L must come out, in order.
TEST(SecureRandom, EveryFieldOfEveryPoolSizeMapsExactly) {
  for (std::uint32_t length = 2; length <= 256; ++length) {
    std::string pool(length, '\0');
    for (std::uint32_t k = 0; k < length; ++k) pool[k] = static_cast<char>(k);  // character = index
    const CSecureTable table(pool);
    if (table.fieldBits == 0) continue;
    const std::uint32_t b = table.fieldBits, groups = 1u << b;
    std::vector<unsigned char> bytes(groups * 8 * b);
    std::string expected;
    for (std::uint32_t i = 0; i < 64 * groups; ++i) {
      const std::uint32_t value = (i + i / 64) % (1u << b);
      for (std::uint32_t k = 0; k < b; ++k) bytes[(i * b + k) / 8] |= ((value >> k) & 1) << ((i * b + k) % 8);
      if (value < length) expected += static_cast<char>(value);
    }
    for (FillPath path : kFillPaths) {
      if (LimitFillPath(path) != path || !HasFieldKernel(path)) continue;
      std::string made(64 * groups, '\0');
      made.resize(MapFieldsForTest(path, table, bytes.data(), groups, made.data()));
      EXPECT_TRUE(made == expected) << "pool of " << length << ", " << b << "-bit fields, " << FillPathName(path);
    }
  }
  LimitFillPath(FillPath::Avx512);
}

TEST(SecureRandom, BelowIsUniform) {
  CSecureRandom random;
  ASSERT_TRUE(random.Start());
  for (std::uint32_t n : {3u, 12u, 94u}) {
    const auto counts = Count(n, kDraws / 10, [&](char* out, std::size_t k) {
      for (std::size_t i = 0; i < k; ++i) out[i] = static_cast<char>(random.Below(n) + 1);
    });
    EXPECT_GT(UniformPValue(counts), kFailBelow) << n;
  }
}

TEST(SecureRandom, TheKeyComesFromTheReplaceableSource) {
  const SystemRandomFunction system = ReplaceSystemRandom([](void*, std::size_t) { return false; });
  CSecureRandom failing;
  EXPECT_FALSE(failing.Start());
  // A source that always gives the same key gives the same characters.
  ReplaceSystemRandom([](void* out, std::size_t n) {
    std::fill_n(static_cast<char*>(out), n, 7);
    return true;
  });
  const CSecureTable table(Pool(62));
  std::string first(100, ' '), second(100, ' ');
  CSecureRandom a, b;
  ASSERT_TRUE(a.Start() && b.Start());
  a.Fill(table, first.data(), first.size());
  b.Fill(table, second.data(), second.size());
  EXPECT_EQ(first, second);
  ReplaceSystemRandom(nullptr);
  EXPECT_EQ(ReplaceSystemRandom(nullptr), system);
  CSecureRandom real;
  ASSERT_TRUE(real.Start());
  real.Fill(table, second.data(), second.size());
  EXPECT_NE(first, second);
}

}  // namespace
