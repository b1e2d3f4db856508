#include "platform/ini.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using testing_support::hex;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// CP932 forms of the names used below.
const std::string kSettingsCp = "\x90\xDD\x92\xE8";                                  // 設定
const std::string kImageFolderCp = "\x89\xE6\x91\x9C\x83\x74\x83\x48\x83\x8B\x83\x5F";  // 画像フォルダ
const std::string kPhotoCp = "\x8E\xCA\x90\x5E";                                     // 写真

std::string utf16le(std::u16string_view s) {
    std::string out;
    for (char16_t u : s) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(IniLayout, FirstWriteCreatesACp932FileWithCrLfLines) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    ASSERT_TRUE(writeProfileString("設定", "画像フォルダ", "/home/u/写真/", file));
    const std::string expected = "[" + kSettingsCp + "]\r\n" + kImageFolderCp + "=/home/u/" + kPhotoCp + "/\r\n";
    EXPECT_EQ(hex(readBytes(file)), hex(expected));
    EXPECT_EQ(readProfileValue("設定", "画像フォルダ", file), "/home/u/写真/");
}

TEST(IniLayout, NewKeysJoinTheirSectionAndNewSectionsGoAtTheEnd) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    ASSERT_TRUE(writeProfileString("A", "one", "1", file));
    ASSERT_TRUE(writeProfileString("B", "two", "2", file));
    ASSERT_TRUE(writeProfileString("A", "three", "3", file));
    EXPECT_EQ(readBytes(file), "[A]\r\none=1\r\nthree=3\r\n[B]\r\ntwo=2\r\n");
}

TEST(IniLayout, NewKeyGoesAfterTheSectionsLastNonBlankLine) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "[A]\r\none=1\r\n; note\r\n\r\n[B]\r\nx=y\r\n");
    ASSERT_TRUE(writeProfileString("A", "two", "2", file));
    EXPECT_EQ(readBytes(file), "[A]\r\none=1\r\n; note\r\ntwo=2\r\n\r\n[B]\r\nx=y\r\n");
}

TEST(IniLayout, AppendingToAFileWithoutFinalLineEndEndsItsLastLineFirst) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "[A]\r\none=1");
    ASSERT_TRUE(writeProfileString("A", "two", "2", file));
    ASSERT_TRUE(writeProfileString("B", "x", "y", file));
    EXPECT_EQ(readBytes(file), "[A]\r\none=1\r\ntwo=2\r\n[B]\r\nx=y\r\n");
}

TEST(IniReplace, ChangesOnlyTheValueAndKeepsEveryOtherByte) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    const std::string before =
        "; top comment\r\n"
        "\r\n"
        "[Options]\n"                 // a lone LF line end
        "  Width = 120\r\n"           // blanks around the key, one after "="
        "odd line without equals\r"   // a lone CR line end
        "Height=90\r\n"
        "\t\r\n"
        "[Other]\r\n"
        "Width=7\r\n";
    writeBytes(file, before);
    ASSERT_TRUE(writeProfileString("OPTIONS", "width", "640", file));
    std::string expected = before;
    expected.replace(expected.find("  Width = 120"), 13, "  Width =640");
    EXPECT_EQ(readBytes(file), expected);
    EXPECT_EQ(readProfileValue("Other", "Width", file), "7");
}

TEST(IniReplace, WritingTheSameValueLeavesTheFileAlone) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "[A]\nk=v\n");
    ASSERT_TRUE(writeProfileString("A", "k", "v", file));
    EXPECT_EQ(readBytes(file), "[A]\nk=v\n");
}

TEST(IniRead, MissingFileSectionOrKeyGiveNothingAndTheDefault) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    EXPECT_EQ(readProfileValue("A", "k", file), std::nullopt);
    EXPECT_EQ(readProfileString("A", "k", "fallback", 255, file), "fallback");
    writeBytes(file, "[A]\r\nk=v\r\n");
    EXPECT_EQ(readProfileValue("B", "k", file), std::nullopt);
    EXPECT_EQ(readProfileValue("A", "j", file), std::nullopt);
    EXPECT_EQ(readProfileValue("A", "k", dir.str("missing/a.ini")), std::nullopt);
    EXPECT_EQ(readProfileValue("A", "k", dir.str()), std::nullopt);  // a folder
    EXPECT_EQ(readProfileValue("A", "k", ""), std::nullopt);
}

