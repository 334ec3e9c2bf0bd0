#include "package/unseal_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/cpu_features.h"
#include "crypto/gf_mul_table.h"
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
