#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace mirofoto;
using testing_support::readBytes;
using testing_support::ScriptedUi;
using testing_support::writeBytes;

namespace {

// A program folder, a documents folder and an album settings file to read.
class AlbumSettingsFile : public ::testing::Test {
protected:
    AlbumSettingsFile() : m_scope(m_ui) { m_ui.documents = "/home/u/Documents"; }

    std::string file() const { return m_home.path("album.mfs"); }
    void store(const std::string& section, const std::string& key, const std::string& value) {
        ASSERT_EQ(WriteIniValue(section, key, value, file()), "1");
    }
    void storeState(const std::string& key, const std::string& value) {
        ASSERT_EQ(WriteIniValue("ウインドウ状態", key, value, programStateFile()), "1");
    }
    AlbumSettings load(AlbumSettings start = {}) {
        基本設定読込(file(), start, m_placement);
        return start;
    }

    ProgramHome m_home;
    ScriptedUi m_ui;
    platform::ScopedUi m_scope;
    WindowPlacement m_placement;
};

std::vector<std::string> linesOf(const std::string& cp932) {
    std::vector<std::string> lines;
    std::istringstream in(platform::cp932ToUtf8(cp932));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

AlbumSettings unusualRecord() {
    AlbumSettings s = AlbumSettings::defaults();
    s.imageFolder = " /home/u/写真 ";
    s.outputFolder = "/srv/www/album/";
    s.columns = 999;
    s.thumbWidth = 800;
    s.thumbHeight = 1;
    s.thumbQuality = 100;
    s.largeWidth = 1024;
    s.largeHeight = 768;
    s.largeQuality = 1;
    s.thumbShowDate = 0;
    s.largeShowComment = 0;
    s.followOrientation = 0;
    s.pages[0].textColor = 0x00123456;
    s.pages[1].linkColor = s.pages[1].activeLinkColor = 0xFFFFFFFF;  // stored as -1
    s.pages[2].visitedLinkColor = 0;
    s.pages[2].useBackgroundColor = false;
    s.pages[2].backgroundImage = "/home/u/背景.png";
    s.pages[0].htmlAfterBodyStart = "<p>一行目</p>\r\n<p>二行目</p>";
    s.pages[1].htmlMiddle = "<hr>";
    s.pages[2].htmlBeforeBodyEnd = "\r\n";
    s.pageStyle = kModernPages;
    return s;
}

}  // namespace

TEST_F(AlbumSettingsFile, WithoutAnyFileEveryFieldGetsItsDefault) {
    const AlbumSettings s = load();
    AlbumSettings expected = AlbumSettings::defaults();
    expected.imageFolder = "/home/u/Documents";
    EXPECT_EQ(s, expected);
    EXPECT_EQ(s.pages[1].activeLinkColor, 16711680u);
    EXPECT_EQ(m_placement, WindowPlacement{});
}

TEST_F(AlbumSettingsFile, NumbersOutsideTheirRangeOrNotNumbersGiveTheDefault) {
    struct Case {
        const char* stored;
        std::int16_t columns;
    };
    const Case cases[] = {
        {"0", 4},      {"1000", 4},  {"abc", 4},   {"", 4},     {"999", 999}, {"1", 1},
        {" 12 ", 12},  {"2.5", 2},   {"3.5", 4},   {"1e2", 100}, {"-5", 4},    {"40000", 4},
        {"&H10", 4},   {"12abc", 4}, {"inf", 4},   {"+7", 7},
    };
    for (const Case& c : cases) {
        store("オプション", "列数", c.stored);
        EXPECT_EQ(load().columns, c.columns) << "stored: \"" << c.stored << "\"";
    }
}

TEST_F(AlbumSettingsFile, EachSizeAndQualityHasItsOwnRange) {
    store("オプション", "サムネイル横", "800");
    store("オプション", "サムネイル縦", "601");
    store("オプション", "サムネイル画質", "101");
    store("オプション", "拡大画像横", "1024");
    store("オプション", "拡大画像縦", "769");
    store("オプション", "拡大画像画質", "100");
    const AlbumSettings s = load();
    EXPECT_EQ(s.thumbWidth, 800);
    EXPECT_EQ(s.thumbHeight, 90);
    EXPECT_EQ(s.thumbQuality, 60);
    EXPECT_EQ(s.largeWidth, 1024);
    EXPECT_EQ(s.largeHeight, 360);
    EXPECT_EQ(s.largeQuality, 100);
}

TEST_F(AlbumSettingsFile, AMissingSizeKeepsTheCurrentValueButAMissingColourIsReset) {
    store("オプション", "文字色0", "1");
    AlbumSettings current = AlbumSettings::defaults();
    current.thumbWidth = 200;
    current.pages[1].textColor = 42;
    current.pages[0].textColor = 42;
    const AlbumSettings s = load(current);
    EXPECT_EQ(s.thumbWidth, 200);
    EXPECT_EQ(s.pages[1].textColor, 8388608u);
    EXPECT_EQ(s.pages[0].textColor, 1u);
}

TEST_F(AlbumSettingsFile, ColoursAreSigned32BitNumbers) {
    store("オプション", "文字色0", "-1");
    store("オプション", "リンク色0", "1.5");
    store("オプション", "リンク色Visited0", "99999999999");
    store("オプション", "背景色0", "green");
    store("オプション", "リンク色1", "2147483647");
    const AlbumSettings s = load();
    EXPECT_EQ(s.pages[0].textColor, 0xFFFFFFFFu);
    EXPECT_EQ(s.pages[0].linkColor, 2u);
    EXPECT_EQ(s.pages[0].activeLinkColor, 2u);
    EXPECT_EQ(s.pages[0].visitedLinkColor, 255u);
    EXPECT_EQ(s.pages[0].backgroundColor, 12648384u);
    EXPECT_EQ(s.pages[1].linkColor, 2147483647u);
}

TEST_F(AlbumSettingsFile, OnlyTrueOrNothingChoosesTheBackgroundColour) {
    store("オプション", "背景色選択0", "true");
    store("オプション", "背景色選択1", "True");
    store("オプション", "背景色選択2", "False");
    AlbumSettings s = load();
    EXPECT_FALSE(s.pages[0].useBackgroundColor);
    EXPECT_TRUE(s.pages[1].useBackgroundColor);
    EXPECT_FALSE(s.pages[2].useBackgroundColor);
    store("オプション", "背景色選択2", "");
    EXPECT_TRUE(load().pages[2].useBackgroundColor);
}

TEST_F(AlbumSettingsFile, CaptionFlagsOtherThanZeroOrOneReadAsOne) {
    store("オプション", "サムネイルファイル名", "2");
    store("オプション", "サムネイル撮影日時", "0");
    store("オプション", "拡大画像コメント", "no");
    const AlbumSettings s = load();
    EXPECT_EQ(s.thumbShowFileName, 1);
    EXPECT_EQ(s.thumbShowDate, 0);
    EXPECT_EQ(s.largeShowComment, 1);
}

TEST_F(AlbumSettingsFile, FollowingTheOrientationIsOnUnlessExactlyZeroIsStored) {
    EXPECT_EQ(load().followOrientation, 1);  // no file
    for (const auto& [stored, read] : std::vector<std::pair<std::string, int>>{
             {"0", 0}, {"1", 1}, {"", 1}, {"2", 1}, {"off", 1}, {" 0", 1}}) {
        store("オプション", "EXIF回転", stored);
        EXPECT_EQ(load().followOrientation, read) << "\"" << stored << "\"";
    }
    AlbumSettings s = AlbumSettings::defaults();
    s.followOrientation = 0;
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    EXPECT_EQ(readWholeIniValue("オプション", "EXIF回転", file()), "0");
    EXPECT_EQ(load(AlbumSettings::defaults()).followOrientation, 0);
}

TEST_F(AlbumSettingsFile, HtmlBlocksStoreLineBreaksAsCrlfMarkers) {
    AlbumSettings s = AlbumSettings::defaults();
    s.pages[0].htmlAfterBodyStart = "<p>a</p>\r\n<p>b</p>";
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    const std::vector<std::string> lines = linesOf(readBytes(file()));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "HTML10=<p>a</p><CRLF><p>b</p>"), lines.end());
    EXPECT_EQ(load().pages[0].htmlAfterBodyStart, "<p>a</p>\r\n<p>b</p>");

    // A block that holds the marker text itself gets a line break there.
    store("オプション", "HTML21", "x<CRLF>y<crlf>");
    EXPECT_EQ(load().pages[1].htmlMiddle, "x\r\ny<crlf>");
}

