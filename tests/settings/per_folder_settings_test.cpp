#include "app/settings/ini_store.h"
#include "app/settings/per_folder_settings.h"
#include "app/settings/settings_files.h"
#include "platform/codepage.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace mirofoto;
using testing_support::readBytes;
namespace fs = std::filesystem;

TEST(SettingsLocations, FilesLieInTheProgramFolder) {
    ProgramHome home;
    EXPECT_EQ(baseSettingsFile(), home.path("ミロフォト.ini"));
    EXPECT_EQ(programStateFile(), home.path("設定.ini"));
    EXPECT_EQ(perFolderSettingsFolder("/home/u/Photos/"), home.path("設定/￥home￥u￥Photos￥/"));
    EXPECT_EQ(perFolderSettingsFile("/home/u/Photos"), home.path("設定/￥home￥u￥Photos￥/設定.ini"));
    EXPECT_EQ(perFolderSettingsFolder("   "), "");
    EXPECT_EQ(perFolderSettingsFile(""), "");
}

TEST(SettingsLocations, TheFolderNameReplacesColonsAndSlashes) {
    EXPECT_EQ(perFolderSettingsFolderName("/"), "￥");
    EXPECT_EQ(perFolderSettingsFolderName("  /mnt/c:/写真  "), "￥mnt￥c：￥写真￥");
    EXPECT_EQ(imageFolderPath("  /a/b  "), "/a/b/");
    EXPECT_EQ(imageFolderPath("/a/b/"), "/a/b/");
    EXPECT_EQ(imageFolderPath(""), "");
    // Paths that differ only in ":" and "：" or "/" and "￥" share a folder.
    EXPECT_EQ(perFolderSettingsFolderName("/x:y/"), perFolderSettingsFolderName("/x：y/"));
    EXPECT_EQ(perFolderSettingsFolderName("/x/y/"), perFolderSettingsFolderName("/x￥y/"));
}

TEST(SettingsLocations, ANameTooLongForTheFileSystemIsShortenedWithAStableHash) {
    const std::string folder = "/" + std::string(300, 'a') + "/";
    const std::string name = perFolderSettingsFolderName(folder);
    // FNV-1a (64 bits) of "￥aaa…a￥": the same on every machine and run.
    EXPECT_EQ(name, "￥" + std::string(235, 'a') + "~fb92acdc0c9cf3ab");
    EXPECT_EQ(name.size(), 255u);
    EXPECT_NE(perFolderSettingsFolderName("/" + std::string(300, 'a') + "b/"), name);

    std::string japanese = "/";
    for (int i = 0; i < 100; ++i) japanese += "写";
    // 238 bytes are left for the name's start: "￥" and 78 whole characters
    // (234 bytes); the 79th would be cut in half, so it goes.
    std::string expected = "￥";
    for (int i = 0; i < 78; ++i) expected += "写";
    EXPECT_EQ(perFolderSettingsFolderName(japanese), expected + "~284d8c512b6f0aef");
    // Names that fit keep their usual form exactly.
    const std::string fits = "/" + std::string(249, 'b') + "/";  // 3 + 249 + 3 = 255 bytes
    EXPECT_EQ(perFolderSettingsFolderName(fits), "￥" + std::string(249, 'b') + "￥");
}

TEST(SettingsLocations, TicksOfAFolderWithAVeryLongPathCanBeStored) {
    ProgramHome home;
    const PerFolderSettings settings("/" + std::string(200, 'x') + "/" + std::string(200, 'y') + "/");
    ASSERT_TRUE(settings.setAlbumTicked("y", false));
    EXPECT_FALSE(settings.albumTicked("y"));
    EXPECT_TRUE(fs::exists(fs::path(settings.file())));
}

