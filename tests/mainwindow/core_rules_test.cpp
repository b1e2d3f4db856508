// The Qt-free rules under the main window: the image folder scan with its
// failure, the temp folder shared by two windows, and the program's start
// without a screen.
#include "app/albumoutput/image_folder_scan.h"
#include "app/util/temp_folder_lock.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace mirofoto;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

TEST(ImageFolderScan, AMissingFolderIsNoFailureButAnUnlistableOneIs) {
    TempDir tmp;
    writeBytes(tmp / "photos/a.jpg", "x");
    fs::create_directories(tmp / "photos/sub");
    writeBytes(tmp / "file.txt", "x");
    fs::create_symlink(tmp / "loop2", tmp / "loop1");
    fs::create_symlink(tmp / "loop1", tmp / "loop2");

    const ImageFolderScan listed = scanImageFolder(tmp.str("photos"));
    EXPECT_EQ(listed.error, 0);
    ASSERT_EQ(listed.albums.albums.size(), 2u);
    EXPECT_TRUE(listed.albums.albums[0].hasPictures);

    for (const char* none : {"nowhere", "photos/nowhere/deeper", "file.txt"}) {
        const ImageFolderScan s = scanImageFolder(tmp.str(none));
        EXPECT_EQ(s.error, 0) << none;
        EXPECT_EQ(s.albums.albums.size(), 1u) << none;  // the folder alone
    }
    const ImageFolderScan loop = scanImageFolder(tmp.str("loop1"));
    EXPECT_EQ(loop.error, ELOOP);
    EXPECT_EQ(loop.albums.albums.size(), 1u);
    EXPECT_EQ(scanImageFolder("   ").error, 0);
}

TEST(ImageFolderScan, TheFailureMessageIsNumberCrDescription) {
    EXPECT_EQ(folderFailureMessage(ELOOP, "/a/b/"), std::to_string(ELOOP) + "\r/a/b/: " + std::strerror(ELOOP));
}

TEST(TempFolderLock, OnlyTheLastWindowRemovesTheTempFolder) {
    ProgramHome home;
    const fs::path temp = home.path("temp");
    writeBytes(temp / "old/a_s.jpg", "x");

    TempFolderLock first, second;
    EXPECT_TRUE(first.open());
    EXPECT_FALSE(fs::exists(temp));
    writeBytes(temp / "cache/b_s.jpg", "x");
    EXPECT_FALSE(second.open());  // the first one draws from it
    EXPECT_TRUE(fs::exists(temp / "cache/b_s.jpg"));
    EXPECT_FALSE(first.close());
    EXPECT_TRUE(fs::exists(temp / "cache/b_s.jpg"));
    EXPECT_TRUE(second.close());
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_FALSE(second.close());  // closed already: nothing happens

    // Reopened after both closed, a window is alone again.
    writeBytes(temp / "x", "x");
    EXPECT_TRUE(first.open());
    EXPECT_FALSE(fs::exists(temp));
}

namespace {

struct ProgramRun {
    int status = -1;
    std::string output;
};

ProgramRun runProgram(const std::string& args) {
    ProgramRun r;
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " MIROFOTO_EXE " " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) r.output.append(buf, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

TEST(StartWithoutAScreen, SaysSoInOneLineAndPointsToGenerate) {
    ProgramHome home;
    TempDir photos;
    for (const std::string& args : {std::string(), "'" + photos.str() + "'"}) {
        const ProgramRun r = runProgram(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
        EXPECT_NE(r.output.find("mirofoto generate"), std::string::npos) << r.output;
    }
    EXPECT_FALSE(fs::exists(home.path("ミロフォト.ini")));  // nothing was loaded or saved

    const ProgramRun help = runProgram("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("メインウインドウ"), std::string::npos) << help.output;
    EXPECT_EQ(runProgram("no-such-command").status, 2);
}