TEST(IniRead, ValuesComeBackExactlyAsWritten) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    for (const std::string value : {"  spaced  ", "\"quoted\"", "a=b=c", "", "; not a comment", "[x]"}) {
        ASSERT_TRUE(writeProfileString("S", "k", value, file)) << value;
        EXPECT_EQ(readProfileValue("S", "k", file), value);
    }
}

TEST(IniRead, NamesMatchWithAsciiCaseIgnoredAndEverythingElseExact) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    ASSERT_TRUE(writeProfileString("Window", "Top", "1", file));
    EXPECT_EQ(readProfileValue("WINDOW", "top", file), "1");
    EXPECT_EQ(readProfileValue(" window ", " TOP\t", file), "1");  // surrounding blanks trimmed

    // Full-width letters are not ASCII: no folding.
    ASSERT_TRUE(writeProfileString("S", "Ａ", "full", file));
    EXPECT_EQ(readProfileValue("S", "ａ", file), std::nullopt);

    // ア is 83 41 and ヂ is 83 61 in CP932: their second bytes look like
    // "A" and "a", yet they are different characters.
    ASSERT_TRUE(writeProfileString("S", "ア", "a", file));
    EXPECT_EQ(readProfileValue("S", "ヂ", file), std::nullopt);
    EXPECT_EQ(readProfileValue("s", "ア", file), "a");
}

TEST(IniRead, BracketBytesInsideDoubleByteCharactersDoNotEndAHeader) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    // "[a]‐" where ‐ is 81 5D: its second byte is "]".
    writeBytes(file, "[a]\x81\x5D\r\nk=v\r\n[\x83\x5D]\r\nk=w\r\n");  // the second header is [ゾ]
    EXPECT_EQ(readProfileValue("a", "k", file), "v");
    EXPECT_EQ(readProfileValue("ゾ", "k", file), "w");
    ASSERT_TRUE(writeProfileString("ゾ", "k", "x", file));
    EXPECT_EQ(readProfileValue("ゾ", "k", file), "x");
    EXPECT_EQ(readProfileValue("a", "k", file), "v");
}

TEST(IniRead, SectionNamesMayHoldBrackets) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    ASSERT_TRUE(writeProfileString("a]b[c", "k", "1", file));
    ASSERT_TRUE(writeProfileString("a]b[c", "k", "2", file));
    EXPECT_EQ(readBytes(file), "[a]b[c]\r\nk=2\r\n");
    EXPECT_EQ(readProfileValue("a]b[c", "k", file), "2");
    EXPECT_EQ(readProfileValue("a", "k", file), std::nullopt);
}

TEST(IniRead, DuplicateSectionsAreSearchedInOrderAndTheFirstTakesNewKeys) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[A]\r\nz=3\r\nx=9\r\n");
    EXPECT_EQ(readProfileValue("A", "x", file), "1");
    EXPECT_EQ(readProfileValue("A", "z", file), "3");
    ASSERT_TRUE(writeProfileString("A", "z", "4", file));
    ASSERT_TRUE(writeProfileString("A", "w", "5", file));
    EXPECT_EQ(readBytes(file), "[A]\r\nx=1\r\nw=5\r\n[B]\r\ny=2\r\n[A]\r\nz=4\r\nx=9\r\n");
}

TEST(IniGarbage, UnparsableInputReadsAsDefaultsAndSurvivesARewrite) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    std::string garbage;
    garbage += "orphan=before any section\r\n";
    garbage += "\x00\x01\xFF\xFE binary\x00=\x81\r\n"s;
    garbage += "[broken header\r\n";
    garbage += "k=after broken header\r\n";
    garbage += "[S]\r\n";
    garbage += std::string(1 << 20, 'x') + "\r\n";  // a 1 MB line without "="
    garbage += "line without equals\n\r";
    garbage += "k=v\rlone=cr\n";
    garbage += "\x82";  // a lone lead byte at the very end
    writeBytes(file, garbage);

    EXPECT_EQ(readProfileValue("S", "orphan", file), std::nullopt);
    EXPECT_EQ(readProfileValue("S", "k", file), "v");
    EXPECT_EQ(readProfileValue("S", "lone", file), "cr");
    EXPECT_EQ(readProfileValue("broken header", "k", file), std::nullopt);
    EXPECT_EQ(readProfileValue("S", "missing", file), std::nullopt);

    ASSERT_TRUE(writeProfileString("S", "lone", "LF", file));
    ASSERT_TRUE(writeProfileString("T", "new", "1", file));
    std::string expected = garbage;
    expected.replace(expected.find("lone=cr"), 7, "lone=LF");
    expected += "\r\n[T]\r\nnew=1\r\n";
    EXPECT_EQ(readBytes(file), expected);
}

