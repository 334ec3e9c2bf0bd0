// The seam over the real Windows APIs, on the real file system: each test
// works in a fresh folder of the temporary directory and removes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/cpu_features.h"
#include "base/path.h"
#include "platform/delete_tree.h"
#include "package/loader.h"
#include "package/open_archive.h"
#include "platform/platform_win32.h"
#include "platform/win32_api.h"
#include "tests/support/test_data.h"

namespace vellum {
namespace {

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::wstring name = L"vellum-platform-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount());
    folder_ = JoinPath(FromWide(temp), FromWide(name.c_str()));
    ASSERT_TRUE(platform_.CreateDirectory(folder_));
  }

  void TearDown() override {
    EXPECT_TRUE(DeleteTree(platform_, folder_));
    CoUninitialize();
  }

  Text In(const Text& name) const { return folder_ + u'\\' + name; }

  void PutFile(const Text& name, const std::vector<uint8_t>& bytes) {
    auto file = platform_.CreateAlways(In(name));
    ASSERT_TRUE(file);
    uint32_t n = 0;
    ASSERT_TRUE(file->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), n));
    ASSERT_EQ(n, bytes.size());
  }

  std::vector<FoundEntry> Search(const Text& pattern) {
    std::vector<FoundEntry> entries;
    auto search = platform_.FindFiles(In(pattern));
    FoundEntry entry;
    while (search && search->Next(entry)) entries.push_back(entry);
    return entries;
  }

  Win32Platform platform_;
  Text folder_;
};

FileTimes TimesOnDisk(const Text& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data)) return {};
  auto join = [](const FILETIME& t) {
    return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
  };
  return {join(data.ftCreationTime), join(data.ftLastAccessTime), join(data.ftLastWriteTime)};
}

TEST_F(Win32PlatformTest, FileRoundTripsBytesPositionSizeAndTimes) {
  {
    auto file = platform_.CreateAlways(In(u"a.bin"));
    ASSERT_TRUE(file);
    uint32_t n = 0;
    ASSERT_TRUE(file->Write("abcdef", 6, n));
    EXPECT_EQ(n, 6u);
    uint64_t size = 0;
    ASSERT_TRUE(file->GetSize(size));
    EXPECT_EQ(size, 6u);
    ASSERT_TRUE(file->Seek(2));
    char buffer[16] = {};
    ASSERT_TRUE(file->Read(buffer, sizeof buffer, n));
    EXPECT_EQ(std::string(buffer, n), "cdef");
    ASSERT_TRUE(file->Read(buffer, sizeof buffer, n));  // at the end: success, nothing read
    EXPECT_EQ(n, 0u);
    // Times of 2023, in 100 ns steps since 1601.
    ASSERT_TRUE(file->SetTimes({133485000000000000, 133300000000000000, 133400000000000000}));
  }
  // (The creation time is not compared: Wine keeps none of its own.)
  const FileTimes set = TimesOnDisk(In(u"a.bin"));
  EXPECT_EQ(set.lastAccess, 133300000000000000u);
  EXPECT_EQ(set.lastWrite, 133400000000000000u);
  {
    auto file = platform_.OpenForReading(In(u"a.bin"));
    ASSERT_TRUE(file);
    uint32_t n = 0;
    EXPECT_FALSE(file->Write("x", 1, n));  // opened for reading only
    char buffer[6];
    ASSERT_TRUE(file->Read(buffer, 6, n));
    EXPECT_EQ(std::string(buffer, n), "abcdef");
  }
  {
    // A time of 0 leaves that time alone.
    auto file = platform_.CreateAlways(In(u"a.bin"));
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->SetTimes({0, 133300000000000000, 133400000000000000}));
    ASSERT_TRUE(file->SetTimes({0, 0, 133500000000000000}));
  }
  const FileTimes after = TimesOnDisk(In(u"a.bin"));
  EXPECT_EQ(after.lastAccess, 133300000000000000u);
  EXPECT_EQ(after.lastWrite, 133500000000000000u);
}

