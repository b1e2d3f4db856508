#include "album_run_fixture.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_names.h"
#include "app/util/image_size.h"

#include <filesystem>

using namespace mirofoto;
using albumrun_testing::AlbumRunTest;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;
using testing_support::readBytes;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

// The head every page shares, for default colours.
std::vector<std::string> head(const std::string& title, const std::string& body) {
    return {"<HTML>",
            "<HEAD>",
            "<META http-equiv='content-type' content='text/html; charset=Shift_JIS'>",
            "<TITLE>" + title + "</TITLE>",
            "<STYLE TYPE='TEXT/CSS'>",
            "<!--",
            ".MIROFOTO { COLOR:000080;}",
            "A:link.MIROFOTO { COLOR:0000FF;text-decoration:underline;}",
            "A:active.MIROFOTO { COLOR:0000FF;text-decoration:underline;}",
            "A:visited.MIROFOTO { COLOR:FF0000;text-decoration:underline;}",
            "-->",
            "</STYLE>",
            "</HEAD>",
            body,
            "<DIV CLASS='MIROFOTO'>",
            ""};
}

std::string pageOf(std::vector<std::string> lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    return platform::utf8ToCp932Html(text);
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::pair<int, int> sizeOf(const fs::path& file) {
    const ImageSizeInfo info = GetImageSize(file.string(), DetectionMode::ByContent);
    return {info.width, info.height};
}

const std::string kGreen = "<BODY BGCOLOR='#C0FFC0'>";
const std::string kMenuLink = "<A CLASS='MIROFOTO' HREF='../index.htm'>メニューページへ</A>";
const std::string kSpaces3 = "\u3000\u3000\u3000";

}  // namespace

