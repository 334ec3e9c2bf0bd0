#include "base/path.h"

#include <gtest/gtest.h>

namespace vellum {
namespace {

TEST(SplitPath, CutsAfterTheLastBackslashOrColon) {
  struct Case { Text path, folder, name; };
  for (const Case& c : {Case{u"D:\\dir\\viewer.exe", u"D:\\dir\\", u"viewer.exe"},
                        Case{u"D:viewer.exe", u"D:", u"viewer.exe"},
                        Case{u"viewer.exe", u"", u"viewer.exe"},
                        Case{u"D:\\dir\\", u"D:\\dir\\", u""},
                        Case{u"D:/dir/viewer.exe", u"D:", u"/dir/viewer.exe"},
                        Case{u"", u"", u""}}) {
    const SplitResult r = SplitPath(c.path);
    EXPECT_EQ(r.folder, c.folder);
    EXPECT_EQ(r.name, c.name);
  }
}

TEST(JoinPath, AddsABackslashOnlyWhenTheFolderLacksASeparator) {
  EXPECT_EQ(JoinPath(u"D:\\dir\\", u"x"), u"D:\\dir\\x");
  EXPECT_EQ(JoinPath(u"D:\\dir", u"x"), u"D:\\dir\\x");
  EXPECT_EQ(JoinPath(u"D:", u"x"), u"D:x");
  EXPECT_EQ(JoinPath(u"", u"x"), u"\\x");
  EXPECT_EQ(JoinPath(u"D:\\dir/", u"x"), u"D:\\dir/\\x");
  EXPECT_EQ(JoinPath(u"D:\\dir\\", u"\\x"), u"D:\\dir\\\\x");
}

}  // namespace
}  // namespace vellum
