#include "app/albumoutput/image_derivation.h"
#include "app/util/imgctl.h"
#include "tests/imaging/jpeg_fixtures.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

using namespace mirofoto;
using imaging_test::decodeJpeg;
using imaging_test::isGrey;
using imaging_test::isRed;
using imaging_test::JpegOptions;
using imaging_test::writeJpeg;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Where the red quarter of the fixture lies in a decoded picture.
enum class Corner { TopLeft, TopRight, BottomRight, BottomLeft, None };

Corner redCorner(const imaging_test::Decoded& d) {
    const int qx = d.width / 4, qy = d.height / 4;
    const int xs[] = {qx, d.width - 1 - qx}, ys[] = {qy, d.height - 1 - qy};
    const Corner order[2][2] = {{Corner::TopLeft, Corner::TopRight}, {Corner::BottomLeft, Corner::BottomRight}};
    Corner found = Corner::None;
    int reds = 0;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i)
            if (isRed(d.at(xs[i], ys[j]))) {
                found = order[j][i];
                ++reds;
            } else if (!isGrey(d.at(xs[i], ys[j]))) {
                return Corner::None;
            }
    return reds == 1 ? found : Corner::None;
}

}  // namespace

TEST(FitBox, TheSideWithTheSmallerRatioBinds) {
    // Equal ratios: the height binds.
    EXPECT_EQ(FitBox(640, 480, 120, 90, true), (TargetSize{-1, 90}));
    // Portrait: 120/480 = 0.25 against 90/640 = 0.14.
    EXPECT_EQ(FitBox(480, 640, 120, 90, true), (TargetSize{-1, 90}));
    // Wide: 120/3000 binds the width.
    EXPECT_EQ(FitBox(3000, 10, 120, 90, true), (TargetSize{120, -1}));
}

TEST(FitBox, NeverEnlargesTheBindingSide) {
    // 360/50 = 7.2 > 480/100 = 4.8: the width binds and stays 100.
    EXPECT_EQ(FitBox(100, 50, 480, 360, true), (TargetSize{100, -1}));
    EXPECT_EQ(FitBox(50, 100, 480, 360, true), (TargetSize{-1, 100}));
    EXPECT_EQ(FitBox(100, 50, 480, 360, false), (TargetSize{100, 50}));
}

TEST(FitBox, FreeSides) {
    EXPECT_EQ(FitBox(640, 480, 0, 0, true), (TargetSize{640, 480}));
    EXPECT_EQ(FitBox(640, 480, -5, -1, true), (TargetSize{640, 480}));
    EXPECT_EQ(FitBox(640, 480, 200, 0, true), (TargetSize{200, -1}));
    EXPECT_EQ(FitBox(640, 480, 2000, -1, true), (TargetSize{640, -1}));
    EXPECT_EQ(FitBox(640, 480, 0, 100, true), (TargetSize{-1, 100}));
    EXPECT_EQ(FitBox(640, 480, 0, 900, true), (TargetSize{-1, 480}));
}

TEST(FitBox, WithoutKeepAspectBothSidesAreBoxed) {
    EXPECT_EQ(FitBox(640, 480, 120, 120, false), (TargetSize{120, 120}));
    EXPECT_EQ(FitBox(640, 480, 1000, 120, false), (TargetSize{640, 120}));
}

class MakeAlbumImageTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(MakeAlbumImageTest, FitsLandscapePortraitAndSmallPictures) {
    const auto land = writeJpeg(dir / "land.jpg", 640, 480);
    const auto port = writeJpeg(dir / "port.jpg", 480, 640);
    const auto small = writeJpeg(dir / "small.jpg", 100, 50);
    const auto odd = writeJpeg(dir / "odd.jpg", 1001, 751);
    const auto thin = writeJpeg(dir / "thin.jpg", 3000, 10);
    struct Case {
        std::string source;
        int boxWidth, boxHeight, width, height;
    } cases[] = {
        {land, 120, 90, 120, 90}, {port, 120, 90, 68, 90},   {small, 480, 360, 100, 50},
        {odd, 120, 90, 120, 90},  {thin, 120, 90, 120, 1},   {land, 0, 0, 640, 480},
        {land, 0, 100, 133, 100}, {port, 200, 0, 200, 267},
    };
    int n = 0;
    for (const auto& c : cases) {
        const fs::path out = dir / ("out" + std::to_string(n++) + ".jpg");
        SCOPED_TRACE(c.source + " into " + std::to_string(c.boxWidth) + "x" + std::to_string(c.boxHeight));
        ASSERT_TRUE(MakeAlbumImage(c.source, out.string(), c.boxHeight, c.boxWidth, true, 80, true));
        const auto d = decodeJpeg(out);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
    }
}

