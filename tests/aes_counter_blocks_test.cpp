// The run-of-counter-blocks path of the ciphers and the keystream generator
// against the one-block path they must reproduce exactly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "base/little_endian.h"
#include "crypto/aes_drbg.h"
#include "tests/support/aes_variants.h"

namespace vellum {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kKey[32] = {0x8c, 0x10, 0x4e, 0x27, 0x91, 0x3a, 0xd5, 0x6f, 0x02, 0xbb, 0x70,
                              0x15, 0xe4, 0x39, 0xc6, 0x5d, 0x28, 0x83, 0x9f, 0x41, 0x07, 0xae,
                              0x62, 0xf8, 0x1c, 0xd3, 0x55, 0x9a, 0x30, 0x6b, 0xe1, 0x74};

// Counters where a byte carry starts or the 64-bit counter wraps.
const uint64_t kCounters[] = {0,
                              62,
                              0xF8,
                              0xFFF9,
                              0xFFFFFFF3,
                              0x00FFFFFFFFFFFFF0ull,
                              0x0123456789ABCDEFull,
                              UINT64_MAX - 20,
                              UINT64_MAX - 3,
                              UINT64_MAX};

void PutCounter(uint8_t block[16], uint64_t counter) { StoreLe64(block, counter); }

class CounterBlocksTest : public AesVariantTest {
 protected:
  // The keystream from `counter` on, one EncryptBlock per block.
  Bytes Reference(uint64_t counter, size_t bytes) {
    Bytes stream;
    uint8_t in[16] = {}, out[16];
    while (stream.size() < bytes) {
      PutCounter(in, counter++);
      cipher->EncryptBlock(in, out);
      stream.insert(stream.end(), out, out + 16);
    }
    stream.resize(bytes);
    return stream;
  }

  std::shared_ptr<AES256> cipher;
  void SetUp() override {
    AesVariantTest::SetUp();
    if (!IsSkipped()) cipher = factory.CreateAES256(kKey);
  }
};
INSTANTIATE_TEST_SUITE_P(Variants, CounterBlocksTest, ::testing::Bool(), AesVariantName);

TEST_P(CounterBlocksTest, RunsEqualSingleBlocksAcrossCarriesAndWrap) {
  std::mt19937 random(5);
  for (uint64_t counter : kCounters) {
    for (int32_t count = 0; count <= 41; ++count) {
      uint8_t first[16] = {};
      PutCounter(first, counter);
      Bytes data(16 * count + 1);  // one guard byte
      for (auto& byte : data) byte = static_cast<uint8_t>(random());
      Bytes expected = data;
      const Bytes keystream = Reference(counter, 16 * count);
      for (size_t i = 0; i < keystream.size(); ++i) expected[i] ^= keystream[i];
      cipher->XorCounterBlocks(first, count, data.data());
      EXPECT_EQ(data, expected) << "counter " << counter << ", " << count << " blocks";
    }
  }
}

TEST_P(CounterBlocksTest, UpperEightBytesPassThroughWithoutCarry) {
  uint8_t first[16];
  for (int i = 0; i < 16; ++i) first[i] = static_cast<uint8_t>(0xF0 + i);
  PutCounter(first, UINT64_MAX - 1);
  Bytes out(16 * 11);  // zeros: XORing in writes the encryptions
  cipher->XorCounterBlocks(first, 11, out.data());
  for (int k = 0; k < 11; ++k) {
    uint8_t block[16], expected[16];
    std::memcpy(block, first, 16);
    PutCounter(block, UINT64_MAX - 1 + static_cast<uint64_t>(k));
    cipher->EncryptBlock(block, expected);
    EXPECT_EQ(0, std::memcmp(out.data() + 16 * k, expected, 16)) << k;
  }
  // A negative count does nothing.
  cipher->XorCounterBlocks(first, -3, nullptr);
}

TEST_P(CounterBlocksTest, KeystreamMatchesOneBlockPathForEveryLengthAndSplit) {
  std::mt19937 random(8);
  for (uint64_t start : kCounters) {
    for (int32_t length = 0; length <= 700; length += (length < 300 ? 1 : 37)) {
      // Two calls split at `split`, from an odd address: each call starts on
      // a fresh block, so the second begins after the first's last block.
      const int32_t split = std::uniform_int_distribution<int32_t>(0, length)(random);
      Bytes storage(length + 1);
      for (int32_t i = 0; i < length; ++i) storage[i + 1] = static_cast<uint8_t>(i * 13 + 5);
      uint8_t* data = storage.data() + 1;
      AES_DRBG drbg(factory, kKey);
      drbg.setBlockCounter(start);
      drbg.ApplyKeystream(data, split);
      const uint64_t firstBlocks = (split + 15) / 16;
      ASSERT_EQ(drbg.blockCounter(), start + firstBlocks);
      drbg.ApplyKeystream(data + split, length - split);
      ASSERT_EQ(drbg.blockCounter(), start + firstBlocks + (length - split + 15) / 16);
      for (int i = 8; i < 16; ++i) ASSERT_EQ(drbg.counterBlock[i], 0);

      const Bytes head = Reference(start, split);
      const Bytes tail = Reference(start + firstBlocks, length - split);
      for (int32_t i = 0; i < length; ++i) {
        const uint8_t plain = static_cast<uint8_t>(i * 13 + 5);
        const uint8_t key = i < split ? head[i] : tail[i - split];
        ASSERT_EQ(data[i], plain ^ key) << "start " << start << ", length " << length
                                        << ", split " << split << ", byte " << i;
      }
    }
  }
}

// The payload's chunks: 64 KiB calls in a row, then a short last one.
TEST_P(CounterBlocksTest, ChunkedPayloadKeystream) {
  AES_DRBG drbg(factory, kKey);
  drbg.setBlockCounter(62);
  Bytes data(2 * 65536 + 1001);
  drbg.ApplyKeystream(data.data(), 65536);
  drbg.ApplyKeystream(data.data() + 65536, 65536);
  drbg.ApplyKeystream(data.data() + 131072, 1001);
  EXPECT_EQ(drbg.blockCounter(), 62u + 4096 + 4096 + 63);
  EXPECT_EQ(data, Reference(62, data.size()));
}

}  // namespace
}  // namespace vellum
