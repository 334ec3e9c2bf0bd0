#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "base/little_endian.h"
#include "crypto/big_num.h"
#include "crypto/public_modulus.h"
#include "crypto/rsa_public.h"

namespace vellum {
namespace {

using Bn = std::unique_ptr<BIGNUM, decltype(&BN_free)>;
using Block = std::array<uint8_t, 1024>;

Bn NewBn() { return Bn(BN_new(), &BN_free); }

Bn ToBn(const CBigNum& n) {
  std::vector<uint8_t> bytes;
  for (int32_t i = 0; i < n.length; ++i) {
    AppendLe32(bytes, n.limbs[i]);
  }
  return Bn(BN_lebin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr), &BN_free);
}

// Random number of length limbs (top limb non-zero); top_bit picks whether the top limb's
// highest bit is set or clear.
CBigNum RandomNumber(std::mt19937& random, int32_t length, bool top_bit) {
  CBigNum n;
  n.Reserve(length);
  for (int32_t i = 0; i < length; ++i) n.limbs[i] = static_cast<uint32_t>(random());
  uint32_t& top = n.limbs[length - 1];
  top = top_bit ? top | 0x80000000 : (top & 0x7FFFFFFF) | 1;
  n.length = length;
  return n;
}

void ExpectSameValue(const CBigNum& ours, const BIGNUM* expected, const char* what) {
  EXPECT_EQ(BN_cmp(ToBn(ours).get(), expected), 0)
      << what << ": " << ours.length << " limbs, expected " << BN_num_bits(expected) << " bits";
  EXPECT_TRUE(ours.length == 1 || ours.limbs[ours.length - 1] != 0) << what << " not trimmed";
}

class BigNumOracleTest : public ::testing::Test {
 protected:
  std::mt19937 random{20240517};
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx{BN_CTX_new(), &BN_CTX_free};
};

TEST_F(BigNumOracleTest, MultiplyAndSquare) {
  const int32_t lengths[] = {1, 2, 64, 127, 128, 129, 256, 257};
  for (int32_t a_length : lengths) {
    const CBigNum a = RandomNumber(random, a_length, a_length % 2 == 0);
    CBigNum squared = a;
    squared.Square();
    Bn expected = NewBn();
    BN_sqr(expected.get(), ToBn(a).get(), ctx.get());
    ExpectSameValue(squared, expected.get(), "square");
    for (int32_t b_length : lengths) {
      const CBigNum b = RandomNumber(random, b_length, b_length % 3 == 0);
      CBigNum product = a;
      product.Multiply(b);
      BN_mul(expected.get(), ToBn(a).get(), ToBn(b).get(), ctx.get());
      ExpectSameValue(product, expected.get(), "product");
    }
  }
}

TEST_F(BigNumOracleTest, DivMod) {
  Bn q = NewBn(), r = NewBn();
  for (int32_t v_length : {1, 2, 3, 128, 129, 256, 257}) {
    for (int32_t u_length : {1, 2, 127, 128, 129, 256, 257, 384, 512, 513}) {
      for (bool top_bit : {true, false}) {
        const CBigNum u = RandomNumber(random, u_length, !top_bit);
        const CBigNum v = RandomNumber(random, v_length, top_bit);
        CBigNum quotient, remainder;
        u.DivMod(v, quotient, remainder);
        BN_div(q.get(), r.get(), ToBn(u).get(), ToBn(v).get(), ctx.get());
        ExpectSameValue(quotient, q.get(), "quotient");
        ExpectSameValue(remainder, r.get(), "remainder");
      }
    }
  }
}

TEST_F(BigNumOracleTest, ModExp) {
  Bn expected = NewBn();
  const struct {
    int32_t modulus, exponent;
  } shapes[] = {{1, 1}, {1, 8}, {2, 3}, {5, 16}, {17, 8}, {128, 2}, {129, 2}, {256, 1}};
  for (const auto& shape : shapes) {
    for (bool top_bit : {true, false}) {
      const CBigNum modulus = RandomNumber(random, shape.modulus, top_bit);
      const CBigNum base = RandomNumber(random, shape.modulus + 1, true);  // Above modulus.
      const CBigNum exponent = RandomNumber(random, shape.exponent, !top_bit);
      CBigNum result;
      result.ModExp(base, exponent, modulus);
      BN_mod_exp(expected.get(), ToBn(base).get(), ToBn(exponent).get(), ToBn(modulus).get(),
                 ctx.get());
      ExpectSameValue(result, expected.get(), "power");
    }
  }
}

class RsaPublicOracleTest : public BigNumOracleTest {
 protected:
  void SetUp() override {
    std::unique_ptr<BIO, decltype(&BIO_free)> file(
        BIO_new_file(VELLUM_SOURCE_DIR "/keys/test_private_key.pem", "r"), &BIO_free);
    ASSERT_TRUE(file);
    key.reset(PEM_read_bio_PrivateKey(file.get(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(key);
    BIGNUM* n = nullptr;
    ASSERT_EQ(EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_N, &n), 1);
    key_modulus.reset(n);
    ASSERT_EQ(BN_num_bits(n), 8192);
    Block modulus_bytes;
    ASSERT_EQ(BN_bn2binpad(n, modulus_bytes.data(), 1024), 1024);
    modulus.FromBigEndian(modulus_bytes.data());
    exponent.SetLimb(kPublicExponent);
  }

  Block RandomBlock() {
    Block block;
    for (uint8_t& byte : block) byte = static_cast<uint8_t>(random());
    return block;
  }

  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key{nullptr, &EVP_PKEY_free};
  Bn key_modulus{nullptr, &BN_free};
  CBigNum modulus, exponent;
};

TEST_F(RsaPublicOracleTest, AgreesWithModularPower) {
  Bn e = NewBn(), c = NewBn(), expected = NewBn();
  BN_set_word(e.get(), kPublicExponent);
  std::vector<Block> blocks;
  Block all_ones;
  all_ones.fill(0xFF);
  blocks.push_back(all_ones);
  for (int i = 0; i < 6; ++i) blocks.push_back(RandomBlock());  // Most lie above the modulus.
  for (const Block& in : blocks) {
    Block out;
    RsaPublic(in.data(), exponent, modulus, out.data());
    BN_bin2bn(in.data(), 1024, c.get());
    BN_mod_exp(expected.get(), c.get(), e.get(), key_modulus.get(), ctx.get());
    Block expected_bytes;
    ASSERT_EQ(BN_bn2binpad(expected.get(), expected_bytes.data(), 1024), 1024);
    EXPECT_EQ(out, expected_bytes);
  }
}

TEST_F(RsaPublicOracleTest, UndoesPrivateKeyOperation) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> pctx(
      EVP_PKEY_CTX_new(key.get(), nullptr), &EVP_PKEY_CTX_free);
  ASSERT_EQ(EVP_PKEY_decrypt_init(pctx.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(pctx.get(), RSA_NO_PADDING), 1);
  for (int i = 0; i < 3; ++i) {
    Block message = RandomBlock();
    message[0] = 0;  // Below the modulus.
    Block signature;
    size_t signature_length = signature.size();
    ASSERT_EQ(EVP_PKEY_decrypt(pctx.get(), signature.data(), &signature_length, message.data(),
                               message.size()),
              1);
    ASSERT_EQ(signature_length, 1024u);
    Block recovered;
    RsaPublic(signature.data(), exponent, modulus, recovered.data());
    EXPECT_EQ(recovered, message);
  }
}

}  // namespace
}  // namespace vellum
