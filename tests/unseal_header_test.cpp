#include "package/unseal_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/cpu_features.h"
#include "crypto/big_num.h"
#include "crypto/gf_mul_table.h"
#include "crypto/public_modulus.h"
#include "crypto/rsa_public.h"
#include "package/payload_stream.h"
#include "tests/support/memory_file.h"
#include "tests/support/test_data.h"

namespace vellum {
namespace {

// tests/data/viewer_data was sealed with the test key by the publisher's tool,
// for the name viewer_data, from tests/data/viewer_data.zip.
class UnsealFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    DetectProcessorFeatures(factory);
    package = testing::ReadTestData("viewer_data");
    zip = testing::ReadTestData("viewer_data.zip");
    ASSERT_GT(package.size(), 1024u);
    ASSERT_FALSE(zip.empty());
  }
  std::shared_ptr<AES_DRBG> Unseal(const std::vector<uint8_t>& bytes, const Text& name) {
    header = PackageHeader{};
    return UnsealHeader(bytes.data(), header, factory, name);
  }

  CryptoFactory factory;
  std::vector<uint8_t> package, zip;
  PackageHeader header;
};

TEST_F(UnsealFixture, OpensTheSealedHeaderAndStandsAtThePayload) {
  auto generator = Unseal(package, u"viewer_data");
  ASSERT_TRUE(generator);
  EXPECT_EQ(header.title, u"\u30c6\u30b9\u30c8\u7528\u30d1\u30c3\u30b1\u30fc\u30b8");  // テスト用パッケージ
  EXPECT_EQ(header.payloadLength, zip.size());
  EXPECT_EQ(generator->blockCounter(), 62u);

  // The payload that follows decrypts, from block 62 on, to the archive sealed.
  MemoryFile source(std::make_shared<std::vector<uint8_t>>(package)), plain;
  source.Seek(1024);
  PayloadStream stream{factory, header, *generator};
  ASSERT_TRUE(stream.RunPayloadPass(source, &plain));
  EXPECT_EQ(plain.bytes(), zip);
}

TEST_F(UnsealFixture, NameMatchesInAnyLetterCaseOnly) {
  EXPECT_TRUE(Unseal(package, u"VIEWER_DATA"));
  EXPECT_TRUE(Unseal(package, u"Viewer_Data"));
  EXPECT_FALSE(Unseal(package, u"viewer_datax"));
  EXPECT_FALSE(Unseal(package, u"viewer_dat"));
  EXPECT_FALSE(Unseal(package, u"other_data"));
  // A rejected name leaves every field read before the check.
  EXPECT_EQ(header.payloadLength, zip.size());
  EXPECT_FALSE(header.title.empty());
}

TEST_F(UnsealFixture, AnyFlippedBitIsRejected) {
  // A spread of bit positions over the whole block, first and last bytes included.
  for (size_t byte : {0u, 1u, 127u, 300u, 511u, 640u, 991u, 992u, 1010u, 1023u}) {
    for (int bit : {0, 7}) {
      std::vector<uint8_t> damaged = package;
      damaged[byte] ^= static_cast<uint8_t>(1u << bit);
      EXPECT_FALSE(Unseal(damaged, u"viewer_data")) << "byte " << byte << " bit " << bit;
      EXPECT_TRUE(header.title.empty());
      EXPECT_EQ(header.payloadLength, 0u);
    }
  }
}

TEST_F(UnsealFixture, BothAlgorithmChoicesAgree) {
  CryptoFactory portable;
  BuildGfMulTable();
  PackageHeader a, b;
  auto x = UnsealHeader(package.data(), a, factory, u"viewer_data");
  auto y = UnsealHeader(package.data(), b, portable, u"viewer_data");
  ASSERT_TRUE(x && y);
  EXPECT_EQ(a.title, b.title);
  EXPECT_EQ(0, std::memcmp(a.payloadDigest, b.payloadDigest, 32));
}