TEST(IniGarbage, EmptyAndNulOnlyFilesReadAsMissingValues) {
    TempDir dir;
    writeBytes(dir / "empty.ini", "");
    writeBytes(dir / "nul.ini", std::string(64, '\0'));
    EXPECT_EQ(readProfileValue("A", "k", dir.str("empty.ini")), std::nullopt);
    EXPECT_EQ(readProfileValue("A", "k", dir.str("nul.ini")), std::nullopt);
    ASSERT_TRUE(writeProfileString("A", "k", "v", dir.str("empty.ini")));
    EXPECT_EQ(readBytes(dir / "empty.ini"), "[A]\r\nk=v\r\n");
}

TEST(IniWrite, LineBreaksAndKeysThatWouldBreakTheFormatAreRefused) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "[A]\r\nk=v\r\n");
    EXPECT_FALSE(writeProfileString("A", "k", "x\r\n[B]\r\ny=z", file));
    EXPECT_FALSE(writeProfileString("A", "k", "x\ny", file));
    EXPECT_FALSE(writeProfileString("A\r\n", "k", "x", file));
    EXPECT_FALSE(writeProfileString("A", "k\n", "x", file));
    EXPECT_FALSE(writeProfileString("A", "a=b", "x", file));
    EXPECT_FALSE(writeProfileString("A", " [k", "x", file));
    EXPECT_EQ(readBytes(file), "[A]\r\nk=v\r\n");
}

TEST(IniWrite, ManyKeysInOneRewriteEqualTheSingleWritesAndRefuseAsAWhole) {
    TempDir dir;
    const std::string one = dir.str("one.ini"), many = dir.str("many.ini");
    const std::string start = "[A]\r\nk=v\r\n[B]\r\nx=1\r\n";
    writeBytes(one, start);
    writeBytes(many, start);
    const std::vector<std::pair<std::string, std::string>> values = {
        {"k", "w"}, {"新", "写真"}, {"k", "last"}, {"z", ""}};
    for (const auto& [key, value] : values) ASSERT_TRUE(writeProfileString("A", key, value, one));
    ASSERT_TRUE(writeProfileStrings("A", values, many));
    EXPECT_EQ(hex(readBytes(many)), hex(readBytes(one)));
    EXPECT_EQ(readProfileValue("A", "k", many), "last");

    // One bad value leaves every key as it was.
    const std::string before = readBytes(many);
    EXPECT_FALSE(writeProfileStrings("A", {{"k", "fine"}, {"j", "x\ny"}}, many));
    EXPECT_EQ(readBytes(many), before);
    EXPECT_TRUE(writeProfileStrings("A", {}, dir.str("missing/a.ini")));
    EXPECT_FALSE(writeProfileStrings("A", {{"k", "v"}}, dir.str("missing/a.ini")));
}

TEST(IniWrite, AMissingFolderLeavesNothingBehind) {
    TempDir dir;
    EXPECT_FALSE(writeProfileString("A", "k", "v", dir.str("missing/a.ini")));
    EXPECT_FALSE(fs::exists(dir / "missing"));
    // A file standing where the folder must be.
    writeBytes(dir / "plain", "x");
    EXPECT_FALSE(writeProfileString("A", "k", "v", dir.str("plain/a.ini")));
    // A folder standing where the file must be.
    fs::create_directory(dir / "folder.ini");
    EXPECT_FALSE(writeProfileString("A", "k", "v", dir.str("folder.ini")));
    EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"folder.ini", "plain"}));
}

TEST(IniWrite, ARewriteKeepsPermissionsAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "[A]\r\nk=v\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(writeProfileString("A", "k", "w", file));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"a.ini"});
}

