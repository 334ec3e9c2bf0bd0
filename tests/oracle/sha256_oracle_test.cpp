#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/support/sha256_variants.h"

namespace vellum {
namespace {

Sha256Digest OpenSslSha256(const std::vector<uint8_t>& message) {
  Sha256Digest digest;
  EXPECT_EQ(EVP_Digest(message.data(), message.size(), digest.data(), nullptr, EVP_sha256(),
                       nullptr),
            1);
  return digest;
}

// Random bytes fed in random pieces, zero-length ones included.
void CheckRandomMessages(const CryptoFactory& factory, std::mt19937& random, int count,
                         uint32_t maxLength, uint32_t maxPiece) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (int n = 0; n < count; ++n) {
    std::vector<uint8_t> message(std::uniform_int_distribution<uint32_t>(0, maxLength)(random));
    for (uint8_t& b : message) b = static_cast<uint8_t>(byte(random));
    std::vector<uint32_t> pieces;
    for (size_t left = message.size(); left > 0;) {
      const auto limit = static_cast<uint32_t>(std::min<size_t>(left, maxPiece));
      pieces.push_back(std::uniform_int_distribution<uint32_t>(0, limit)(random));
      left -= pieces.back();
    }
    ASSERT_EQ(HashInPieces(factory, message.data(), message.size(), pieces),
              OpenSslSha256(message))
        << "message " << n << " of " << message.size() << " bytes in " << pieces.size()
        << " pieces";
  }
}

TEST_P(Sha256VariantTest, RandomMessagesMatchOpenSsl) {
  std::mt19937 random(256);
  CheckRandomMessages(factory, random, 1000, 5000, 300);
}

TEST_P(Sha256VariantTest, LargeRandomMessagesMatchOpenSsl) {
  std::mt19937 random(65536);
  CheckRandomMessages(factory, random, 4, 3 << 20, 70000);
}

INSTANTIATE_TEST_SUITE_P(Variants, Sha256VariantTest,
                         ::testing::ValuesIn(AvailableSha256Variants()), Sha256VariantName);

}  // namespace
}  // namespace vellum