// A whole album from stored choices: which albums and pictures take part,
// titles, turns, dates, comments, columns and a background image.
TEST_F(AlbumRunTest, TheWholeAlbumMatchesItsPagesAndPictureSizes) {
    photo("a.jpg", 320, 240, "2026:05:03 18:42:10", "夕焼け");
    photo("b b.JPG", 240, 300);
    photo(".hidden.jpg", 64, 48);
    writeBytes(tmp / "photos/notes.txt", "not a picture");
    photo("旅行/x.jpg", 400, 300, "2026:08:11 06:30:00", "朝 ｶﾒﾗ");
    photo("旅行/y.jpeg", 400, 300);
    writeBytes(tmp / "photos/旅行/z.png", "\x89PNG");
    fs::create_directories(tmp / "photos/空");
    photo("off/p.jpg", 100, 100);
    writeBytes(tmp / "bg.gif", "GIF89a background");

    const PerFolderSettings s = stored();
    ASSERT_TRUE(s.setImageTicked("旅行", "y.jpeg", false));
    ASSERT_TRUE(s.setAlbumTicked("off", false));
    ASSERT_TRUE(s.setTurn(root + "a.jpg", 90));
    ASSERT_TRUE(s.setMenuTitle("私のアルバム"));
    ASSERT_TRUE(s.setMenuSubtitle("2026年 é"));
    ASSERT_TRUE(s.setMenuEntry(root + "旅行/", "旅行の写真"));

    const ImageFolderAlbums folder = readImageFolderAlbums(root);
    AlbumRunRequest r = request({});
    for (const AlbumFolder& a : folder.tickedInRunOrder()) r.albums.push_back({a.treeText, a.linkText});
    r.menuTitle = folder.menuTitle;
    r.menuSubtitle = folder.menuSubtitle;
    r.settings.columns = 2;
    r.settings.page(PageKind::Thumbnail).useBackgroundColor = false;
    r.settings.page(PageKind::Thumbnail).backgroundImage = tmp.str("bg.gif");
    r.settings.followOrientation = 0;  // the stored turn after the box
    ui.messageAnswers = {MsgResult::No};  // do not show the album

    const AlbumRunResult result = GenerateAlbum(r, *std::make_unique<AlbumRunObserver>());
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.failedPictures.empty());
    EXPECT_TRUE(result.problems.empty());
    EXPECT_EQ(ui.messages(), std::vector<std::string>{"処理が完了しました。\r\r作成したアルバムを表示しますか？"});

    const std::string rootDir = EncodedName(root);
    EXPECT_EQ(readBytes(tmp / "out/index.htm"),
              pageOf(head("私のアルバム", kGreen) +
                     std::vector<std::string>{"<H1>", "私のアルバム", "</H1>", "<H2>", "2026年 é", "</H2>", "",
                                              "<TABLE>", "<TR>", "<TD>", "</TD>", "<TD>",
                                              "・<A CLASS='MIROFOTO' HREF='./" + rootDir + "/index.htm'>photos</A>",
                                              "</TD>", "<TD>", "</TD>", "</TR>", "<TR>", "<TD>", "</TD>", "<TD>",
                                              "・<A CLASS='MIROFOTO' HREF='./E69785E8A18C/index.htm'>旅行の写真</A>",
                                              "</TD>", "<TD>", "</TD>", "</TR>", "</TABLE>", "", "</DIV>", "</BODY>",
                                              "</HTML>"}));

    const fs::path rootAlbum = tmp / "out" / rootDir;
    EXPECT_EQ(readBytes(rootAlbum / "index.htm"),
              pageOf(head("photos", "<BODY BACKGROUND='../images/bg.gif'>") +
                     std::vector<std::string>{kMenuLink,
                                              "<H1>", "photos", "</H1>", "",
                                              "<TABLE BORDER='1' CLASS='MIROFOTO'>",
                                              "<TR>", "<TD WIDTH='50%'>",
                                              "<A CLASS='MIROFOTO' HREF='./a.htm'>", "<IMG SRC='./a_s.jpg'>",
                                              "</A><BR>", "<SMALL>", "a.jpg<BR>", "2026年05月03日 18時42分<BR>",
                                              "夕焼け", "</SMALL>", "</TD>",
                                              "<TD WIDTH='50%'>",
                                              "<A CLASS='MIROFOTO' HREF='./b+b.htm'>", "<IMG SRC='./b+b_s.jpg'>",
                                              "</A><BR>", "<SMALL>", "b b.JPG<BR>", "", "</SMALL>", "</TD>",
                                              "</TR>", "</TABLE>", kMenuLink, "", "</DIV>", "</BODY>", "</HTML>"}));
    EXPECT_EQ(readBytes(rootAlbum / "a.htm"),
              pageOf(head("photos a.jpg", kGreen) +
                     std::vector<std::string>{kMenuLink + "<BR>", "\u3000\u3000\u3000\u3000\u3000\u3000\u3000",
                                              "<A CLASS='MIROFOTO' HREF='./index.htm'>サムネイルページへ</A>" + kSpaces3,
                                              "<A CLASS='MIROFOTO' HREF='./b+b.htm'>次の画像</A>", "",
                                              "<IMG SRC='./a_l.jpg'><BR>", "a.jpg<BR>", "2026年05月03日 18時42分<BR>",
                                              "夕焼け", "", "</DIV>", "</BODY>", "</HTML>"}));
    EXPECT_EQ(readBytes(rootAlbum / "b+b.htm"),
              pageOf(head("photos b b.JPG", kGreen) +
                     std::vector<std::string>{kMenuLink + "<BR>",
                                              "<A CLASS='MIROFOTO' HREF='./a.htm'>前の画像</A>" + kSpaces3,
                                              "<A CLASS='MIROFOTO' HREF='./index.htm'>サムネイルページへ</A>" + kSpaces3,
                                              "", "<IMG SRC='./b+b_l.jpg'><BR>", "b b.JPG<BR>", "", "", "</DIV>",
                                              "</BODY>", "</HTML>"}));

    const fs::path travel = tmp / "out/E69785E8A18C";
    EXPECT_EQ(readBytes(travel / "x.htm"),
              pageOf(head("旅行の写真 x.jpg", kGreen) +
                     std::vector<std::string>{kMenuLink + "<BR>", "\u3000\u3000\u3000\u3000\u3000\u3000\u3000",
                                              "<A CLASS='MIROFOTO' HREF='./index.htm'>サムネイルページへ</A>" + kSpaces3,
                                              "", "<IMG SRC='./x_l.jpg'><BR>", "x.jpg<BR>",
                                              "2026年08月11日 06時30分<BR>", "朝 ｶﾒﾗ", "", "</DIV>", "</BODY>",
                                              "</HTML>"}));

    // Box first, then the stored turn; pictures are never enlarged.
    EXPECT_EQ(sizeOf(rootAlbum / "a_s.jpg"), std::make_pair(90, 120));
    EXPECT_EQ(sizeOf(rootAlbum / "a_l.jpg"), std::make_pair(240, 320));
    EXPECT_EQ(sizeOf(rootAlbum / "b+b_s.jpg"), std::make_pair(72, 90));
    EXPECT_EQ(sizeOf(rootAlbum / "b+b_l.jpg"), std::make_pair(240, 300));
    EXPECT_EQ(sizeOf(travel / "x_s.jpg"), std::make_pair(120, 90));
    EXPECT_EQ(sizeOf(travel / "x_l.jpg"), std::make_pair(400, 300));

    // Only what the album needs: no unticked, hidden or foreign files, no
    // album for the unticked or empty folders.
    std::vector<std::string> travelFiles;
    for (const auto& e : fs::directory_iterator(travel)) travelFiles.push_back(e.path().filename().string());
    std::sort(travelFiles.begin(), travelFiles.end());
    EXPECT_EQ(travelFiles,
              (std::vector<std::string>{"index.htm", "x.htm", "x_l.jpg", "x_s.jpg"}));
    std::vector<std::string> top;
    for (const auto& e : fs::directory_iterator(tmp / "out")) top.push_back(e.path().filename().string());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{rootDir, "E69785E8A18C", "images", "index.htm"}));
    EXPECT_EQ(readBytes(tmp / "out/images/bg.gif"), "GIF89a background");

    // Reading the choices and making the album wrote nothing into the
    // image folder.
    std::vector<std::string> rootFiles;
    for (const auto& e : fs::directory_iterator(tmp / "photos")) rootFiles.push_back(e.path().filename().string());
    std::sort(rootFiles.begin(), rootFiles.end());
    EXPECT_EQ(rootFiles, (std::vector<std::string>{".hidden.jpg", "a.jpg", "b b.JPG", "notes.txt", "off", "旅行", "空"}));
}

