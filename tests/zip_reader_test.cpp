#include "package/zip_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/zip_format.h"
#include "package/zip_times.h"
#include "tests/support/memory_file.h"
#include "tests/support/archive_reading.h"
#include "tests/support/test_data.h"
#include "tests/support/zip_builder.h"

namespace vellum {
namespace {

using testing::Bytes;
using testing::ListElements;
using testing::OpenZip;
using testing::Outline;
using testing::ReadStream;
using testing::ToBytes;
using testing::ZipBuilder;
using testing::ZipEntry;
using Outlined = std::vector<std::pair<Text, uint32_t>>;

constexpr FileTime kTicksPerSecond = 10'000'000;
constexpr uint64_t kGiB = 1ull << 30;

Bytes Pattern(size_t size, uint32_t seed = 1) {
  Bytes bytes(size);
  for (uint8_t& byte : bytes) {
    seed = seed * 1103515245 + 12345;
    byte = static_cast<uint8_t>('A' + (seed >> 16) % 20);
  }
  return bytes;
}

std::string AsString(const std::optional<Bytes>& bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<failed>";
}

// Why the reader refuses the file, checking that it refuses exactly when it
// names a reason.
ZipRefusal Refusal(std::unique_ptr<File> file) {
  ZipRefusal why = ZipRefusal::kNoFile;  // to be overwritten, kNone included
  const bool opened = OpenZipArchive(std::move(file), testing::TokyoToUtc, nullptr, &why) != nullptr;
  EXPECT_EQ(opened, why == ZipRefusal::kNone) << ZipRefusalText(why);
  return why;
}
ZipRefusal Refusal(const Bytes& bytes) {
  return Refusal(std::make_unique<MemoryFile>(std::make_shared<Bytes>(bytes)));
}

// The FILETIME of 2024-05-06 07:08:10 UTC.
constexpr FileTime kMay6 = (1714979290ull + 11644473600ull) * kTicksPerSecond;
constexpr uint16_t kMay6Date = (2024 - 1980) << 9 | 5 << 5 | 6;
constexpr uint16_t kMay6Time = 7 << 11 | 8 << 5 | 10 / 2;

TEST(ZipReaderTest, TopLevelFilesAreStreamsAndEachTopFolderOneStorage) {
  ZipBuilder zip;
  zip.Add("a.txt", "alpha");
  zip.Add("dir/");
  zip.Add("dir/x.txt", "x");
  zip.Add("DIR/y.txt", "y");
  zip.Add("other/deep/z.txt", "z");
  zip.Add("b.bin", std::string(1000, 'b'), 8);
  zip.Add("win\\style.txt", "w");
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"a.txt", kElementStream},
                                         {u"dir", kElementStorage},
                                         {u"other", kElementStorage},
                                         {u"b.bin", kElementStream},
                                         {u"win", kElementStorage}}));
  const auto elements = ListElements(*storage);  // a second enumeration starts afresh
  ASSERT_EQ(elements.size(), 5u);
  EXPECT_EQ(elements[0].size, 5u);
  EXPECT_EQ(elements[1].size, 0u);
  EXPECT_EQ(elements[3].size, 1000u);
  EXPECT_EQ(AsString(ReadStream(*storage, u"b.bin", 1000)), std::string(1000, 'b'));
  for (const Text name : {u"dir", u"x.txt", u"dir/x.txt", u"win\\style.txt", u"missing"}) {
    EXPECT_FALSE(storage->OpenStream(name));
  }
}