TEST(TurnArithmetic, QuarterTurnsWrapAround) {
    EXPECT_EQ(turnedLeft(0), 270);
    EXPECT_EQ(turnedRight(270), 0);
    EXPECT_EQ(turnedRight(0), 90);
    EXPECT_EQ(turnedLeft(90), 0);
    EXPECT_EQ(turnedRight(45), 90);  // an unknown angle counts as 0
    EXPECT_EQ(turnFromStored("180"), 180);
    EXPECT_EQ(turnFromStored(" 90"), 0);
    EXPECT_EQ(turnFromStored("360"), 0);
    EXPECT_EQ(turnFromStored(""), 0);
}

class PerFolder : public ::testing::Test {
protected:
    ProgramHome m_home;
    PerFolderSettings m_settings{"/home/u/Photos"};
};

TEST_F(PerFolder, AlbumTicksDefaultToTickedAndWritingMakesTheFolder) {
    EXPECT_TRUE(m_settings.albumTicked("2004"));
    EXPECT_FALSE(fs::exists(fs::path(m_settings.folder())));
    ASSERT_TRUE(m_settings.setAlbumTicked("2004", false));
    EXPECT_TRUE(fs::is_directory(fs::path(m_settings.folder())));
    EXPECT_FALSE(m_settings.albumTicked("2004"));
    ASSERT_EQ(WriteIniValue("チェック", "2005", "yes", m_settings.file()), "1");
    EXPECT_FALSE(m_settings.albumTicked("2005"));  // any other stored text clears it
    ASSERT_TRUE(m_settings.setAlbumTicked("/home/u/Photos/", true));
    EXPECT_TRUE(m_settings.albumTicked("/home/u/Photos/"));
    EXPECT_EQ(ReadIniValue("チェック", "/home/u/Photos/", 512, m_settings.file()), "True");
}

TEST_F(PerFolder, ImageTicksAreReadDifferentlyByThePageAndTheAlbumRun) {
    EXPECT_TRUE(m_settings.imageTickedOnPage("2004", "a.jpg"));
    EXPECT_TRUE(m_settings.imageInAlbum("2004", "a.jpg"));
    ASSERT_TRUE(m_settings.setImageTicked("2004", "a.jpg", false));
    EXPECT_EQ(m_settings.imageTickValue("2004", "a.jpg"), "0");
    EXPECT_FALSE(m_settings.imageTickedOnPage("2004", "a.jpg"));
    EXPECT_FALSE(m_settings.imageInAlbum("2004", "a.jpg"));
    ASSERT_EQ(WriteIniValue("チェック", PerFolderSettings::imageKey("2004", "b.jpg"), "2", m_settings.file()), "1");
    EXPECT_FALSE(m_settings.imageTickedOnPage("2004", "b.jpg"));
    EXPECT_TRUE(m_settings.imageInAlbum("2004", "b.jpg"));
}

TEST_F(PerFolder, KeysWithBracketsAndEqualsSignsStayApart) {
    ASSERT_TRUE(m_settings.setImageTicked("a=b", "[1].jpg", false));
    ASSERT_TRUE(m_settings.setImageTicked("a", "b/[1].jpg", true));
    EXPECT_FALSE(m_settings.imageTickedOnPage("a=b", "[1].jpg"));
    EXPECT_TRUE(m_settings.imageTickedOnPage("a", "b/[1].jpg"));
    EXPECT_NE(platform::cp932ToUtf8(readBytes(m_settings.file())).find("a:b/<1>.jpg=0\r\n"), std::string::npos);
}

TEST_F(PerFolder, TurnsAreStoredUnderTheImagesFullPath) {
    const std::string image = "/home/u/Photos/2004/a.jpg";
    EXPECT_EQ(m_settings.turn(image), 0);
    ASSERT_TRUE(m_settings.setTurn(image, turnedLeft(m_settings.turn(image))));
    EXPECT_EQ(m_settings.turn(image), 270);
    ASSERT_TRUE(m_settings.setTurn(image, turnedRight(m_settings.turn(image))));
    EXPECT_EQ(m_settings.turn(image), 0);
    EXPECT_EQ(ReadIniValue("回転", image, 512, m_settings.file()), "0");
    ASSERT_EQ(WriteIniValue("回転", image, "45", m_settings.file()), "1");
    EXPECT_EQ(m_settings.turn(image), 0);
}