// The tool's own header, opened step by step: its fields decode through the
// shared layout, and encoding them again gives back the same plain header.
TEST_F(UnsealFixture, TheToolsHeaderDecodesAndEncodesBackToTheSameBytes) {
  namespace layout = header_layout;
  CBigNum exponent, modulus;
  exponent.SetLimb(kPublicExponent);
  modulus.FromBigEndian(kPublicModulus);
  uint8_t plain[layout::kSize];
  RsaPublic(package.data(), exponent, modulus, plain);
  ApplyKeyMask(plain, factory);
  AES_DRBG(factory, plain + layout::kKey).ApplyKeystream(plain, layout::kBodyLength);
  uint8_t stored[32], digest[32];
  std::memcpy(stored, plain + layout::kHeaderDigest, 32);
  ComputeHeaderDigest(plain, factory, digest);
  EXPECT_EQ(0, std::memcmp(stored, digest, 32));

  Text name;
  ASSERT_EQ(DecodeHeaderFields(plain, header, name), UnsealFailure::kNone);
  EXPECT_EQ(name, u"viewer_data");
  EXPECT_EQ(header.payloadLength, zip.size());
  uint8_t again[layout::kSize];
  ASSERT_TRUE(EncodeHeaderFields(header, name, again));
  std::memcpy(again + layout::kKey, plain + layout::kKey, 32);  // K and the digest are not fields
  EXPECT_EQ(0, std::memcmp(again, plain, layout::kSize));
}

TEST(HeaderFields, RoundTripAtTheLongestTextsAndNothingLongerIsWritten) {
  PackageHeader header;
  header.title = Text(header_layout::kMaxTitleUnits, u'\u3042');
  header.payloadLength = 0x0102030405060708ull;
  for (uint8_t k = 0; k < 32; ++k) header.payloadDigest[k] = static_cast<uint8_t>(0xA0 + k);
  const Text name(header_layout::kMaxNameUnits, u'n');
  uint8_t plain[1024];
  ASSERT_TRUE(EncodeHeaderFields(header, name, plain));
  PackageHeader decoded;
  Text decodedName;
  ASSERT_EQ(DecodeHeaderFields(plain, decoded, decodedName), UnsealFailure::kNone);
  EXPECT_EQ(decoded.title, header.title);
  EXPECT_EQ(decoded.payloadLength, header.payloadLength);
  EXPECT_EQ(0, std::memcmp(decoded.payloadDigest, header.payloadDigest, 32));
  EXPECT_EQ(decodedName, name);
  for (size_t at = header_layout::kHeaderDigest; at < 1024; ++at) EXPECT_EQ(plain[at], 0) << at;

  // One unit more than a field holds with its terminator: refused, untouched.
  uint8_t untouched[1024];
  std::memset(untouched, 0xEE, sizeof untouched);
  PackageHeader longer = header;
  longer.title += u'x';
  EXPECT_FALSE(EncodeHeaderFields(longer, name, untouched));
  EXPECT_FALSE(EncodeHeaderFields(header, name + u'n', untouched));
  EXPECT_TRUE(std::all_of(untouched, untouched + 1024, [](uint8_t b) { return b == 0xEE; }));

  // Decoding stops at the first field that fails, keeping what came before.
  plain[header_layout::kZeroWord + 1] = 1;
  decoded = PackageHeader{};
  EXPECT_EQ(DecodeHeaderFields(plain, decoded, decodedName), UnsealFailure::kZeroWord);
  EXPECT_EQ(decoded.payloadLength, header.payloadLength);
  EXPECT_TRUE(decoded.title.empty());
}

TEST(ReadHeaderText, StopsAtTheTerminatorOrTheFieldEnd) {
  uint8_t field[8] = {'a', 0, 0x42, 0x30, 0, 0, 'z', 0};
  Text text;
  EXPECT_TRUE(ReadHeaderText(field, 4, text));
  EXPECT_EQ(text, u"a\u3042");
  // No terminator within the field: refused, and nothing beyond it is read.
  uint8_t full[4] = {'a', 0, 'b', 0};
  EXPECT_FALSE(ReadHeaderText(full, 2, text));
  EXPECT_TRUE(ReadHeaderText(field, 0, text) == false);
}

}  // namespace
}  // namespace vellum