TEST(ZipReaderTest, StoredAndDeflatedStreamsOfEverySizeReadBack) {
  ZipBuilder zip;
  const size_t sizes[] = {0, 1, 65535, 65536, 65537, 300001};
  auto name = [](const char* prefix, size_t size) {
    return std::string(prefix).append(std::to_string(size));
  };
  for (size_t size : sizes) {
    zip.Add(name("s", size)).data = Pattern(size, static_cast<uint32_t>(size));
    zip.Add(name("d", size), {}, 8).data = Pattern(size, static_cast<uint32_t>(size));
  }
  auto bytes = std::make_shared<Bytes>(zip.Build());
  auto file = std::make_unique<MemoryFile>(bytes);
  file->readLimit = 4093;  // the file hands out short reads
  auto storage = OpenZipArchive(std::move(file), testing::TokyoToUtc);
  ASSERT_TRUE(storage);
  for (size_t size : sizes) {
    for (const char* prefix : {"s", "d"}) {
      const std::string stored = name(prefix, size);
      const Text text(stored.begin(), stored.end());
      EXPECT_EQ(ReadStream(*storage, text, size), Pattern(size, static_cast<uint32_t>(size)))
          << stored;
      EXPECT_EQ(ReadStream(*storage, text, size, 1000), Pattern(size, static_cast<uint32_t>(size)))
          << stored;
    }
  }
}

TEST(ZipReaderTest, DataStartsWhereTheLocalHeaderSays) {
  ZipBuilder zip;
  ZipEntry& described = zip.Add("described.txt", "sizes after the data", 8);
  described.dataDescriptor = true;
  zip.Add("stored-described.txt", "stored, sizes after").dataDescriptor = true;
  ZipEntry& longer = zip.Add("longer.txt", "local extra is longer");
  longer.localExtra = testing::ExtraField(0xCAFE, Bytes(300, 0xAA));
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(AsString(ReadStream(*storage, u"described.txt", 20)), "sizes after the data");
  EXPECT_EQ(AsString(ReadStream(*storage, u"stored-described.txt", 19)), "stored, sizes after");
  EXPECT_EQ(AsString(ReadStream(*storage, u"longer.txt", 21)), "local extra is longer");
}

// Entries whose data does not match their records: the stream opens, but the
// read that would complete the entry fails, and so does every later one.
TEST(ZipReaderTest, ReadFailsWhenDataDoesNotMatchTheRecord) {
  const Bytes data = Pattern(100000);
  const Bytes shorter(data.begin(), data.end() - 1);
  Bytes cut = testing::DeflateRaw(data);
  cut.resize(cut.size() - 8);
  ZipBuilder zip;
  zip.Add("crc-stored").data = data;
  zip.Add("crc-deflated", {}, 8).data = data;
  for (ZipEntry& entry : zip.entries) entry.crc = testing::Crc32(data) ^ 1;
  zip.Add("longer-stored").data = data;
  zip.Add("longer-deflated", {}, 8).data = data;
  zip.entries[2].size = zip.entries[3].size = data.size() + 1;
  zip.Add("shorter-stored").data = data;
  zip.Add("shorter-deflated", {}, 8).data = data;
  zip.entries[4].size = zip.entries[5].size = shorter.size();
  zip.entries[4].crc = zip.entries[5].crc = testing::Crc32(shorter);
  zip.Add("corrupt", {}, 8).encoded = Bytes(5000, 0xFF);
  zip.entries.back().size = 100;
  zip.Add("cut-short", {}, 8).encoded = cut;
  zip.entries.back().data = data;
  zip.Add("past-the-end", "12345").size = 1ull << 40;
  zip.entries.back().compressedSize = 1ull << 40;
  zip.entries.back().zip64 = true;
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  const auto elements = ListElements(*storage);
  ASSERT_EQ(elements.size(), zip.entries.size());
  for (const ElementStat& stat : elements) {
    auto stream = storage->OpenStream(stat.name);
    ASSERT_TRUE(stream) << ::testing::PrintToString(stat.name);
    Bytes chunk(65536);
    bool failed = false;
    for (uint64_t remaining = stat.size; remaining && !failed;) {
      const auto want = static_cast<uint32_t>(std::min<uint64_t>(chunk.size(), remaining));
      uint32_t got = 0;
      failed = !stream->Read(chunk.data(), want, got);
      EXPECT_EQ(got, failed ? 0u : want);
      remaining -= got;
    }
    EXPECT_TRUE(failed) << ::testing::PrintToString(stat.name);
    uint32_t got = 1;
    EXPECT_FALSE(stream->Read(chunk.data(), 1, got));
    EXPECT_EQ(got, 0u);
  }
}

