// A page is complete or absent: failures leave no partial page, no stray
// temporary file and the earlier page in place, and are reported.
#include "app/albumoutput/album_names.h"
#include "platform/atomic_file.h"
#include "app/albumoutput/page_writers.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace mirofoto;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

constexpr BackgroundCopies kNoCopies{false, false, false};

std::vector<std::string> entriesOf(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(AtomicFile, TargetChangesOnlyAtCommit) {
    TempDir dir;
    writeBytes(dir / "page.htm", "old");
    {
        platform::AtomicFile file;
        ASSERT_FALSE(file.open(dir.str("page.htm")));
        ASSERT_FALSE(file.write("new "));
        ASSERT_FALSE(file.write("text"));
        EXPECT_EQ(readBytes(dir / "page.htm"), "old");
        ASSERT_FALSE(file.commit());
    }
    EXPECT_EQ(readBytes(dir / "page.htm"), "new text");
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"page.htm"});
}

TEST(AtomicFile, AbandonedFileLeavesNothingBehind) {
    TempDir dir;
    writeBytes(dir / "page.htm", "old");
    {
        platform::AtomicFile file;
        ASSERT_FALSE(file.open(dir.str("page.htm")));
        ASSERT_FALSE(file.write("half a pa"));
    }
    EXPECT_EQ(readBytes(dir / "page.htm"), "old");
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"page.htm"});
}

TEST(AtomicFile, FailuresAreReportedAndStick) {
    TempDir dir;
    platform::AtomicFile file;
    EXPECT_EQ(file.open(dir.str("missing/page.htm")), std::errc::no_such_file_or_directory);
    EXPECT_TRUE(file.write("x"));
    EXPECT_TRUE(file.commit());
    EXPECT_EQ(file.open(""), std::errc::invalid_argument);
    EXPECT_EQ(file.open(dir.str() + "/"), std::errc::is_a_directory);
    platform::AtomicFile never;
    EXPECT_EQ(never.commit(), std::errc::bad_file_descriptor);
    EXPECT_TRUE(entriesOf(dir.path()).empty());
}

TEST(AtomicFile, NewFilesAreReadableLikeAnyOther) {
    // A web server must be able to read the pages: the temporary file's
    // private mode must not survive the rename.
    TempDir dir;
    const mode_t old = ::umask(022);
    platform::AtomicFile file;
    ASSERT_FALSE(file.open(dir.str("page.htm")));
    ASSERT_FALSE(file.commit());
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(dir.str("page.htm").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(PageFiles, MissingAlbumDirectoryIsReportedAtOnce) {
    TempDir out;
    const std::string dir = out.str("not-made");
    ThumbnailPageWriter writer(AlbumSettings::defaults(), kNoCopies);
    const PageWriteResult begun = writer.BeginThumbnailPage(dir, "t", 4);
    EXPECT_FALSE(begun);
    EXPECT_EQ(begun.error, std::errc::no_such_file_or_directory);
    EXPECT_EQ(begun.path, dir + "/index.htm");
    EXPECT_NE(begun.message().find(dir + "/index.htm: "), std::string::npos);
    const auto images = makeAlbumImages({"a.jpg"});
    EXPECT_EQ(writer.AddThumbnailCell(0, images[0]).error, std::errc::no_such_file_or_directory);
    EXPECT_EQ(writer.EndThumbnailPage().error, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(WriteEnlargedPage(AlbumSettings::defaults(), kNoCopies, dir, "t", images, 0));
    EXPECT_TRUE(entriesOf(out.path()).empty());
}

TEST(PageFiles, AFolderWhereThePageMustGoFailsAtOnce) {
    TempDir out;
    fs::create_directory(out / "index.htm");
    writeBytes(out / "index.htm" / "keep.txt", "kept");
    ThumbnailPageWriter writer(AlbumSettings::defaults(), kNoCopies);
    const auto images = makeAlbumImages({"a.jpg"});
    const PageWriteResult begin = writer.BeginThumbnailPage(out.str(), "t", 4);
    EXPECT_FALSE(begin);
    EXPECT_FALSE(begin.message().empty());
    EXPECT_FALSE(writer.AddThumbnailCell(0, images[0]));  // the failure sticks
    EXPECT_FALSE(writer.EndThumbnailPage());
    EXPECT_TRUE(fs::is_directory(out / "index.htm"));
    EXPECT_EQ(readBytes(out / "index.htm" / "keep.txt"), "kept");
    EXPECT_EQ(entriesOf(out.path()), std::vector<std::string>{"index.htm"});

    fs::create_directory(out / "a.htm");
    EXPECT_FALSE(WriteEnlargedPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", images, 0));
    EXPECT_TRUE(fs::is_empty(out / "a.htm"));
    EXPECT_EQ(entriesOf(out.path()), (std::vector<std::string>{"a.htm", "index.htm"}));
}

TEST(PageFiles, MenuPageAppearsOnlyWhenComplete) {
    TempDir out;
    writeBytes(out / "index.htm", "previous run");
    {
        MenuPageWriter writer(AlbumSettings::defaults());
        ASSERT_TRUE(writer.BeginMenuPage(out.str(), "m", "s", kNoCopies));
        ASSERT_TRUE(writer.AddMenuEntry("a", "A"));
        EXPECT_EQ(readBytes(out / "index.htm"), "previous run");
        // The run ends without EndMenuPage (a crash, a stop).
    }
    EXPECT_EQ(readBytes(out / "index.htm"), "previous run");
    EXPECT_EQ(entriesOf(out.path()), std::vector<std::string>{"index.htm"});

    MenuPageWriter writer(AlbumSettings::defaults());
    ASSERT_TRUE(writer.BeginMenuPage(out.str(), "m", "s", kNoCopies));
    ASSERT_TRUE(writer.EndMenuPage());
    const std::string page = readBytes(out / "index.htm");
    EXPECT_EQ(page.substr(0, 8), "<HTML>\r\n");
    EXPECT_EQ(page.substr(page.size() - 9), "</HTML>\r\n");
    EXPECT_EQ(writer.EndMenuPage().error, std::errc::bad_file_descriptor);  // ended already
}

TEST(PageFiles, OutputFolderThatIsAFileOrEmptyIsRefused) {
    TempDir out;
    writeBytes(out / "file", "x");
    MenuPageWriter writer(AlbumSettings::defaults());
    EXPECT_EQ(writer.BeginMenuPage(out.str("file"), "m", "s", kNoCopies).error, std::errc::not_a_directory);
    EXPECT_TRUE(writer.AddMenuEntry("a", "A").error);
    EXPECT_EQ(writer.BeginMenuPage("", "m", "s", kNoCopies).error, std::errc::invalid_argument);
    EXPECT_EQ(readBytes(out / "file"), "x");
}

TEST(PageFiles, EnlargedPageIndexOutsideTheAlbumIsRefused) {
    TempDir out;
    const auto images = makeAlbumImages({"a.jpg"});
    EXPECT_EQ(WriteEnlargedPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", images, 1).error,
              std::errc::invalid_argument);
    EXPECT_EQ(WriteEnlargedPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", images, -1).error,
              std::errc::invalid_argument);
    EXPECT_TRUE(entriesOf(out.path()).empty());
}
