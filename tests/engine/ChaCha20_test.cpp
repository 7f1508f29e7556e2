// ChaCha20 against the standard's published vectors, and every vector path the processor
// has against the one-block form, across the carry of the 32-bit block counter.
#include "engine/ChaCha20.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Hex(const char* text) {
  std::vector<unsigned char> bytes;
  for (const char* p = text; p[0] && p[1]; p += 2)
    bytes.push_back(static_cast<unsigned char>(std::stoi(std::string(p, 2), nullptr, 16)));
  return bytes;
}

std::vector<unsigned char> Key() {
  std::vector<unsigned char> key(32);
  for (int i = 0; i < 32; ++i) key[i] = static_cast<unsigned char>(i);
  return key;
}

TEST(ChaCha20, BlockFunctionTestVector) {
  const auto nonce = Hex("000000090000004a00000000");
  CChaCha20 cipher(Key().data(), nonce.data(), 1);
  std::vector<unsigned char> block(64);
  cipher.Keystream(block.data(), 1);
  EXPECT_EQ(block, Hex("10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
                       "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e"));
}

TEST(ChaCha20, EncryptionTestVector) {
  const auto nonce = Hex("000000000000004a00000000");
  const std::string plain =
      "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, sunscreen would "
      "be it.";
  CChaCha20 cipher(Key().data(), nonce.data(), 1);
  std::vector<unsigned char> stream(128);
  cipher.Keystream(stream.data(), 2);
  std::vector<unsigned char> sealed(plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) sealed[i] = static_cast<unsigned char>(plain[i]) ^ stream[i];
  EXPECT_EQ(sealed,
            Hex("6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0bf91b65c5524733ab8f593dabcd62b357"
                "1639d624e65152ab8f530c359f0861d807ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806818ce91ab7793736"
                "5af90bbf74a35be6b40b8eedf2785e42874d"));
}

TEST(ChaCha20, EveryVectorPathGivesTheSameKeystream) {
  const auto nonce = Hex("000000090000004a00000000");
  for (FillPath path : kFillPaths) {
    const bool supported = LimitFillPath(path) == path;
    LimitFillPath(FillPath::Avx512);
    if (!supported) continue;
    SCOPED_TRACE(static_cast<int>(path));
    const std::size_t lanes = CChaCha20::Lanes(path);
    // Three groups from just below 2^32: the block counter carries into the next word.
    const std::uint32_t first = 0xFFFFFFFFu - static_cast<std::uint32_t>(lanes) - 2;
    CChaCha20 one(Key().data(), nonce.data(), first), many(Key().data(), nonce.data(), first);
    std::vector<unsigned char> expected(3 * lanes * 64);
    one.Keystream(expected.data(), 3 * lanes);
    std::vector<std::uint32_t> sliced(16 * lanes);
    for (std::size_t g = 0; g < 3; ++g) {
      many.KeystreamGroup(path, sliced.data());
      for (std::size_t b = 0; b < lanes; ++b)
        for (std::size_t w = 0; w < 16; ++w)
          EXPECT_EQ(std::memcmp(&sliced[w * lanes + b], &expected[((g * lanes + b) * 16 + w) * 4], 4), 0)
              << "group " << g << " block " << b << " word " << w;
    }
  }
}

}  // namespace
