// The HTML5 page style in a whole run: the root album's folder, the 2x
// copies and their offer on the pages, and switching the style back and
// forth with update runs.
#include "tests/albumrun/album_run_fixture.h"

#include "app/albumoutput/album_names.h"
#include "app/util/image_size.h"

#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace mirofoto;
using albumrun_testing::AlbumRunTest;

namespace {

using albumrun_testing::Silent;
using albumrun_testing::filesUnder;
using albumrun_testing::treeDifferences;

std::string bytesOf(const fs::path& p) { return testing_support::readBytes(p); }



std::int64_t mtimeNs(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

class PageStyleRun : public AlbumRunTest {
protected:
    AlbumRunRequest req;

    void SetUp() override {
        AlbumRunTest::SetUp();
        photo("a.jpg", 320, 240);  // larger than the thumbnail's box only
        photo("旅行/x.jpg", 400, 300);
        photo("山/big.jpg", 1200, 900);  // larger than both boxes
        req = request({{root, "r"}, {"旅行", "t"}, {"山", "m"}});
    }

    AlbumRunResult run(const std::string& out, ExistingAlbumPolicy policy, std::int16_t style) {
        AlbumRunRequest r = req;
        r.outputFolderText = out;
        r.existing = policy;
        r.settings.pageStyle = style;
        Silent silent;
        return GenerateAlbum(r, silent);
    }

    std::string fresh(const std::string& name, std::int16_t style) {
        const std::string folder = tmp.str(name) + "/";
        fs::create_directories(folder);
        EXPECT_TRUE(run(folder, ExistingAlbumPolicy::OverwriteAll, style).complete());
        return folder;
    }

    // The copies of the albums that are not the root, with their times.
    std::map<std::string, std::int64_t> subfolderCopies() const {
        std::map<std::string, std::int64_t> times;
        for (const std::string& album : {EncodedName("旅行"), EncodedName("山")})
            for (const auto& e : fs::directory_iterator(fs::path(output) / album)) {
                const std::string name = e.path().filename().string();
                if (name.ends_with("_s.jpg") || name.ends_with("_l.jpg")) times[album + "/" + name] = mtimeNs(e.path());
            }
        return times;
    }
};

}  // namespace

TEST_F(PageStyleRun, TwiceCopiesStandWhereTheSourceIsLargerAndArePickedByThePages) {
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::OverwriteAll, kModernPages).complete());
    const fs::path rootAlbum = fs::path(output) / "photos";  // the image folder's own name
    const fs::path mountain = fs::path(output) / EncodedName("山");
    ASSERT_TRUE(fs::is_directory(rootAlbum));
    EXPECT_FALSE(fs::exists(fs::path(output) / EncodedName(root)));

    const auto size = [](const fs::path& p) {
        const ImageSizeInfo i = GetImageSize(p.string(), DetectionMode::Jpeg);
        return std::pair(i.width, i.height);
    };
    EXPECT_EQ(size(mountain / "big_l2x.jpg"), std::pair(960, 720));
    EXPECT_EQ(size(mountain / "big_l.jpg"), std::pair(480, 360));
    EXPECT_EQ(size(mountain / "big_s2x.jpg"), std::pair(240, 180));
    EXPECT_EQ(size(rootAlbum / "a_s2x.jpg"), std::pair(240, 180));
    EXPECT_FALSE(fs::exists(rootAlbum / "a_l2x.jpg"));  // no larger than its 1x copy

    const std::string rootPage = bytesOf(rootAlbum / "a.htm");
    EXPECT_NE(rootPage.find("<img src=\"./a_l.jpg\" width=\"320\" height=\"240\""), std::string::npos);
    EXPECT_EQ(rootPage.find("srcset"), std::string::npos);
    EXPECT_NE(bytesOf(mountain / "big.htm").find("srcset=\"./big_l.jpg 1x, ./big_l2x.jpg 2x\" width=\"480\" "
                                                 "height=\"360\""),
              std::string::npos);
    EXPECT_NE(bytesOf(rootAlbum / "index.htm").find("srcset=\"./a_s.jpg 1x, ./a_s2x.jpg 2x\" width=\"120\""),
              std::string::npos);
    EXPECT_NE(bytesOf(fs::path(output) / "index.htm").find("href=\"./photos/index.htm\""), std::string::npos);
}

TEST_F(PageStyleRun, SwitchingTheStyleRemakesOnlyPagesTwiceCopiesAndTheRootAlbum) {
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::OverwriteAll, kClassicPages).complete());
    const auto classicCopies = subfolderCopies();

    // To the HTML5 pages: what a full run of them writes, the subfolders'
    // copies untouched.
    AlbumRunResult r = run(output, ExistingAlbumPolicy::Update, kModernPages);
    ASSERT_TRUE(r.complete()) << (r.problems.empty() ? "" : r.problems[0]);
    EXPECT_EQ(treeDifferences(filesUnder(output), filesUnder(fresh("modern", kModernPages))),
              std::vector<std::string>{});
    EXPECT_EQ(subfolderCopies(), classicCopies);
    // The root's two copies and its one 2x thumbnail; x and big: 2x copies.
    EXPECT_EQ(r.copiesMade, 2 + 1 + 1 + 2);
    EXPECT_EQ(r.copiesKept, 4);
    EXPECT_EQ(r.copiesRemoved, 2);

    // Nothing changed: everything is kept.
    r = run(output, ExistingAlbumPolicy::Update, kModernPages);
    ASSERT_TRUE(r.complete());
    EXPECT_EQ(r.copiesMade, 0);
    EXPECT_EQ(r.copiesKept, 6 + 4);

    // And back: today's album byte for byte.
    r = run(output, ExistingAlbumPolicy::Update, kClassicPages);
    ASSERT_TRUE(r.complete());
    EXPECT_EQ(treeDifferences(filesUnder(output), filesUnder(fresh("classic", kClassicPages))),
              std::vector<std::string>{});
    EXPECT_EQ(subfolderCopies(), classicCopies);
    EXPECT_EQ(r.copiesMade, 2);
    EXPECT_EQ(r.copiesRemoved, 4 + 2);
}
