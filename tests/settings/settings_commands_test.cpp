#include "app/settings/ini_store.h"
#include "app/settings/per_folder_settings.h"
#include "app/settings/settings_commands.h"
#include "app/settings/settings_files.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace mirofoto;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;
using testing_support::readBytes;
using testing_support::ScriptedUi;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

class SettingsCommands : public ::testing::Test {
protected:
    SettingsCommands() : m_scope(m_ui) {
        m_settings = AlbumSettings::defaults();
        m_settings.imageFolder = m_photos.str();
        m_settings.columns = 7;
        m_placement = {0, 100, 200, 6000, 9000};
        m_context = {&m_settings, &m_placement, &m_currentDirectory, nullptr};
    }

    std::string perFolderFile() const { return perFolderSettingsFile(m_settings.imageFolder); }
    // Ticks and turns of the current image folder, as the windows store them.
    void tickSomething() {
        const PerFolderSettings folder(m_settings.imageFolder);
        ASSERT_TRUE(folder.setAlbumTicked("2004", false));
        ASSERT_TRUE(folder.setTurn(m_photos.str("a.jpg"), 90));
    }

    ProgramHome m_home;
    TempDir m_photos;
    TempDir m_files;
    ScriptedUi m_ui;
    platform::ScopedUi m_scope;
    AlbumSettings m_settings;
    WindowPlacement m_placement;
    std::string m_currentDirectory = "/start";
    SettingsCommandContext m_context;
};

}  // namespace

TEST_F(SettingsCommands, BothDialogsAskForAnMfsFileFromTheCurrentDirectory) {
    m_ui.fileAnswers = {std::nullopt, std::nullopt};
    EXPECT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Cancelled);
    EXPECT_EQ(openAlbumSettingsFile(m_context), CommandResult::Cancelled);
    ASSERT_EQ(m_ui.calls.size(), 2u);
    EXPECT_EQ(m_ui.calls[0].kind, "save");
    EXPECT_EQ(m_ui.calls[1].kind, "open");
    for (const auto& call : m_ui.calls) {
        EXPECT_EQ(call.fileOptions.initialFolder, "/start");
        EXPECT_EQ(call.fileOptions.defaultExtension, "mfs");
        EXPECT_EQ(call.fileOptions.filter, "ミロフォト設定ファイル|*.mfs");
        EXPECT_EQ(call.fileOptions.fileName, "");
        EXPECT_TRUE(call.fileOptions.hideReadOnly);
    }
    EXPECT_EQ(m_currentDirectory, "/start");
}

TEST_F(SettingsCommands, OpeningSavesTheRecordFirstEvenWhenCancelled) {
    m_ui.fileAnswers = {std::nullopt};
    ASSERT_EQ(openAlbumSettingsFile(m_context), CommandResult::Cancelled);
    EXPECT_EQ(readWholeIniValue("オプション", "列数", baseSettingsFile()), "7");
    EXPECT_EQ(readWholeIniValue("ウインドウ状態", "Width", programStateFile()), "9000");
}

TEST_F(SettingsCommands, SavingCopiesThePerFolderSettingsAndAddsTheRecord) {
    tickSomething();
    const std::string chosen = m_files.str("mine.mfs");
    m_ui.fileAnswers = {chosen};
    ASSERT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Done);
    EXPECT_TRUE(m_ui.messages().empty());
    EXPECT_EQ(m_currentDirectory, m_files.str());
    EXPECT_EQ(ReadIniValue("チェック", "2004", 512, chosen), "False");
    EXPECT_EQ(ReadIniValue("回転", m_photos.str("a.jpg"), 512, chosen), "90");
    EXPECT_EQ(ReadIniValue("オプション", "列数", 255, chosen), "7");
    EXPECT_EQ(ReadIniValue("設定", "画像フォルダ", 255, chosen), m_photos.str());
    EXPECT_EQ(ReadIniValue("ウインドウ状態", "Width", 255, chosen), "");
    // The per-folder file itself is left as it was.
    EXPECT_EQ(ReadIniValue("オプション", "列数", 255, perFolderFile()), "");
}

TEST_F(SettingsCommands, AnExistingFileIsReplacedOnlyAfterAYes) {
    tickSomething();
    const std::string chosen = m_files.str("old.mfs");
    writeBytes(chosen, "[古い]\r\nx=1\r\n");
    const std::string before = readBytes(chosen);

    m_ui.fileAnswers = {chosen};
    m_ui.messageAnswers = {MsgResult::No};
    EXPECT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Cancelled);
    EXPECT_EQ(readBytes(chosen), before);
    ASSERT_EQ(m_ui.calls.size(), 2u);
    EXPECT_EQ(m_ui.calls[1].text, chosen + "\r\rは存在します。上書きしますか");
    EXPECT_EQ(m_ui.calls[1].caption, "ミロフォト");
    EXPECT_EQ(m_ui.calls[1].buttons, MsgButtons::YesNo);
    EXPECT_EQ(m_ui.calls[1].icon, MsgIcon::Exclamation);

    m_ui.fileAnswers = {chosen};
    m_ui.messageAnswers = {MsgResult::Yes};
    EXPECT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Done);
    EXPECT_EQ(ReadIniValue("古い", "x", 255, chosen), "");
    EXPECT_EQ(ReadIniValue("チェック", "2004", 512, chosen), "False");
}