TEST_F(Win32PlatformTest, CreateAlwaysTruncatesAndSharesNothing) {
  PutFile(u"c.bin", {1, 2, 3, 4});
  auto created = platform_.CreateAlways(In(u"c.bin"));
  ASSERT_TRUE(created);
  uint64_t size = 99;
  ASSERT_TRUE(created->GetSize(size));
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(platform_.OpenForReading(In(u"c.bin")));
  EXPECT_FALSE(platform_.CreateAlways(In(u"c.bin")));
  EXPECT_FALSE(platform_.DeleteFile(In(u"c.bin")));
  created.reset();

  auto reader = platform_.OpenForReading(In(u"c.bin"));
  ASSERT_TRUE(reader);
  EXPECT_TRUE(platform_.OpenForReading(In(u"c.bin")));  // readers share reading
  EXPECT_FALSE(platform_.CreateAlways(In(u"c.bin")));
  reader.reset();
  EXPECT_TRUE(platform_.DeleteFile(In(u"c.bin")));
  EXPECT_FALSE(platform_.OpenForReading(In(u"c.bin")));
}

TEST_F(Win32PlatformTest, FoldersAndSearches) {
  ASSERT_TRUE(platform_.CreateDirectory(In(u"sub")));
  EXPECT_FALSE(platform_.CreateDirectory(In(u"sub")));  // exists
  PutFile(u"alpha.txt", {});
  PutFile(u"alps.bin", {});
  PutFile(u"beta", {});

  std::map<Text, FoundEntry> all;
  for (const FoundEntry& entry : Search(u"*")) all[entry.name] = entry;
  EXPECT_EQ(all.size(), 6u);
  for (const Text name : {u".", u"..", u"sub"}) {
    EXPECT_TRUE(all[name].isDirectory);
    EXPECT_FALSE(all[name].isReparsePoint);
  }
  EXPECT_FALSE(all[u"beta"].isDirectory);

  std::vector<Text> prefixed;
  for (const FoundEntry& entry : Search(u"AL*")) prefixed.push_back(entry.name);
  std::sort(prefixed.begin(), prefixed.end());
  EXPECT_EQ(prefixed, (std::vector<Text>{u"alpha.txt", u"alps.bin"}));
  EXPECT_FALSE(platform_.FindFiles(In(u"zz*")));
  EXPECT_FALSE(platform_.FindFiles(In(u"missing\\*")));

  PutFile(u"sub\\inner", {});
  EXPECT_FALSE(platform_.RemoveDirectory(In(u"sub")));  // not empty
  EXPECT_TRUE(platform_.DeleteFile(In(u"sub\\inner")));
  EXPECT_TRUE(platform_.RemoveDirectory(In(u"sub")));
  EXPECT_FALSE(platform_.RemoveDirectory(In(u"sub")));
}

TEST_F(Win32PlatformTest, GuidTextIsBracedUpperCaseHex) {
  Text first, second;
  ASSERT_TRUE(platform_.NewGuidText(first));
  ASSERT_TRUE(platform_.NewGuidText(second));
  EXPECT_NE(first, second);
  for (const Text& text : {first, second}) {
    ASSERT_EQ(text.size(), 38u);
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (i == 0) {
        EXPECT_EQ(c, u'{');
      } else if (i == 37) {
        EXPECT_EQ(c, u'}');
      } else if (i == 9 || i == 14 || i == 19 || i == 24) {
        EXPECT_EQ(c, u'-');
      } else {
        EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << "at " << i;
      }
    }
  }
}

