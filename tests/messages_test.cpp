#include "app/messages.h"

#include <gtest/gtest.h>

namespace vellum {
namespace {

TEST(Messages, AreTheExactTexts) {
  const Text cannotOpen = kMessageCannotOpenPackage;
  EXPECT_EQ(cannotOpen.size(), 40u);
  EXPECT_EQ(cannotOpen.substr(0, 8), u"%config%");
  EXPECT_EQ(cannotOpen.substr(15, 2), u"\r\n");
  EXPECT_EQ(Text(kMessageCopyPasteFinished).find(u'\uff06'), 3u);   // full-width ampersand
  EXPECT_EQ(Text(kMessageCopyPasteFinished).back(), u'\uff1f');     // full-width question mark
  for (const char16_t* message : {kMessageCannotOpenPackage, kMessagePackageCorrupted,
                                  kMessageCannotCreateTemporaryFiles, kMessageCannotCopy}) {
    EXPECT_EQ(Text(message).back(), u'\u3002');  // ideographic full stop
  }
}

TEST(ExpandPlaceholder, ReplacesEveryPlaceholderOnce) {
  EXPECT_EQ(ExpandPlaceholder(kMessagePackageCorrupted, u"viewer_data"),
            u"viewer_data\u304c\u7834\u640d\u3057\u3066\u3044\u307e\u3059\u3002");
  EXPECT_EQ(ExpandPlaceholder(u"%config% and %config%", u"p"), u"p and p");
  EXPECT_EQ(ExpandPlaceholder(u"%Config% % config% %config", u"p"), u"%Config% % config% %config");
  EXPECT_EQ(ExpandPlaceholder(u"short", u"p"), u"short");
  // A name that itself holds the placeholder is shown literally, not expanded forever.
  EXPECT_EQ(ExpandPlaceholder(u"[%config%][%config%]", u"a%config%_data"),
            u"[a%config%_data][a%config%_data]");
  EXPECT_EQ(ExpandPlaceholder(u"%config%", u""), u"");
}

}  // namespace
}  // namespace vellum