TEST_F(MakeAlbumImageTest, ResizedPictureKeepsItsContentInPlace) {
    const auto src = writeJpeg(dir / "a.jpg", 4000, 3000, JpegOptions{.quality = 92});
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("a_l.jpg"), 360, 480, true, 90, true));
    const auto d = decodeJpeg(dir / "a_l.jpg");
    ASSERT_EQ(d.width, 480);
    ASSERT_EQ(d.height, 360);
    EXPECT_EQ(redCorner(d), Corner::TopLeft);
    // The boundary of the red quarter stays where it was: no shift from scaled decoding.
    EXPECT_TRUE(isRed(d.at(235, 175)));
    EXPECT_TRUE(isGrey(d.at(245, 185)));
}

TEST_F(MakeAlbumImageTest, OutputCarriesNoMetadataAndIsNotTurnedByTheExifOrientation) {
    // Orientation 6 asks a viewer to turn right; the album stores its own turn.
    const auto src = writeJpeg(dir / "o.jpg", 640, 480, JpegOptions{.exifBytes = 200, .orientation = 6});
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("o_s.jpg"), 90, 120, true, 60, true));
    const auto d = decodeJpeg(dir / "o_s.jpg");
    EXPECT_EQ(d.width, 120);
    EXPECT_EQ(d.height, 90);
    EXPECT_EQ(redCorner(d), Corner::TopLeft);
    const std::string bytes = readBytes(dir / "o_s.jpg");
    EXPECT_EQ(imaging_test::findMarker(bytes, 0xE1), std::string::npos);  // no EXIF or XMP
    EXPECT_EQ(bytes.find("Exif"), std::string::npos);
}

TEST_F(MakeAlbumImageTest, ChromaIsSubsampledAtEveryQuality) {
    const auto src = writeJpeg(dir / "c.jpg", 640, 480);
    for (int q : {60, 90, 100}) {
        const fs::path out = dir / ("q" + std::to_string(q) + ".jpg");
        ASSERT_TRUE(MakeAlbumImage(src, out.string(), 360, 480, true, q, true));
        EXPECT_EQ(decodeJpeg(out).subsampling, TJSAMP_420) << "quality " << q;
    }
}

TEST_F(MakeAlbumImageTest, EncoderFlagTrueGivesTheSmallerFile) {
    const auto src = writeJpeg(dir / "e.jpg", 1600, 1200, JpegOptions{.quality = 95});
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("small.jpg"), 360, 480, true, 90, true));
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("fast.jpg"), 360, 480, true, 90, false));
    EXPECT_LT(fs::file_size(dir / "small.jpg"), fs::file_size(dir / "fast.jpg"));
}

TEST_F(MakeAlbumImageTest, QualityOutsideTheRangeIsClamped) {
    const auto src = writeJpeg(dir / "q.jpg", 320, 240);
    EXPECT_TRUE(MakeAlbumImage(src, dir.str("low.jpg"), 90, 120, true, -20, true));
    EXPECT_TRUE(MakeAlbumImage(src, dir.str("high.jpg"), 90, 120, true, 500, true));
    EXPECT_EQ(decodeJpeg(dir / "low.jpg").width, 120);
    EXPECT_GT(fs::file_size(dir / "high.jpg"), fs::file_size(dir / "low.jpg"));
}

