#include "platform/atomic_file.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

TEST(AtomicFile, ReplacesWholeFilesAndReportsFailuresWithoutLeftovers) {
    TempDir tmp;
    const std::string file = tmp.str("page.htm");
    ASSERT_TRUE(platform::writeFileAtomically(file, "first"));
    ASSERT_TRUE(platform::writeFileAtomically(file, std::string("second\0x", 8)));
    EXPECT_EQ(readBytes(file), std::string("second\0x", 8));

    std::string error;
    EXPECT_FALSE(platform::writeFileAtomically(tmp.str("missing/page.htm"), "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(tmp / "missing"));

    // A folder standing where the file must go: the rename fails, the folder
    // and its contents stay, no temporary file is left.
    writeBytes(tmp / "dir.htm/inner", "keep");
    EXPECT_FALSE(platform::writeFileAtomically(tmp.str("dir.htm"), "x", &error));
    EXPECT_EQ(readBytes(tmp / "dir.htm/inner"), "keep");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp.path())) ++entries;
    EXPECT_EQ(entries, 2);  // page.htm and dir.htm
}

// A link at the target's name: replaced by default, so that a page or copy
// never overwrites what the link names; followed only when asked, for the
// user's own files.
TEST(AtomicFile, ALinkAtTheNameIsReplacedUnlessFollowingIsAsked) {
    struct Case {
        platform::WriteMode mode;
        bool linkStays;
    } cases[] = {{{}, false}, {platform::kUsersFile, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.linkStays ? "follow" : "replace");
        TempDir tmp;
        writeBytes(tmp / "photo.jpg", "photo");
        fs::create_symlink(tmp / "photo.jpg", tmp / "index.htm");
        ASSERT_TRUE(platform::writeFileAtomically(tmp.str("index.htm"), "page", c.mode));
        EXPECT_EQ(fs::is_symlink(tmp / "index.htm"), c.linkStays);
        EXPECT_EQ(readBytes(tmp / "index.htm"), "page");
        EXPECT_EQ(readBytes(tmp / "photo.jpg"), c.linkStays ? "page" : "photo");
    }
}

TEST(AtomicFile, ANameAtTheLengthLimitGetsItsFile) {
    TempDir tmp;
    const std::string name = std::string(246, 'n') + ".htm";  // 250 bytes; the limit is 255
    ASSERT_TRUE(platform::writeFileAtomically(tmp.str(name), "page")) << name.size();
    EXPECT_EQ(readBytes(tmp / name), "page");
}

TEST(Temporaries, OnlyOursWhoseWriterIsGoneAreRemoved) {
    TempDir tmp;
    const std::string live = platform::newTemporaryName();
    ASSERT_EQ(live.size(), platform::kTemporaryNameLength);
    ASSERT_TRUE(platform::isTemporaryName(live));
    ASSERT_NE(live, platform::newTemporaryName());
    // The same process id with another start (an id given again after its
    // process ended), and an id no process has.
    std::string reused = live;
    reused.replace(19, 12, "000000000001");
    std::string gone = live;
    gone.replace(10, 8, "7ffffff0");
    for (const auto& name : {live, reused, gone}) writeBytes(tmp / name, "partial");
    // Not ours though alike: another form, a folder, a link, a subfolder.
    const std::string foreign[] = {".mirofoto-123-4.tmp", "x" + gone.substr(1), gone.substr(0, 43) + "T"};
    for (const auto& name : foreign) writeBytes(tmp / name, "keep");
    fs::create_directory(tmp / (reused.substr(0, 36) + "abcd.tmp"));
    fs::create_symlink(tmp / "elsewhere", tmp / (gone.substr(0, 36) + "abce.tmp"));
    writeBytes(tmp / "sub" / gone, "keep");

    EXPECT_EQ(platform::removeStaleTemporaries(tmp.str()), 2u);
    EXPECT_TRUE(fs::exists(tmp / live));
    EXPECT_FALSE(fs::exists(tmp / reused));
    EXPECT_FALSE(fs::exists(tmp / gone));
    for (const auto& name : foreign) EXPECT_TRUE(fs::exists(tmp / name)) << name;
    EXPECT_TRUE(fs::is_directory(tmp / (reused.substr(0, 36) + "abcd.tmp")));
    EXPECT_TRUE(fs::is_symlink(tmp / (gone.substr(0, 36) + "abce.tmp")));
    EXPECT_TRUE(fs::exists(tmp / "sub" / gone));
}
