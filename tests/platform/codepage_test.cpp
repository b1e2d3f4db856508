#include "platform/codepage.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace platform;
using testing_support::hex;

TEST(Codepage, JapaneseAndAsciiRoundTripThroughCp932) {
    const std::string text = "写真 Photo ｱｲｳ 〜";
    const auto sjis = utf8ToCp932(text);
    ASSERT_TRUE(sjis);
    // 写 = 8E CA, half-width katakana are single bytes, the wave dash is the
    // CP932 81 60.
    EXPECT_EQ(hex(*sjis), "8E CA 90 5E 20 50 68 6F 74 6F 20 B1 B2 B3 20 81 60");
    EXPECT_EQ(cp932ToUtf8(*sjis), "写真 Photo ｱｲｳ ～");
}

TEST(Codepage, UnrepresentableTextIsRefusedNotReplaced) {
    EXPECT_FALSE(utf8ToCp932("café"));
    EXPECT_FALSE(utf8ToCp932("emoji 😀"));
    EXPECT_FALSE(utf8ToCp932("bad \xC3"));  // cut UTF-8 sequence
    EXPECT_TRUE(isCp932Representable("アルバム"));
    EXPECT_FALSE(isCp932Representable("é"));
}

TEST(Codepage, HtmlFormWritesReferencesForWhatCp932Lacks) {
    EXPECT_EQ(utf8ToCp932Html("café 写"), std::string("caf&#233; \x8E\xCA"));
    EXPECT_EQ(utf8ToCp932Html("😀x"), "&#128512;x");
    EXPECT_EQ(utf8ToCp932Html("a\xFFz"), "a&#65533;z");
}

TEST(Codepage, BrokenCp932DecodesWithReplacementAndKeepsTheRest) {
    EXPECT_EQ(cp932ToUtf8("ab\x8E"), "ab\uFFFD");         // lone lead byte at the end
    EXPECT_EQ(cp932ToUtf8("\x85\x40xyz"), "\uFFFDxyz");   // unassigned code takes its trail byte
    EXPECT_EQ(cp932ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Codepage, PrefixNeverEndsInsideADoubleByteCharacter) {
    const std::string sjis = *utf8ToCp932("a写真");  // 61 | 8E CA | 90 5E
    EXPECT_EQ(cp932PrefixLength(sjis, 0), 0u);
    EXPECT_EQ(cp932PrefixLength(sjis, 1), 1u);
    EXPECT_EQ(cp932PrefixLength(sjis, 2), 1u);
    EXPECT_EQ(cp932PrefixLength(sjis, 3), 3u);
    EXPECT_EQ(cp932PrefixLength(sjis, 4), 3u);
    EXPECT_EQ(cp932PrefixLength(sjis, 99), 5u);
    EXPECT_EQ(cp932PrefixLength("x\x8E", 10), 1u);  // a dangling lead byte is left out
}

TEST(Codepage, Utf16ConversionsKeepSurrogatePairs) {
    const std::u16string u = utf8ToUtf16("a写😀");
    ASSERT_EQ(u.size(), 4u);
    EXPECT_EQ(u[1], 0x5199);
    EXPECT_EQ(u[2], 0xD83D);
    EXPECT_EQ(u[3], 0xDE00);
    EXPECT_EQ(utf16ToUtf8(u), "a写😀");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\uFFFD");
    EXPECT_EQ(utf16leBytesToUtf8(utf8ToUtf16leBytes("設定")), "設定");
}

TEST(Codepage, PathsThatAreNotUtf8ComeBackByteForByte) {
    // A Shift_JIS name ("写真"), a cut sequence, an encoded surrogate, a real
    // U+FFFD, stray continuation bytes, and ordinary text.
    for (const std::string path : {"/p/\x8E\xCA\x90\x5E.jpg", "a\xE5\x86", "\xED\xB2\x8E", "\xEF\xBF\xBD",
                                   "\x80\xBF\xFF\xFE", "写真 😀.jpg", ""}) {
        SCOPED_TRACE(hex(path));
        EXPECT_EQ(pathFromUtf16(pathToUtf16(path)), path);
        EXPECT_EQ(utf16leBytesToUtf8(utf8ToUtf16leBytes(path)), path);  // the settings files' Unicode form
        EXPECT_EQ(isValidUtf8(path), pathToUtf16(path) == utf8ToUtf16(path));
    }
    // 8E is no UTF-8; CA 90 happens to be U+0290; 5E is "^".
    EXPECT_EQ(pathToUtf16("\x8E\xCA\x90\x5E"), u"\xDC8E\x0290^");
    EXPECT_EQ(displayName("\x8E\xCA\x90\x5E.jpg"), "\\x8Eʐ^.jpg");
    EXPECT_EQ(displayName("写真.jpg"), "写真.jpg");
    // Lone surrogates that are no escape of a byte have no bytes of their own.
    EXPECT_EQ(pathFromUtf16(u"\xD800" u"a\xDC7F"), "\uFFFDa\uFFFD");
}