TEST_F(MakeAlbumImageTest, EmptyDestinationMeansUnderscoreSBesideTheSource) {
    const auto src = writeJpeg(dir / "写真 1.JPG", 320, 240);
    ASSERT_TRUE(MakeAlbumImage(src, "", 90, 120, true, 60, false));
    EXPECT_EQ(decodeJpeg(dir / "写真 1_s.JPG").width, 120);
}

TEST_F(MakeAlbumImageTest, MissingDestinationFoldersAreCreated) {
    const auto src = writeJpeg(dir / "s.jpg", 320, 240);
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("out/deeper/s_s.jpg"), 90, 120, true, 60, true));
    EXPECT_TRUE(decodeJpeg(dir / "out/deeper/s_s.jpg").ok);
}

TEST_F(MakeAlbumImageTest, SourceMayBeItsOwnDestination) {
    const auto src = writeJpeg(dir / "self.jpg", 640, 480);
    ASSERT_TRUE(MakeAlbumImage(src, src, 90, 120, true, 70, false));
    EXPECT_EQ(decodeJpeg(src).width, 120);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"self.jpg"});
}

TEST_F(MakeAlbumImageTest, BadSourcesGiveFalseAndLeaveNoFile) {
    const std::string good = imaging_test::makeJpeg(640, 480);
    writeBytes(dir / "in/truncated.jpg", good.substr(0, good.size() / 2));
    writeBytes(dir / "in/empty.jpg", "");
    writeBytes(dir / "in/text.jpg", "GIF? no, just text\n");
    writeBytes(dir / "in/png.jpg",
               std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0\0\0\0\0", 33));
    // A header that claims 65000 x 65000 pixels over a few bytes of data.
    writeBytes(dir / "in/huge.jpg", imaging_test::withFrameSize(good, 65000, 65000));
    // A correct header in front of data that is not JPEG at all.
    const std::size_t sos = good.find("\xFF\xDA");
    writeBytes(dir / "in/garbage.jpg", good.substr(0, sos + 14) + std::string(5000, '\x55'));
    fs::create_directory(dir / "out");
    for (const char* name : {"truncated", "empty", "text", "png", "huge", "garbage", "missing"}) {
        SCOPED_TRACE(name);
        const std::string src = dir.str("in/" + std::string(name) + ".jpg");
        EXPECT_FALSE(MakeAlbumImage(src, dir.str("out/" + std::string(name) + "_s.jpg"), 90, 120, true, 60, true));
    }
    EXPECT_TRUE(namesIn(dir / "out").empty());
}

TEST_F(MakeAlbumImageTest, DataEndingLongBeforeTheClaimedSizeIsStreamedNotHeld) {
    // 192 megapixels claimed, a few kilobytes of data closed by a proper end
    // marker: what can be decoded is, the rest is grey, and memory stays
    // that of a thumbnail. Whatever the outcome, no partial file remains.
    writeBytes(dir / "big.jpg", imaging_test::withFrameSize(imaging_test::makeJpeg(640, 480), 16000, 12000));
    fs::create_directory(dir / "out");
    if (MakeAlbumImage(dir.str("big.jpg"), dir.str("out/big_s.jpg"), 90, 120, true, 60, true)) {
        const auto d = decodeJpeg(dir / "out/big_s.jpg");
        EXPECT_EQ(d.width, 120);
        EXPECT_EQ(d.height, 90);
    }
    const auto names = namesIn(dir / "out");
    EXPECT_TRUE(names.empty() || names == std::vector<std::string>{"big_s.jpg"});
}

TEST_F(MakeAlbumImageTest, FailureLeavesAnExistingDestinationAsItWas) {
    const std::string good = imaging_test::makeJpeg(640, 480);
    writeBytes(dir / "broken.jpg", good.substr(0, good.size() - 200));
    writeBytes(dir / "out/keep_s.jpg", "the old thumbnail");
    EXPECT_FALSE(MakeAlbumImage(dir.str("broken.jpg"), dir.str("out/keep_s.jpg"), 90, 120, true, 60, true));
    EXPECT_EQ(readBytes(dir / "out/keep_s.jpg"), "the old thumbnail");
    EXPECT_EQ(namesIn(dir / "out"), std::vector<std::string>{"keep_s.jpg"});
}

TEST_F(MakeAlbumImageTest, UnwritableDestinationsGiveFalse) {
    const auto src = writeJpeg(dir / "s.jpg", 320, 240);
    // A file stands where the destination folder must go.
    writeBytes(dir / "blocker", "x");
    EXPECT_FALSE(MakeAlbumImage(src, dir.str("blocker/s_s.jpg"), 90, 120, true, 60, true));
    // The destination is a folder.
    fs::create_directories(dir / "isdir.jpg/inner");
    EXPECT_FALSE(MakeAlbumImage(src, dir.str("isdir.jpg"), 90, 120, true, 60, true));
    EXPECT_TRUE(fs::is_directory(dir / "isdir.jpg/inner"));
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"blocker", "isdir.jpg", "s.jpg"}));
}

