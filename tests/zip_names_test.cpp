#include "package/zip_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/little_endian.h"
#include "package/zip_reader.h"
#include "tests/support/archive_reading.h"
#include "tests/support/zip_builder.h"

namespace vellum {
namespace {

using testing::Bytes;
using testing::ListElements;
using testing::OpenZip;
using testing::Outline;
using testing::ZipBuilder;
using Outlined = std::vector<std::pair<Text, uint32_t>>;

TEST(ZipNamesTest, PlainFileNames) {
  for (const Text name : {u"a.txt", u"README", u".hidden", u"a b.txt", u"日本語.txt", u"CONSOLE",
                          u"con1", u"NULL.txt", u"COM10", u"LPT", u"x.con", u"nul_.txt", u"..a"}) {
    EXPECT_TRUE(IsPlainFileName(name)) << ::testing::PrintToString(name);
  }
  for (const Text name :
       {u"",         u".",        u"..",         u"a/b",       u"a\\b",      u"C:",
        u"C:x",      u"a:stream", u"tab\there",  u"nul\x1Fz",  u"a?",        u"a*",
        u"<a>",      u"a|b",      u"\"q\"",      u"trailing.", u"trailing ", u"CON",
        u"con",      u"Prn.txt",  u"aux.tar.gz", u"NUL",       u"nul .txt",  u"COM1",
        u"com9.log", u"LPT1",     u"lpt0",       u"COM\u00B9", u"CONIN$",    u"conout$.x"}) {
    EXPECT_FALSE(IsPlainFileName(name)) << ::testing::PrintToString(name);
  }
  EXPECT_FALSE(IsPlainFileName(Text(u"a\0b", 3)));
}

// Absolute, parent-relative, drive, device and otherwise unsafe names never
// become streams; a harmless first folder may still show as a storage.
TEST(ZipNamesTest, HostileNamesAreLeftOut) {
  ZipBuilder zip;
  for (const char* name : {"..\\x",
                           "../x",
                           "/abs",
                           "\\abs",
                           "C:x",
                           "C:\\x",
                           "C:/x",
                           "\\\\server\\share\\x",
                           "//server/share/x",
                           "CON",
                           "nul.txt",
                           "Com1.log",
                           "..",
                           ".",
                           "",
                           "dots...",
                           "space ",
                           "a\x01"
                           "b",
                           "a/../b",
                           "./c",
                           "ok.txt"}) {
    zip.Add(name, "payload");
  }
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"a", kElementStorage}, {u"ok.txt", kElementStream}}));
  for (const Text name : {u"..\\x", u"../x", u"x", u"CON", u"nul.txt", u"", u"b", u"c", u"abs"}) {
    EXPECT_FALSE(storage->OpenStream(name)) << ::testing::PrintToString(name);
  }
}

Text NameOf(const testing::ZipEntry& entry) {
  ZipBuilder zip;
  zip.entries.push_back(entry);
  auto storage = OpenZip(zip.Build());
  if (!storage) return u"<no archive>";
  const auto elements = ListElements(*storage);
  if (elements.size() == 1) return elements[0].name;
  return elements.empty() ? u"<none>" : u"<more>";
}

testing::ZipEntry Entry(std::string name, uint16_t flags = 0, uint16_t madeBy = 20) {
  testing::ZipEntry entry;
  entry.name = std::move(name);
  entry.flags = flags;
  entry.madeBy = madeBy;
  return entry;
}

TEST(ZipNamesTest, NamesAreDecodedByFlagHostAndUnicodePathField) {
  constexpr uint16_t kUtf8 = 1 << 11, kUnix = 3 << 8 | 30;
  const std::string japanese = "日本語.txt";
  EXPECT_EQ(NameOf(Entry(japanese, kUtf8)), u"日本語.txt");
  EXPECT_EQ(NameOf(Entry("\xF0\x9F\x98\x80.txt", kUtf8)), u"\U0001F600.txt");
  EXPECT_EQ(NameOf(Entry(japanese, 0, kUnix)), u"日本語.txt");
  // Code page 437 by default, and for Unix names that are not UTF-8.
  EXPECT_EQ(NameOf(Entry("\x81"
                         "ber \xE1\xF8\xFF.txt")),
            u"über ß°\u00A0.txt");
  EXPECT_EQ(NameOf(Entry(japanese)), u"µùÑµ£¼Φ¬₧.txt");
  EXPECT_EQ(NameOf(Entry("\x81"
                         "ber.txt",
                         0, kUnix)),
            u"über.txt");
  // Malformed UTF-8 never decodes to a separator: an overlong "/" stays two
  // replacement characters.
  EXPECT_EQ(NameOf(Entry("a\xC0\xAF"
                         "b",
                         kUtf8)),
            u"a\uFFFD\uFFFDb");
  EXPECT_EQ(NameOf(Entry("\xED\xA0\x80x", kUtf8)), u"\uFFFD\uFFFD\uFFFDx");  // a surrogate
  EXPECT_EQ(NameOf(Entry("\x01.txt")), u"<none>");  // control codes stay control codes

  auto withUnicodePath = [&](const std::string& stored, const std::string& storedForCrc) {
    testing::ZipEntry entry = Entry(stored);
    Bytes data{1};
    const uint32_t crc = testing::Crc32(testing::ToBytes(storedForCrc));
    AppendLe32(data, crc);
    data.insert(data.end(), japanese.begin(), japanese.end());
    entry.centralExtra = testing::ExtraField(0x7075, data);
    return entry;
  };
  EXPECT_EQ(NameOf(withUnicodePath("x.txt", "x.txt")), u"日本語.txt");
  EXPECT_EQ(NameOf(withUnicodePath("x.txt", "renamed.txt")), u"x.txt");  // stale: ignored
}

TEST(ZipNamesTest, Cp437HighHalf) {
  std::vector<uint8_t> bytes;
  for (int b = 0x80; b <= 0xFF; b += 0x11) bytes.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(zip::DecodeCp437(bytes.data(), bytes.size()), u"Çæó│─╒µ≈");
}

}  // namespace
}  // namespace vellum