TEST(ZipReaderTest, UnreadableEntriesAreListedButNotOpened) {
  ZipBuilder zip;
  zip.Add("encrypted.txt", "secret").flags = 1;
  zip.Add("strong.txt", "secret").flags = 1 << 6;
  zip.Add("bzip2.txt", "BZh", 12);
  zip.Add("no-header.txt", "abc").localOffset = 3;
  zip.Add("far-header.txt", "abc").localOffset = 1ull << 40;
  zip.Add("fine.txt", "fine");
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(ListElements(*storage).size(), 6u);
  for (const Text name : {u"encrypted.txt", u"strong.txt", u"bzip2.txt", u"no-header.txt", u"far-header.txt"}) {
    EXPECT_FALSE(storage->OpenStream(name)) << ::testing::PrintToString(name);
  }
  EXPECT_EQ(AsString(ReadStream(*storage, u"fine.txt", 4)), "fine");
}

// Names differing in case are distinct streams; an exact duplicate is
// dropped so that each listed size belongs to the stream its name opens.
TEST(ZipReaderTest, NamesDifferingInCaseAreBothListedExactDuplicatesOnce) {
  ZipBuilder zip;
  zip.Add("a.txt", "lower");
  zip.Add("A.txt", "UPPER");
  zip.Add("a.txt", "duplicate, longer");
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"a.txt", kElementStream}, {u"A.txt", kElementStream}}));
  EXPECT_EQ(AsString(ReadStream(*storage, u"a.txt", 5)), "lower");
  EXPECT_EQ(AsString(ReadStream(*storage, u"A.txt", 5)), "UPPER");
  EXPECT_EQ(AsString(ReadStream(*storage, u"a.TXT", 5)), "lower");
}

// Japanese Windows stores names in Shift_JIS without the UTF-8 flag; the
// trail byte of 表 is 0x5C, the backslash's. Decoded whole before splitting,
// it is one character of one file name, not a folder and a file.
TEST(ZipReaderTest, LegacyNamesAreDecodedWholeBeforeSplitting) {
  ZipBuilder zip;
  zip.Add("\x95\x5C.txt", "hyou");                // 表.txt
  zip.Add("\x8C\xA9\x90\xCF.txt", "mitsumori");  // 見積.txt
  const LegacyNameDecoder shiftJis = [](const uint8_t* bytes, size_t size) {
    const std::string name(reinterpret_cast<const char*>(bytes), size);
    Text text;
    for (size_t at = 0; at < name.size();) {
      if (!name.compare(at, 2, "\x95\x5C")) text += u"\u8868", at += 2;
      else if (!name.compare(at, 4, "\x8C\xA9\x90\xCF")) text += u"\u898B\u7A4D", at += 4;
      else text += static_cast<char16_t>(name[at++]);
    }
    return text;
  };
  auto storage = OpenZipArchive(std::make_unique<MemoryFile>(std::make_shared<Bytes>(zip.Build())),
                                testing::TokyoToUtc, shiftJis);
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"\u8868.txt", kElementStream}, {u"\u898B\u7A4D.txt", kElementStream}}));
  EXPECT_EQ(AsString(ReadStream(*storage, u"\u8868.txt", 4)), "hyou");
  // Read as code page 437, the same bytes hold a separator.
  EXPECT_EQ(Outline(*OpenZip(zip.Build()))[0].second, kElementStorage);
}

