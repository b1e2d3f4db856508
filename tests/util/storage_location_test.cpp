#include "app/util/storage_location.h"

#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace mirofoto;
namespace fs = std::filesystem;

TEST(StorageLocation, TheProgramFolderWhenWritableElseTheUserFolders) {
    struct Case {
        const char* name;
        StorageFacts facts;
        std::string settings, temp;
        StorageReason reason;
    } cases[] = {
        {"unpacked, writable", {"", "/opt/mf/", true, "/x/conf", "/x/cache", "/home/u"},
         "/opt/mf/", "/opt/mf/temp/", StorageReason::ProgramFolder},
        {"MIROFOTO_HOME wins over everything", {"/srv/mf", "/usr/lib/mirofoto/", false, "/x/conf", "", "/home/u"},
         "/srv/mf/", "/srv/mf/temp/", StorageReason::HomeVariable},
        {"installed, XDG set", {"", "/usr/lib/mirofoto/", false, "/x/conf/", "/x/cache", "/home/u"},
         "/x/conf/mirofoto/", "/x/cache/mirofoto/temp/", StorageReason::UserFolders},
        {"installed, XDG unset", {"", "/usr/lib/mirofoto/", false, "", "", "/home/u"},
         "/home/u/.config/mirofoto/", "/home/u/.cache/mirofoto/temp/", StorageReason::UserFolders},
        {"installed, relative XDG ignored", {"", "/usr/lib/mirofoto/", false, "conf", "cache", "/home/u/"},
         "/home/u/.config/mirofoto/", "/home/u/.cache/mirofoto/temp/", StorageReason::UserFolders},
        {"read-only and no home", {"", "/usr/lib/mirofoto/", false, "", "", ""},
         "/usr/lib/mirofoto/", "/usr/lib/mirofoto/temp/", StorageReason::ProgramFolder},
    };
    for (const Case& c : cases) {
        const StorageLocation at = decideStorageLocation(c.facts);
        EXPECT_EQ(at.settingsFolder, c.settings) << c.name;
        EXPECT_EQ(at.tempFolder, c.temp) << c.name;
        EXPECT_EQ(at.reason, c.reason) << c.name;
        // The reason names what decided it.
        EXPECT_NE(at.why.find(c.reason == StorageReason::HomeVariable ? "MIROFOTO_HOME" : c.facts.programFolder),
                  std::string::npos)
            << c.name << ": " << at.why;
    }
    EXPECT_NE(decideStorageLocation(cases[0].facts).why.find("/opt/mf/ is writable"), std::string::npos);
}

TEST(StorageLocation, OnlyTheUserSettingsFolderIsMadeAndPrivately) {
    testing_support::TempDir tmp;
    StorageFacts facts{"", "/usr/lib/mirofoto/", false, "", "", tmp.str("home")};
    const StorageLocation user = decideStorageLocation(facts);
    ASSERT_TRUE(ensureSettingsFolder(user));
    for (const char* level : {"home/.config", "home/.config/mirofoto"}) {
        struct stat st {};
        ASSERT_EQ(::stat(tmp.str(level).c_str(), &st), 0) << level;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << level;
    }
    EXPECT_TRUE(ensureSettingsFolder(user));  // already there

    // A missing MIROFOTO_HOME or program folder is the user's to make.
    facts.homeVariable = tmp.str("missing");
    EXPECT_FALSE(ensureSettingsFolder(decideStorageLocation(facts)));
    EXPECT_FALSE(fs::exists(tmp / "missing"));
}

TEST(StorageLocation, OutputStateFolderIsOnePerRealFolderAndOutsideIt) {
    testing_support::TempDir dir;
    const std::string out = dir.str("公開 site");
    fs::create_directories(out);
    fs::create_directory_symlink(out, dir / "link");
    StorageLocation at;
    at.settingsFolder = dir.str("home/");
    const std::string state = outputStateFolder(at, out);
    EXPECT_EQ(state.rfind(at.settingsFolder + "output-state/", 0), 0u) << state;
    EXPECT_EQ(state.back(), '/');
    // Two spellings of one folder share it; another folder has its own.
    EXPECT_EQ(outputStateFolder(at, dir.str("link/")), state);
    EXPECT_EQ(outputStateFolder(at, out + "/"), state);
    EXPECT_NE(outputStateFolder(at, dir.str("home")), state);
    EXPECT_FALSE(fs::exists(state));
}
