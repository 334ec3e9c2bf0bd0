#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

#include "crypto/aes256_ni.h"
#include "crypto/aes_scalar3.h"
#include "crypto/gf_mul_table.h"
#include "tests/support/aes_variants.h"

namespace vellum {
namespace {

using Block = std::array<uint8_t, 16>;
using Key = std::array<uint8_t, 32>;

Block Encrypt(const AES256& cipher, const Block& in) {
  Block out;
  cipher.EncryptBlock(in.data(), out.data());
  return out;
}

class Aes256Test : public AesVariantTest {};
INSTANTIATE_TEST_SUITE_P(Variants, Aes256Test, ::testing::Bool(), AesVariantName);

TEST_P(Aes256Test, EncryptsFips197Example) {
  // FIPS 197 appendix C.3.
  Key key;
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i);
  const Block plain = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                       0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  const Block expected = {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf,
                          0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};
  EXPECT_EQ(Encrypt(*factory.CreateAES256(key.data()), plain), expected);
}

TEST_P(Aes256Test, EncryptsInPlaceAndUnaligned) {
  Key key;
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(0xA0 + 3 * i);
  const auto cipher = factory.CreateAES256(key.data());
  Block plain;
  for (int i = 0; i < 16; ++i) plain[i] = static_cast<uint8_t>(7 * i + 1);
  const Block expected = Encrypt(*cipher, plain);

  // One byte past an aligned start, input and output the same bytes.
  alignas(16) uint8_t buffer[17];
  std::memcpy(buffer + 1, plain.data(), 16);
  cipher->EncryptBlock(buffer + 1, buffer + 1);
  EXPECT_EQ(0, std::memcmp(buffer + 1, expected.data(), 16));
}

TEST(Aes256VariantsTest, AgreeOnSchedulesAndBlocks) {
  if (!ProcessorHasAesNi()) GTEST_SKIP() << "processor lacks AES-NI";
  BuildGfMulTable();
  CryptoFactory portableFactory, hardwareFactory;
  hardwareFactory.hasAesNi = true;

  std::mt19937 random(20240611);
  for (int k = 0; k < 64; ++k) {
    Key key;
    for (auto& b : key) b = static_cast<uint8_t>(random());
    const auto portable = portableFactory.CreateAES256(key.data());
    const auto hardware = hardwareFactory.CreateAES256(key.data());
    // Both keep the 15 round keys end to end in the same byte order.
    EXPECT_EQ(0, std::memcmp(static_cast<const AES_SCALAR3&>(*portable).roundKeys,
                             static_cast<const AES256_NI&>(*hardware).roundKeys.get(), 240));
    for (int n = 0; n < 32; ++n) {
      Block block;
      for (auto& b : block) b = static_cast<uint8_t>(random());
      ASSERT_EQ(Encrypt(*portable, block), Encrypt(*hardware, block)) << "key " << k;
    }
  }
}

TEST(GfMulTableTest, IsTheFips197FieldProduct) {
  BuildGfMulTable();
  for (unsigned a = 0; a < 256; ++a) {
    EXPECT_EQ(GfMulTable[a], 0) << a;             // row 0
    EXPECT_EQ(GfMulTable[a * 256], 0) << a;       // column 0
    EXPECT_EQ(GfMulTable[256 + a], a) << a;       // row 1 is the identity
    for (unsigned b = 0; b < a; ++b) {
      ASSERT_EQ(GfMulTable[a * 256 + b], GfMulTable[b * 256 + a]) << a << ' ' << b;
    }
  }
  EXPECT_EQ(GfMulTable[2 * 256 + 0x80], 0x1B);  // the reduction
  EXPECT_EQ(GfMulTable[0x57 * 256 + 0x83], 0xC1);  // FIPS 197 multiplication example

  // A field has no zero divisors: every nonzero row is a permutation of the bytes.
  for (unsigned a = 1; a < 256; ++a) {
    std::array<bool, 256> seen{};
    for (unsigned b = 0; b < 256; ++b) seen[GfMulTable[a * 256 + b]] = true;
    ASSERT_EQ(std::count(seen.begin(), seen.end(), true), 256) << a;
  }
}

}  // namespace
}  // namespace vellum