TEST(ZipReaderTest, TimesComeFromNtfsThenUnixThenDosFields) {
  ZipBuilder zip;
  for (const char* name : {"ntfs", "unix-mtime", "unix-all", "unix-flags-only", "dos", "bad-dos",
                           "folder/", "folder/file"}) {
    ZipEntry& entry = zip.Add(name);
    entry.dosDate = kMay6Date;
    entry.dosTime = kMay6Time;
  }
  zip.entries[0].centralExtra = testing::UnixTimesField(1, {1000});
  for (const Bytes& more :
       {testing::NtfsTimesField(111, 222, 333), testing::UnixTimesField(1, {2000})}) {
    zip.entries[0].centralExtra.insert(zip.entries[0].centralExtra.end(), more.begin(), more.end());
  }
  zip.entries[1].centralExtra = testing::UnixTimesField(1, {1714979290});
  zip.entries[2].centralExtra = testing::UnixTimesField(7, {10, 20, 30});
  zip.entries[3].centralExtra = testing::UnixTimesField(7, {-10});
  zip.entries[5].dosDate = (2023 - 1980) << 9 | 2 << 5 | 29;  // no 29 February in 2023
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  const auto elements = ListElements(*storage);
  ASSERT_EQ(elements.size(), 7u);
  auto times = [&](size_t i) {
    return std::vector<FileTime>{elements[i].mtime, elements[i].atime, elements[i].ctime};
  };
  const FileTime unixEpoch = 11644473600ull * kTicksPerSecond;
  EXPECT_EQ(times(0), (std::vector<FileTime>{111, 222, 333}));
  EXPECT_EQ(times(1), (std::vector<FileTime>{kMay6, kMay6, kMay6}));
  EXPECT_EQ(times(2), (std::vector<FileTime>{unixEpoch + 10 * kTicksPerSecond,
                                             unixEpoch + 20 * kTicksPerSecond,
                                             unixEpoch + 30 * kTicksPerSecond}));
  const FileTime beforeEpoch = unixEpoch - 10 * kTicksPerSecond;
  EXPECT_EQ(times(3), (std::vector<FileTime>{beforeEpoch, beforeEpoch, beforeEpoch}));
  const FileTime dos = kMay6 - testing::kNineHours;  // local Tokyo time to UTC
  EXPECT_EQ(times(4), (std::vector<FileTime>{dos, dos, dos}));
  EXPECT_EQ(times(5), (std::vector<FileTime>{0, 0, 0}));
  EXPECT_EQ(times(6), (std::vector<FileTime>{dos, dos, dos}));
}

TEST(ZipReaderTest, DosDatesFollowTheCalendar) {
  auto date = [](unsigned year, unsigned month, unsigned day) {
    return static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
  };
  const FileTime day = 86400 * kTicksPerSecond;
  const FileTime march1st2000 = zip::DosToFileTime(date(2000, 3, 1), 0);
  EXPECT_EQ(zip::DosToFileTime(date(1980, 1, 1), 0),
            315532800ull * kTicksPerSecond + 11644473600ull * kTicksPerSecond);
  EXPECT_EQ(zip::DosToFileTime(date(2000, 2, 29), 0), march1st2000 - day);
  EXPECT_EQ(zip::DosToFileTime(date(2000, 2, 28), 23 << 11 | 59 << 5 | 29),
            march1st2000 - day - 2 * kTicksPerSecond);
  EXPECT_EQ(zip::DosToFileTime(date(2024, 5, 6), kMay6Time), kMay6);
  EXPECT_EQ(zip::DosToFileTime(date(2107, 12, 31), 0),
            zip::DosToFileTime(date(2107, 12, 30), 0) + day);
  for (uint16_t bad : {date(2100, 2, 29), date(2023, 4, 31), date(2023, 13, 1), date(2023, 0, 1),
                       date(2023, 1, 0)}) {
    EXPECT_EQ(zip::DosToFileTime(bad, 0), 0u) << bad;
  }
  EXPECT_EQ(zip::DosToFileTime(date(2023, 1, 1), 24 << 11), 0u);
  EXPECT_EQ(zip::DosToFileTime(date(2023, 1, 1), 60 << 5), 0u);
  EXPECT_EQ(zip::DosToFileTime(date(2023, 1, 1), 30), 0u);  // 60 seconds
}

