#include "app/settings/folder_settings_store.h"
#include "app/settings/ini_store.h"
#include "tests/support/program_home.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace mirofoto;

// Quarter turns from several threads at once: each one reads the stored turn
// and writes the next, so a turn lost between the read and the write shows
// in the sum.
TEST(FolderSettingsStore, QuarterTurnsFromManyThreadsAreNeverLost) {
    ProgramHome home;
    FolderSettingsStore store("/photos/");
    const std::string picture = "/photos/a.jpg";
    constexpr int kThreads = 4;
    constexpr int kTurns = 25;  // 100 quarter turns right, then one more: 90
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kTurns; ++i) ASSERT_TRUE(store.turnQuarter(picture, false));
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(store.turnQuarter(picture, false), 90);
    EXPECT_EQ(store.turnQuarter(picture, true), 0);
    EXPECT_EQ(store.turnQuarter(picture, true), 270);
}

// The default link texts: stored once the folder is committed, never over a
// text the user stored, never for another folder than the one being shown.
TEST(FolderSettingsStore, DefaultLinkTextsFillOnlyWhatIsMissing) {
    ProgramHome home;
    FolderSettingsStore store("/photos");
    ASSERT_TRUE(store.setMenuEntry("/photos/b/", "mine"));
    const std::vector<FolderSettingsStore::DefaultLink> albums = {{"/photos/a/", "a"}, {"/photos/b/", "b"}};

    const auto shown = store.defaultLinkTexts("/photos/", albums, false);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->at("/photos/a/"), "");  // not committed: nothing stored
    EXPECT_EQ(shown->at("/photos/b/"), "mine");
    EXPECT_EQ(ReadIniValue("メニューページ", "/photos/a/", 512, store.file()), "");

    const auto committed = store.defaultLinkTexts("/photos/", albums, true);
    ASSERT_TRUE(committed);
    EXPECT_EQ(committed->at("/photos/a/"), "a");
    EXPECT_EQ(committed->at("/photos/b/"), "mine");
    EXPECT_EQ(ReadIniValue("メニューページ", "/photos/a/", 512, store.file()), "a");

    // A scan of a folder the box no longer names reads and stores nothing.
    store.setImageFolder("/other/");
    EXPECT_FALSE(store.defaultLinkTexts("/photos/", albums, true));
    EXPECT_EQ(store.menuEntry("/photos/a/"), "a");  // the default: the other folder stores nothing
    EXPECT_EQ(ReadIniValue("メニューページ", "/photos/a/", 512, store.file()), "");
}

TEST(FolderSettingsStore, WithoutAnImageFolderNothingIsStored) {
    ProgramHome home;
    FolderSettingsStore store;
    EXPECT_FALSE(store.setTurn("/a.jpg", 90));
    EXPECT_FALSE(store.turnQuarter("/a.jpg", true));
    EXPECT_FALSE(store.defaultLinkTexts("", {{"/a/", "a"}}, true));
    EXPECT_TRUE(store.storeTurnsFromOrientation("/", {"a.jpg"}, [](const std::string&) { return 6; }).empty());
}
