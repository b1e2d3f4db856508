#include "app/util/paths.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace mirofoto;
using testing_support::ScriptedUi;
using testing_support::TempDir;
namespace fs = std::filesystem;

TEST(PathPieces, ParentPathFollowsTheShellRules) {
    EXPECT_EQ(GetParentPath("/a/b.jpg"), "/a");
    EXPECT_EQ(GetParentPath("/a"), "/");
    EXPECT_EQ(GetParentPath("/"), "");
    EXPECT_EQ(GetParentPath("/a/b/"), "/a/b");
    EXPECT_EQ(GetParentPath("name.jpg"), "");
    EXPECT_EQ(GetParentPath(""), "");
}

TEST(PathPieces, ExtensionIsTheLastDotOfTheLastComponent) {
    EXPECT_EQ(GetExtension("/a/b.JPG"), ".JPG");
    EXPECT_EQ(GetExtension("/a/b"), "");
    EXPECT_EQ(GetExtension("/a.d/b"), "");
    EXPECT_EQ(GetExtension("/a/Mr. Smith"), "");  // a space ends an extension
    EXPECT_EQ(RemoveExtension("/a/b.c.jpg"), "/a/b.c");
    EXPECT_EQ(RemoveExtension("/a.d/b"), "/a.d/b");
    EXPECT_EQ(RemoveExtension("IMG+0001.JPG"), "IMG+0001");
    EXPECT_EQ(RemoveExtension("photo.jpeg"), "photo");
    EXPECT_EQ(RemoveExtension("写真.jpg"), "写真");
}

TEST(PathPieces, FileNameAndLastFolderName) {
    EXPECT_EQ(GetFileName("/a/b.jpg"), "b.jpg");
    EXPECT_EQ(GetFileName("b.jpg"), "b.jpg");
    EXPECT_EQ(GetFileName("/a/b/"), "b/");
    EXPECT_EQ(GetLastFolderName("/Photos/2004/"), "2004");
    EXPECT_EQ(GetLastFolderName("/Photos/2004"), "2004");
    EXPECT_EQ(GetLastFolderName("  /Photos/写真  "), "写真");
    EXPECT_EQ(GetLastFolderName("/"), "");
    EXPECT_EQ(GetLastFolderName("bare"), "");
    EXPECT_EQ(GetLastFolderName("   "), "");
}

TEST(Folders, EnsureFolderCreatesEveryMissingLevelOnce) {
    TempDir tmp;
    const std::string deep = tmp.str("一/二/三");
    EXPECT_FALSE(FolderExists(deep));
    EXPECT_TRUE(EnsureFolder(deep));
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_TRUE(EnsureFolder(deep + "/"));  // again, with a trailing slash
    EXPECT_FALSE(EnsureFolder(""));
}

TEST(Folders, EnsureFolderEndsWithFalseWhenALevelCannotBeMade) {
    TempDir tmp;
    testing_support::writeBytes(tmp / "file", "x");
    EXPECT_FALSE(EnsureFolder(tmp.str("file/sub")));  // a file in the way
    fs::create_directory(tmp / "locked");
    fs::permissions(tmp / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() != 0) {
        EXPECT_FALSE(EnsureFolder(tmp.str("locked/a/b")));
    }
}

TEST(Folders, ExistenceTests) {
    TempDir tmp;
    testing_support::writeBytes(tmp / "f.jpg", "x");
    EXPECT_TRUE(PathExists(tmp.str("f.jpg")));
    EXPECT_FALSE(FolderExists(tmp.str("f.jpg")));
    EXPECT_TRUE(FolderExists(tmp.str()));
    EXPECT_FALSE(PathExists(tmp.str("missing")));
    EXPECT_FALSE(PathExists(""));
}

TEST(Folders, RemoveTempFolderRemovesTheCacheBesideTheProgram) {
    TempDir home;
    ::setenv("MIROFOTO_HOME", home.str().c_str(), 1);
    EXPECT_EQ(ProgramFolder(), home.str() + "/");
    RemoveTempFolder();  // none there: nothing happens
    testing_support::writeBytes(home / "temp/cache/a.jpg", "x");
    testing_support::writeBytes(home / "keep.ini", "x");
    RemoveTempFolder();
    EXPECT_FALSE(PathExists(home.str("temp")));
    EXPECT_TRUE(PathExists(home.str("keep.ini")));
    ::unsetenv("MIROFOTO_HOME");
}

TEST(Folders, BestEffortRemovalGoesOnPastWhatItCannotDelete) {
    if (::geteuid() == 0) GTEST_SKIP() << "root deletes anything";
    TempDir tmp;
    testing_support::writeBytes(tmp / "t/locked/x", "x");
    testing_support::writeBytes(tmp / "t/free/y", "y");
    fs::permissions(tmp / "t/locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(removeTreeBestEffort(tmp.str("t")));
    EXPECT_FALSE(PathExists(tmp.str("t/free")));
    EXPECT_TRUE(PathExists(tmp.str("t/locked/x")));
}

TEST(Shell, DialogsAndOpeningGoThroughTheUserInterfaceServices) {
    ScriptedUi fake;
    platform::ScopedUi scope(fake);
    fake.folderAnswers.push_back("/chosen");
    EXPECT_EQ(BrowseForFolder(nullptr, "/start", "フォルダを選択してください"), "/chosen");
    ASSERT_EQ(fake.calls.size(), 1u);
    EXPECT_EQ(fake.calls[0].initialFolder, "/start");
    EXPECT_EQ(fake.calls[0].text, "フォルダを選択してください");

    fake.documents = "/home/u/Documents";
    EXPECT_EQ(GetSpecialFolderPath(5), "/home/u/Documents");
    EXPECT_EQ(GetSpecialFolderPath(0), "");

    OpenWithShell("/out/index.htm", nullptr);
    EXPECT_EQ(fake.calls.back().kind, "document");
    EXPECT_EQ(fake.calls.back().text, "/out/index.htm");
}