// A file of head bytes, then gap zero bytes, then tail bytes: archives past
// 4 GiB without holding 4 GiB.
class GapFile final : public File {
 public:
  GapFile(Bytes head, uint64_t gap, Bytes tail)
      : head_(std::move(head)), gap_(gap), tail_(std::move(tail)) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    bytesRead = 0;
    if (position_ == failReadsAt) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    const uint64_t gapStart = head_.size(), tailStart = gapStart + gap_;
    uint64_t count = 0;
    if (position_ < gapStart) {
      count = std::min<uint64_t>(size, gapStart - position_);
      std::memcpy(out, head_.data() + position_, count);
    } else if (position_ < tailStart) {
      count = std::min<uint64_t>(size, tailStart - position_);
      std::memset(out, 0, count);
    } else if (position_ - tailStart < tail_.size()) {
      count = std::min<uint64_t>(size, tail_.size() - (position_ - tailStart));
      std::memcpy(out, tail_.data() + (position_ - tailStart), count);
    }
    position_ += count;
    bytesRead = static_cast<uint32_t>(count);
    return true;
  }
  bool Write(const void*, uint32_t, uint32_t& bytesWritten) override {
    bytesWritten = 0;
    return false;
  }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }
  bool GetSize(uint64_t& size) override {
    size = head_.size() + gap_ + tail_.size();
    return true;
  }
  bool SetTimes(const FileTimes&) override { return false; }

  uint64_t failReadsAt = UINT64_MAX;  // a read starting there fails

 private:
  Bytes head_;
  uint64_t gap_, position_ = 0;
  Bytes tail_;
};

TEST(ZipReaderTest, Zip64RecordsGiveSizesAndOffsetsPast4GiB) {
  ZipBuilder zip;
  zip.zip64End = true;
  zip.base = 4 * kGiB + 12345;
  zip.Add("first.txt", "first, stored", 0).zip64 = true;
  zip.Add("second.txt", std::string(5000, 's'), 8).zip64 = true;
  ZipEntry& huge = zip.Add("huge.bin", "only declared big");
  huge.zip64 = true;
  huge.size = 5 * kGiB;
  auto storage = OpenZipArchive(std::make_unique<GapFile>(Bytes{}, zip.base, zip.Build()),
                                testing::TokyoToUtc);
  ASSERT_TRUE(storage);
  const auto elements = ListElements(*storage);
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_EQ(elements[1].size, 5000u);
  EXPECT_EQ(elements[2].size, 5 * kGiB);
  EXPECT_EQ(AsString(ReadStream(*storage, u"first.txt", 13)), "first, stored");
  EXPECT_EQ(AsString(ReadStream(*storage, u"second.txt", 5000)), std::string(5000, 's'));
}

TEST(ZipReaderTest, SaturatedFieldsWithoutZip64RecordsAreRefused) {
  ZipBuilder zip;
  zip.Add("no-field.txt", "abc").size = 0xFFFFFFFF;  // needs a ZIP64 field it lacks
  zip.Add("ok.txt", "ok");
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"ok.txt", kElementStream}}));

  // Without usable ZIP64 records the end record's saturated fields stand.
  zip.zip64End = true;
  const Bytes good = zip.Build();
  const size_t locator = good.size() - 22 - 20, record = locator - 56;
  Bytes bytes = good;
  bytes[locator] ^= 1;  // the locator's signature
  EXPECT_EQ(Refusal(bytes), ZipRefusal::kDirectoryOutOfRange);
  bytes = good;
  bytes[locator + 15] = 0x80;  // the record's offset, far past the end
  EXPECT_EQ(Refusal(bytes), ZipRefusal::kZip64RecordOffset);
  bytes = good;
  bytes[record] ^= 1;
  EXPECT_EQ(Refusal(bytes), ZipRefusal::kZip64RecordSignature);
}