TEST_F(AlbumRunTest, ShowingTheAlbumOpensItsMenuPage) {
    photo("a.jpg", 64, 48);
    ui.messageAnswers = {MsgResult::Yes};
    AlbumRunObserver observer;
    ASSERT_TRUE(GenerateAlbum(request({{root, "r"}}), observer).finished);
    ASSERT_EQ(ui.calls.back().kind, "document");
    EXPECT_EQ(ui.calls.back().text, output + "index.htm");
    const auto& question = ui.calls[ui.calls.size() - 2];
    EXPECT_EQ(question.caption, "ミロフォト");
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_EQ(question.icon, MsgIcon::Information);
}

// Each policy for an album directory that already exists.
class ExistingAlbumTest : public AlbumRunTest {
protected:
    fs::path album;
    void SetUp() override {
        AlbumRunTest::SetUp();
        photo("旅行/x.jpg", 160, 120);
        photo("旅行/y.jpg", 160, 120);
        album = tmp / "out/E69785E8A18C";
        writeBytes(album / "marker.txt", "left from before");
        writeBytes(album / "x_s.jpg", "old thumbnail");
    }
    AlbumRunResult run(ExistingAlbumPolicy policy) {
        AlbumRunRequest r = request({{"旅行", "旅行"}});
        r.existing = policy;
        AlbumRunObserver observer;
        return GenerateAlbum(r, observer);
    }
    bool menuListsTheAlbum() {
        const std::string menu = platform::cp932ToUtf8(readBytes(tmp / "out/index.htm"));
        return menu.find("HREF='./E69785E8A18C/index.htm'>旅行</A>") != std::string::npos;
    }
};