TEST_F(PerFolder, ATickAndATurnOfANameThatIsNotUtf8KeepTheirOwnKey) {
    // Two Shift_JIS names ("写真", "娼真"), once text would be the same.
    const std::string a = "\x8E\xCA\x90\x5E.jpg", b = "\x8F\xCA\x90\x5E.jpg";
    ASSERT_TRUE(m_settings.setImageTicked("2004", a, false));
    ASSERT_TRUE(m_settings.setTurn("/home/u/Photos/2004/" + a, 90));
    EXPECT_EQ(m_settings.imageTickValue("2004", a), "0");
    EXPECT_EQ(m_settings.imageTickValue("2004", b), "");
    EXPECT_EQ(m_settings.turn("/home/u/Photos/2004/" + a), 90);
    EXPECT_EQ(m_settings.turn("/home/u/Photos/2004/" + b), 0);
    ASSERT_TRUE(m_settings.setImageTicked("2004", b, true));
    EXPECT_EQ(m_settings.imageTickValue("2004", a), "0");
    EXPECT_EQ(m_settings.imageTickValue("2004", b), "1");
    // CP932 cannot hold such a key, so the file is UTF-16 with the byte 8E
    // as its escape U+DC8E.
    const std::string bytes = readBytes(m_settings.file());
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(bytes.find("/\0\x8E\xDC\x90\x02^\0.\0j\0p\0g\0=\0" "0\0", 0, 20), std::string::npos);
}

TEST_F(PerFolder, MenuTextsFallBackToFolderNames) {
    EXPECT_EQ(m_settings.menuTitle(), "Photos");
    EXPECT_EQ(m_settings.menuSubtitle(), "");
    EXPECT_EQ(m_settings.menuEntry("/home/u/Photos/2004/"), "2004");
    ASSERT_TRUE(m_settings.setMenuTitle("旅行"));
    ASSERT_TRUE(m_settings.setMenuSubtitle("二〇〇四年"));
    ASSERT_TRUE(m_settings.setMenuEntry("/home/u/Photos/2004/", "春"));
    EXPECT_EQ(m_settings.menuTitle(), "旅行");
    EXPECT_EQ(m_settings.menuSubtitle(), "二〇〇四年");
    EXPECT_EQ(m_settings.menuEntry("/home/u/Photos/2004/"), "春");
    ASSERT_TRUE(m_settings.setMenuEntry("/home/u/Photos/2004/", ""));
    EXPECT_EQ(m_settings.menuEntry("/home/u/Photos/2004/"), "2004");  // empty counts as nothing stored
}

TEST(PerFolderNone, WithoutAnImageFolderReadsGiveDefaultsAndWritesFail) {
    ProgramHome home;
    const PerFolderSettings none("  ");
    EXPECT_FALSE(none.valid());
    EXPECT_TRUE(none.albumTicked("x"));
    EXPECT_TRUE(none.imageTickedOnPage("x", "a.jpg"));
    EXPECT_EQ(none.turn("/a.jpg"), 0);
    EXPECT_FALSE(none.setAlbumTicked("x", true));
    EXPECT_FALSE(none.setTurn("/a.jpg", 90));
    EXPECT_TRUE(fs::is_empty(fs::path(home.folder())));
}

TEST(PerFolderNone, AFileWhereTheSettingsFolderMustGoFailsCleanly) {
    ProgramHome home;
    testing_support::writeBytes(fs::path(home.path("設定")), "not a folder");
    const PerFolderSettings settings("/home/u/Photos/");
    EXPECT_FALSE(settings.setAlbumTicked("2004", false));
    EXPECT_TRUE(settings.albumTicked("2004"));
    EXPECT_EQ(readBytes(fs::path(home.path("設定"))), "not a folder");
}
