// The album run against hostile folders, settings and outputs: it says why a
// picture could not be made, never publishes what is not an image, never
// writes through a link into the photographs, names what it could not read,
// and keeps a second run out of its output folder.
#include "album_run_fixture.h"

#include "app/albumoutput/album_names.h"
#include "app/albumoutput/album_run_checks.h"
#include "app/albumoutput/album_run_messages.h"
#include "platform/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

using namespace mirofoto;
using albumrun_testing::AlbumRunTest;
using albumrun_testing::AsOrdinaryUser;
using albumrun_testing::openToAll;
using platform::MsgResult;
using testing_support::readBytes;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

// Records what the run says, answers No to the closing question.
struct Listener : AlbumRunObserver {
    std::vector<std::string> told;
    std::function<void()> onAlbum;
    MsgResult ask(AlbumQuestion q, std::string_view text, platform::MsgButtons, platform::MsgIcon) override {
        if (q != AlbumQuestion::ShowAlbum) ADD_FAILURE() << "unexpected question: " << text;
        return MsgResult::No;
    }
    void tell(std::string_view text, platform::MsgIcon) override { told.emplace_back(text); }
    void albumStarted(int) override {
        if (onAlbum) onAlbum();
    }
};

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The names in a folder that the run might have left behind: hidden files.
std::vector<std::string> hiddenFiles(const fs::path& folder) {
    std::vector<std::string> hidden;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.path().filename().string().front() == '.') hidden.push_back(e.path().string());
    return hidden;
}

}  // namespace

TEST(RunMessages, ReasonsAndPlaceholders) {
    struct Case {
        int code;
        bool corrupt;
        const char* text;
        const char* reason;
    } cases[] = {
        {EACCES, false, "Permission denied", "読み込めません: 権限がありません"},
        {EPERM, false, "", "読み込めません: 権限がありません"},
        {ENOSPC, false, "No space left on device", "ディスクに空きがありません"},
        {EDQUOT, false, "", "ディスクに空きがありません"},
        {0, true, "VipsJpeg: Premature end of JPEG file", "破損したJPEGファイルです"},
        {ENOENT, false, "No such file", "ファイルがありません"},
        {0, false, "VipsImage: out of memory", "VipsImage: out of memory"},
        {EIO, false, "", "Input/output error"},
        {0, false, "", "原因がわかりません"},
    };
    for (const Case& c : cases) EXPECT_EQ(failureReasonText(c.code, c.corrupt, c.text), c.reason) << c.code;

    EXPECT_EQ(runText(RunText::RecreateAlbum, {"旅行{1}"}),
              "旅行{1}\rフォルダは既に「HTML出力先」に存在します。\r\r再作成しますか？");
    EXPECT_EQ(runText(RunText::TermAlbum, {"1", "2"}), "[1/2] ");
    EXPECT_EQ(runText(RunText::TermAlbum, {"\x8E\xCA\x90\x5E", "2"}), "[\\x8Eʐ^/2] ");  // a Shift_JIS name
    std::vector<std::string> many;
    for (int i = 0; i < 23; ++i) many.push_back("f" + std::to_string(i));
    const std::string listed = runTextWithList(RunText::FilesNotWritten, many);
    EXPECT_TRUE(listed.ends_with("\rf19\rほか 3 件")) << listed;
}

// Each reason a picture cannot be made, in the run's report and its message.
TEST_F(AlbumRunTest, PicturesThatCannotBeMadeSayWhy) {
    photo("good.jpg", 64, 48);
    photo("cut.jpg", 640, 480);
    const std::string whole = readBytes(tmp / "photos/cut.jpg");
    writeBytes(tmp / "photos/cut.jpg", whole.substr(0, whole.size() / 2));
    writeBytes(tmp / "photos/header.jpg", "\xFF\xD8\xFF\xE0 not really a JPEG");
    photo("locked.jpg", 64, 48);
    fs::permissions(tmp / "photos/locked.jpg", fs::perms::none);
    openToAll(tmp.path());
    openToAll(tmp / "out");

    Listener listener;
    AlbumRunResult result;
    {
        const AsOrdinaryUser user;
        result = GenerateAlbum(request({{root, "r"}}), listener);
    }
    ASSERT_TRUE(result.finished);
    ASSERT_EQ(result.pictureFailures.size(), 3u);
    EXPECT_EQ(result.failedPictures, (std::vector<std::string>{root + "cut.jpg", root + "header.jpg", root + "locked.jpg"}));
    EXPECT_EQ(result.pictureFailures[0].reason, "破損したJPEGファイルです");
    EXPECT_TRUE(contains(result.pictureFailures[0].detail, "Premature end")) << result.pictureFailures[0].detail;
    EXPECT_EQ(result.pictureFailures[1].reason, "破損したJPEGファイルです");
    EXPECT_EQ(result.pictureFailures[2].reason, "読み込めません: 権限がありません");
    EXPECT_TRUE(contains(result.pictureFailures[2].detail, "errno 13")) << result.pictureFailures[2].detail;
    ASSERT_FALSE(listener.told.empty());
    EXPECT_EQ(listener.told.front(), "次の画像から縮小画像を作成できませんでした。\r" + root + "cut.jpg（破損したJPEGファイルです）\r" +
                                         root + "header.jpg（破損したJPEGファイルです）\r" + root +
                                         "locked.jpg（読み込めません: 権限がありません）");
    EXPECT_TRUE(fs::exists(tmp / "out" / EncodedName(root) / "good_l.jpg"));
}

