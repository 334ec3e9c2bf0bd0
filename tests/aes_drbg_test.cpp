#include "crypto/aes_drbg.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/little_endian.h"
#include "tests/support/aes_variants.h"

namespace vellum {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kKey[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                              0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                              0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};

// The keystream itself: what ApplyKeystream XORs into zeros.
Bytes Keystream(AES_DRBG& drbg, int32_t length) {
  Bytes data(length);
  drbg.ApplyKeystream(data.data(), length);
  return data;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class AesDrbgTest : public AesVariantTest {
 protected:
  // Keystream block `counter`, computed straight from the cipher.
  Bytes Block(uint64_t counter) {
    uint8_t in[16] = {};
    StoreLe64(in, counter);
    Bytes out(16);
    factory.CreateAES256(kKey)->EncryptBlock(in, out.data());
    return out;
  }

  std::shared_ptr<AES_DRBG> MakeDrbg() { return std::make_shared<AES_DRBG>(factory, kKey); }
};
INSTANTIATE_TEST_SUITE_P(Variants, AesDrbgTest, ::testing::Bool(), AesVariantName);

TEST_P(AesDrbgTest, BlocksEncryptLittleEndianCounters) {
  auto drbg = MakeDrbg();
  EXPECT_EQ(drbg->blockCounter(), 0u);
  EXPECT_EQ(Keystream(*drbg, 32), Concat(Block(0), Block(1)));
  EXPECT_EQ(drbg->blockCounter(), 2u);

  drbg->setBlockCounter(0x0123456789ABCDEFull);
  const uint8_t expectedCounter[16] = {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};
  EXPECT_EQ(0, std::memcmp(drbg->counterBlock, expectedCounter, 16));
  EXPECT_EQ(Keystream(*drbg, 16), Block(0x0123456789ABCDEFull));
}

TEST_P(AesDrbgTest, EmptyOrNegativeLengthChangesNothing) {
  auto drbg = MakeDrbg();
  drbg->setBlockCounter(5);
  uint8_t data[4] = {1, 2, 3, 4};
  drbg->ApplyKeystream(data, 0);
  drbg->ApplyKeystream(data, -1);
  EXPECT_EQ(drbg->blockCounter(), 5u);
  EXPECT_EQ(data[0], 1);
  EXPECT_EQ(data[3], 4);
}

TEST_P(AesDrbgTest, PartialBlockDiscardsItsTail) {
  auto drbg = MakeDrbg();
  const Bytes first = Keystream(*drbg, 17);
  EXPECT_EQ(drbg->blockCounter(), 2u);
  const Bytes block1 = Block(1);
  EXPECT_EQ(first, Concat(Block(0), Bytes(block1.begin(), block1.begin() + 1)));
  // The next call starts with block 2, not with the rest of block 1.
  EXPECT_EQ(Keystream(*drbg, 16), Block(2));
}

TEST_P(AesDrbgTest, RestoredCounterRepeatsKeystream) {
  auto drbg = MakeDrbg();
  Keystream(*drbg, 100);
  const uint64_t saved = drbg->blockCounter();

  Bytes data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31);
  const Bytes original = data;
  drbg->ApplyKeystream(data.data(), static_cast<int32_t>(data.size()));
  EXPECT_NE(data, original);
  const uint64_t after = drbg->blockCounter();
  EXPECT_EQ(after, saved + 63);  // 1000 bytes touch 63 blocks

  drbg->setBlockCounter(saved);
  drbg->ApplyKeystream(data.data(), static_cast<int32_t>(data.size()));
  EXPECT_EQ(data, original);
  EXPECT_EQ(drbg->blockCounter(), after);
}

TEST_P(AesDrbgTest, CounterWrapsWithoutCarryIntoUpperBytes) {
  auto drbg = MakeDrbg();
  drbg->setBlockCounter(UINT64_MAX);
  EXPECT_EQ(Keystream(*drbg, 32), Concat(Block(UINT64_MAX), Block(0)));
  EXPECT_EQ(drbg->blockCounter(), 1u);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(drbg->counterBlock[i], 0) << i;
}

TEST(AesDrbgVariantsTest, BothFactoriesGiveTheSameKeystream) {
  if (!ProcessorHasAesNi()) GTEST_SKIP() << "processor lacks AES-NI";
  BuildGfMulTable();
  CryptoFactory portableFactory, hardwareFactory;
  hardwareFactory.hasAesNi = true;
  AES_DRBG portable(portableFactory, kKey), hardware(hardwareFactory, kKey);
  EXPECT_EQ(Keystream(portable, 4099), Keystream(hardware, 4099));
  EXPECT_EQ(portable.blockCounter(), hardware.blockCounter());
}

}  // namespace
}  // namespace vellum