TEST_F(MakeAlbumImageTest, ReadOnlyDestinationFolderGivesFalse) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders; covered by the blocker cases";
    const auto src = writeJpeg(dir / "s.jpg", 320, 240);
    fs::create_directory(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(MakeAlbumImage(src, dir.str("ro/s_s.jpg"), 90, 120, true, 60, true));
    EXPECT_TRUE(namesIn(dir / "ro").empty());
}

TEST_F(MakeAlbumImageTest, ManyThreadsAtOnceMakeTheSameBytes) {
    const auto src = writeJpeg(dir / "t.jpg", 1200, 900);
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("ref.jpg"), 360, 480, true, 85, true));
    const std::string expected = readBytes(dir / "ref.jpg");
    constexpr int kThreads = 6, kEach = 4;
    std::vector<std::thread> threads;
    std::vector<int> made(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                made[t] += MakeAlbumImage(src, dir.str("p" + std::to_string(t) + "_" + std::to_string(i) + ".jpg"),
                                          360, 480, true, 85, true);
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(made[t], kEach);
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(readBytes(dir / ("p" + std::to_string(t) + "_" + std::to_string(i) + ".jpg")), expected);
    }
}

TEST(RotateImageFile, TurnsRightAndSwapsTheSides) {
    TempDir dir;
    const auto src = writeJpeg(dir / "r.jpg", 640, 480);
    struct Case {
        int angle, width, height;
        Corner corner;
    } cases[] = {{90, 90, 120, Corner::TopRight}, {180, 120, 90, Corner::BottomRight}, {270, 90, 120, Corner::BottomLeft}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        const std::string thumb = dir.str("r" + std::to_string(c.angle) + "_s.jpg");
        ASSERT_TRUE(MakeAlbumImage(src, thumb, 90, 120, true, 60, true));
        ASSERT_TRUE(RotateImageFile(thumb, c.angle));
        const auto d = decodeJpeg(thumb);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
        EXPECT_EQ(redCorner(d), c.corner);
    }
}

TEST(RotateImageFile, OtherAnglesAndBadFilesLeaveTheFileAlone) {
    TempDir dir;
    const auto src = writeJpeg(dir / "r.jpg", 64, 48);
    const std::string before = readBytes(src);
    for (int angle : {0, 45, -90, 360, 450}) EXPECT_FALSE(RotateImageFile(src, angle)) << angle;
    EXPECT_EQ(readBytes(src), before);
    EXPECT_FALSE(RotateImageFile(dir.str("missing.jpg"), 90));
    writeBytes(dir / "cut.jpg", before.substr(0, before.size() / 2));
    EXPECT_FALSE(RotateImageFile(dir.str("cut.jpg"), 90));
    EXPECT_EQ(readBytes(dir / "cut.jpg"), before.substr(0, before.size() / 2));
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"cut.jpg", "r.jpg"}));
}

