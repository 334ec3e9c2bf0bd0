#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "crypto/crypto_factory.h"
#include "crypto/sha256h.h"
#include "crypto/sha256x.h"
#include "tests/support/sha256_variants.h"

namespace vellum {
namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string HashHex(const CryptoFactory& factory, const std::vector<uint8_t>& message) {
  return ToHex(HashInPieces(factory, message.data(), message.size()));
}

std::string HashHex(const CryptoFactory& factory, const std::string& message) {
  return HashHex(factory, std::vector<uint8_t>(message.begin(), message.end()));
}

// Bytes 3, 10, 17, ...: a message that is not all one value.
std::vector<uint8_t> Pattern(size_t length) {
  std::vector<uint8_t> message(length);
  for (size_t i = 0; i < length; ++i) message[i] = static_cast<uint8_t>(i * 7 + 3);
  return message;
}

TEST_P(Sha256VariantTest, FipsExamples) {
  EXPECT_EQ(HashHex(factory, std::string("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(HashHex(factory, twoBlocks),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(HashHex(factory, std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(HashHex(factory, std::string()),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

// A selection from the NIST CAVP SHAVS file SHA256ShortMsg.rsp (byte-oriented),
// including the 55- and 56-byte messages on either side of the length that
// forces a second padding block, and the 63- and 64-byte ones.
TEST_P(Sha256VariantTest, NistShortMessages) {
  const struct {
    const char* message;
    const char* digest;
  } kVectors[] = {
      {"d3", "28969cdfa74a12c82f3bad960b0b000aca2ac329deea5c2328ebc6f2ba9802c1"},
      {"5738c929c4f4ccb6", "963bb88f27f512777aab6c8b1a02c70ec0ad651d428f870036e1917120fb48bf"},
      {"0a27847cdc98bd6f62220b046edd762b",
       "80c25ec1600587e7f28b18b1b18e3cdc89928e39cab3bc25e4d4a4c139bcedc4"},
      {"3ebfb06db8c38d5ba037f1363e118550aad94606e26835a01af05078533cc25f"
       "2f39573c04b632f62f68c294ab31f2a3e2a1a0d8c2be51",
       "6595a2ef537a69ba8583dfbf7f5bec0ab1f93ce4c8ee1916eff44a93af5749c4"},
      {"2d52447d1244d2ebc28650e7b05654bad35b3a68eedc7f8515306b496d75f3e7"
       "3385dd1b002625024b81a02f2fd6dffb6e6d561cb7d0bd7a",
       "cfb88d6faf2de3a69d36195acec2e255e2af2b7d933997f348e09f6ce5758360"},
      {"e2f76e97606a872e317439f1a03fcd92e632e5bd4e7cbc4e97f1afc19a16fde9"
       "2d77cbe546416b51640cddb92af996534dfd81edb17c4424cf1ac4d75aceeb",
       "18041bd4665083001fba8c5411d2d748e8abbfdcdfd9218cb02b68a78e7d4c23"},
      {"5a86b737eaea8ee976a0a24da63e7ed7eefad18a101c1211e2b3650c5187c2a8"
       "a650547208251f6d4237e661c7bf4c77f335390394c37fa1a9f9be836ac28509",
       "42e61e174fbb3897d6dd6cef3dd2802fe67b331953b06114a65c772859dfc1aa"},
  };
  for (const auto& vector : kVectors) {
    EXPECT_EQ(HashHex(factory, FromHex(vector.message)), vector.digest) << vector.message;
  }
}

TEST_P(Sha256VariantTest, PiecewiseFeedingMatchesOneShot) {
  const uint32_t kLength = 300;
  const std::vector<uint8_t> message = Pattern(kLength);
  const Sha256Digest oneShot = HashInPieces(factory, message.data(), kLength);
  // The pieces come from an odd address, so whole blocks are read unaligned.
  std::vector<uint8_t> storage(kLength + 1);
  std::copy(message.begin(), message.end(), storage.begin() + 1);
  const uint8_t* unaligned = storage.data() + 1;

  const std::vector<std::vector<uint32_t>> plans = {
      std::vector<uint32_t>(kLength, 1),
      {63, 1},
      {64, 64},
      {0, 5, 0, 0, 59, 0, 64, 0, 0},
      {1, 127},
      {55, 1, 8},
      {200, 0, 100},
      {kLength},
  };
  for (const auto& plan : plans) {
    EXPECT_EQ(HashInPieces(factory, unaligned, kLength, plan), oneShot)
        << "plan starting " << plan[0] << " of " << plan.size() << " pieces";
  }
  // A null pointer is a valid empty piece.
  auto hasher = factory.CreateSHA256();
  hasher->Update(nullptr, 0);
  hasher->Update(unaligned, 10);
  hasher->Update(nullptr, 0);
  hasher->Update(unaligned + 10, kLength - 10);
  Sha256Digest digest;
  hasher->Final(digest.data());
  EXPECT_EQ(digest, oneShot);
}

// Past 2^29 bytes the bit count needs more than 32 bits; the last piece leaves
// a partial block. The digest is that of FIPS 180-4 (OpenSSL agrees).
TEST_P(Sha256VariantTest, SlowLengthBeyond32BitBitCount) {
  const uint32_t kChunk = 65536;
  const uint32_t kChunks = (1u << 29) / kChunk;
  std::vector<uint8_t> chunk(kChunk);
  for (uint32_t i = 0; i < kChunk; ++i) chunk[i] = static_cast<uint8_t>(i * 131 + 7);
  auto hasher = factory.CreateSHA256();
  for (uint32_t c = 0; c <= kChunks; ++c) {
    chunk[0] = static_cast<uint8_t>(c);
    chunk[1] = static_cast<uint8_t>(c >> 8);
    hasher->Update(chunk.data(), c < kChunks ? kChunk : 13);
  }
  Sha256Digest digest;
  hasher->Final(digest.data());
  EXPECT_EQ(ToHex(digest), "9c11f791f0a60988479b535e9d1b722e09bd1451f8f88cec6facf74d7b749415");
}

// Random splits of every length up to a few blocks, against the portable
// variant in one piece.
TEST_P(Sha256VariantTest, AgreesWithPortableOnEveryLengthAndSplit) {
  const CryptoFactory portable;
  std::mt19937 random(180);
  for (uint32_t length = 0; length <= 400; ++length) {
    const std::vector<uint8_t> message = Pattern(length);
    std::vector<uint32_t> pieces;
    for (uint32_t left = length; left > 0;) {
      pieces.push_back(std::uniform_int_distribution<uint32_t>(0, left)(random));
      left -= pieces.back();
    }
    EXPECT_EQ(HashInPieces(factory, message.data(), length, pieces),
              HashInPieces(portable, message.data(), length))
        << length;
  }
}

// Runs of whole blocks in one Update, after any partial fill and before any
// tail, and long messages in big uneven pieces, against the portable variant
// in one piece.
TEST_P(Sha256VariantTest, WholeBlockRunsAfterAnyFill) {
  const CryptoFactory portable;
  const std::vector<uint8_t> message = Pattern(3 * 65536 + 1000);
  for (uint32_t fill : {0u, 1u, 37u, 63u}) {
    for (uint32_t blocks = 0; blocks <= 20; ++blocks) {
      for (uint32_t tail : {0u, 1u, 63u}) {
        const uint32_t length = fill + 64 * blocks + tail + 5;
        EXPECT_EQ(HashInPieces(factory, message.data(), length, {fill, 64 * blocks + tail}),
                  HashInPieces(portable, message.data(), length))
            << fill << " + " << blocks << " blocks + " << tail;
      }
    }
  }
  std::mt19937 random(64);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<uint32_t> pieces;
    for (uint32_t left = static_cast<uint32_t>(message.size()); left > 0;) {
      pieces.push_back(std::uniform_int_distribution<uint32_t>(0, std::min(left, 70000u))(random));
      left -= pieces.back();
    }
    EXPECT_EQ(HashInPieces(factory, message.data(), message.size(), pieces),
              HashInPieces(portable, message.data(), message.size()))
        << "trial " << trial;
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, Sha256VariantTest,
                         ::testing::ValuesIn(AvailableSha256Variants()), Sha256VariantName);

TEST(Sha256Factory, FlagChoosesVariantAndHardwareStateLayout) {
  CryptoFactory factory;
  const auto portable = factory.CreateSHA256();
  EXPECT_NE(dynamic_cast<const SHA256x*>(portable.get()), nullptr);

  // Making one needs no SHA extensions; only compressing does.
  factory.hasShaExtensions = true;
  const auto hardware = factory.CreateSHA256();
  const auto* h = dynamic_cast<const SHA256H*>(hardware.get());
  ASSERT_NE(h, nullptr);
  const uint32_t* abef = h->stateAbef.get();
  const uint32_t* cdgh = h->stateCdgh.get();
  EXPECT_EQ(reinterpret_cast<uintptr_t>(abef) % 16, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(cdgh) % 16, 0u);
  // H5 and H7 sit at the lowest addresses.
  EXPECT_EQ(std::vector<uint32_t>(abef, abef + 4),
            (std::vector<uint32_t>{0x9b05688c, 0x510e527f, 0xbb67ae85, 0x6a09e667}));
  EXPECT_EQ(std::vector<uint32_t>(cdgh, cdgh + 4),
            (std::vector<uint32_t>{0x5be0cd19, 0x1f83d9ab, 0xa54ff53a, 0x3c6ef372}));
}

}  // namespace
}  // namespace vellum
