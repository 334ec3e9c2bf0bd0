// The loader's whole road, on the in-memory file system: every failure point
// gives its message, and nothing but the working folder is left behind.
#include "package/loader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/cpu_features.h"
#include "resources/message_texts.h"
#include "tests/support/faulty_platform.h"
#include "tests/support/memory_platform.h"
#include "tests/support/test_data.h"

namespace vellum {
namespace {

const Text kTemp = u"C:\\Temp\\";
const Text kPackage = u"C:\\Apps\\viewer_data";
const Text kGuid = u"{0C0FFEE0-1234-5678-9ABC-DEF012345678}";
const Text kWorkFolder = kTemp + kGuid;
const Text kArchive = kTemp + kGuid + u".zip";

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DetectProcessorFeatures(factory);
    platform.AddFolder(kTemp);
    package = testing::ReadTestData("viewer_data");
    platform.AddFile(kPackage, package);
    platform.guidTexts.push_back(kGuid);
  }
  bool Load(const Text& name = u"viewer_data") {
    return LoadPackage(faults, kPackage, name, kTemp, factory, workFolder, title, message);
  }
  bool Created(const Text& path) const {
    const auto& log = faults.callLog();
    return std::any_of(log.begin(), log.end(), [&](const CallRecord& r) {
      return std::string(r.operation) == "CreateAlways" && r.path == path;
    });
  }
  // The temp folder holds exactly these names.
  void ExpectTempHolds(std::vector<Text> expected) {
    std::vector<Text> all;
    for (const Text& path : platform.ListAll(kTemp)) all.push_back(path.substr(kTemp.size()));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
  }
  void ExpectFailure(const char16_t* expectedMessage, bool workFolderSet) {
    EXPECT_FALSE(Load());
    EXPECT_EQ(message, expectedMessage);
    EXPECT_TRUE(title.empty());
    EXPECT_EQ(workFolder, workFolderSet ? kWorkFolder : Text());
    EXPECT_EQ(platform.OpenObjects(), 0);
  }

  CryptoFactory factory;
  MemoryPlatform platform;
  FaultyPlatform faults{platform};
  std::vector<uint8_t> package;
  Text workFolder, title, message;
};

TEST_F(LoaderTest, ExtractsTheTopLevelFilesAndDeletesTheArchive) {
  ASSERT_TRUE(Load(u"VIEWER_DATA"));
  EXPECT_EQ(title, u"\u30c6\u30b9\u30c8\u7528\u30d1\u30c3\u30b1\u30fc\u30b8");
  EXPECT_TRUE(message.empty());
  EXPECT_EQ(workFolder, kWorkFolder);
  ExpectTempHolds({kGuid, kGuid + u"\\data.bin", kGuid + u"\\readme.txt"});
  const auto readme = platform.FileBytes(kWorkFolder + u"\\readme.txt");
  EXPECT_EQ(std::string(readme.begin(), readme.end()), "first file\r\n");
  EXPECT_EQ(platform.FileBytes(kWorkFolder + u"\\data.bin").size(), 70000u);
  EXPECT_NE(platform.FileTimesOf(kWorkFolder + u"\\readme.txt").lastWrite, platform.now);
  EXPECT_EQ(platform.OpenObjects(), 0);
}

TEST_F(LoaderTest, MissingOrUnreadablePackageCannotBeOpened) {
  faults.Arm({"OpenForReading", kPackage, 1, true});
  ExpectFailure(kMessageCannotOpenPackage, false);
  ExpectTempHolds({});
}

TEST_F(LoaderTest, DamagedPackagesAreCorruptedBeforeAnythingIsWritten) {
  struct Case { const char* what; std::vector<uint8_t> bytes; Text name; };
  std::vector<uint8_t> flipped = package, truncated = package;
  flipped.back() ^= 1;
  truncated.pop_back();
  for (const Case& c : {Case{"100 bytes", std::vector<uint8_t>(package.begin(), package.begin() + 100), u"viewer_data"},
                        Case{"payload bit flipped", flipped, u"viewer_data"},
                        Case{"payload truncated", truncated, u"viewer_data"},
                        Case{"sealed for another name", package, u"other_data"}}) {
    SCOPED_TRACE(c.what);
    platform.AddFile(kPackage, c.bytes);
    workFolder.clear();
    EXPECT_FALSE(Load(c.name));
    EXPECT_EQ(message, kMessagePackageCorrupted);
    EXPECT_TRUE(workFolder.empty());
    EXPECT_FALSE(Created(kArchive));
    ExpectTempHolds({});
  }
}

TEST_F(LoaderTest, ReadFailuresOfThePackageAreCorruption) {
  faults.Arm({"File::Read", {}, 1, false, Fault::kShort});  // the header
  ExpectFailure(kMessagePackageCorrupted, false);
  faults.Arm({"File::Read", {}, 2});  // the verifying pass
  ExpectFailure(kMessagePackageCorrupted, false);
  ExpectTempHolds({});
}

TEST_F(LoaderTest, NoGuidNoTemporaryFiles) {
  platform.guidTexts.clear();
  faults.Arm({"NewGuidText", {}, 1, true});
  ExpectFailure(kMessageCannotCreateTemporaryFiles, false);
  ExpectTempHolds({});
}

TEST_F(LoaderTest, ANameAlreadyInUseIsNeverReused) {
  platform.AddFile(kArchive, {1, 2, 3});  // a leftover archive of the very same GUID
  ExpectFailure(kMessageCannotCreateTemporaryFiles, false);
  ExpectTempHolds({kGuid + u".zip"});
  EXPECT_EQ(platform.FileBytes(kArchive), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(LoaderTest, ArchiveThatCannotBeCreated) {
  faults.Arm({"CreateAlways", kArchive, 1, true});
  ExpectFailure(kMessageCannotCreateTemporaryFiles, true);
  ExpectTempHolds({});
}

TEST_F(LoaderTest, FailedWriteLeavesNoPlaintextBehind) {
  faults.Arm({"File::Write", {}, 1});
  ExpectFailure(kMessageCannotCreateTemporaryFiles, true);
  ExpectTempHolds({});
}

TEST_F(LoaderTest, ShortWriteLeavesNoPlaintextBehind) {
  faults.Arm({"File::Write", {}, 1, false, Fault::kShort});
  ExpectFailure(kMessageCannotCreateTemporaryFiles, true);
  ExpectTempHolds({});
}

TEST_F(LoaderTest, AnArchiveTheShellRefusesIsReadByTheBuiltInReaderThenDeleted) {
  faults.Arm({"OpenShellArchive", {}, 1, true});
  EXPECT_TRUE(Load());
  ExpectTempHolds({kGuid, kGuid + u"\\data.bin", kGuid + u"\\readme.txt"});
  EXPECT_EQ(platform.OpenObjects(), 0);
}

TEST_F(LoaderTest, AnArchiveThatCannotBeEnumeratedIsNoLoad) {
  // An empty window would say nothing of the files that never came.
  faults.Arm({"ArchiveStorage::EnumElements", {}, 1, true});
  ExpectFailure(kMessageCannotCreateTemporaryFiles, true);
  ExpectTempHolds({});
}

}  // namespace
}  // namespace vellum