TEST_F(AlbumRunTest, AFullDiskIsNamedAsTheReason) {
    const testing_support::FullDisk disk(48 * 1024);
    if (!disk.available()) GTEST_SKIP() << disk.why();
    samples::PhotoSpec spec;
    spec.width = 1600;
    spec.height = 1200;
    spec.noise = 40;
    fs::create_directories(tmp / "photos");
    samples::writePhotoJpeg(root + "big.jpg", spec);
    AlbumRunRequest r = request({{root, "r"}});
    r.outputFolderText = disk.str("out");
    r.settings.largeWidth = 1024;
    r.settings.largeHeight = 768;
    r.settings.largeQuality = 100;
    fs::create_directories(disk.str("out"));

    Listener listener;
    const AlbumRunResult result = GenerateAlbum(r, listener);
    ASSERT_TRUE(result.finished);
    ASSERT_EQ(result.pictureFailures.size(), 1u);
    EXPECT_EQ(result.pictureFailures[0].reason, "ディスクに空きがありません") << result.pictureFailures[0].detail;
    EXPECT_TRUE(contains(result.pictureFailures[0].detail, "errno 28")) << result.pictureFailures[0].detail;
    EXPECT_FALSE(fs::exists(disk.str("out/" + EncodedName(root) + "/big_l.jpg")));
    // No temporary file is left (and no record: those live elsewhere).
    EXPECT_EQ(hiddenFiles(disk.str("out")), std::vector<std::string>{});
}

// Only a picture may be published as a background: the settings file may
// name any file.
TEST_F(AlbumRunTest, ABackgroundMustBeAnImage) {
    photo("a.jpg", 64, 48);
    fs::create_directories(tmp / "a folder.png");
    writeBytes(tmp / "bg.png", std::string("\x89PNG\r\n\x1A\n", 8) + "rest");
    writeBytes(tmp / "bg.gif", "GIF87a...");
    ASSERT_EQ(::mkfifo((tmp / "fifo.jpg").c_str(), 0600), 0);
    struct Round {
        std::array<std::string, 3> images;
        std::vector<std::string> refused;
        std::vector<std::string> copied;
    } rounds[] = {
        {{"/etc/passwd", tmp.str("a folder.png"), tmp.str("bg.png")},
         {"背景画像0: /etc/passwd（JPEG、GIF、PNG のどの画像でもありません）",
          "背景画像1: " + tmp.str("a folder.png") + "（通常のファイルではありません）"},
         {"bg.png"}},
        {{"/dev/zero", tmp.str("fifo.jpg"), tmp.str("bg.gif")},
         {"背景画像0: /dev/zero（通常のファイルではありません）", "背景画像1: " + tmp.str("fifo.jpg") + "（通常のファイルではありません）"},
         {"bg.gif"}},
    };
    for (const Round& round : rounds) {
        fs::remove_all(tmp / "out/images");
        AlbumRunRequest r = request({{root, "r"}});
        r.existing = ExistingAlbumPolicy::OverwriteAll;
        for (int k = 0; k < 3; ++k) {
            r.settings.pages[k].useBackgroundColor = false;
            r.settings.pages[k].backgroundImage = round.images[k];
        }
        Listener listener;
        const AlbumRunResult result = GenerateAlbum(r, listener);
        ASSERT_TRUE(result.finished);
        EXPECT_FALSE(result.complete());
        EXPECT_EQ(result.refusedBackgrounds, round.refused);
        std::vector<std::string> copied;
        for (const auto& e : fs::directory_iterator(tmp / "out/images"))
            copied.push_back(e.path().filename().string());
        EXPECT_EQ(copied, round.copied);
        EXPECT_TRUE(std::find(listener.told.begin(), listener.told.end(),
                              runTextWithList(RunText::BackgroundsRefused, round.refused)) != listener.told.end());
        // The menu page of a refused background gets a plain body.
        EXPECT_TRUE(contains(readBytes(tmp / "out/index.htm"), "<BODY>\r\n"));
    }
}