TEST(IniWrite, AReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write any file; the refusal cannot be seen";
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "[A]\r\nk=v\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(writeProfileString("A", "k", "w", file));
    EXPECT_EQ(readBytes(file), "[A]\r\nk=v\r\n");
}

TEST(IniWrite, WritingThroughASymbolicLinkUpdatesItsTarget) {
    TempDir dir;
    writeBytes(dir / "real.ini", "[A]\r\nk=v\r\n");
    fs::create_symlink("real.ini", dir / "link.ini");
    ASSERT_TRUE(writeProfileString("A", "k", "w", dir.str("link.ini")));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(readBytes(dir / "real.ini"), "[A]\r\nk=w\r\n");
}

TEST(IniUnicode, TextCp932CannotCarryMakesTheFileUtf16WithAByteOrderMark) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    ASSERT_TRUE(writeProfileString("A", "k", "café", file));
    EXPECT_EQ(hex(readBytes(file)), hex("\xFF\xFE" + utf16le(u"[A]\r\nk=café\r\n")));
    EXPECT_EQ(readProfileValue("A", "k", file), "café");
    // An ASCII value later does not turn the file back.
    ASSERT_TRUE(writeProfileString("A", "k2", "plain", file));
    EXPECT_EQ(readBytes(file), "\xFF\xFE" + utf16le(u"[A]\r\nk=café\r\nk2=plain\r\n"));
}

TEST(IniUnicode, AnExistingCp932FileIsConvertedWithAllItsLines) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "; comment\r\n[" + kSettingsCp + "]\r\nk=" + kPhotoCp + "\n\r\n");
    ASSERT_TRUE(writeProfileString("設定", "😀", "♪é", file));
    EXPECT_EQ(readBytes(file), "\xFF\xFE" + utf16le(u"; comment\r\n[設定]\r\nk=写真\n😀=♪é\r\n\r\n"));
    EXPECT_EQ(readProfileValue("設定", "k", file), "写真");
    EXPECT_EQ(readProfileValue("設定", "😀", file), "♪é");
}

TEST(IniUnicode, TheYenSignIsNotTurnedIntoABackslash) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    ASSERT_TRUE(writeProfileString("A", "price", "¥100", file));
    EXPECT_EQ(readBytes(file).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(readProfileValue("A", "price", file), "¥100");
}

TEST(IniUnicode, Utf16FilesWrittenElsewhereAreReadAndKeepTheirOddBytes) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    // LF line ends, a lone surrogate in a comment, an odd last byte.
    const std::string before = "\xFF\xFE" + utf16le(u"[Sec]\nKey=値\n;\xD800\n") + "\x41";
    writeBytes(file, before);
    EXPECT_EQ(readProfileValue("sec", "key", file), "値");
    ASSERT_TRUE(writeProfileString("Sec", "Key", "v", file));
    EXPECT_EQ(readBytes(file), "\xFF\xFE" + utf16le(u"[Sec]\nKey=v\n;\xD800\n") + "\x41");
}

TEST(IniUnicode, Utf16BigEndianFilesAreReadAndStayBigEndian) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    auto utf16be = [](std::u16string_view text) {
        std::string le = utf16le(text);
        for (std::size_t i = 0; i + 1 < le.size(); i += 2) std::swap(le[i], le[i + 1]);
        return le;
    };
    writeBytes(file, "\xFE\xFF" + utf16be(u"[チェック]\r\n旅行=False\r\n旅行/駅.jpg=0\r\n"));
    EXPECT_EQ(readProfileValue("チェック", "旅行", file), "False");
    EXPECT_EQ(readProfileValue("チェック", "旅行/駅.jpg", file), "0");
    ASSERT_TRUE(writeProfileString("チェック", "旅行", "True", file));
    ASSERT_TRUE(writeProfileString("回転", "/p/é.jpg", "90", file));
    EXPECT_EQ(hex(readBytes(file)),
              hex("\xFE\xFF" + utf16be(u"[チェック]\r\n旅行=True\r\n旅行/駅.jpg=0\r\n[回転]\r\n/p/é.jpg=90\r\n")));
}

