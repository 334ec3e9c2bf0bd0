#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "base/little_endian.h"
#include "crypto/aes_drbg.h"
#include "tests/support/aes_variants.h"

namespace vellum {
namespace {

using Bytes = std::vector<uint8_t>;

// OpenSSL's AES-256 in ECB mode over counter blocks built here: the keystream
// counts in the first eight bytes, little-endian, unlike standard CTR mode.
class OpenSslKeystream {
 public:
  OpenSslKeystream(const uint8_t key[32], uint64_t counter)
      : context_(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free), counter_(counter) {
    EXPECT_EQ(EVP_EncryptInit_ex(context_.get(), EVP_aes_256_ecb(), nullptr, key, nullptr), 1);
    EVP_CIPHER_CTX_set_padding(context_.get(), 0);
  }

  // XORs like ApplyKeystream: whole blocks per call, the tail of the last discarded.
  void Apply(Bytes& data) {
    for (size_t offset = 0; offset < data.size(); offset += 16) {
      uint8_t counterBlock[16] = {};
      StoreLe64(counterBlock, counter_);
      ++counter_;
      uint8_t keystream[16];
      int written = 0;
      ASSERT_EQ(EVP_EncryptUpdate(context_.get(), keystream, &written, counterBlock, 16), 1);
      ASSERT_EQ(written, 16);
      for (size_t k = 0; k < 16 && offset + k < data.size(); ++k) data[offset + k] ^= keystream[k];
    }
  }

 private:
  std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> context_;
  uint64_t counter_;
};

class AesOracleTest : public AesVariantTest {};
INSTANTIATE_TEST_SUITE_P(Variants, AesOracleTest, ::testing::Bool(), AesVariantName);

TEST_P(AesOracleTest, KeystreamMatchesOpenSslOverRandomLengths) {
  std::mt19937_64 random(0x5EED);
  // Starting counters include one a few blocks short of the wrap.
  for (const uint64_t start : {uint64_t{0}, uint64_t{62}, UINT64_MAX - 20}) {
    uint8_t key[32];
    for (auto& b : key) b = static_cast<uint8_t>(random());
    auto drbg = std::make_shared<AES_DRBG>(factory, key);
    drbg->setBlockCounter(start);
    OpenSslKeystream oracle(key, start);

    for (int call = 0; call < 40; ++call) {
      Bytes data(random() % 300);
      for (auto& b : data) b = static_cast<uint8_t>(random());
      Bytes expected = data;
      oracle.Apply(expected);
      drbg->ApplyKeystream(data.data(), static_cast<int32_t>(data.size()));
      ASSERT_EQ(data, expected) << "start " << start << " call " << call;
    }
  }
}

}  // namespace
}  // namespace vellum