// Links at single pages and copies are replaced by the writer
// (links_in_output_test.cpp); an "images" folder that leads into the
// photographs is replaced by a real folder, never written into.
TEST_F(AlbumRunTest, AnImagesFolderLinkedIntoThePhotographsIsNotWrittenInto) {
    photo("a.jpg", 64, 48);
    writeBytes(tmp / "a.jpg", "GIF89a a background named like the photograph");
    const std::string photoBytes = readBytes(tmp / "photos/a.jpg");
    fs::create_directory_symlink(tmp / "photos", tmp / "out/images");
    AlbumRunRequest r = request({{root, "r"}});
    r.settings.page(PageKind::Menu).useBackgroundColor = false;
    r.settings.page(PageKind::Menu).backgroundImage = tmp.str("a.jpg");
    Listener listener;
    const AlbumRunResult result = GenerateAlbum(r, listener);
    ASSERT_TRUE(result.complete());
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(tmp / "out/images")));
    EXPECT_TRUE(readBytes(tmp / "photos/a.jpg") == photoBytes);
}

TEST_F(AlbumRunTest, ASecondRunIntoTheSameFolderIsKeptOut) {
    photo("a.jpg", 64, 48);
    photo("旅行/x.jpg", 64, 48);
    const std::string lockFile = output + std::string(kRunLockFileName);
    {  // a lock held elsewhere: nothing is written
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        Listener listener;
        EXPECT_FALSE(GenerateAlbum(request({{root, "r"}}), listener).finished);
        EXPECT_EQ(listener.told, std::vector<std::string>{runText(RunText::OutputFolderBusy, {output})});
        EXPECT_FALSE(fs::exists(tmp / "out/index.htm"));
        ::close(fd);
    }
    // A run started while another is at work there is refused; the first
    // finishes its album, and takes its lock file away at the end.
    Listener first;
    AlbumRunResult second;
    first.onAlbum = [&] {
        if (second.outputFolder.empty()) {
            Listener other;
            second = GenerateAlbum(request({{root, "r"}}), other);
            second.outputFolder = "tried";
            EXPECT_EQ(other.told, std::vector<std::string>{runText(RunText::OutputFolderBusy, {output})});
        }
    };
    const AlbumRunResult result = GenerateAlbum(request({{root, "r"}, {"旅行", "旅行"}}), first);
    EXPECT_FALSE(second.finished);
    EXPECT_TRUE(result.complete());
    EXPECT_TRUE(fs::exists(tmp / "out/E69785E8A18C/x_l.jpg"));
    EXPECT_FALSE(fs::exists(lockFile));
}

TEST_F(AlbumRunTest, AnOutputFolderThatIsAFileIsSaidToBeOne) {
    photo("a.jpg", 64, 48);
    writeBytes(tmp / "page.htm", "a file");
    AlbumRunRequest r = request({{root, "r"}});
    r.outputFolderText = tmp.str("page.htm");
    AlbumRunObserver observer;
    EXPECT_FALSE(GenerateAlbum(r, observer).finished);
    EXPECT_EQ(ui.messages(), std::vector<std::string>{"指定された「HTML出力先」\r" + tmp.str("page.htm") +
                                                      "\rはフォルダではなくファイルです。"});
    EXPECT_EQ(readBytes(tmp / "page.htm"), "a file");
}

// What killed runs left in the folders a run writes goes; a temporary file
// of a writer still at work stays.
TEST_F(AlbumRunTest, TheRunClearsTemporariesOfRunsThatAreGone) {
    photo("a.jpg", 64, 48);
    writeBytes(tmp / "bg.gif", "GIF89a");
    const std::string live = platform::newTemporaryName();
    std::string gone = live;
    gone.replace(10, 8, "7ffffff0");  // a process id no process has
    const fs::path album = tmp / "out" / EncodedName(root);
    for (const fs::path& folder : {tmp / "out", album, tmp / "out/images"}) {
        writeBytes(folder / gone, "partial");
        writeBytes(folder / live, "being written");
    }
    AlbumRunRequest r = request({{root, "r"}});
    r.existing = ExistingAlbumPolicy::HtmlOnly;
    r.settings.page(PageKind::Thumbnail).useBackgroundColor = false;
    r.settings.page(PageKind::Thumbnail).backgroundImage = tmp.str("bg.gif");
    Listener listener;
    ASSERT_TRUE(GenerateAlbum(r, listener).complete());
    for (const fs::path& folder : {tmp / "out", album, tmp / "out/images"}) {
        EXPECT_FALSE(fs::exists(folder / gone)) << folder;
        EXPECT_TRUE(fs::exists(folder / live)) << folder;
    }
}
