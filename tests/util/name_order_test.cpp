#include "app/util/name_order.h"

#include <gtest/gtest.h>

using namespace mirofoto;

TEST(NameOrder, AsciiLettersIgnoreCaseEverythingElseByCodeUnit) {
    std::vector<std::string> names = {"b.jpg", "A.jpg", "_x.jpg", "a.JPG", "写真.jpg", "Z.jpg", "ｱ.jpg",
                                      "10.jpg", "9.jpg", "a.jpg", "B.jpg"};
    sortNames(names);
    // "_" (0x5F) sorts after the folded letters' upper-case range but before
    // "a" (0x61): with case folded, letters compare as lower case.
    const std::vector<std::string> expected = {"10.jpg", "9.jpg", "_x.jpg", "A.jpg", "a.JPG", "a.jpg",
                                               "B.jpg",  "b.jpg", "Z.jpg",  "写真.jpg", "ｱ.jpg"};
    EXPECT_EQ(names, expected);
}

TEST(NameOrder, ComparesUtf16CodeUnitsNotUtf8Bytes) {
    // U+FF71 (ｱ) is above U+5199 (写) in both, but a character beyond the
    // BMP (a surrogate, D800..DFFF) sorts below U+E000..U+FFFF in UTF-16
    // while its UTF-8 bytes (F0..) sort above them.
    EXPECT_LT(compareNames("😀", "\uE000"), 0);
    EXPECT_GT(compareNames("\uE000", "😀"), 0);
    EXPECT_EQ(compareNames("abc", "abc"), 0);
    EXPECT_LT(compareNames("ab", "abc"), 0);
    EXPECT_NE(compareNames("x.jpg", "X.jpg"), 0);  // a stable tie-break, never "equal"
    // Names that are not UTF-8 by their bytes' escapes: two differ, in a
    // fixed order.
    EXPECT_LT(compareNames("\x8E\xCA\x90\x5E.jpg", "\x8F\xCA\x90\x5E.jpg"), 0);
}