// A stored entry of more than 4 GiB: its local header, 4 GiB + 3 zero bytes,
// then the rest of the archive.
TEST(ZipReaderTest, Zip64EntryLargerThan4GiBStreamsInFull) {
  constexpr uint64_t kSize = 4 * kGiB + 3;
  ZipBuilder head;
  head.Add("zeros.bin");
  Bytes localHeader = head.Build();
  localHeader.resize(30 + 9);
  const Bytes zeros(65536, 0);
  const uLong zerosCrc = crc32(0, zeros.data(), 65536);
  uLong crc = 0;
  for (uint64_t done = 0; done + 65536 <= kSize; done += 65536)
    crc = crc32_combine(crc, zerosCrc, 65536);
  crc = crc32(crc, zeros.data(), kSize % 65536);
  ZipBuilder zip;
  zip.zip64End = true;
  zip.base = localHeader.size() + kSize;
  ZipEntry& big = zip.Add("zeros.bin");
  big.zip64 = true;
  big.localOffset = 0;
  big.size = big.compressedSize = kSize;
  big.crc = static_cast<uint32_t>(crc);
  auto storage = OpenZipArchive(std::make_unique<GapFile>(localHeader, kSize, zip.Build()),
                                testing::TokyoToUtc);
  ASSERT_TRUE(storage);
  auto stream = storage->OpenStream(u"zeros.bin");
  ASSERT_TRUE(stream);
  Bytes chunk(65536);
  uint64_t total = 0;
  uint32_t got = 0;
  while (stream->Read(chunk.data(), 65536, got) && got != 0) total += got;
  EXPECT_EQ(total, kSize);  // all delivered, and the CRC-32 matched at the end
  EXPECT_TRUE(stream->Read(chunk.data(), 65536, got));
}

TEST(ZipReaderTest, EndRecordIsFoundBehindComments) {
  ZipBuilder zip;
  zip.Add("a.txt", "a");
  zip.comment = std::string(0xFFFF, 'c');
  EXPECT_TRUE(OpenZip(zip.Build()));
  // A signature in the comment whose own comment would run past the end is no end record.
  zip.comment = std::string("PK\x05\x06", 4) + std::string(16, '\0') + "\xFF\xFF" + "tail";
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"a.txt", kElementStream}}));

  zip.comment.clear();
  Bytes bytes = zip.Build();
  bytes.insert(bytes.end(), 100, 'x');  // a little trailing junk is tolerated
  EXPECT_TRUE(OpenZip(bytes));
  bytes.insert(bytes.end(), 70000, 'x');  // an end record this far back is not looked for
  EXPECT_EQ(Refusal(bytes), ZipRefusal::kNoEndRecord);

  zip.entries.clear();
  storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_TRUE(ListElements(*storage).empty());
}

