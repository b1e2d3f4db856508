#include "album_run_fixture.h"

#include "app/albumoutput/generate_command.h"
#include "app/albumoutput/tick_command.h"
#include "app/settings/settings_write_report.h"
#include "app/albumoutput/album_names.h"
#include "app/settings/settings_files.h"
#include "app/util/image_size.h"

#include <sstream>
#include <sys/stat.h>

using namespace mirofoto;
using albumrun_testing::AlbumRunTest;
using albumrun_testing::AsOrdinaryUser;
using albumrun_testing::openToAll;
using testing_support::readBytes;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

struct CommandRun {
    int code;
    std::string out, err;
};

CommandRun generate(const std::vector<std::string>& args, bool interactive = false, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = runGenerateCommand(args, in, out, err, interactive);
    return {code, out.str(), err.str()};
}

bool has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

TEST_F(AlbumRunTest, GenerateMakesTheAlbumAndReportsProgress) {
    photo("a.jpg", 64, 48);
    photo("旅行/x.jpg", 64, 48);
    const CommandRun r = generate({"--image-folder", root, "--output", output, "--threads", "1"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_NE(r.out.find("アルバム 2 件"), std::string::npos);
    EXPECT_NE(r.out.find("[2/2] 旅行"), std::string::npos);
    EXPECT_NE(r.out.find("(1/1) x.jpg"), std::string::npos);
    EXPECT_NE(r.out.find(output + "index.htm"), std::string::npos);
    EXPECT_TRUE(fs::exists(tmp / "out/E69785E8A18C/x_l.jpg"));
    EXPECT_TRUE(has(r.out, "縮小画像: 作成 4、そのまま 0、削除 0"));
    // The command reads the base settings but never writes them.
    EXPECT_FALSE(fs::exists(home.path("ミロフォト.ini")));

    // An update after one picture went and a file of the user's came.
    fs::remove(root + "a.jpg");
    writeBytes(output + "notes.txt", "mine");
    const CommandRun u = generate({"--image-folder", root, "--output", output, "--existing", "update"});
    EXPECT_EQ(u.code, kGenerateDone) << u.err;
    EXPECT_TRUE(has(u.out, "縮小画像: 作成 0、そのまま 2、削除 2")) << u.out;
    EXPECT_TRUE(has(u.out, "そのままにしました。\n" + output + "notes.txt\n")) << u.out;
    EXPECT_FALSE(fs::exists(output + EncodedName(root) + "/a_l.jpg"));
}

TEST_F(AlbumRunTest, GenerateWithoutATerminalRefusesQuestions) {
    photo("旅行/x.jpg", 64, 48);
    // A missing output folder needs a question.
    CommandRun r = generate({"--image-folder", root, "--output", tmp.str("missing")});
    EXPECT_EQ(r.code, kGenerateStopped);
    EXPECT_NE(r.err.find("フォルダを作成しますか？"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "missing"));

    // So does an existing album with the default policy...
    fs::create_directories(tmp / "out/E69785E8A18C");
    writeBytes(tmp / "out/E69785E8A18C/keep", "x");
    r = generate({"--image-folder", root, "--output", output});
    EXPECT_EQ(r.code, kGenerateStopped);
    EXPECT_NE(r.err.find("--existing"), std::string::npos);
    EXPECT_EQ(readBytes(tmp / "out/E69785E8A18C/keep"), "x");

    // ...which a policy answers, as does a terminal.
    r = generate({"--image-folder", root, "--output", output, "--existing", "skip"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    r = generate({"--image-folder", root, "--output", output}, true, "y\nn\n");
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "out/E69785E8A18C/keep"));
    EXPECT_NE(r.out.find("再作成しますか？ [y/N]"), std::string::npos);
}

TEST_F(AlbumRunTest, GenerateUsesTheStoredSettingsOrAnAlbumSettingsFile) {
    photo("a.jpg", 640, 480);
    AlbumSettings s = AlbumSettings::defaults();
    s.imageFolder = root;
    s.outputFolder = output;
    s.largeWidth = 200;
    s.largeHeight = 150;
    ASSERT_TRUE(基本設定保存(baseSettingsFile(), s, WindowPlacement{}));
    const fs::path enlarged = tmp / "out" / EncodedName(root) / "a_l.jpg";

    CommandRun r = generate({"--existing", "overwrite"});
    ASSERT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_EQ(GetImageSize(enlarged.string(), DetectionMode::ByContent).width, 200);

    s.largeWidth = 100;
    s.largeHeight = 75;
    ASSERT_TRUE(基本設定保存(tmp.str("album.mfs"), s, WindowPlacement{}));
    r = generate({"--settings", tmp.str("album.mfs"), "--existing", "overwrite"});
    ASSERT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_EQ(GetImageSize(enlarged.string(), DetectionMode::ByContent).width, 100);
}

TEST_F(AlbumRunTest, GeneratePageStyleChoosesThePagesOfOneRun) {
    photo("a.jpg", 64, 48);
    CommandRun r = generate({"--image-folder", root, "--output", output, "--page-style", "modern"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_TRUE(has(testing_support::readBytes(output + "index.htm"), "<!DOCTYPE html>"));
    EXPECT_TRUE(fs::exists(output + "photos/a_l.jpg"));  // the root album under its own name
    // Not stored: the next run without the option makes the classic pages.
    r = generate({"--image-folder", root, "--output", output, "--existing", "update"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_TRUE(has(testing_support::readBytes(output + "index.htm"), "<HTML>"));
    EXPECT_FALSE(fs::exists(output + "photos"));
    EXPECT_TRUE(fs::exists(output + EncodedName(root) + "/a_l.jpg"));
}

TEST(GenerateCommand, BadArgumentsAreUsageErrors) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus"}, {"--existing", "sometimes"}, {"--output"}, {"--threads", "-1"},
          {"--threads", "2x"}, {"--settings", "/nonexistent/album.mfs"}, {"--page-style", "fancy"},
          {"--page-style"}}) {
        const CommandRun r = generate(args);
        EXPECT_EQ(r.code, kGenerateUsage) << args[0];
        EXPECT_FALSE(r.err.empty());
    }
    const CommandRun help = generate({"--help"});
    EXPECT_EQ(help.code, kGenerateDone);
    EXPECT_NE(help.out.find("mirofoto generate --image-folder"), std::string::npos);
}

// Hostile folders, settings files and output folders, from the shell.

TEST_F(AlbumRunTest, GenerateNamesTheFoldersItCouldNotReadAndWhyPicturesFailed) {
    photo("a.jpg", 64, 48);
    photo("cut.jpg", 640, 480);
    const std::string whole = readBytes(tmp / "photos/cut.jpg");
    writeBytes(tmp / "photos/cut.jpg", whole.substr(0, whole.size() / 2));
    photo("秘密/x.jpg", 64, 48);
    fs::permissions(tmp / "photos/秘密", fs::perms::none);
    openToAll(tmp.path());
    openToAll(tmp / "out");
    openToAll(home.folder());

    for (const bool verbose : {false, true}) {
        std::vector<std::string> args = {"--image-folder", root, "--output", output, "--existing", "overwrite"};
        if (verbose) args.push_back("--verbose");
        CommandRun r;
        {
            const AsOrdinaryUser user;
            r = generate(args);
        }
        EXPECT_EQ(r.code, kGenerateIncomplete) << r.err;
        EXPECT_TRUE(has(r.err, "次のフォルダを読み込めなかったため、アルバムに含めませんでした。\n" + root + "秘密/\n"))
            << r.err;
        EXPECT_TRUE(has(r.err, root + "cut.jpg（破損したJPEGファイルです）")) << r.err;
        EXPECT_EQ(has(r.err, "詳細:"), verbose) << r.err;
        EXPECT_EQ(has(r.err, "Premature end"), verbose) << r.err;
        EXPECT_EQ(has(r.err, "設定の読み出し"), verbose) << r.err;
    }
    fs::permissions(tmp / "photos/秘密", fs::perms::owner_all);
}

TEST_F(AlbumRunTest, GenerateRefusesSettingsThatAreNoFile) {
    fs::create_directories(tmp / "folder.mfs");
    ASSERT_EQ(::mkfifo((tmp / "fifo.mfs").c_str(), 0600), 0);
    writeBytes(tmp / "locked.mfs", "[設定]\r\n");
    fs::permissions(tmp / "locked.mfs", fs::perms::none);
    openToAll(tmp.path());
    openToAll(home.folder());
    for (const std::string& file : {tmp.str("folder.mfs"), tmp.str("fifo.mfs"), std::string("/dev/zero"), tmp.str("locked.mfs")}) {
        CommandRun r;
        {
            const AsOrdinaryUser user;
            r = generate({"--settings", file, "--image-folder", root, "--output", output});
        }
        EXPECT_EQ(r.code, kGenerateUsage) << file;
        EXPECT_TRUE(has(r.err, "アルバム設定ファイルを読めません: " + file)) << r.err;
        EXPECT_FALSE(fs::exists(tmp / "out/index.htm"));
    }
}

TEST_F(AlbumRunTest, GenerateCreatesAMissingOutputFolderWhenAskedTo) {
    photo("a.jpg", 64, 48);
    CommandRun r = generate({"--image-folder", root, "--output", tmp.str("new/deep/album")});
    EXPECT_EQ(r.code, kGenerateStopped);
    EXPECT_TRUE(has(r.err, "--create-output")) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "new"));

    r = generate({"--image-folder", root, "--output", tmp.str("new/deep/album"), "--create-output"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_TRUE(fs::exists(tmp / "new/deep/album/index.htm"));

    writeBytes(tmp / "file", "x");
    r = generate({"--image-folder", root, "--output", tmp.str("file"), "--create-output"});
    EXPECT_EQ(r.code, kGenerateStopped);
    EXPECT_TRUE(has(r.err, "はフォルダではなくファイルです。")) << r.err;
    EXPECT_EQ(readBytes(tmp / "file"), "x");
    EXPECT_TRUE(has(generateHelp(), "--create-output"));
    EXPECT_TRUE(has(generateHelp(), "--verbose"));
}

namespace {

CommandRun tick(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = runTickCommand(args, out, err);
    return {code, out.str(), err.str()};
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(AlbumRunTest, TickChangesWhatTheNextGenerateMakes) {
    photo("a.jpg", 64, 48);
    photo("旅行/x.jpg", 64, 48);
    photo("家族/y.jpg", 64, 48);
    photo("家族/z.jpg", 64, 48);
    fs::create_directories(tmp / "photos/空");

    CommandRun r = tick({"--image-folder", root});
    EXPECT_EQ(r.code, kTickDone) << r.err;
    EXPECT_EQ(r.out, "[x] . (" + root + ")\n[x] 家族\n[x] 旅行\n( ) 空（画像なし）\n");

    EXPECT_EQ(tick({"--image-folder", root, "--album", "旅行", "off"}).code, kTickDone);
    EXPECT_EQ(tick({"--image-folder", root, "--album", "家族", "--picture", "y.jpg", "off"}).code, kTickDone);
    // Through the store the windows use.
    EXPECT_FALSE(stored().albumTicked("旅行"));
    EXPECT_EQ(stored().imageTickValue("家族", "y.jpg"), "0");
    EXPECT_EQ(tick({"--image-folder", root, "--album", "家族"}).out, "[ ] y.jpg\n[x] z.jpg\n");

    r = generate({"--image-folder", root, "--output", output, "--threads", "1"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_NE(r.out.find("アルバム 2 件"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(tmp / "out" / EncodedName("旅行")));
    EXPECT_TRUE(fs::exists(tmp / "out" / EncodedName("家族") / "z_l.jpg"));
    EXPECT_FALSE(fs::exists(tmp / "out" / EncodedName("家族") / "y_l.jpg"));

    // Wrong calls change nothing and say why.
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } wrong[] = {
        {{"--album", "旅行", "on"}, "--image-folder を指定してください"},
        {{"--image-folder", root, "on"}, "--album が必要です"},
        {{"--image-folder", root, "--album", "海", "on"}, "そのアルバムはありません: 海"},
        {{"--image-folder", root, "--album", "旅行", "--picture", "nope.jpg", "on"}, "その画像はありません"},
        {{"--image-folder", root, "--album", "空", "on"}, "画像のないアルバム"},
        {{"--image-folder", tmp.str("none"), "--album", "旅行", "on"}, "画像フォルダがありません"},
    };
    for (const Case& c : wrong) {
        r = tick(c.args);
        EXPECT_EQ(r.code, kTickUsage) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_FALSE(stored().albumTicked("旅行"));
}

TEST_F(AlbumRunTest, SettingsThatCannotBeKeptAreToldOnceWithTheirPlace) {
    photo("旅行/x.jpg", 64, 48);
    // A file where the settings folder should be: no user may write there.
    writeBytes(tmp / "blocked", "x");
    ::setenv("MIROFOTO_HOME", tmp.str("blocked").c_str(), 1);
    resetSettingsWriteFailures();

    CommandRun r = generate({"--image-folder", root, "--output", output, "--threads", "1"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_EQ(count(r.err, "設定を保存できません"), 1u) << r.err;
    EXPECT_NE(r.err.find(tmp.str("blocked") + "」に書き込めません（フォルダではありません）"), std::string::npos) << r.err;

    // The tick command, whose write fails: told once, with the file it tried.
    resetSettingsWriteFailures();
    r = tick({"--image-folder", root, "--album", "旅行", "off"});
    EXPECT_EQ(r.code, kTickNotStored);
    EXPECT_EQ(count(r.err, "設定を保存できません"), 1u) << r.err;
    EXPECT_NE(r.err.find("変更した設定は保持されません"), std::string::npos) << r.err;
    resetSettingsWriteFailures();
}

TEST_F(AlbumRunTest, TickSaysWhichAlbumsAndPicturesShareOneStoredKey) {
    for (const char* album : {"a=b", "a:b", " sp", "sp"}) photo(std::string(album) + "/p.jpg", 64, 48);
    for (const char* name : {"[x].jpg", "<x>.jpg", "P.jpg", "p.jpg", "own.jpg"}) photo(std::string("c/") + name, 64, 48);

    CommandRun r = tick({"--image-folder", root});
    EXPECT_EQ(r.out, "( ) . (" + root + ")（画像なし）\n[x]  sp（設定を共有: sp）\n[x] a:b（設定を共有: a=b）\n"
                     "[x] a=b（設定を共有: a:b）\n[x] c\n[x] sp（設定を共有:  sp）\n");
    r = tick({"--image-folder", root, "--album", "c"});
    EXPECT_EQ(r.out, "[x] <x>.jpg（設定を共有: [x].jpg）\n[x] [x].jpg（設定を共有: <x>.jpg）\n[x] own.jpg\n"
                     "[x] P.jpg（設定を共有: p.jpg）\n[x] p.jpg（設定を共有: P.jpg）\n");

    // A change warns that it changes the others too; one of its own does not.
    r = tick({"--image-folder", root, "--album", "a=b", "off"});
    EXPECT_EQ(r.code, kTickDone);
    EXPECT_NE(r.err.find("「a=b」は 「a:b」 と設定ファイルの同じ項目"), std::string::npos) << r.err;
    EXPECT_FALSE(stored().albumTicked("a:b"));
    r = tick({"--image-folder", root, "--album", "c", "--picture", "[x].jpg", "off"});
    EXPECT_NE(r.err.find("「[x].jpg」は 「<x>.jpg」"), std::string::npos) << r.err;
    r = tick({"--image-folder", root, "--album", "c", "--picture", "own.jpg", "off"});
    EXPECT_EQ(r.err, "");
}

TEST_F(AlbumRunTest, ASettingsFileLinkedToAPhotoIsNeverWrittenInto) {
    photo("旅行/x.jpg", 64, 48);
    const std::string photoBytes = readBytes(tmp / "photos/旅行/x.jpg");
    const PerFolderSettings settings = stored();
    fs::create_directories(settings.folder());
    fs::create_symlink(tmp / "photos/旅行/x.jpg", settings.file());
    resetSettingsWriteFailures();

    const CommandRun r = tick({"--image-folder", root, "--album", "旅行", "off"});
    EXPECT_EQ(r.code, kTickNotStored);
    EXPECT_NE(r.err.find("JPEG画像のファイルです。設定は書き込みません"), std::string::npos) << r.err;
    EXPECT_FALSE(settings.setImageTicked("旅行", "x.jpg", false));
    EXPECT_EQ(readBytes(tmp / "photos/旅行/x.jpg"), photoBytes);
    EXPECT_TRUE(fs::is_symlink(settings.file()));
    resetSettingsWriteFailures();
}

TEST_F(AlbumRunTest, GenerateAutoTurnStoresTheExifTurnBeforeTheRun) {
    photo("旅行/x.jpg", 64, 48);
    photo("旅行/kept.jpg", 64, 48);
    for (const char* name : {"旅行/x.jpg", "旅行/kept.jpg"})
        writeBytes(root + name, samples::withOrientation(readBytes(root + name), 6));
    const std::string original = readBytes(root + "旅行/x.jpg");
    stored().setTurn(root + "旅行/kept.jpg", 0);
    const CommandRun r =
        generate({"--image-folder", root, "--output", output, "--threads", "1", "--auto-turn"});
    EXPECT_EQ(r.code, kGenerateDone) << r.err;
    EXPECT_TRUE(has(r.out, "EXIFの向きで回転: 1 枚"));
    EXPECT_EQ(stored().turn(root + "旅行/x.jpg"), 90);
    EXPECT_EQ(stored().turn(root + "旅行/kept.jpg"), 0);
    EXPECT_EQ(readBytes(root + "旅行/x.jpg"), original);  // the photograph itself is never changed
    // The album's copy stands turned: 48 x 64.
    const ImageSizeInfo size = GetImageSize((tmp / "out/E69785E8A18C/x_l.jpg").string(), DetectionMode::ByContent);
    EXPECT_EQ(size.width, 48);
    EXPECT_EQ(size.height, 64);
}
