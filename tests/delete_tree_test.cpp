#include <gtest/gtest.h>

#include "app/path.h"
#include "platform/memory_platform.h"

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

}  // namespace
}  // namespace vellum
