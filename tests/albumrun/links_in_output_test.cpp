// Nothing the album run writes or removes goes through a symbolic link: a
// link standing where a page, a copy, an album folder or "images" goes is
// replaced, and what the link names stays as it was. A picture link that
// leads nowhere is that picture's failure; a lock file in the way is named.
#include "album_run_fixture.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/album_run_messages.h"
#include "app/albumoutput/generate_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

using albumrun_testing::AlbumRunTest;
using testing_support::readBytes;
using testing_support::writeBytes;
namespace fs = std::filesystem;

TEST_F(AlbumRunTest, ALinkWhereAPageOrCopyGoesIsReplacedNotWrittenThrough) {
    photo("a.jpg", 64, 48);
    photo("sub/b.jpg", 64, 48);
    const std::string photoBytes = readBytes(root + "a.jpg");
    const auto generate = [&](const char* existing) {
        std::istringstream in;
        std::ostringstream out, err;
        return mirofoto::runGenerateCommand({"--image-folder", root, "--output", output, "--existing", existing}, in,
                                            out, err, false);
    };
    ASSERT_EQ(generate("overwrite"), mirofoto::kGenerateDone);
    struct Case {
        const char* existing;
        const char* place;   // in the output folder
        const char* target;  // in the image folder; a missing one would be created
    } cases[] = {
        {"overwrite", "index.htm", "a.jpg"},
        {"html-only", "index.htm", "a.jpg"},
        {"html-only", "sub/index.htm", "a.jpg"},
        {"html-only", "sub/b.htm", "a.jpg"},
        {"html-only", "sub/b_l.jpg", "new.jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.existing) + " " + c.place);
        fs::remove(output + c.place);
        fs::create_symlink(root + c.target, output + c.place);
        EXPECT_EQ(generate(c.existing), mirofoto::kGenerateDone);
        EXPECT_EQ(readBytes(root + "a.jpg"), photoBytes);
        EXPECT_FALSE(fs::exists(root + "new.jpg"));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(output + c.place)));
    }
}