TEST_F(Win32PlatformTest, OpensAZipFileAsAStorageOfItsTopLevel) {
  PutFile(u"viewer_data.zip", testing::ReadTestData("viewer_data.zip"));
  auto storage = OpenArchive(platform_, In(u"viewer_data.zip"));
  ASSERT_TRUE(storage);

  std::map<Text, ElementStat> elements;
  {
    auto enumerator = storage->EnumElements();
    ASSERT_TRUE(enumerator);
    ElementStat stat;
    while (enumerator->Next(stat) == ElementEnumerator::Result::kElement)
      elements[stat.name] = stat;
  }
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_EQ(elements[u"readme.txt"].type, kElementStream);
  EXPECT_EQ(elements[u"readme.txt"].size, 12u);
  EXPECT_EQ(elements[u"data.bin"].type, kElementStream);
  EXPECT_EQ(elements[u"data.bin"].size, 70000u);
  EXPECT_EQ(elements[u"sub"].type, kElementStorage);

  // Entry times are kept as local time; the storage gives them in UTC.
  const FileTime mtime = elements[u"readme.txt"].mtime;
  FILETIME utc{static_cast<DWORD>(mtime), static_cast<DWORD>(mtime >> 32)}, local;
  SYSTEMTIME shown;
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &shown));
  EXPECT_EQ(shown.wYear, 2024);
  EXPECT_EQ(shown.wMonth, 1);
  EXPECT_EQ(shown.wDay, 2);
  EXPECT_EQ(shown.wHour, 3);
  EXPECT_EQ(shown.wMinute, 4);

  {
    auto stream = storage->OpenStream(u"readme.txt");
    ASSERT_TRUE(stream);
    char buffer[32];
    uint32_t n = 0;
    ASSERT_TRUE(stream->Read(buffer, sizeof buffer, n));
    EXPECT_EQ(std::string(buffer, n), "first file\r\n");
  }
  EXPECT_FALSE(storage->OpenStream(u"missing.txt"));
  storage.reset();
  // Nothing of the archive stays open once the storage is gone.
  EXPECT_TRUE(platform_.DeleteFile(In(u"viewer_data.zip")));
}

TEST_F(Win32PlatformTest, RefusesWhatIsNoZipFile) {
  PutFile(u"plain.zip", {'n', 'o', 't', ' ', 'a', ' ', 'z', 'i', 'p'});
  EXPECT_FALSE(OpenArchive(platform_, In(u"plain.zip")));
  EXPECT_FALSE(OpenArchive(platform_, In(u"missing.zip")));
  EXPECT_TRUE(platform_.DeleteFile(In(u"plain.zip")));
}

}  // namespace
}  // namespace vellum

namespace vellum {
namespace {

// The whole load on the real file system: a sealed package becomes real
// files with the archive's times, and the folder goes at the end.
TEST_F(Win32PlatformTest, LoadsARealPackageIntoARealTemporaryFolder) {
  const auto package = testing::ReadTestData("viewer_data");
  PutFile(u"viewer_data", package);
  CryptoFactory factory;
  DetectProcessorFeatures(factory);
  Text workFolder, title, message;
  ASSERT_TRUE(LoadPackage(platform_, In(u"viewer_data"), u"viewer_data", folder_ + u"\\", factory,
                          workFolder, title, message));
  EXPECT_FALSE(title.empty());
  const auto entries = Search(u"{*");
  ASSERT_EQ(entries.size(), 1u);  // the working folder, and no archive beside it
  EXPECT_TRUE(entries[0].isDirectory);

  // The times are those the archive reader reports for the entry.
  PutFile(u"copy.zip", testing::ReadTestData("viewer_data.zip"));
  auto storage = OpenArchive(platform_, In(u"copy.zip"));
  ASSERT_TRUE(storage);
  auto elements = storage->EnumElements();
  ElementStat stat;
  FileTime readmeTime = 0;
  while (elements && elements->Next(stat) == ElementEnumerator::Result::kElement) {
    if (stat.name == u"readme.txt") readmeTime = stat.mtime;
  }
  elements.reset();
  storage.reset();
  EXPECT_NE(readmeTime, 0u);
  EXPECT_EQ(TimesOnDisk(workFolder + u"\\readme.txt").lastWrite, readmeTime);
}

// A file another program holds open survives; everything else goes.
TEST_F(Win32PlatformTest, DeleteTreeLeavesAFileHeldOpenAndRemovesTheRest) {
  ASSERT_TRUE(platform_.CreateDirectory(In(u"work")));
  PutFile(u"work\\a.txt", {1});
  PutFile(u"work\\held.txt", {2});
  PutFile(u"work\\z.txt", {3});
  HANDLE held = CreateFileW(Wide(In(u"work\\held.txt")), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteTree(platform_, In(u"work")));
  std::vector<Text> left;
  for (const FoundEntry& e : Search(u"work\\*")) {
    if (e.name != u"." && e.name != u"..") left.push_back(e.name);
  }
  EXPECT_EQ(left, std::vector<Text>{u"held.txt"});
  CloseHandle(held);
  EXPECT_TRUE(DeleteTree(platform_, In(u"work")));
}

}  // namespace
}  // namespace vellum
