#include "tests/support/faulty_platform.h"
#include "tests/support/memory_platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/memory_file.h"
#include "platform/read_exactly.h"
#include "tests/support/test_data.h"

namespace vellum {
namespace {

const Text kTemp = u"C:\\Users\\me\\Temp";

std::vector<Text> Search(Platform& platform, const Text& pattern) {
  std::vector<Text> names;
  auto search = platform.FindFiles(pattern);
  FoundEntry entry;
  while (search && search->Next(entry)) names.push_back(entry.name);
  return names;
}

std::vector<uint8_t> Bytes(const char* text) {
  return std::vector<uint8_t>(text, text + std::strlen(text));
}

TEST(MemoryPlatform, NamesCompareIgnoringLetterCaseAndKeepTheirOwn) {
  MemoryPlatform platform;
  platform.AddFile(kTemp + u"\\Data.Bin", Bytes("abc"));
  EXPECT_TRUE(platform.Exists(u"c:\\users\\ME\\temp\\DATA.BIN"));
  EXPECT_TRUE(platform.OpenForReading(u"C:/USERS/me/TEMP/data.bin"));
  EXPECT_FALSE(platform.CreateDirectory(kTemp + u"\\DATA.bin"));
  EXPECT_EQ(Search(platform, kTemp + u"\\d*"), std::vector<Text>{u"Data.Bin"});
  // Re-creating under another case truncates the same file, keeping its name.
  EXPECT_TRUE(platform.CreateAlways(kTemp + u"\\dAtA.bIn"));
  EXPECT_EQ(platform.ListAll(u"C:\\"),
            (std::vector<Text>{u"C:\\Users", u"C:\\Users\\me", kTemp, kTemp + u"\\Data.Bin"}));
  EXPECT_TRUE(platform.FileBytes(kTemp + u"\\data.bin").empty());
}

TEST(MemoryPlatform, MakesEntriesOnlyInExistingFolders) {
  MemoryPlatform platform;
  platform.AddFolder(kTemp);
  EXPECT_FALSE(platform.CreateAlways(kTemp + u"\\missing\\a.txt"));
  EXPECT_FALSE(platform.CreateDirectory(kTemp + u"\\missing\\sub"));
  EXPECT_TRUE(platform.CreateDirectory(kTemp + u"\\made"));
  EXPECT_FALSE(platform.CreateDirectory(kTemp + u"\\made"));  // exists already
  EXPECT_TRUE(platform.CreateAlways(kTemp + u"\\made\\a.txt"));
  EXPECT_FALSE(platform.CreateAlways(kTemp + u"\\made"));  // a folder, not a file
  EXPECT_FALSE(platform.CreateAlways(kTemp + u"\\a?.txt"));
  EXPECT_FALSE(platform.RemoveDirectory(kTemp + u"\\made"));  // not empty
  EXPECT_TRUE(platform.DeleteFile(kTemp + u"\\made\\a.txt"));
  EXPECT_TRUE(platform.RemoveDirectory(kTemp + u"\\made"));
  EXPECT_FALSE(platform.Exists(kTemp + u"\\made"));
}

TEST(MemoryPlatform, SearchListsDotsFirstThenMatchingNamesInOrder) {
  MemoryPlatform platform;
  const Text guid = u"{5EB1A7C0-0000-4000-8000-000000000001}";
  platform.AddFile(kTemp + u"\\zeta.txt");
  platform.AddFile(kTemp + u"\\" + guid + u".zip");
  platform.AddFolder(kTemp + u"\\" + guid);
  platform.AddFile(kTemp + u"\\" + guid + u"\\inside.txt");

  // In the order of the upper-cased names, as NTFS keeps them: '{' comes after 'Z'.
  EXPECT_EQ(Search(platform, kTemp + u"\\*"),
            (std::vector<Text>{u".", u"..", u"zeta.txt", guid, guid + u".zip"}));
  EXPECT_EQ(Search(platform, kTemp + u"\\" + guid + u"*"),
            (std::vector<Text>{guid, guid + u".zip"}));
  EXPECT_EQ(Search(platform, kTemp + u"\\{5eb1a7c0*"), (std::vector<Text>{guid, guid + u".zip"}));
  EXPECT_FALSE(platform.FindFiles(kTemp + u"\\{6*"));                  // nothing matches
  EXPECT_FALSE(platform.FindFiles(kTemp + u"\\missing\\*"));           // no such folder
  EXPECT_EQ(Search(platform, u"C:\\*"), std::vector<Text>{u"Users"});  // a root has no dots

  auto search = platform.FindFiles(kTemp + u"\\" + guid + u"*");
  FoundEntry entry;
  ASSERT_TRUE(search->Next(entry));
  EXPECT_TRUE(entry.isDirectory);
  EXPECT_FALSE(entry.isReparsePoint);
  ASSERT_TRUE(search->Next(entry));
  EXPECT_FALSE(entry.isDirectory);
  EXPECT_FALSE(search->Next(entry));
}

TEST(MemoryPlatform, SharingFollowsTheModesOfTheSeam) {
  MemoryPlatform platform;
  const Text path = kTemp + u"\\a.bin";
  platform.AddFolder(kTemp);
  {
    auto created = platform.CreateAlways(path);  // shares nothing
    ASSERT_TRUE(created);
    EXPECT_FALSE(platform.CreateAlways(path));
    EXPECT_FALSE(platform.OpenForReading(path));
    EXPECT_FALSE(platform.DeleteFile(path));
    EXPECT_FALSE(platform.OpenShellArchive(path));
    uint32_t n = 0;
    EXPECT_TRUE(created->Write("xyz", 3, n));
    EXPECT_EQ(platform.OpenObjects(), 1);
  }
  EXPECT_EQ(platform.OpenObjects(), 0);
  {
    auto first = platform.OpenForReading(path);  // shares reading only
    auto second = platform.OpenForReading(path);
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(platform.CreateAlways(path));
    EXPECT_FALSE(platform.DeleteFile(path));
    uint32_t n = 0;
    EXPECT_FALSE(first->Write("a", 1, n));  // no write access
    EXPECT_FALSE(first->SetTimes({1, 2, 3}));
    char buffer[4] = {};
    EXPECT_TRUE(second->Read(buffer, 4, n));
    EXPECT_EQ(n, 3u);
  }
  EXPECT_TRUE(platform.DeleteFile(path));
}

TEST(MemoryPlatform, HeldOpenAndReadOnlyFilesCannotBeDeleted) {
  MemoryPlatform platform;
  const Text held = kTemp + u"\\held.txt", readOnly = kTemp + u"\\readonly.txt";
  platform.AddFile(held, Bytes("h"));
  platform.AddFile(readOnly, Bytes("r"));
  platform.HoldOpen(held);
  platform.SetReadOnly(readOnly);
  EXPECT_FALSE(platform.DeleteFile(held));
  EXPECT_FALSE(platform.CreateAlways(held));
  EXPECT_TRUE(platform.OpenForReading(held));  // the other program lets others read
  EXPECT_FALSE(platform.DeleteFile(readOnly));
  EXPECT_FALSE(platform.CreateAlways(readOnly));
  EXPECT_EQ(platform.FileBytes(held), Bytes("h"));
  platform.LetGo(held);
  EXPECT_TRUE(platform.DeleteFile(held));
}

TEST(MemoryPlatform, JunctionIsListedAndRemovedWithoutItsTarget) {
  MemoryPlatform platform;
  const Text work = kTemp + u"\\work", link = work + u"\\link", target = u"C:\\Precious";
  platform.AddFile(target + u"\\keep.txt", Bytes("keep"));
  platform.AddJunction(link, target);

  auto search = platform.FindFiles(work + u"\\l*");
  FoundEntry entry;
  ASSERT_TRUE(search && search->Next(entry));
  EXPECT_EQ(entry.name, u"link");
  EXPECT_TRUE(entry.isDirectory);
  EXPECT_TRUE(entry.isReparsePoint);
  // Through the link the target's contents are reached, as on a real volume.
  EXPECT_EQ(Search(platform, link + u"\\*"), (std::vector<Text>{u".", u"..", u"keep.txt"}));
  EXPECT_EQ(platform.FileBytes(link + u"\\keep.txt"), Bytes("keep"));
  EXPECT_FALSE(platform.DeleteFile(link));

  EXPECT_TRUE(platform.RemoveDirectory(link));  // removes the link alone, not empty as it is
  EXPECT_FALSE(platform.Exists(link));
  EXPECT_EQ(platform.FileBytes(target + u"\\keep.txt"), Bytes("keep"));
}

TEST(MemoryPlatform, FilesKeepTheirTimesAndGapsReadAsZeros) {
  MemoryPlatform platform;
  const Text path = kTemp + u"\\t.bin";
  platform.AddFolder(kTemp);
  auto file = platform.CreateAlways(path);
  EXPECT_EQ(platform.FileTimesOf(path).lastWrite, platform.now);
  EXPECT_TRUE(file->SetTimes({0, 7, 8}));  // 0: left as made
  const FileTimes times = platform.FileTimesOf(path);
  EXPECT_EQ(times.creation, platform.now);
  EXPECT_EQ(times.lastAccess, 7u);
  EXPECT_EQ(times.lastWrite, 8u);
  uint32_t n = 0;
  EXPECT_TRUE(file->Seek(2));
  EXPECT_TRUE(file->Write("z", 1, n));
  EXPECT_EQ(platform.FileBytes(path), (std::vector<uint8_t>{0, 0, 'z'}));
}

// One step of the series below: whether it succeeded, and the count of
// calls through the seam after it.
struct Step {
  bool ok;
  uint64_t callsAfter;
};

// Runs the same fixed series of seam calls and records whether each
// succeeded, stopping where a failure leaves nothing to go on with.
std::vector<Step> RunEveryKindOfCall(MemoryPlatform& disk, FaultyPlatform& platform) {
  const std::vector<uint8_t> zip = testing::ReadTestData("viewer_data.zip");
  disk.AddFile(kTemp + u"\\archive.zip", zip);
  std::vector<Step> results;
  auto note = [&](bool ok) {
    results.push_back({ok, platform.calls()});
    return ok;
  };
  uint8_t buffer[8];
  uint32_t n = 0;
  uint64_t size = 0;
  Text text;
  if (auto file = platform.CreateAlways(kTemp + u"\\f.bin"); note(file != nullptr)) {
    note(file->Write("12345678", 8, n) && n == 8);
    note(file->Seek(0));
    note(file->Read(buffer, 8, n) && n == 8);
    note(file->GetSize(size));
    note(file->SetTimes({1, 1, 1}));
  }
  if (auto file = platform.OpenForReading(kTemp + u"\\f.bin"); note(file != nullptr)) {
    note(file->Read(buffer, 8, n) && n == 8);
  }
  note(platform.CreateDirectory(kTemp + u"\\d"));
  if (auto search = platform.FindFiles(kTemp + u"\\*"); note(search != nullptr)) {
    FoundEntry entry;
    note(search->Next(entry));
  }
  note(platform.NewGuidText(text));
  note(platform.DeleteFile(kTemp + u"\\f.bin"));
  note(platform.RemoveDirectory(kTemp + u"\\d"));
  if (auto storage = platform.OpenShellArchive(kTemp + u"\\archive.zip"); note(storage != nullptr)) {
    if (auto elements = storage->EnumElements(); note(elements != nullptr)) {
      ElementStat stat;
      note(elements->Next(stat) == ElementEnumerator::Result::kElement);
    }
    if (auto stream = storage->OpenStream(u"readme.txt"); note(stream != nullptr)) {
      note(stream->Read(buffer, 8, n) && n == 8);
    }
  }
  return results;
}

TEST(FaultyPlatform, ARuleHitsExactlyTheCallOfItsNumber) {
  MemoryPlatform cleanDisk;
  FaultyPlatform clean(cleanDisk);
  const std::vector<Step> normal = RunEveryKindOfCall(cleanDisk, clean);
  for (const Step& step : normal) ASSERT_TRUE(step.ok);
  ASSERT_EQ(clean.calls(), normal.back().callsAfter);  // every seam call is counted
  EXPECT_EQ(cleanDisk.OpenObjects(), 0);

  for (uint64_t k = 1; k <= clean.calls(); ++k) {
    MemoryPlatform disk;
    FaultyPlatform platform(disk);
    platform.Arm({nullptr, {}, k});
    const std::vector<Step> results = RunEveryKindOfCall(disk, platform);
    // The step that makes call k: every step before it is untouched, and a
    // step of one call fails with it.
    size_t hit = 0;
    while (normal[hit].callsAfter < k) ++hit;
    const std::string what = "call " + std::to_string(k) + " (" + clean.callLog()[k - 1].operation + ")";
    ASSERT_GT(results.size(), hit) << what;
    for (size_t i = 0; i < hit; ++i) EXPECT_TRUE(results[i].ok) << what << ", step " << i + 1;
    const uint64_t before = hit == 0 ? 0 : normal[hit - 1].callsAfter;
    if (normal[hit].callsAfter - before == 1) {
      EXPECT_FALSE(results[hit].ok) << what;
    }
  }
}

TEST(FaultyPlatform, ShortFaultMovesFewerBytesAndSucceeds) {
  MemoryPlatform disk;
  FaultyPlatform platform(disk);
  const Text path = kTemp + u"\\s.bin";
  disk.AddFile(path, Bytes("0123456789"));
  platform.Arm({nullptr, {}, 1, false, Fault::kShort});  // the open is not a transfer: it fails
  EXPECT_FALSE(platform.OpenForReading(path));
  platform.Arm({"File::Read", {}, 2, false, Fault::kShort});  // counted over reads only
  auto file = platform.OpenForReading(path);
  char buffer[10];
  uint32_t n = 0;
  ASSERT_TRUE(file->Read(buffer, 4, n));
  EXPECT_EQ(n, 4u);
  ASSERT_TRUE(file->Read(buffer, 4, n));
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(std::string(buffer, 2), "45");
  ASSERT_TRUE(file->Read(buffer, 10, n));
  EXPECT_EQ(n, 4u);
}

TEST(FaultyPlatform, ARuleCanSelectAPathAndHoldFromThenOn) {
  MemoryPlatform disk;
  FaultyPlatform platform(disk);
  disk.AddFile(kTemp + u"\\a.txt");
  disk.AddFile(kTemp + u"\\b.txt");
  platform.Arm({"OpenForReading", kTemp + u"\\b.txt", 2, true});
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(platform.OpenForReading(kTemp + u"\\a.txt"));
  EXPECT_TRUE(platform.OpenForReading(kTemp + u"\\b.txt"));
  EXPECT_FALSE(platform.OpenForReading(kTemp + u"\\b.txt"));
  EXPECT_FALSE(platform.OpenForReading(kTemp + u"\\b.txt"));
  EXPECT_EQ(platform.calls(), 6u);
}

// Short counts are read again; the end, a failure or an impossible count is not exactly n bytes.
TEST(ReadExactly, ReadsOnAfterShortCountsAndFailsAtTheEndOrOnNonsense) {
  MemoryFile file(std::make_shared<std::vector<uint8_t>>(Bytes("0123456789")));
  file.readLimit = 3;
  char buffer[10] = {};
  ASSERT_TRUE(ReadExactly(file, 2, buffer, 7));
  EXPECT_EQ(std::string(buffer, 7), "2345678");
  EXPECT_FALSE(ReadExactly(file, 5, buffer, 6));  // one past the end
  file.failReads = true;
  EXPECT_FALSE(ReadExactly(file, 0, buffer, 1));

  struct Boasting final : ByteStream {
    bool Read(void*, uint32_t size, uint32_t& got) override {
      got = size + 1;
      return true;
    }
  } boasting;
  EXPECT_FALSE(ReadExactly(boasting, buffer, 4));
  EXPECT_TRUE(ReadExactly(boasting, buffer, 0));
}

TEST(MemoryPlatform, ArchiveStaysOpenUntilAllItsObjectsAreGone) {
  MemoryPlatform disk;
  FaultyPlatform platform(disk);
  const Text path = kTemp + u"\\a.zip";
  disk.AddFile(path, testing::ReadTestData("viewer_data.zip"));
  platform.Arm({"ElementEnumerator::Next", {}, 2, true});
  auto storage = platform.OpenShellArchive(path);
  ASSERT_TRUE(storage);
  auto elements = storage->EnumElements();
  ASSERT_TRUE(elements);
  storage.reset();
  EXPECT_FALSE(disk.DeleteFile(path));  // the enumerator still reads it
  ElementStat stat;
  EXPECT_EQ(elements->Next(stat), ElementEnumerator::Result::kElement);
  EXPECT_EQ(elements->Next(stat), ElementEnumerator::Result::kFailed);
  elements.reset();
  EXPECT_EQ(disk.OpenObjects(), 0);
  EXPECT_TRUE(disk.DeleteFile(path));

  disk.AddFile(path, Bytes("not a zip"));
  EXPECT_FALSE(disk.OpenShellArchive(path));
  disk.hasShellZipFolder = false;
  disk.AddFile(path, testing::ReadTestData("viewer_data.zip"));
  EXPECT_FALSE(disk.OpenShellArchive(path));
}

}  // namespace
}  // namespace vellum