TEST(IniWrite, AFileThatStartsAsAJpegIsNeverWrittenInto) {
    TempDir dir;
    const std::string photo = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00 and the rest of a picture\xFF\xD9"s;
    writeBytes(dir / "photo.jpg", photo);
    fs::create_symlink("photo.jpg", dir / "settings.ini");
    for (const char* name : {"settings.ini", "photo.jpg"}) {
        SCOPED_TRACE(name);
        errno = 0;
        EXPECT_FALSE(writeProfileString("チェック", "旅行", "False", dir.str(name)));
        EXPECT_EQ(errno, EINVAL);
        EXPECT_FALSE(writeProfileStrings("チェック", {{"a", "1"}, {"b", "2"}}, dir.str(name)));
    }
    EXPECT_EQ(readBytes(dir / "photo.jpg"), photo);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"photo.jpg", "settings.ini"}));
}

TEST(IniUnicode, Utf8FilesWithAByteOrderMarkStayUtf8) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    writeBytes(file, "\xEF\xBB\xBF[設定]\r\nk=写真\r\n");
    EXPECT_EQ(readProfileValue("設定", "k", file), "写真");
    ASSERT_TRUE(writeProfileString("設定", "é", "😀", file));
    EXPECT_EQ(readBytes(file), "\xEF\xBB\xBF[設定]\r\nk=写真\r\né=😀\r\n");
}

TEST(IniBuffer, ReadsAreCutToTheBufferInCp932BytesNeverInsideACharacter) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    const std::string ascii(300, 'a');
    ASSERT_TRUE(writeProfileString("A", "ascii", ascii, file));
    EXPECT_EQ(readProfileString("A", "ascii", "", 255, file), std::string(254, 'a'));
    EXPECT_EQ(readProfileString("A", "ascii", "", 512, file), ascii);

    std::string japanese;
    for (int i = 0; i < 200; ++i) japanese += "写";
    ASSERT_TRUE(writeProfileString("A", "ja", japanese, file));
    const std::string cut = readProfileString("A", "ja", "", 255, file);
    EXPECT_EQ(cut.size(), 127u * 3);  // 127 characters, 254 CP932 bytes
    // One ASCII byte first: 253 bytes left for pairs, so 126 of them.
    ASSERT_TRUE(writeProfileString("A", "mixed", "a" + japanese, file));
    EXPECT_EQ(readProfileString("A", "mixed", "", 255, file), "a" + japanese.substr(0, 126 * 3));
    // Half-width katakana take one byte each.
    ASSERT_TRUE(writeProfileString("A", "kana", "ｱｲｳｴｵ", file));
    EXPECT_EQ(readProfileString("A", "kana", "", 4, file), "ｱｲｳ");
    // No room at all.
    EXPECT_EQ(readProfileString("A", "ascii", "", 1, file), "");
    EXPECT_EQ(readProfileString("A", "ascii", "", 0, file), "");
    EXPECT_EQ(readProfileString("A", "none", "defaultvalue", 5, file), "defa");
    EXPECT_EQ(cp932Width("a写ｱé"), 6u);
}

namespace {

struct RecordingObserver final : ProfileObserver {
    std::vector<std::string> seen;
    void onProfileAccess(ProfileAccess access, std::string_view section, std::string_view key,
                         std::string_view) override {
        seen.push_back(std::string(access == ProfileAccess::Read ? "R " : "W ") + std::string(section) + "/" +
                       std::string(key));
    }
};

}  // namespace

TEST(IniCounters, EveryReadAndWriteIsCountedAndObserved) {
    TempDir dir;
    const std::string file = dir.str("a.ini");
    RecordingObserver observer;
    ProfileObserver* previous = setProfileObserver(&observer);
    const ProfileCounters before = profileCounters();
    writeProfileString("A", "k", "v", file);
    writeProfileString("A", "k", "v\n", file);  // refused, still an access
    readProfileValue("A", "k", file);
    readProfileString("A", "x", "", 10, dir.str("missing.ini"));
    const ProfileCounters after = profileCounters();
    setProfileObserver(previous);
    EXPECT_EQ(after.reads - before.reads, 2u);
    EXPECT_EQ(after.writes - before.writes, 2u);
    EXPECT_EQ(observer.seen, (std::vector<std::string>{"W A/k", "W A/k", "R A/k", "R A/x"}));
}