TEST_F(AlbumSettingsFile, LoneLineBreaksInABlockCannotSplitTheStoredLine) {
    AlbumSettings s = AlbumSettings::defaults();
    s.pages[2].htmlBeforeBodyEnd = "a\nb\rc";
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    EXPECT_EQ(readWholeIniValue("オプション", "HTML32", file()), "a<CRLF>b<CRLF>c");
    EXPECT_EQ(load().pages[2].htmlBeforeBodyEnd, "a\r\nb\r\nc");
}

TEST_F(AlbumSettingsFile, LongHtmlBlocksComeBackWhole) {
    AlbumSettings s = AlbumSettings::defaults();
    std::string html;
    for (int i = 0; i < 60; ++i) html += "<p>段落" + std::to_string(i) + "</p>\r\n";
    ASSERT_GT(platform::cp932Width(encodeHtmlBlock(html)), 254u);
    s.pages[1].htmlAfterBodyStart = html;
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    AlbumSettings back = load();
    EXPECT_EQ(back.pages[1].htmlAfterBodyStart, html);
    // Saved again and read again: nothing was cut on the way.
    ASSERT_TRUE(基本設定保存(file(), back, m_placement));
    EXPECT_EQ(load().pages[1].htmlAfterBodyStart, html);
}

TEST_F(AlbumSettingsFile, ASavedRecordLoadsBackUnchanged) {
    const AlbumSettings s = unusualRecord();
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    EXPECT_EQ(load(), s);
    EXPECT_EQ(readWholeIniValue("オプション", "リンク色1", file()), "-1");
    EXPECT_EQ(readWholeIniValue("設定", "画像フォルダ", file()), " /home/u/写真 ");  // as the box holds it
}

