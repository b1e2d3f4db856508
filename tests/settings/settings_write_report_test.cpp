#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "app/settings/settings_write_report.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

using namespace mirofoto;
namespace fs = std::filesystem;

namespace {

// Records what the handler is told for the life of a test.
struct Recorder {
    std::vector<SettingsWriteFailure> told;
    Recorder() {
        resetSettingsWriteFailures();
        setSettingsWriteFailureHandler([this](const SettingsWriteFailure& f) { told.push_back(f); });
    }
    ~Recorder() {
        setSettingsWriteFailureHandler(nullptr);
        resetSettingsWriteFailures();
    }
};

}  // namespace

TEST(SettingsWriteReport, TheFirstFailedWriteOfTheProgramsSettingsIsToldOnce) {
    ProgramHome home;
    Recorder recorder;
    // Refused by design, and a file the user chose: no failure of the store.
    EXPECT_EQ(WriteIniValue("設定", "k", "two\r\nlines", baseSettingsFile()), "0");
    testing_support::TempDir elsewhere;
    EXPECT_EQ(WriteIniValue("設定", "k", "v", elsewhere.str("no/such/album.mfs")), "0");
    EXPECT_TRUE(recorder.told.empty());
    EXPECT_FALSE(firstSettingsWriteFailure());

    // A folder in the file's place fails every write; only the first is told.
    fs::create_directories(home.path("設定.ini"));
    EXPECT_FALSE(基本設定保存(baseSettingsFile(), AlbumSettings::defaults(), WindowPlacement{}));
    EXPECT_EQ(WriteIniValue("ウインドウ状態", "Top", "1", programStateFile()), "0");
    ASSERT_EQ(recorder.told.size(), 1u);
    EXPECT_EQ(recorder.told[0].path, programStateFile());
    EXPECT_EQ(firstSettingsWriteFailure()->path, programStateFile());
    const std::string text = settingsWriteFailureMessage(recorder.told[0]);
    EXPECT_NE(text.find("「" + programStateFile() + "」に書き込めません"), std::string::npos) << text;
    // The other file of the save was kept.
    EXPECT_EQ(readWholeIniValue("オプション", "列数", baseSettingsFile()), "4");

    // A problem seen at start (what the window notes) is told as it stands.
    resetSettingsWriteFailures();
    noteSettingsWriteFailure(SettingsWriteFailure{"/srv/mf", "フォルダがありません"});
    noteSettingsWriteFailure(baseSettingsFile(), 0);
    ASSERT_EQ(recorder.told.size(), 2u);
    EXPECT_EQ(recorder.told[1].path, "/srv/mf");
    EXPECT_EQ(recorder.told[1].reason, "フォルダがありません");
}

TEST(SettingsWriteReport, AReadOnlySettingsFolderIsSeenBeforeAndAtTheWrite) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    ProgramHome home;
    Recorder recorder;
    fs::permissions(home.folder(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto before = settingsFolderProblem();
    EXPECT_EQ(WriteIniValue("オプション", "列数", "5", baseSettingsFile()), "0");
    fs::permissions(home.folder(), fs::perms::owner_all);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->path + "/", home.folder());
    EXPECT_EQ(before->reason, "フォルダに書き込む権限がありません");
    ASSERT_EQ(recorder.told.size(), 1u);
    EXPECT_EQ(recorder.told[0].path, baseSettingsFile());
    EXPECT_EQ(recorder.told[0].reason, "フォルダに書き込む権限がありません");
}
