#include "package/payload_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "app/cpu_features.h"
#include "tests/support/memory_file.h"

namespace vellum {
namespace {

constexpr uint8_t kKey[32] = {7, 6, 5, 4, 3, 2, 1};

// Builds "package" bytes: a 1024-byte dummy header, then plaintext encrypted
// from keystream block 62, and the header record that describes it.
class PayloadStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { DetectProcessorFeatures(factory); }

  void MakePayload(size_t length, size_t trailing = 0) {
    plain.resize(length);
    for (size_t i = 0; i < length; ++i) plain[i] = static_cast<uint8_t>(i * 13 + (i >> 16));
    header.payloadLength = length;
    auto hasher = factory.CreateSHA256();
    hasher->Update(plain.data(), static_cast<uint32_t>(plain.size()));
    hasher->Final(header.payloadDigest);
    auto bytes = std::make_shared<std::vector<uint8_t>>(1024, 0xEE);
    std::vector<uint8_t> encrypted = plain;
    AES_DRBG sealer(factory, kKey);
    sealer.setBlockCounter(62);
    for (size_t at = 0; at < encrypted.size(); at += 65536) {
      sealer.ApplyKeystream(encrypted.data() + at, static_cast<int32_t>(std::min<size_t>(65536, encrypted.size() - at)));
    }
    bytes->insert(bytes->end(), encrypted.begin(), encrypted.end());
    bytes->insert(bytes->end(), trailing, 0x55);
    source = std::make_unique<MemoryFile>(bytes);
    source->Seek(1024);
    generator = std::make_unique<AES_DRBG>(factory, kKey);
    generator->setBlockCounter(62);
  }
  bool Pass(MemoryFile* destination) {
    return PayloadStream{factory, header, *generator}.RunPayloadPass(*source, destination);
  }

  CryptoFactory factory;
  PackageHeader header;
  std::vector<uint8_t> plain;
  std::unique_ptr<MemoryFile> source;
  std::unique_ptr<AES_DRBG> generator;
};

TEST_F(PayloadStreamTest, ChunkBoundariesAdvanceTheCounterByStartedBlocks) {
  struct Case { size_t length; uint64_t blocks; };
  for (Case c : {Case{0, 0}, Case{1, 1}, Case{65536, 4096}, Case{65537, 4097}, Case{200000, 12500}}) {
    MakePayload(c.length);
    MemoryFile out;
    EXPECT_TRUE(Pass(&out)) << c.length;
    EXPECT_EQ(generator->blockCounter(), 62 + c.blocks) << c.length;
    EXPECT_EQ(out.bytes(), plain) << c.length;
    EXPECT_EQ(source->position(), 1024 + c.length);
  }
}

TEST_F(PayloadStreamTest, EmptyPayloadNeedsTheEmptyMessageDigest) {
  MakePayload(0);
  EXPECT_TRUE(Pass(nullptr));
  EXPECT_EQ(source->totalRead, 0u);
  header.payloadDigest[0] ^= 1;
  EXPECT_FALSE(Pass(nullptr));
}

TEST_F(PayloadStreamTest, ExtraBytesAfterThePayloadAreNeverRead) {
  MakePayload(70000, 5000);
  EXPECT_TRUE(Pass(nullptr));
  EXPECT_EQ(source->position(), 1024u + 70000u);
}

TEST_F(PayloadStreamTest, TruncatedFileFailsAfterTheFullChunks) {
  MakePayload(140000);
  auto shorter = std::make_shared<std::vector<uint8_t>>(source->bytes());
  shorter->pop_back();
  source = std::make_unique<MemoryFile>(shorter);
  source->Seek(1024);
  MemoryFile out;
  EXPECT_FALSE(Pass(&out));
  EXPECT_EQ(out.bytes().size(), 2u * 65536);  // the chunks before the short one were written
}

TEST_F(PayloadStreamTest, ReadErrorsAndShortReadsFail) {
  MakePayload(1000);
  source->failReads = true;
  EXPECT_FALSE(Pass(nullptr));
  MakePayload(1000);
  source->readLimit = 999;
  EXPECT_FALSE(Pass(nullptr));
}

TEST_F(PayloadStreamTest, DigestOfTheCiphertextIsRejected) {
  MakePayload(5000);
  auto hasher = factory.CreateSHA256();
  hasher->Update(source->bytes().data() + 1024, 5000);
  hasher->Final(header.payloadDigest);
  EXPECT_FALSE(Pass(nullptr));
}

TEST_F(PayloadStreamTest, FailedOrShortWriteFailsThePass) {
  // A plaintext that did not reach the disk whole must not count as written.
  MakePayload(70000);
  MemoryFile failing;
  failing.failWrites = true;
  EXPECT_FALSE(Pass(&failing));
  MakePayload(70000);
  MemoryFile shortWrites;
  shortWrites.writeLimit = 100;
  EXPECT_FALSE(Pass(&shortWrites));
}

TEST_F(PayloadStreamTest, RewoundPassesProduceTheSamePlaintext) {
  MakePayload(100000);
  MemoryFile first, second;
  ASSERT_TRUE(Pass(&first));
  generator->setBlockCounter(62);
  source->Seek(1024);
  ASSERT_TRUE(Pass(&second));
  EXPECT_EQ(first.bytes(), second.bytes());
}

TEST_F(PayloadStreamTest, PayloadEncryptedFromBlockZeroFails) {
  MakePayload(3000);
  generator->setBlockCounter(0);
  EXPECT_FALSE(Pass(nullptr));
}

}  // namespace
}  // namespace vellum