TEST(RotateImageFile, KeepsTheFilesPermissions) {
    TempDir dir;
    const auto src = writeJpeg(dir / "r.jpg", 64, 48);
    fs::permissions(src, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(RotateImageFile(src, 90));
    EXPECT_EQ(fs::status(src).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(RotateImageFile, WritesQuality90WithTheFastEncoder) {
    TempDir dir;
    const auto src = writeJpeg(dir / "r.jpg", 640, 480);
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("a.jpg"), 0, 0, true, 30, true));
    ASSERT_TRUE(RotateImageFile(dir.str("a.jpg"), 180));
    // Re-encoding a quality-30 picture at quality 30 would give a file of
    // about the same size; quality 90 gives a much larger one.
    ASSERT_TRUE(MakeAlbumImage(src, dir.str("b.jpg"), 0, 0, true, 30, true));
    EXPECT_GT(fs::file_size(dir / "a.jpg"), 2 * fs::file_size(dir / "b.jpg"));
}

TEST(MakeAlbumImages, OneDecodeGivesTheSizesOfSeparateCalls) {
    TempDir dir;
    for (auto [w, h] : {std::pair{4000, 3000}, {3000, 4000}, {1001, 751}, {300, 200}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const auto src = writeJpeg(dir / "a.jpg", w, h);
        // The thumbnail is listed first: the order of work is by size.
        std::vector<AlbumImageRequest> reqs = {{dir.str("both_s.jpg"), 90, 120, 60, true},
                                               {dir.str("both_l.jpg"), 360, 480, 90, true}};
        ASSERT_TRUE(MakeAlbumImages(src, reqs));
        EXPECT_TRUE(reqs[0].made && reqs[1].made);
        ASSERT_TRUE(MakeAlbumImage(src, dir.str("one_s.jpg"), 90, 120, true, 60, true));
        ASSERT_TRUE(MakeAlbumImage(src, dir.str("one_l.jpg"), 360, 480, true, 90, true));
        EXPECT_EQ(readBytes(dir / "both_l.jpg"), readBytes(dir / "one_l.jpg"));
        const auto both = decodeJpeg(dir / "both_s.jpg"), one = decodeJpeg(dir / "one_s.jpg");
        EXPECT_EQ(both.width, one.width);
        EXPECT_EQ(both.height, one.height);
        EXPECT_EQ(redCorner(both), Corner::TopLeft);
    }
}

TEST(MakeAlbumImages, OneFailedCopyDoesNotStopTheOthers) {
    TempDir dir;
    const auto src = writeJpeg(dir / "a.jpg", 800, 600);
    writeBytes(dir / "blocker", "x");
    std::vector<AlbumImageRequest> reqs = {{dir.str("blocker/a_l.jpg"), 360, 480, 90, true},
                                           {dir.str("a_s.jpg"), 90, 120, 60, true}};
    EXPECT_FALSE(MakeAlbumImages(src, reqs));
    EXPECT_FALSE(reqs[0].made);
    EXPECT_TRUE(reqs[1].made);
    EXPECT_EQ(decodeJpeg(dir / "a_s.jpg").width, 120);

    const std::string good = imaging_test::makeJpeg(800, 600);
    writeBytes(dir / "cut.jpg", good.substr(0, good.size() / 3));
    std::vector<AlbumImageRequest> bad = {{dir.str("c_l.jpg"), 360, 480, 90, true}, {dir.str("c_s.jpg"), 90, 120, 60, true}};
    EXPECT_FALSE(MakeAlbumImages(dir.str("cut.jpg"), bad));
    EXPECT_FALSE(bad[0].made || bad[1].made);
    EXPECT_FALSE(fs::exists(dir / "c_l.jpg") || fs::exists(dir / "c_s.jpg"));
}

TEST(MakeAlbumImages, ResolvedSizeFollowsTheLibrarysRounding) {
    EXPECT_EQ(ResolvedSize(640, 480, {-1, 90}), (TargetSize{120, 90}));
    EXPECT_EQ(ResolvedSize(480, 640, {-1, 90}), (TargetSize{68, 90}));
    EXPECT_EQ(ResolvedSize(3000, 10, {120, -1}), (TargetSize{120, 1}));
    EXPECT_EQ(ResolvedSize(640, 480, {200, 100}), (TargetSize{200, 100}));
}