TEST_F(AlbumSettingsFile, AnImageFolderCp932CannotCarryIsKeptAsIs) {
    AlbumSettings s = AlbumSettings::defaults();
    s.imageFolder = "/home/u/Café/";
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    EXPECT_EQ(readBytes(file()).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(load().imageFolder, "/home/u/Café/");
}

TEST_F(AlbumSettingsFile, WindowStateAndPlacement) {
    storeState("WindowState", "1");  // closed while minimized
    storeState("Top", "120");
    storeState("Left", "1.5e3");
    storeState("Height", "tall");
    m_placement.height = 7000;
    load();
    EXPECT_EQ(m_placement.windowState, 0);
    EXPECT_EQ(m_placement.top, 120.0f);
    EXPECT_EQ(m_placement.left, 1500.0f);
    EXPECT_EQ(m_placement.height, 7000.0f);

    storeState("WindowState", "2");
    storeState("Top", "999");
    load();
    EXPECT_EQ(m_placement.windowState, 2);
    EXPECT_EQ(m_placement.top, 120.0f);  // a maximized window keeps its placement
}

TEST_F(AlbumSettingsFile, PlacementIsStoredAsSingleNumbers) {
    m_placement = {2, 1234.5f, -15.0f, 6000.0f, 9000.25f};
    ASSERT_TRUE(基本設定保存(file(), AlbumSettings::defaults(), m_placement));
    EXPECT_EQ(readBytes(programStateFile()),
              platform::utf8ToCp932("[ウインドウ状態]\r\nWindowState=2\r\nTop=1234.5\r\nLeft=-15\r\n"
                                    "Height=6000\r\nWidth=9000.25\r\n")
                  .value());
}

TEST_F(AlbumSettingsFile, LoadingReadsFortyNineValuesAndSavingWritesFortyNine) {
    const AlbumSettings s = unusualRecord();
    const platform::ProfileCounters before = platform::profileCounters();
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    const platform::ProfileCounters saved = platform::profileCounters();
    load();
    const platform::ProfileCounters loaded = platform::profileCounters();
    EXPECT_EQ(saved.writes - before.writes, 49u);
    EXPECT_EQ(saved.reads - before.reads, 0u);
    EXPECT_EQ(loaded.reads - saved.reads, 49u);
    EXPECT_EQ(loaded.writes - saved.writes, 0u);
}

TEST_F(AlbumSettingsFile, SavingWritesEveryKeyInItsOrder) {
    ASSERT_TRUE(基本設定保存(file(), AlbumSettings::defaults(), m_placement));
    std::vector<std::string> expected = {"[設定]", "画像フォルダ=", "HTML出力先=", "[オプション]",
                                         "列数=4", "サムネイル横=120", "サムネイル縦=90", "サムネイル画質=60",
                                         "拡大画像横=480", "拡大画像縦=360", "拡大画像画質=90"};
    for (int p = 0; p < 3; ++p) {
        const std::string d = std::to_string(p);
        for (const std::string& line : {"文字色" + d + "=8388608", "リンク色" + d + "=16711680",
                                        "リンク色Visited" + d + "=255", "背景色選択" + d + "=True",
                                        "背景色" + d + "=12648384", "背景画像" + d + "="})
            expected.push_back(line);
    }
    for (const char* flag : {"サムネイルファイル名", "サムネイル撮影日時", "サムネイルコメント", "拡大画像ファイル名",
                             "拡大画像撮影日時", "拡大画像コメント"})
        expected.push_back(std::string(flag) + "=1");
    expected.push_back("EXIF回転=1");
    for (int p = 0; p < 3; ++p)
        for (int b = 1; b <= 3; ++b) expected.push_back("HTML" + std::to_string(b) + std::to_string(p) + "=");
    expected.push_back("ページ形式=0");
    EXPECT_EQ(linesOf(readBytes(file())), expected);
}

TEST_F(AlbumSettingsFile, PageStyleIsModernOnlyForTheTextOne) {
    const struct {
        const char* stored;
        std::int16_t style;
    } cases[] = {{"1", kModernPages}, {"0", kClassicPages}, {"", kClassicPages},
                 {"2", kClassicPages}, {"01", kClassicPages}, {"modern", kClassicPages}};
    for (const auto& c : cases) {
        store("オプション", "ページ形式", c.stored);
        EXPECT_EQ(load().pageStyle, c.style) << '"' << c.stored << '"';
    }
    // Saved and read back, a modern record stays modern.
    AlbumSettings s = AlbumSettings::defaults();
    s.pageStyle = kModernPages;
    ASSERT_TRUE(基本設定保存(file(), s, m_placement));
    EXPECT_EQ(readWholeIniValue("オプション", "ページ形式", file()), "1");
    EXPECT_EQ(load().pageStyle, kModernPages);
}
