#include <gtest/gtest.h>

#include <string>

#include "platform/delete_tree.h"
#include "tests/support/faulty_platform.h"
#include "tests/support/memory_platform.h"

namespace vellum {
namespace {

class DeleteTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { platform.AddFolder(u"C:\\Temp\\{G}"); }
  MemoryPlatform platform;
};

TEST_F(DeleteTreeTest, RemovesNestedFoldersAndTheFolderItself) {
  EXPECT_TRUE(DeleteTree(platform, u"C:\\Temp\\{G}"));
  EXPECT_FALSE(platform.Exists(u"C:\\Temp\\{G}"));

  platform.AddFile(u"C:\\Temp\\{G}\\a.txt", {1});
  platform.AddFile(u"C:\\Temp\\{G}\\sub\\deeper\\b.txt", {2});
  platform.AddFolder(u"C:\\Temp\\{G}\\empty");
  EXPECT_TRUE(DeleteTree(platform, u"C:\\Temp\\{G}"));
  EXPECT_EQ(platform.ListAll(u"C:\\Temp"), std::vector<Text>{});
}

TEST_F(DeleteTreeTest, AFileHeldOpenStaysWithItsFolderEverythingElseGoes) {
  platform.AddFile(u"C:\\Temp\\{G}\\a.txt");
  platform.AddFile(u"C:\\Temp\\{G}\\held.txt");
  platform.AddFile(u"C:\\Temp\\{G}\\z.txt");
  platform.HoldOpen(u"C:\\Temp\\{G}\\held.txt");
  EXPECT_FALSE(DeleteTree(platform, u"C:\\Temp\\{G}"));
  EXPECT_EQ(platform.ListAll(u"C:\\Temp"), (std::vector<Text>{u"C:\\Temp\\{G}", u"C:\\Temp\\{G}\\held.txt"}));
}

TEST_F(DeleteTreeTest, MissingPathChangesNothing) {
  EXPECT_FALSE(DeleteTree(platform, u"C:\\Temp\\{missing}"));
  EXPECT_TRUE(platform.Exists(u"C:\\Temp\\{G}"));
}

TEST_F(DeleteTreeTest, JunctionIsRemovedButItsTargetKept) {
  platform.AddFile(u"C:\\Users\\me\\Documents\\precious.txt", {42});
  platform.AddJunction(u"C:\\Temp\\{G}\\link", u"C:\\Users\\me\\Documents");
  EXPECT_TRUE(DeleteTree(platform, u"C:\\Temp\\{G}"));
  EXPECT_FALSE(platform.Exists(u"C:\\Temp\\{G}"));
  EXPECT_EQ(platform.FileBytes(u"C:\\Users\\me\\Documents\\precious.txt"), std::vector<uint8_t>{42});
}

// Any one call failing leaves what lies outside alone and closes every
// search; the result says whether the folder went, and a second attempt
// finishes the job.
TEST(DeleteTreeFaults, EverySeamCallFailingInTurn) {
  const Text folder = u"C:\\Temp\\{G}";
  auto prepare = [&](MemoryPlatform& platform) {
    platform.AddFile(folder + u"\\a.txt", {1});
    platform.AddFile(folder + u"\\sub\\b.txt", {2});
    platform.AddFile(folder + u"\\sub\\deeper\\c.txt", {3});
    platform.AddFolder(folder + u"\\empty");
    platform.AddFile(u"C:\\Users\\me\\kept.txt", {4});
    platform.AddJunction(folder + u"\\link", u"C:\\Users\\me");
  };
  MemoryPlatform cleanDisk;
  FaultyPlatform clean(cleanDisk);
  prepare(cleanDisk);
  ASSERT_TRUE(DeleteTree(clean, folder));
  for (uint64_t k = 1; k <= clean.calls(); ++k) {
    SCOPED_TRACE("call " + std::to_string(k) + " " + clean.callLog()[k - 1].operation);
    MemoryPlatform platform;
    prepare(platform);
    FaultyPlatform faults(platform);
    faults.Arm({nullptr, {}, k});
    // True only when everything went (a failed search of an empty folder
    // loses nothing).
    const bool removed = DeleteTree(faults, folder);
    EXPECT_EQ(removed, !platform.Exists(folder));
    EXPECT_EQ(platform.OpenObjects(), 0);
    EXPECT_EQ(platform.FileBytes(u"C:\\Users\\me\\kept.txt"), std::vector<uint8_t>{4});
    if (!removed) {
      EXPECT_TRUE(DeleteTree(platform, folder));
    }
    EXPECT_EQ(platform.ListAll(u"C:\\Temp"), std::vector<Text>{});
  }
}

}  // namespace
}  // namespace vellum
