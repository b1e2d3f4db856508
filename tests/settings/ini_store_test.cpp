#include "app/settings/ini_store.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace mirofoto;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(IniKeys, EscapingReplacesEveryEqualsSignAndBracket) {
    EXPECT_EQ(EscapeIniKey("a=b[c]d==[[]]"), "a:b<c>d::<<>>");
    EXPECT_EQ(EscapeIniKey("写真[1]=.jpg"), "写真<1>:.jpg");
    EXPECT_EQ(EscapeIniKey("plain"), "plain");
    EXPECT_EQ(EscapeIniKey(""), "");
}

TEST(IniKeys, AKeyWithEqualsAndBracketsIsStoredEscapedAndFoundBothWays) {
    TempDir dir;
    const std::string file = dir.str("s.ini");
    EXPECT_EQ(WriteIniValue("回転", "/p/a=b[1].jpg", "90", file), "1");
    EXPECT_NE(readBytes(file).find("/p/a:b<1>.jpg=90\r\n"), std::string::npos);
    EXPECT_EQ(ReadIniValue("回転", "/p/a=b[1].jpg", 512, file), "90");
    EXPECT_EQ(ReadIniValue("回転", "/p/a:b<1>.jpg", 512, file), "90");
}

TEST(IniKeys, SectionNamesAndValuesAreNotEscaped) {
    TempDir dir;
    const std::string file = dir.str("s.ini");
    EXPECT_EQ(WriteIniValue("a[b]=c", "k", "x=[y]", file), "1");
    EXPECT_EQ(readBytes(file), "[a[b]=c]\r\nk=x=[y]\r\n");
    EXPECT_EQ(ReadIniValue("a[b]=c", "k", 255, file), "x=[y]");
    EXPECT_EQ(ReadIniValue("a<b>:c", "k", 255, file), "");
}

TEST(IniStore, CutAtNulEndsTheTextAtItsFirstNul) {
    EXPECT_EQ(CutAtNul("abc\0def"s), "abc");
    EXPECT_EQ(CutAtNul("\0"s), "");
    EXPECT_EQ(CutAtNul("abc"), "abc");
    EXPECT_EQ(CutAtNul(""), "");
}

TEST(IniStore, AStoredNulEndsTheValueRead) {
    TempDir dir;
    const std::string file = dir.str("s.ini");
    writeBytes(file, "[A]\r\nk=ab\0cd\r\n"s);
    EXPECT_EQ(ReadIniValue("A", "k", 255, file), "ab");
    EXPECT_EQ(readWholeIniValue("A", "k", file), "ab");
}

TEST(IniStore, MissingFileSectionOrKeyReadAsEmpty) {
    TempDir dir;
    const std::string file = dir.str("s.ini");
    EXPECT_EQ(ReadIniValue("A", "k", 255, file), "");
    ASSERT_EQ(WriteIniValue("A", "k", "v", file), "1");
    EXPECT_EQ(ReadIniValue("B", "k", 255, file), "");
    EXPECT_EQ(ReadIniValue("A", "j", 255, file), "");
    EXPECT_EQ(ReadIniValue("a", "K", 255, file), "v");
}

TEST(IniStore, BufferSizesCountCp932Bytes) {
    TempDir dir;
    const std::string file = dir.str("s.ini");
    const std::string ascii(300, 'x');
    ASSERT_EQ(WriteIniValue("A", "ascii", ascii, file), "1");
    EXPECT_EQ(ReadIniValue("A", "ascii", 255, file), ascii.substr(0, 254));
    EXPECT_EQ(ReadIniValue("A", "ascii", 512, file), ascii);
    EXPECT_EQ(readWholeIniValue("A", "ascii", file), ascii);

    std::string japanese;
    for (int i = 0; i < 150; ++i) japanese += "あ";
    ASSERT_EQ(WriteIniValue("A", "ja", japanese, file), "1");
    const std::string cut = ReadIniValue("A", "ja", 255, file);
    EXPECT_EQ(cut, japanese.substr(0, 127 * 3));
    ASSERT_EQ(WriteIniValue("A", "odd", "x" + japanese, file), "1");
    EXPECT_EQ(ReadIniValue("A", "odd", 255, file), "x" + japanese.substr(0, 126 * 3));
}

TEST(IniStore, AWriteIntoAMissingFolderFailsAndLeavesNothing) {
    TempDir dir;
    EXPECT_EQ(WriteIniValue("A", "k", "v", dir.str("none/s.ini")), "0");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(IniStore, AValueWithALineBreakIsRefused) {
    TempDir dir;
    const std::string file = dir.str("s.ini");
    EXPECT_EQ(WriteIniValue("A", "k", "one\r\ntwo", file), "0");
    EXPECT_FALSE(fs::exists(file));
}
