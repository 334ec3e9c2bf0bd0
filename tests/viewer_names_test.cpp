#include "app/viewer_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellum {
namespace {

TEST(DeriveExeNames, PackageIsNamedAfterTheExecutablesBaseName) {
  const ExeNames names = DeriveExeNames(u"C:\\ship\\viewer.exe");
  EXPECT_EQ(names.exeFolder, u"C:\\ship\\");
  EXPECT_EQ(names.exeFileName, u"viewer.exe");
  EXPECT_EQ(names.baseName, u"viewer");
  EXPECT_EQ(names.packageName, u"viewer_data");
  EXPECT_EQ(names.packagePath, u"C:\\ship\\viewer_data");
}

TEST(DeriveExeNames, OnlyTheLastDotOfTheFileNameEndsTheBaseName) {
  struct Case { Text exePath, baseName, packagePath; };
  for (const Case& c : {Case{u"C:\\a.b.exe", u"a.b", u"C:\\a.b_data"},
                        Case{u"C:\\x\\viewer", u"viewer", u"C:\\x\\viewer_data"},
                        Case{u"C:\\x\\.exe", u"", u"C:\\x\\_data"},
                        Case{u"C:\\v1.2\\app", u"app", u"C:\\v1.2\\app_data"},
                        Case{u"C:\\v1.2\\app.", u"app", u"C:\\v1.2\\app_data"},
                        Case{u"viewer.exe", u"viewer", u"\\viewer_data"}}) {
    const ExeNames names = DeriveExeNames(c.exePath);
    EXPECT_EQ(names.baseName, c.baseName) << "for the path of length " << c.exePath.size();
    EXPECT_EQ(names.packageName, c.baseName + u"_data");
    EXPECT_EQ(names.packagePath, c.packagePath);
  }
}

TEST(MainWindowTitle, AddsThePackageTitleUntrimmedOnlyWhenThereIsOne) {
  EXPECT_EQ(MainWindowTitle(u"viewer", u""), u"viewer");
  EXPECT_EQ(MainWindowTitle(u"viewer", u"Annual report"), u"viewer - Annual report");
  EXPECT_EQ(MainWindowTitle(u"viewer", u" x "), u"viewer -  x ");
  EXPECT_EQ(MainWindowTitle(u"", u"\u5831\u544a"), u" - \u5831\u544a");
}

TEST(ContainingFolder, DropsTheNameAndOneTrailingBackslash) {
  EXPECT_EQ(ContainingFolder(u"C:\\Temp\\{G}\\a.txt"), u"C:\\Temp\\{G}");
  EXPECT_EQ(ContainingFolder(u"C:\\Temp\\{G}\\sub\\a.txt"), u"C:\\Temp\\{G}\\sub");
  EXPECT_EQ(ContainingFolder(u"\\a.txt"), u"");
  EXPECT_EQ(ContainingFolder(u"C:a.txt"), u"C:");
  EXPECT_EQ(ContainingFolder(u"a.txt"), u"");
}

// Stands in for the system's module-file-name call: the path is pathLength
// units long; like the system, a buffer too small gets a truncated,
// terminated text and the count of units written, with the error 122.
struct FakeModuleFileName {
  size_t pathLength;
  std::vector<uint32_t> sizesSeen;

  uint32_t operator()(char16_t* buffer, uint32_t size, uint32_t& lastError) {
    sizesSeen.push_back(size);
    const Text path = PathText();
    if (path.size() < size) {
      std::copy(path.begin(), path.end(), buffer);
      buffer[path.size()] = u'\0';
      lastError = 0;
      return static_cast<uint32_t>(path.size());
    }
    std::copy(path.begin(), path.begin() + (size - 1), buffer);
    buffer[size - 1] = u'\0';
    lastError = 122;
    return size;
  }
  Text PathText() const {
    Text path = u"C:\\";
    while (path.size() < pathLength) path += static_cast<char16_t>(u'a' + path.size() % 26);
    return path;
  }
};

TEST(GetExePathWith, ShortPathTakesOneCallOf33Units) {
  FakeModuleFileName fake{20, {}};
  Text path;
  EXPECT_EQ(GetExePathWith(std::ref(fake), path), 20u);
  EXPECT_EQ(path, fake.PathText());
  EXPECT_EQ(fake.sizesSeen, std::vector<uint32_t>{33});
}

TEST(GetExePathWith, GrowsByDoublingUntilThePathFits) {
  for (size_t length : {32u, 33u, 64u, 100u, 32768u}) {
    FakeModuleFileName fake{length, {}};
    Text path;
    EXPECT_EQ(GetExePathWith(std::ref(fake), path), length);
    EXPECT_EQ(path, fake.PathText());
    EXPECT_GT(fake.sizesSeen.back(), length);
    for (size_t i = 1; i < fake.sizesSeen.size(); ++i) {
      EXPECT_EQ(fake.sizesSeen[i] - 1, 2 * (fake.sizesSeen[i - 1] - 1));
    }
  }
}

TEST(GetExePathWith, GivesUpAfter32769UnitsWithTheTruncatedPath) {
  FakeModuleFileName fake{40000, {}};
  Text path;
  EXPECT_EQ(GetExePathWith(std::ref(fake), path), 0u);
  const std::vector<uint32_t> expected{33, 65, 129, 257, 513, 1025, 2049, 4097, 8193, 16385, 32769};
  EXPECT_EQ(fake.sizesSeen, expected);
  EXPECT_EQ(path, fake.PathText().substr(0, 32768));
}

TEST(GetExePathWith, AnotherErrorOnAFullBufferEndsTheSearch) {
  Text path;
  const auto call = [](char16_t* buffer, uint32_t size, uint32_t& lastError) -> uint32_t {
    std::fill(buffer, buffer + size - 1, u'x');
    lastError = 5;
    return size;
  };
  EXPECT_EQ(GetExePathWith(call, path), 33u);
  EXPECT_EQ(path, Text(32, u'x'));
}

}  // namespace
}  // namespace vellum