TEST_F(ExistingAlbumTest, AskedAndAnsweredYesRemakesTheFolder) {
    ui.messageAnswers = {MsgResult::Yes, MsgResult::No};
    ASSERT_TRUE(run(ExistingAlbumPolicy::Ask).finished);
    EXPECT_EQ(ui.messages().front(),
              "旅行\rフォルダは既に「HTML出力先」に存在します。\r\r再作成しますか？");
    EXPECT_EQ(ui.calls.front().buttons, MsgButtons::YesNo);
    EXPECT_FALSE(fs::exists(album / "marker.txt"));
    EXPECT_EQ(sizeOf(album / "x_s.jpg"), std::make_pair(120, 90));
    EXPECT_TRUE(menuListsTheAlbum());
}

TEST_F(ExistingAlbumTest, AskedAndAnsweredNoLeavesTheFolderButListsIt) {
    ui.messageAnswers = {MsgResult::No, MsgResult::No};
    ASSERT_TRUE(run(ExistingAlbumPolicy::Ask).finished);
    EXPECT_EQ(readBytes(album / "marker.txt"), "left from before");
    EXPECT_EQ(readBytes(album / "x_s.jpg"), "old thumbnail");
    EXPECT_FALSE(fs::exists(album / "index.htm"));
    EXPECT_TRUE(menuListsTheAlbum());
}

TEST_F(ExistingAlbumTest, OverwriteAllRemakesWithoutAsking) {
    ui.messageAnswers = {MsgResult::No};
    ASSERT_TRUE(run(ExistingAlbumPolicy::OverwriteAll).finished);
    EXPECT_EQ(ui.messages().size(), 1u);  // only the closing question
    EXPECT_FALSE(fs::exists(album / "marker.txt"));
    EXPECT_TRUE(fs::exists(album / "y_l.jpg"));
}

TEST_F(ExistingAlbumTest, HtmlOnlyKeepsExistingPicturesAndMakesMissingOnes) {
    ui.messageAnswers = {MsgResult::No};
    ASSERT_TRUE(run(ExistingAlbumPolicy::HtmlOnly).finished);
    EXPECT_EQ(readBytes(album / "x_s.jpg"), "old thumbnail");
    EXPECT_EQ(readBytes(album / "marker.txt"), "left from before");
    EXPECT_EQ(sizeOf(album / "x_l.jpg"), std::make_pair(160, 120));
    EXPECT_EQ(sizeOf(album / "y_s.jpg"), std::make_pair(120, 90));
    EXPECT_TRUE(fs::exists(album / "index.htm"));
    EXPECT_TRUE(fs::exists(album / "y.htm"));
}

TEST_F(ExistingAlbumTest, SkipLeavesTheFolderAloneButListsIt) {
    ui.messageAnswers = {MsgResult::No};
    ASSERT_TRUE(run(ExistingAlbumPolicy::Skip).finished);
    EXPECT_EQ(readBytes(album / "x_s.jpg"), "old thumbnail");
    EXPECT_FALSE(fs::exists(album / "index.htm"));
    EXPECT_TRUE(menuListsTheAlbum());
}