TEST_F(SettingsCommands, ThePerFolderSettingsFileCannotBeSavedOverUnderAnyName) {
    tickSomething();
    const std::string own = perFolderFile();
    const std::string before = readBytes(own);
    const fs::path folder = fs::path(own).parent_path();
    fs::create_symlink(own, m_files / "link.mfs");
    fs::create_hard_link(own, m_files / "hard.mfs");
    const std::string spellings[] = {
        own,
        (folder / ".." / folder.filename() / "設定.ini").string(),
        (folder / "." / "設定.ini").string(),
        m_files.str("link.mfs"),
        m_files.str("hard.mfs"),
    };
    for (const std::string& chosen : spellings) {
        m_ui.calls.clear();
        m_ui.fileAnswers = {chosen};
        m_ui.messageAnswers = {MsgResult::Yes};  // yes, overwrite
        EXPECT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Refused) << chosen;
        ASSERT_EQ(m_ui.calls.size(), 3u) << chosen;
        EXPECT_EQ(m_ui.calls[2].text, "このファイルには保存できません。");
        EXPECT_EQ(m_ui.calls[2].caption, "ミロフォト");
        EXPECT_EQ(m_ui.calls[2].icon, MsgIcon::Critical);
        EXPECT_EQ(readBytes(own), before) << chosen;
    }
}

TEST_F(SettingsCommands, WithoutPerFolderSettingsTheRecordAloneIsSaved) {
    const std::string chosen = m_files.str("fresh.mfs");
    m_ui.fileAnswers = {chosen};
    ASSERT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Done);
    EXPECT_EQ(ReadIniValue("オプション", "列数", 255, chosen), "7");
    EXPECT_EQ(readBytes(chosen).find("[\x83\x60"), std::string::npos);  // no "[チ…" section

    // No image folder at all.
    m_settings.imageFolder.clear();
    m_ui.fileAnswers = {m_files.str("none.mfs")};
    ASSERT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Done);
    EXPECT_EQ(ReadIniValue("オプション", "列数", 255, m_files.str("none.mfs")), "7");
}

TEST_F(SettingsCommands, SavingIntoAMissingFolderFailsAndMakesNothing) {
    m_ui.fileAnswers = {m_files.str("missing/x.mfs")};
    EXPECT_EQ(saveAlbumSettingsFile(m_context), CommandResult::Failed);
    EXPECT_TRUE(fs::is_empty(m_files.path()));
}

TEST_F(SettingsCommands, OpeningMakesTheFoldersCopiesTheFileAndLoadsTheRecord) {
    // An album settings file made for a folder this machine never saw.
    const std::string newFolder = m_photos.str("elsewhere/2005/");
    AlbumSettings saved = AlbumSettings::defaults();
    saved.imageFolder = newFolder;
    saved.thumbWidth = 321;
    saved.pages[2].htmlMiddle = "<b>中央</b>";
    const std::string mfs = m_files.str("trip.mfs");
    ASSERT_TRUE(基本設定保存(mfs, saved, m_placement));
    ASSERT_EQ(WriteIniValue("チェック", "2005", "False", mfs), "1");
    ASSERT_EQ(WriteIniValue("回転", newFolder + "b.jpg", "180", mfs), "1");

    m_ui.fileAnswers = {mfs};
    ASSERT_EQ(openAlbumSettingsFile(m_context), CommandResult::Done);
    EXPECT_TRUE(fs::is_directory(newFolder));
    const PerFolderSettings folder(newFolder);
    EXPECT_EQ(readBytes(folder.file()), readBytes(mfs));
    EXPECT_FALSE(folder.albumTicked("2005"));
    EXPECT_EQ(folder.turn(newFolder + "b.jpg"), 180);
    EXPECT_EQ(m_settings, saved);
    EXPECT_EQ(m_currentDirectory, m_files.str());
    // The record before the open went to the base settings file.
    EXPECT_EQ(readWholeIniValue("オプション", "列数", baseSettingsFile()), "7");
}

TEST_F(SettingsCommands, OpeningAFileWithoutAUsableImageFolderChangesNothing) {
    const std::string mfs = m_files.str("empty.mfs");
    ASSERT_EQ(WriteIniValue("オプション", "列数", "3", mfs), "1");
    m_ui.fileAnswers = {mfs};
    EXPECT_EQ(openAlbumSettingsFile(m_context), CommandResult::Failed);
    EXPECT_EQ(m_settings.columns, 7);

    // A file stands where the image folder would have to be made.
    writeBytes(m_files / "blocker", "x");
    ASSERT_EQ(WriteIniValue("設定", "画像フォルダ", m_files.str("blocker/photos"), mfs), "1");
    m_ui.fileAnswers = {mfs};
    EXPECT_EQ(openAlbumSettingsFile(m_context), CommandResult::Failed);
    EXPECT_EQ(m_settings.columns, 7);
    EXPECT_FALSE(fs::exists(fs::path(m_home.path("設定"))));
}

TEST_F(SettingsCommands, OpeningThePerFolderFileItselfKeepsItIntact) {
    tickSomething();
    ASSERT_EQ(WriteIniValue("設定", "画像フォルダ", m_settings.imageFolder, perFolderFile()), "1");
    const std::string before = readBytes(perFolderFile());
    m_ui.fileAnswers = {perFolderFile()};
    ASSERT_EQ(openAlbumSettingsFile(m_context), CommandResult::Done);
    EXPECT_EQ(readBytes(perFolderFile()), before);
    EXPECT_EQ(m_settings.imageFolder, m_photos.str());
}