TEST(ZipReaderTest, MalformedDirectoriesAreRefused) {
  EXPECT_EQ(Refusal(Bytes{}), ZipRefusal::kTooShort);
  EXPECT_EQ(Refusal(Bytes(21, 0)), ZipRefusal::kTooShort);
  EXPECT_EQ(Refusal(Pattern(5000)), ZipRefusal::kNoEndRecord);
  EXPECT_EQ(Refusal(nullptr), ZipRefusal::kNoFile);
  auto failing = std::make_unique<MemoryFile>(std::make_shared<Bytes>(Bytes(100, 0)));
  failing->failReads = true;
  EXPECT_EQ(Refusal(std::move(failing)), ZipRefusal::kReadFailed);

  ZipBuilder zip;
  zip.Add("a.txt", "a");
  zip.Add("b.txt", "b");
  const Bytes good = zip.Build();
  const size_t end = good.size() - 22;
  auto patched = [&](size_t at, std::initializer_list<uint8_t> values) {
    Bytes bytes = good;
    std::copy(values.begin(), values.end(), bytes.begin() + at);
    return bytes;
  };
  EXPECT_EQ(Refusal(good), ZipRefusal::kNone);
  EXPECT_EQ(Refusal(patched(end + 10, {3, 0})), ZipRefusal::kMissingRecords);  // more than there are
  EXPECT_EQ(Refusal(patched(end + 10, {0xFF, 0xFF})), ZipRefusal::kMissingRecords);  // saturated count
  EXPECT_EQ(Refusal(patched(end + 16, {0xF0, 0xFF, 0xFF, 0xFF})), ZipRefusal::kDirectoryOutOfRange);
  EXPECT_EQ(Refusal(patched(end + 12, {0xFF, 0xFF, 0xFF, 0xFF})), ZipRefusal::kDirectoryOutOfRange);
  const size_t directory = LoadLe32(&good[end + 16]);
  EXPECT_EQ(Refusal(patched(directory, {'X'})), ZipRefusal::kRecordSignature);
  EXPECT_EQ(Refusal(patched(directory + 28, {0xFF, 0xFF})), ZipRefusal::kRecordOverrun);  // a name past the end
  // The file failing where the directory or the ZIP64 locator lies is no
  // fault of the archive.
  for (const bool zip64 : {false, true}) {
    ZipBuilder copy = zip;
    copy.zip64End = zip64;
    const Bytes bytes = copy.Build();
    auto file = std::make_unique<GapFile>(Bytes{}, 0, bytes);
    file->failReadsAt = zip64 ? bytes.size() - 22 - 20 : directory;
    EXPECT_EQ(Refusal(std::move(file)), ZipRefusal::kReadFailed) << zip64;
  }
  // An extra field claiming more bytes than there are is ignored.
  zip.entries[0].centralExtra = {0x55, 0x54, 0xFF, 0x00, 1};
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  EXPECT_EQ(ListElements(*storage).size(), 2u);
}

// Opens, lists and reads whatever the damaged archive still offers; only
// crashes, hangs and sanitizer reports count as failures here.
void Exercise(const Bytes& bytes) {
  auto storage = OpenZip(bytes);
  if (!storage) return;
  for (const ElementStat& stat : ListElements(*storage)) {
    if (stat.type == kElementStream)
      ReadStream(*storage, stat.name, std::min<uint64_t>(stat.size, 1 << 20), 7919);
  }
}

TEST(ZipReaderTest, TruncatedAndDamagedArchivesFailCleanly) {
  ZipBuilder zip;
  zip.zip64End = true;
  zip.Add("stored.txt", "stored text");
  zip.Add("deflated.txt", std::string(3000, 'd'), 8).centralExtra =
      testing::NtfsTimesField(1, 2, 3);
  zip.Add("zip64.txt", "sixty-four", 8).zip64 = true;
  zip.Add("dir/inner.txt", "inner").dataDescriptor = true;
  zip.Add("unix.txt", "u").centralExtra = testing::UnixTimesField(7, {1, 2, 3});
  const Bytes good = zip.Build();
  for (size_t length = 0; length < good.size(); ++length) {
    Exercise(Bytes(good.begin(), good.begin() + length));
  }
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245 + 12345, seed >> 8; };
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes = good;
    for (uint32_t flips = 1 + next() % 4; flips; --flips) {
      bytes[next() % bytes.size()] = static_cast<uint8_t>(next() % 3 ? next() : 0xFF);
    }
    Exercise(bytes);
  }
}

TEST(ZipReaderTest, StreamsReadInTurnAndOutliveTheStorage) {
  ZipBuilder zip;
  zip.Add("one", {}, 8).data = Pattern(200000, 1);
  zip.Add("two").data = Pattern(150000, 2);
  auto storage = OpenZip(zip.Build());
  ASSERT_TRUE(storage);
  auto one = storage->OpenStream(u"one"), two = storage->OpenStream(u"two");
  ASSERT_TRUE(one && two);
  storage.reset();
  Bytes readOne, readTwo, chunk(3001);
  for (uint32_t got = 1; got != 0;) {
    uint32_t gotTwo = 0;
    ASSERT_TRUE(one->Read(chunk.data(), 3001, got));
    readOne.insert(readOne.end(), chunk.begin(), chunk.begin() + got);
    ASSERT_TRUE(two->Read(chunk.data(), 3001, gotTwo));
    readTwo.insert(readTwo.end(), chunk.begin(), chunk.begin() + gotTwo);
  }
  EXPECT_EQ(readOne, Pattern(200000, 1));
  EXPECT_EQ(readTwo, Pattern(150000, 2));
}