// Every stop of the run, with its message, and what it leaves.
TEST_F(AlbumRunTest, StopsBeforeTheAlbumsWithTheirMessages) {
    photo("a.jpg", 64, 48);
    struct Recorder : AlbumRunObserver {
        int stopped = 0, focused = 0, started = 0;
        std::string trimmed;
        void runStopped() override { ++stopped; }
        void focusOutputFolder() override { ++focused; }
        void runStarted() override { ++started; }
        void outputFolderTrimmed(std::string_view t) override { trimmed = t; }
    };
    auto runWith = [&](AlbumRunRequest r, Recorder& rec) {
        ui.calls.clear();
        return GenerateAlbum(r, rec);
    };

    {  // empty output folder
        Recorder rec;
        AlbumRunRequest r = request({{root, "r"}});
        r.outputFolderText = "   ";
        EXPECT_FALSE(runWith(r, rec).finished);
        EXPECT_EQ(ui.messages(), std::vector<std::string>{"「HTML出力先」を指定してください。"});
        EXPECT_EQ(ui.calls[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(ui.calls[0].caption, "ミロフォト");
        EXPECT_EQ(rec.focused, 1);
        EXPECT_EQ(rec.stopped, 1);
        EXPECT_EQ(rec.trimmed, "");
    }
    {  // missing output folder, creation declined
        Recorder rec;
        AlbumRunRequest r = request({{root, "r"}});
        r.outputFolderText = "  " + tmp.str("new/deep") + " ";
        ui.messageAnswers = {MsgResult::Cancel};
        EXPECT_FALSE(runWith(r, rec).finished);
        EXPECT_EQ(ui.messages(), std::vector<std::string>{"指定された「HTML出力先」\r" + tmp.str("new/deep") +
                                                          "\rは存在しません。\r\rフォルダを作成しますか？"});
        EXPECT_EQ(ui.calls[0].buttons, MsgButtons::OkCancel);
        EXPECT_EQ(rec.trimmed, tmp.str("new/deep"));
        EXPECT_EQ(rec.focused, 1);
        EXPECT_FALSE(fs::exists(tmp / "new"));
    }
    {  // missing output folder that cannot be made
        Recorder rec;
        writeBytes(tmp / "file", "x");
        AlbumRunRequest r = request({{root, "r"}});
        r.outputFolderText = tmp.str("file/out");
        ui.messageAnswers = {MsgResult::Ok};
        EXPECT_FALSE(runWith(r, rec).finished);
        EXPECT_EQ(ui.messages().back(), "フォルダを作成できませんでした。");
        EXPECT_EQ(ui.calls.back().icon, MsgIcon::Critical);
    }
    {  // no ticked album
        Recorder rec;
        EXPECT_FALSE(runWith(request({}), rec).finished);
        EXPECT_EQ(ui.messages(), std::vector<std::string>{"アルバムフォルダがありません。"});
        EXPECT_EQ(rec.started, 1);
        EXPECT_EQ(rec.stopped, 1);
    }
    {  // the images folder cannot be made
        Recorder rec;
        writeBytes(tmp / "out/images", "a file in the way");
        AlbumRunRequest r = request({{root, "r"}});
        r.settings.page(PageKind::Menu).useBackgroundColor = false;
        EXPECT_FALSE(runWith(r, rec).finished);
        EXPECT_EQ(ui.messages(), std::vector<std::string>{"フォルダの作成に失敗しました。\r（" + output + "images）"});
        EXPECT_EQ(ui.calls[0].icon, MsgIcon::Exclamation);
        EXPECT_FALSE(fs::exists(tmp / "out/index.htm"));
    }
}

// The menu page links only to albums that were made; the run is incomplete.
TEST_F(AlbumRunTest, AnAlbumFolderThatCannotBeMadeIsNotOnTheMenu) {
    photo("旅行/x.jpg", 64, 48);
    photo("家族/y.jpg", 64, 48);
    writeBytes(tmp / "out/E69785E8A18C", "a file where the album goes");
    ui.messageAnswers = {MsgResult::No};
    AlbumRunObserver observer;
    const AlbumRunResult result = GenerateAlbum(request({{"旅行", "旅行"}, {"家族", "家族"}}), observer);
    ASSERT_TRUE(result.finished);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(result.albums, 1);
    EXPECT_EQ(ui.messages().front(), "フォルダの作成に失敗しました。\r（旅行）");
    EXPECT_EQ(ui.calls.front().icon, MsgIcon::Critical);
    const std::string menu = platform::cp932ToUtf8(readBytes(tmp / "out/index.htm"));
    EXPECT_EQ(menu.find("E69785E8A18C"), std::string::npos);
    EXPECT_NE(menu.find(">家族</A>"), std::string::npos);
    EXPECT_TRUE(fs::exists(tmp / "out/E5AEB6E6978F/y_l.jpg"));  // the other album goes on
}

// Album directories bear the album folders' names, so an output folder that
// is the image folder, an album folder or above them would delete or
// overwrite the photographs. (One further inside the image folder is
// allowed: output_inside_image_folder_test.cpp.)
TEST_F(AlbumRunTest, AnOutputFolderOverlappingThePhotosIsRefused) {
    photo("Photos/x.jpg", 64, 48);
    const std::string original = readBytes(tmp / "photos/Photos/x.jpg");
    for (const std::string& out : {root, root + "Photos", tmp.str(), tmp.str("photos/../photos")}) {
        ui.calls.clear();
        AlbumRunRequest r = request({{"Photos", "Photos"}});
        r.outputFolderText = out;
        r.existing = ExistingAlbumPolicy::OverwriteAll;
        AlbumRunObserver observer;
        EXPECT_FALSE(GenerateAlbum(r, observer).finished) << out;
        ASSERT_EQ(ui.messages().size(), 1u) << out;
        EXPECT_EQ(ui.messages()[0], "「HTML出力先」には画像フォルダと重なるフォルダを指定できません。\r（" + root + "）");
    }
    EXPECT_EQ(readBytes(tmp / "photos/Photos/x.jpg"), original);
    EXPECT_FALSE(fs::exists(tmp / "photos/sub"));

    // An album subfolder that is a link to another place counts as well.
    fs::create_directories(tmp / "elsewhere");
    fs::create_directory_symlink(tmp / "elsewhere", tmp / "photos/linked");
    AlbumRunRequest r = request({{"linked", "linked"}});
    r.outputFolderText = tmp.str("elsewhere");
    AlbumRunObserver observer;
    EXPECT_FALSE(GenerateAlbum(r, observer).finished);
}

TEST_F(AlbumRunTest, PicturesThatCannotBeMadeAreNamedBeforeTheEnd) {
    photo("good.jpg", 64, 48);
    writeBytes(tmp / "photos/broken.jpg", "\xFF\xD8\xFF\xE0 not really a JPEG");
    ui.messageAnswers = {MsgResult::No};
    AlbumRunObserver observer;
    const AlbumRunResult result = GenerateAlbum(request({{root, "r"}}), observer);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.failedPictures, std::vector<std::string>{root + "broken.jpg"});
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[0], "次の画像から縮小画像を作成できませんでした。\r" + root + "broken.jpg（破損したJPEGファイルです）");
    EXPECT_EQ(ui.messages()[1], "処理が完了しました。\r\r作成したアルバムを表示しますか？");
    // Its cell and page are written all the same.
    const std::string dir = EncodedName(root);
    EXPECT_TRUE(fs::exists(tmp / "out" / dir / "broken.htm"));
    EXPECT_FALSE(fs::exists(tmp / "out" / dir / "broken_s.jpg"));
    EXPECT_TRUE(fs::exists(tmp / "out" / dir / "good_s.jpg"));
}

TEST_F(AlbumRunTest, AnUnansweredQuestionStopsTheRunAndKeepsTheOldMenuPage) {
    photo("旅行/x.jpg", 64, 48);
    fs::create_directories(tmp / "out/E69785E8A18C");
    writeBytes(tmp / "out/index.htm", "the menu page of an earlier run");
    struct Refusing : AlbumRunObserver {
        platform::MsgResult ask(AlbumQuestion, std::string_view text, MsgButtons, MsgIcon) override {
            throw AlbumRunCancelled(std::string(text));
        }
    } observer;
    const AlbumRunResult result = GenerateAlbum(request({{"旅行", "旅行"}}), observer);
    EXPECT_FALSE(result.finished);
    EXPECT_NE(result.cancelled.find("再作成しますか？"), std::string::npos);
    EXPECT_EQ(readBytes(tmp / "out/index.htm"), "the menu page of an earlier run");
    EXPECT_TRUE(ui.calls.empty());
}
