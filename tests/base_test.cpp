#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/little_endian.h"
#include "base/utf8.h"

namespace vellum {
namespace {

Text Decode(const std::string& bytes, MalformedUtf8 malformed, bool& wellFormed) {
  Text text = u"stale";
  wellFormed = DecodeUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), text, malformed);
  return text;
}

TEST(Utf8, WellFormedTextDecodesTheSameEitherWayAndRoundTrips) {
  const std::string utf8 = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";  // a, é, 日, U+1F600, U+10FFFF
  for (MalformedUtf8 malformed : {MalformedUtf8::kReplace, MalformedUtf8::kStop}) {
    bool wellFormed = false;
    EXPECT_EQ(Decode(utf8, malformed, wellFormed), u"a\u00E9\u65E5\U0001F600\U0010FFFF");
    EXPECT_TRUE(wellFormed);
  }
  EXPECT_EQ(TextToUtf8(u"a\u00E9\u65E5\U0001F600\U0010FFFF"), utf8);
  // UTF-8 cannot carry a lone surrogate.
  EXPECT_EQ(TextToUtf8(Text(u"x") + char16_t(0xD800) + u"y" + char16_t(0xDC00)), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

// Archive names show every malformed byte as U+FFFD; the publisher's tool
// refuses such input and keeps only what came before it.
TEST(Utf8, MalformedSequencesAreReplacedByteByByteOrStopDecoding) {
  const struct {
    std::string bytes;
    Text replaced;
  } cases[] = {
      {"a\xC0\xAF" "b", u"a\uFFFD\uFFFDb"},                   // overlong '/'
      {"a\xE0\x80\xAF", u"a\uFFFD\uFFFD\uFFFD"},              // overlong, three bytes
      {"a\xED\xA0\x80", u"a\uFFFD\uFFFD\uFFFD"},              // a surrogate
      {"a\xF4\x90\x80\x80", u"a\uFFFD\uFFFD\uFFFD\uFFFD"},    // past U+10FFFF
      {"a\xE6\x97", u"a\uFFFD\uFFFD"},                        // truncated
      {"a\x80" "b", u"a\uFFFDb"},                             // a lone continuation byte
      {"a\xF8\x88\x80\x80\x80", u"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // five-byte form
  };
  for (const auto& c : cases) {
    bool wellFormed = true;
    EXPECT_EQ(Decode(c.bytes, MalformedUtf8::kReplace, wellFormed), c.replaced);
    EXPECT_FALSE(wellFormed);
    Text text;
    EXPECT_FALSE(Utf8ToText(c.bytes, text));
    EXPECT_EQ(text, u"a");
  }
}

TEST(LittleEndian, StoresLowByteFirstAndLoadsBackAtAnyOffset) {
  uint8_t bytes[9] = {};
  StoreLe64(bytes + 1, 0x0123456789ABCDEFull);  // odd address: no alignment assumed
  const uint8_t expected[8] = {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};
  EXPECT_EQ(std::vector<uint8_t>(bytes + 1, bytes + 9), std::vector<uint8_t>(expected, expected + 8));
  EXPECT_EQ(LoadLe64(bytes + 1), 0x0123456789ABCDEFull);
  EXPECT_EQ(LoadLe32(bytes + 1), 0x89ABCDEFu);
  EXPECT_EQ(LoadLe16(bytes + 1), 0xCDEFu);
  StoreLe32(bytes, 0xFFFFFFFEu);
  StoreLe16(bytes + 4, 0x8001);
  EXPECT_EQ(LoadLe64(bytes), 0x23458001FFFFFFFEull);  // high bytes as they were

  std::vector<uint8_t> record{0xAA};
  AppendLe16(record, 0x0102);
  AppendLe32(record, 0x03040506);
  AppendLe64(record, 0xFFFFFFFFFFFFFFFFull);
  ASSERT_EQ(record.size(), 15u);
  EXPECT_EQ(LoadLe16(&record[1]), 0x0102u);
  EXPECT_EQ(LoadLe32(&record[3]), 0x03040506u);
  EXPECT_EQ(LoadLe64(&record[7]), 0xFFFFFFFFFFFFFFFFull);
}

}  // namespace
}  // namespace vellum
