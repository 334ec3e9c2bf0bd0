// Packages sealed with the test private key, opened with the viewer's code.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/cpu_features.h"
#include "crypto/aes_drbg.h"
#include "crypto/gf_mul_table.h"
#include "package/payload_stream.h"
#include "package/unseal_header.h"
#include "tests/support/memory_file.h"
#include "tests/oracle/support/sealing.h"
#include "tools/sealer.h"

namespace vellum {
namespace {

namespace layout = header_layout;
using testing::MakePlainHeader;
using testing::SealPackageBytes;

class SealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DetectProcessorFeatures(factory);
    payload.assign(3000, 0);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  }
  // Unseals and, when that works, verifies the payload too.
  bool Opens(const std::vector<uint8_t>& package, const Text& name) {
    header = PackageHeader{};
    auto generator = UnsealHeader(package.data(), header, factory, name);
    if (!generator) return false;
    EXPECT_EQ(generator->blockCounter(), 62u);
    MemoryFile source(std::make_shared<std::vector<uint8_t>>(package));
    source.Seek(1024);
    return PayloadStream{factory, header, *generator}.RunPayloadPass(source, nullptr);
  }

  CryptoFactory factory;
  std::vector<uint8_t> payload;
  PackageHeader header;
};

TEST_F(SealTest, RoundTripsTitlesAndNames) {
  const Text longest(127, u'\u3042');
  for (const Text& title : {Text(), Text(u"Annual report"), Text(u"\u65e5\u672c\u8a9e\u306e\u984c"), longest}) {
    auto package = SealPackageBytes(factory, MakePlainHeader(factory, title, u"viewer_data", payload), payload);
    ASSERT_TRUE(Opens(package, u"viewer_data"));
    EXPECT_EQ(header.title, title);
    EXPECT_EQ(header.payloadLength, payload.size());
  }
  auto package = SealPackageBytes(factory, MakePlainHeader(factory, u"t", u"Viewer_Data", payload), payload);
  EXPECT_TRUE(Opens(package, u"viewer_data"));
  EXPECT_TRUE(Opens(package, u"VIEWER_DATA"));
  EXPECT_FALSE(Opens(package, u"viewer_data_"));
  EXPECT_FALSE(Opens(package, u"viewer_dat"));
}

TEST_F(SealTest, LongestNameFitsItsField) {
  const Text name(191, u'n');
  auto package = SealPackageBytes(factory, MakePlainHeader(factory, u"", name, payload), payload);
  EXPECT_TRUE(Opens(package, name));
}

TEST_F(SealTest, ZeroWordMustBeZeroEvenWithAGoodDigest) {
  auto plain = MakePlainHeader(factory, u"t", u"viewer_data", payload);
  plain.bytes[layout::kZeroWord] = 1;
  tool::SetHeaderDigest(plain.bytes, factory);
  EXPECT_FALSE(Opens(SealPackageBytes(factory, plain, payload), u"viewer_data"));
  EXPECT_EQ(header.payloadLength, payload.size());  // read before the zero word
}

TEST_F(SealTest, UninterpretedBytesAreCoveredByTheDigest) {
  for (size_t byte : {1u, 15u, 24u, 31u, 34u, 200u, 287u}) {
    auto plain = MakePlainHeader(factory, u"t", u"viewer_data", payload);
    plain.bytes[byte] ^= 0x5A;
    EXPECT_FALSE(Opens(SealPackageBytes(factory, plain, payload), u"viewer_data")) << byte;
    // With the digest recomputed the same byte is accepted: it carries no meaning.
    tool::SetHeaderDigest(plain.bytes, factory);
    EXPECT_TRUE(Opens(SealPackageBytes(factory, plain, payload), u"viewer_data")) << byte;
  }
}

TEST_F(SealTest, FieldsWithoutTerminatorAreRejected) {
  for (size_t field : {layout::kTitle, layout::kName}) {
    const size_t units = field == layout::kTitle ? layout::kTitleUnits : layout::kNameUnits;
    auto plain = MakePlainHeader(factory, u"", u"viewer_data", payload);
    for (size_t k = 0; k < units; ++k) plain.bytes[field + 2 * k] = field == layout::kName ? 'v' : 't';
    tool::SetHeaderDigest(plain.bytes, factory);
    EXPECT_FALSE(Opens(SealPackageBytes(factory, plain, payload), u"viewer_data")) << field;
  }
}

TEST_F(SealTest, EmptyPayloadWithTheEmptyMessageDigestOpens) {
  const std::vector<uint8_t> none;
  auto package = SealPackageBytes(factory, MakePlainHeader(factory, u"", u"viewer_data", none), none);
  ASSERT_EQ(package.size(), 1024u);
  EXPECT_TRUE(Opens(package, u"viewer_data"));
}

TEST_F(SealTest, PayloadMustBeWholeAndEncryptedFromBlock62) {
  auto package = SealPackageBytes(factory, MakePlainHeader(factory, u"", u"viewer_data", payload), payload);
  auto extra = package;
  extra.insert(extra.end(), 100, 0xAB);
  EXPECT_TRUE(Opens(extra, u"viewer_data"));
  auto truncated = package;
  truncated.pop_back();
  EXPECT_FALSE(Opens(truncated, u"viewer_data"));

  // The same payload encrypted from block 0 fails its digest.
  auto plain = MakePlainHeader(factory, u"", u"viewer_data", payload);
  auto fromZero = package;
  std::memcpy(fromZero.data() + 1024, payload.data(), payload.size());
  AES_DRBG generator(factory, plain.bytes + layout::kKey);
  generator.ApplyKeystream(fromZero.data() + 1024, static_cast<int32_t>(payload.size()));
  EXPECT_FALSE(Opens(fromZero, u"viewer_data"));
}

TEST_F(SealTest, ByteZeroOfTheOpenedBlockPlaysNoPart) {
  // Seal by hand, leaving a non-zero encrypted byte 0 (still below the modulus).
  auto plain = MakePlainHeader(factory, u"t", u"viewer_data", payload);
  uint8_t block[layout::kSize];
  CloseHeaderBlock(plain.bytes, factory, block);
  block[0] = 0x42;  // outside the bytes the key mask digests
  std::vector<uint8_t> package(layout::kSize);
  ASSERT_TRUE(testing::TestKey().PrivateOperation(block, package.data()));
  auto sealedPayload = SealPackageBytes(factory, plain, payload);
  package.insert(package.end(), sealedPayload.begin() + 1024, sealedPayload.end());
  EXPECT_TRUE(Opens(package, u"viewer_data"));
}

TEST_F(SealTest, PortableAlgorithmsOpenWhatHardwareSealed) {
  auto package = SealPackageBytes(factory, MakePlainHeader(factory, u"x", u"viewer_data", payload), payload);
  BuildGfMulTable();
  factory = CryptoFactory{};
  EXPECT_TRUE(Opens(package, u"viewer_data"));
}

}  // namespace
}  // namespace vellum