TEST(ZipReaderTest, ReadFailsWhenTheFileDoes) {
  ZipBuilder zip;
  zip.Add("a.bin").data = Pattern(100000);
  auto file = std::make_unique<MemoryFile>(std::make_shared<Bytes>(zip.Build()));
  MemoryFile& raw = *file;
  auto storage = OpenZipArchive(std::move(file), testing::TokyoToUtc);
  ASSERT_TRUE(storage);
  auto stream = storage->OpenStream(u"a.bin");
  ASSERT_TRUE(stream);
  Bytes chunk(65536);
  uint32_t got = 0;
  ASSERT_TRUE(stream->Read(chunk.data(), 65536, got));
  raw.failReads = true;
  EXPECT_FALSE(stream->Read(chunk.data(), 65536, got));
  EXPECT_EQ(got, 0u);
}

// Archives written by the Info-ZIP command-line tool (TZ=UTC, files dated
// 2024-05-06 07:08:10 UTC).
class RealArchiveTest : public ::testing::Test {
 protected:
  std::unique_ptr<ArchiveStorage> Open(const std::string& name) {
    const Bytes bytes = testing::ReadTestData("zip/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return OpenZip(bytes);
  }
};

TEST_F(RealArchiveTest, DeflatedAndStoredFilesWithTheirTimes) {
  std::string lorem;
  for (int i = 1; i <= 40; ++i)
    lorem += "Line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog.\n";
  auto storage = Open("deflate.zip");
  ASSERT_TRUE(storage);
  const auto elements = ListElements(*storage);
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[0].name, u"lorem.txt");
  EXPECT_EQ(elements[0].size, lorem.size());
  EXPECT_EQ(elements[0].mtime, kMay6);  // from the Unix timestamp field
  EXPECT_EQ(elements[0].atime, kMay6);
  EXPECT_EQ(AsString(ReadStream(*storage, u"lorem.txt", lorem.size())), lorem);
  EXPECT_EQ(AsString(ReadStream(*storage, u"hello.txt", 14)), "Hello, world!\n");

  storage = Open("stored.zip");  // made without extra fields: DOS times
  ASSERT_TRUE(storage);
  const auto stored = ListElements(*storage);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[1].mtime, kMay6 - testing::kNineHours);
  EXPECT_EQ(AsString(ReadStream(*storage, u"plain.txt", 14)), "Stored bytes.\n");
  EXPECT_EQ(AsString(ReadStream(*storage, u"zeds.txt", 300)), std::string(300, 'z'));
}

TEST_F(RealArchiveTest, FoldersFilesAndNames) {
  auto storage = Open("folders.zip");
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"alpha", kElementStorage}, {u"beta", kElementStorage}}));

  storage = Open("empty.zip");
  ASSERT_TRUE(storage);
  EXPECT_TRUE(ListElements(*storage).empty());

  storage = Open("mixed.zip");
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"readme.txt", kElementStream},
                                         {u"docs", kElementStorage},
                                         {u"data.bin", kElementStream}}));
  EXPECT_EQ(ReadStream(*storage, u"data.bin", 4), (Bytes{0, 1, 2, 0xFF}));

  storage = Open("utf8.zip");  // UTF-8 name without the UTF-8 flag, from a Unix host
  ASSERT_TRUE(storage);
  EXPECT_EQ(Outline(*storage), (Outlined{{u"日本語.txt", kElementStream}}));
  EXPECT_EQ(AsString(ReadStream(*storage, u"日本語.txt", 16)), "こんにちは\n");
}

}  // namespace
}  // namespace vellum