namespace {

// Records what the run says, answers No to every question.
struct Told : mirofoto::AlbumRunObserver {
    std::vector<std::string> told;
    platform::MsgResult ask(mirofoto::AlbumQuestion, std::string_view, platform::MsgButtons,
                            platform::MsgIcon) override {
        return platform::MsgResult::No;
    }
    void tell(std::string_view text, platform::MsgIcon) override { told.emplace_back(text); }
};

// Every file under the folder (hidden ones too) with its bytes.
std::map<std::string, std::string> filesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files[fs::relative(e.path(), folder).string()] = readBytes(e.path());
    return files;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

// An unticked album that is a link into the output folder keeps the run out
// as a ticked one does; and a file of the photographs that stands in the
// output folder (a second hard link) is never removed by a run.
TEST_F(AlbumRunTest, AnUntickedAlbumLinkedIntoTheOutputFolderIsNeverEmptied) {
    photo("trip/p1.jpg", 64, 48);
    photo("camera/c1.jpg", 64, 48);
    fs::create_directories(output + "trip");
    fs::rename(root + "camera/c1.jpg", output + "trip/c1.jpg");
    fs::remove(root + "camera");
    fs::create_directory_symlink(output + "trip", root + "cameras");
    const std::string cameraBytes = readBytes(output + "trip/c1.jpg");
    mirofoto::AlbumRunRequest r = request({{"trip", "trip"}});  // "cameras" is not ticked
    r.existing = mirofoto::ExistingAlbumPolicy::OverwriteAll;
    Told told;
    EXPECT_FALSE(mirofoto::GenerateAlbum(r, told).finished);
    EXPECT_TRUE(contains(told.told, mirofoto::runText(mirofoto::RunText::OutputFolderOverlaps, {root})));
    EXPECT_EQ(readBytes(output + "trip/c1.jpg"), cameraBytes);

    fs::remove(root + "cameras");
    fs::create_hard_link(root + "trip/p1.jpg", output + "trip/p1-again.jpg");
    const mirofoto::AlbumRunResult result = mirofoto::GenerateAlbum(r, told);
    EXPECT_TRUE(result.finished);
    EXPECT_TRUE(contains(result.problems, output + "trip"));
    EXPECT_TRUE(fs::exists(output + "trip/p1-again.jpg"));
    EXPECT_FALSE(fs::exists(output + "trip/c1.jpg"));  // not a photograph of the image folder
}

// A folder link standing where an album folder or "images" goes is replaced
// by a real folder, whatever the treatment: what it names keeps every byte
// (a record an earlier version left there included, which is never read).
TEST_F(AlbumRunTest, AFolderLinkWhereAnAlbumFolderOrImagesGoesIsReplaced) {
    photo("trip/p1.jpg", 64, 48);
    photo("trip/p2.jpg", 64, 48);
    writeBytes(tmp / "bg.png", "GIF89a the background");
    const fs::path victim = tmp / "victim";
    const struct {
        mirofoto::ExistingAlbumPolicy existing;
        const char* place;
    } cases[] = {
        {mirofoto::ExistingAlbumPolicy::OverwriteAll, "trip"}, {mirofoto::ExistingAlbumPolicy::HtmlOnly, "trip"},
        {mirofoto::ExistingAlbumPolicy::Update, "trip"},       {mirofoto::ExistingAlbumPolicy::Skip, "trip"},
        {mirofoto::ExistingAlbumPolicy::OverwriteAll, "images"}, {mirofoto::ExistingAlbumPolicy::Update, "images"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.place) + " " + std::to_string(static_cast<int>(c.existing)));
        mirofoto::AlbumRunRequest r = request({{"trip", "trip"}});
        r.settings.pages[0].useBackgroundColor = false;
        r.settings.pages[0].backgroundImage = tmp.str("bg.png");
        Told told;
        fs::remove_all(output);
        fs::create_directories(output);
        ASSERT_TRUE(mirofoto::GenerateAlbum(r, told).complete());  // the records of a run before
        fs::remove_all(victim);
        fs::create_directories(victim);
        for (const char* name : {"index.htm", "notes.txt", "bg.png", "p1_l.jpg", "p1.htm"})
            writeBytes(victim / name, std::string("the user's ") + name);
        writeBytes(victim / ".mirofoto-album.record", "mirofoto album record 1\nowned notes.txt\n");
        const auto before = filesUnder(victim);
        fs::remove_all(output + c.place);
        fs::create_directory_symlink(victim, output + c.place);
        r.existing = c.existing;
        EXPECT_TRUE(mirofoto::GenerateAlbum(r, told).finished);
        EXPECT_EQ(filesUnder(victim), before);
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(output + c.place)));
        EXPECT_TRUE(fs::exists(output + c.place + (c.place == std::string("trip") ? "/p1_l.jpg" : "/bg.png")));
    }
}

// A link with a picture's name that leads nowhere is one picture that could
// not be made, with its reason; its folder was read and its album is made.
TEST_F(AlbumRunTest, ADanglingPictureLinkIsAPictureFailureNotAFolderFailure) {
    photo("a.jpg", 64, 48);
    fs::create_symlink(root + "gone.jpg", root + "broken.jpg");
    const mirofoto::ImageFolderAlbums albums = mirofoto::readImageFolderAlbums(root);
    EXPECT_EQ(albums.unreadableFolders(), std::vector<std::string>{});
    mirofoto::AlbumRunRequest r = request({{root, "r"}});
    r.unreadableFolders = albums.unreadableFolders();
    Told told;
    const mirofoto::AlbumRunResult result = mirofoto::GenerateAlbum(r, told);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.unreadableFolders, std::vector<std::string>{});
    ASSERT_EQ(result.pictureFailures.size(), 1u);
    EXPECT_EQ(result.pictureFailures[0].source, root + "broken.jpg");
    EXPECT_EQ(result.pictureFailures[0].reason, mirofoto::runText(mirofoto::RunText::ReasonMissing));
    EXPECT_TRUE(fs::exists(output + mirofoto::EncodedName(root) + "/a_l.jpg"));
}

// When the lock file itself is in the way, the message names it.
TEST_F(AlbumRunTest, ALockFileInTheWayIsNamed) {
    photo("a.jpg", 64, 48);
    const std::string lockFile = output + std::string(mirofoto::kRunLockFileName);
    fs::create_directory(lockFile);
    Told told;
    EXPECT_FALSE(mirofoto::GenerateAlbum(request({{root, "r"}}), told).finished);
    EXPECT_EQ(told.told, std::vector<std::string>{mirofoto::runText(mirofoto::RunText::OutputFolderNotWritable,
                                                                     {lockFile, std::strerror(EISDIR)})});
}
