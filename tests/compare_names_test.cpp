#include "package/compare_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellum {
namespace {

TEST(CompareNames, LetterCaseAloneIsEqual) {
  EXPECT_EQ(CompareNames(u"", u""), 0);
  EXPECT_EQ(CompareNames(u"viewer_data", u"VIEWER_DATA"), 0);
  EXPECT_EQ(CompareNames(u"Viewer_Data", u"vIEWER_dATA"), 0);
  EXPECT_EQ(CompareNames(u"a", u"A"), 0);
  EXPECT_EQ(CompareNames(u"\u00e9t\u00e9_data", u"\u00c9T\u00c9_DATA"), 0);  // été
}

TEST(CompareNames, LatinExtendedLettersWithOddCapitalsFoldToo) {
  // Ł ł, Ŀ ŀ, Ň ň and Ź ź, Ž ž: capitals on odd code points, unlike the rest
  // of the block (found by fuzzing).
  EXPECT_EQ(CompareNames(u"\u0141\u013f\u0147", u"\u0142\u0140\u0148"), 0);
  EXPECT_EQ(CompareNames(u"\u0179\u017d", u"\u017a\u017e"), 0);
  EXPECT_EQ(CompareNames(u"\u0100\u0176", u"\u0101\u0177"), 0);  // Ā ā, Ŷ ŷ as before
  EXPECT_NE(CompareNames(u"\u0142", u"\u0143"), 0);                // ł is not Ń
  // The dotless ı is not the small letter of the dotted İ.
  EXPECT_NE(CompareNames(u"\u0131", u"\u0130"), 0);
  EXPECT_EQ(CompareNames(u"\u0133", u"\u0132"), 0);  // ĳ Ĳ, just after them
}

TEST(CompareNames, OrdersIgnoringCaseAndGivesUnitResults) {
  EXPECT_EQ(CompareNames(u"a", u"B"), -1);
  EXPECT_EQ(CompareNames(u"B", u"a"), 1);
  EXPECT_EQ(CompareNames(u"", u"a"), -1);
  EXPECT_EQ(CompareNames(u"viewer_data", u"viewer_data2"), -1);
  EXPECT_EQ(CompareNames(u"viewer_data", u"viewer_dat"), 1);
}

TEST(CompareNames, EmbeddedNulIsCompared) {
  // Texts carry their length; nothing stops at a 0 unit.
  const Text withNul(u"ab\0c", 4);
  EXPECT_NE(CompareNames(withNul, u"ab"), 0);
  EXPECT_EQ(CompareNames(withNul, Text(u"AB\0C", 4)), 0);
}

TEST(CompareNames, IsAntisymmetricOverAMixedSet) {
  const std::vector<Text> names = {u"",      u"a",      u"A",       u"b",         u"file2",
                                   u"file10", u"FILE10", u"file010", u"viewer_data", u"viewer_data ",
                                   u"_data",  u"9",      u"\u65e5\u672c", u"\uff41",  u"\uff21"};
  for (const Text& a : names) {
    for (const Text& b : names) {
      const int ab = CompareNames(a, b), ba = CompareNames(b, a);
      ASSERT_GE(ab, -1);
      ASSERT_LE(ab, 1);
      EXPECT_EQ(ab, -ba);
    }
  }
}

#ifndef _WIN32
// Where the platform's linguistic comparison is unavailable, the portable one
// still compares runs of digits by their value. (Under Wine the linguistic
// call fails and the ordinal comparison decides; on Windows it sorts numerically.)
TEST(CompareNames, PortableComparesDigitRunsByValue) {
  EXPECT_EQ(CompareNames(u"file2", u"file10"), -1);
  EXPECT_EQ(CompareNames(u"file10", u"file9"), 1);
  // Equal in value, so the ordinal comparison breaks the tie.
  EXPECT_EQ(CompareNames(u"file010", u"file10"), -1);
  EXPECT_EQ(CompareNames(u"x123456789012345678901", u"x99"), 1);
}
#endif

}  // namespace
}  // namespace vellum
