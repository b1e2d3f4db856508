// The image library through its C interface, loaded the way the program
// loads it.
#include "app/util/imgctl.h"
#include "tests/imaging/jpeg_fixtures.h"
#include "tests/support/test_support.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

using mirofoto::DibHandle;
using mirofoto::ImgctlLibrary;
using imaging_test::decodeJpeg;
using imaging_test::writeJpeg;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

const ImgctlLibrary& lib() {
    static ImgctlLibrary library({IMGCTL_PATH});
    return library;
}

}  // namespace

TEST(Imgctl, LoadsAllFiveFunctions) {
    EXPECT_TRUE(lib().loaded()) << lib().loadError();
    EXPECT_TRUE(lib().loadError().empty());
}

TEST(Imgctl, ResizeDerivesAFreeSideByRoundingToNearest) {
    TempDir dir;
    const auto src = writeJpeg(dir / "a.jpg", 1000, 3);
    struct Case {
        int w, h, ew, eh;
    } cases[] = {{-1, 2, 667, 2}, {500, -1, 500, 2}, {100, -1, 100, 1}, {1, -1, 1, 1}, {-1, 1, 333, 1}, {7, 9, 7, 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const DibHandle dib(lib(), src);
        ASSERT_TRUE(dib);
        ASSERT_TRUE(lib().resizeDIB(dib.get(), c.w, c.h));
        ASSERT_TRUE(lib().dibToJPG(dir.str("out.jpg"), dib.get(), 80, false));
        const auto d = decodeJpeg(dir / "out.jpg");
        EXPECT_EQ(d.width, c.ew);
        EXPECT_EQ(d.height, c.eh);
    }
}

TEST(Imgctl, RefusesSizesAndHandlesThatMakeNoSense) {
    TempDir dir;
    const auto src = writeJpeg(dir / "a.jpg", 64, 48);
    const DibHandle dib(lib(), src);
    ASSERT_TRUE(dib);
    for (auto [w, h] : {std::pair{-1, -1}, {0, 10}, {10, 0}, {-2, 10}, {10, -7}, {70000, 10}, {30000, 30000}})
        EXPECT_FALSE(lib().resizeDIB(dib.get(), w, h)) << w << "x" << h;
    EXPECT_FALSE(lib().dibToJPG(dir.str("q0.jpg"), dib.get(), 0, false));
    EXPECT_FALSE(lib().dibToJPG(dir.str("q101.jpg"), dib.get(), 101, false));
    EXPECT_FALSE(lib().dibToJPG("", dib.get(), 80, false));
    // The handle still works after all that.
    EXPECT_TRUE(lib().dibToJPG(dir.str("ok.jpg"), dib.get(), 80, false));
    EXPECT_EQ(decodeJpeg(dir / "ok.jpg").width, 64);

    EXPECT_FALSE(lib().resizeDIB(0, 10, 10));
    EXPECT_FALSE(lib().turnDIB(987654, 90));
    EXPECT_FALSE(lib().dibToJPG(dir.str("x.jpg"), -3, 80, false));
    lib().deleteDIB(987654);  // unknown: ignored
    EXPECT_EQ(lib().toDIB(dir.str()), 0);  // a folder
    ASSERT_EQ(::mkfifo(dir.str("fifo.jpg").c_str(), 0600), 0);
    EXPECT_EQ(lib().toDIB(dir.str("fifo.jpg")), 0);  // returns at once, no writer needed
    EXPECT_EQ(lib().toDIB(""), 0);
    EXPECT_FALSE(fs::exists(dir / "x.jpg"));
}

TEST(Imgctl, ADeletedHandleIsGone) {
    TempDir dir;
    const auto src = writeJpeg(dir / "a.jpg", 64, 48);
    const std::int32_t h = lib().toDIB(src);
    ASSERT_NE(h, 0);
    lib().deleteDIB(h);
    EXPECT_FALSE(lib().resizeDIB(h, 10, -1));
    EXPECT_FALSE(lib().dibToJPG(dir.str("gone.jpg"), h, 80, false));
    lib().deleteDIB(h);  // twice: ignored
}

TEST(Imgctl, OneDecodeServesASecondSmallerCopy) {
    TempDir dir;
    const auto src = writeJpeg(dir / "a.jpg", 2000, 1500);
    const DibHandle dib(lib(), src);
    ASSERT_TRUE(lib().resizeDIB(dib.get(), 480, -1));
    ASSERT_TRUE(lib().dibToJPG(dir.str("l.jpg"), dib.get(), 90, true));
    ASSERT_TRUE(lib().resizeDIB(dib.get(), -1, 90));
    ASSERT_TRUE(lib().dibToJPG(dir.str("s.jpg"), dib.get(), 60, true));
    ASSERT_TRUE(lib().turnDIB(dib.get(), 90));
    ASSERT_TRUE(lib().dibToJPG(dir.str("t.jpg"), dib.get(), 60, true));
    EXPECT_EQ(decodeJpeg(dir / "l.jpg").height, 360);
    EXPECT_EQ(decodeJpeg(dir / "s.jpg").width, 120);
    EXPECT_EQ(decodeJpeg(dir / "t.jpg").width, 90);
}

TEST(Imgctl, AFullSizePictureCanBeEncodedTwice) {
    TempDir dir;
    // Larger than what stays decoded after encoding, so it is streamed twice.
    const auto src = writeJpeg(dir / "a.jpg", 2600, 1800, {.quality = 50});
    const DibHandle dib(lib(), src);
    ASSERT_TRUE(lib().dibToJPG(dir.str("1.jpg"), dib.get(), 50, false));
    ASSERT_TRUE(lib().dibToJPG(dir.str("2.jpg"), dib.get(), 50, false));
    EXPECT_EQ(decodeJpeg(dir / "2.jpg").width, 2600);
    ASSERT_TRUE(lib().resizeDIB(dib.get(), 260, 180));
    ASSERT_TRUE(lib().dibToJPG(dir.str("3.jpg"), dib.get(), 50, false));
    EXPECT_EQ(decodeJpeg(dir / "3.jpg").width, 260);
}

TEST(Imgctl, TheHandleKeepsItsFileOpen) {
    TempDir dir;
    const auto src = writeJpeg(dir / "a.jpg", 640, 480);
    const DibHandle dib(lib(), src);
    ASSERT_TRUE(dib);
    // The file disappears between opening and decoding: the picture does not.
    fs::remove(src);
    ASSERT_TRUE(lib().resizeDIB(dib.get(), 120, -1));
    ASSERT_TRUE(lib().dibToJPG(dir.str("s.jpg"), dib.get(), 60, true));
    EXPECT_EQ(decodeJpeg(dir / "s.jpg").height, 90);
    // Gone before opening: no handle.
    EXPECT_EQ(lib().toDIB(src), 0);
}

TEST(Imgctl, HandlesFromManyThreadsStayApart) {
    TempDir dir;
    const auto a = writeJpeg(dir / "a.jpg", 800, 600);
    const auto b = writeJpeg(dir / "b.jpg", 600, 800);
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const bool portrait = (t + i) % 2 != 0;
                const DibHandle dib(lib(), portrait ? b : a);
                const std::string out = dir.str("o" + std::to_string(t) + "_" + std::to_string(i) + ".jpg");
                if (dib && lib().resizeDIB(dib.get(), -1, 90) && lib().turnDIB(dib.get(), 180) &&
                    lib().dibToJPG(out, dib.get(), 70, false)) {
                    const auto d = decodeJpeg(out);
                    if (d.width == (portrait ? 68 : 120) && d.height == 90) ++good;
                }
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(good.load(), 40);
}

// Reduced pictures are decoded by libjpeg from memory; these are the cases
// that path must either handle as libvips would or hand back to libvips.
class ScaledDecode : public ::testing::Test {
protected:
    // Makes the 160 x 120 copy of a 640 x 480 source (a 1/4 decode) and
    // returns it decoded.
    imaging_test::Decoded reduce(const std::string& name, const std::string& jpeg) {
        testing_support::writeBytes(dir / name, jpeg);
        const DibHandle dib(lib(), dir.str(name));
        if (!dib || !lib().resizeDIB(dib.get(), 160, 120) ||
            !lib().dibToJPG(dir.str("out_" + name), dib.get(), 95, false))
            return {};
        return decodeJpeg(dir / ("out_" + name));
    }
    TempDir dir;
};

TEST_F(ScaledDecode, ColourProfileOfThePictureIsApplied) {
    // Mid grey in a linear-light profile is a much lighter grey in sRGB; a
    // decode that dropped the profile would keep 128.
    const auto d = reduce("linear.jpg", imaging_test::makeRgbJpegWithProfile(640, 480, {128, 128, 128},
                                                                              imaging_test::linearRgbProfile()));
    ASSERT_TRUE(d.ok);
    const auto c = d.at(80, 60);
    EXPECT_NEAR(c.r, 188, 6);
    EXPECT_NEAR(c.g, 188, 6);
    EXPECT_NEAR(c.b, 188, 6);
    // The same bytes without a profile stay as they are.
    const auto plain = reduce("plain.jpg", imaging_test::makeRgbJpegWithProfile(640, 480, {128, 128, 128}, {}));
    ASSERT_TRUE(plain.ok);
    EXPECT_NEAR(plain.at(80, 60).g, 128, 3);
}

TEST_F(ScaledDecode, GreyAndCmykPicturesComeOutRight) {
    const auto grey = reduce("grey.jpg", imaging_test::makeJpeg(640, 480, {.grey = true}));
    ASSERT_TRUE(grey.ok);
    EXPECT_EQ(grey.subsampling, 3 /* TJSAMP_GRAY */);
    EXPECT_EQ(grey.width, 160);
    // The red corner's luminance, well apart from the grey around it.
    EXPECT_NEAR(grey.at(20, 20).g, 76, 8);
    EXPECT_NEAR(grey.at(140, 100).g, 128, 4);

    // Full cyan ink: no red, much blue.
    const auto cmyk = reduce("cmyk.jpg", imaging_test::makeCmykJpeg(640, 480, 255, 0, 0, 0));
    ASSERT_TRUE(cmyk.ok);
    EXPECT_EQ(cmyk.height, 120);
    const auto c = cmyk.at(80, 60);
    EXPECT_LT(c.r, 100);
    EXPECT_GT(c.b, 150);
}

TEST_F(ScaledDecode, AFileCutShortAfterOpeningGivesNoPicture) {
    const std::string jpeg = imaging_test::makeJpeg(640, 480);
    testing_support::writeBytes(dir / "cut.jpg", jpeg);
    const DibHandle dib(lib(), dir.str("cut.jpg"));
    ASSERT_TRUE(dib);
    fs::resize_file(dir / "cut.jpg", jpeg.size() / 2);
    const bool made = lib().resizeDIB(dib.get(), 160, 120) && lib().dibToJPG(dir.str("out.jpg"), dib.get(), 80, false);
    EXPECT_FALSE(made);
    EXPECT_FALSE(fs::exists(dir / "out.jpg"));
}

TEST(Imgctl, LoadingItPointsLibvipsAtItsOwnFolder) {
    // Set when the library is loaded, not by the first decode on whichever
    // thread, while other threads may read the environment.
    const std::string folder = fs::path(IMGCTL_PATH).parent_path().string();
    if (const char* set = std::getenv("VIPSHOME"); set && set != folder) GTEST_SKIP() << "VIPSHOME is the user's";
    ASSERT_TRUE(lib().loaded());
    const char* home = std::getenv("VIPSHOME");
    EXPECT_EQ(home ? std::string(home) : std::string(), folder);
}

TEST(Imgctl, LibvipsFormatModulesAreNotLoaded) {
    // JPEG is built into libvips; its modules (ImageMagick, PDF, HEIF ...)
    // would only slow the start and sniff every file we open.
    TempDir dir;
    const DibHandle dib(lib(), writeJpeg(dir / "a.jpg", 64, 48));
    ASSERT_TRUE(dib);
    const std::string maps = testing_support::readBytes("/proc/self/maps");
    ASSERT_NE(maps.find("libvips"), std::string::npos);
    EXPECT_EQ(maps.find("vips-modules-"), std::string::npos);
}

TEST(Imgctl, ResizingCompilesNoOrcCode) {
    // liborc frees compiled code without its lock: two threads letting go
    // of resize pipelines at once corrupted the heap. Its code lives in an
    // "orcexec" mapping, so none may appear.
    TempDir dir;
    const DibHandle dib(lib(), writeJpeg(dir / "a.jpg", 640, 480));
    ASSERT_TRUE(dib);
    ASSERT_TRUE(lib().resizeDIB(dib.get(), 301, 227));
    ASSERT_TRUE(lib().dibToJPG(dir.str("out.jpg"), dib.get(), 80, false));
    EXPECT_EQ(testing_support::readBytes("/proc/self/maps").find("orcexec"), std::string::npos);
}

// Every failure keeps its reason: the errno of the file system, or whether
// the data is no decodable JPEG, with the library's own text.
TEST(Imgctl, AFailureKeepsItsReason) {
    TempDir dir;
    const std::string good = imaging_test::makeJpeg(640, 480);
    std::string badLength = good;
    badLength[imaging_test::findMarker(good, 0xC0) + 3] = 1;  // a frame header of length 1
    testing_support::writeBytes(dir / "cut.jpg", good.substr(0, good.size() / 2));
    testing_support::writeBytes(dir / "bad.jpg", badLength);
    testing_support::writeBytes(dir / "text.jpg", "not a picture at all");
    testing_support::writeBytes(dir / "good.jpg", good);
    fs::create_directory(dir / "folder.jpg");
    struct Case {
        const char* source;
        const char* destination;  // written after a resize when the source opens
        int code;
        bool corrupt;
        const char* text;  // a part of the library's text
    } cases[] = {
        {"missing.jpg", "out.jpg", ENOENT, false, "No such file"},
        {"folder.jpg", "out.jpg", EISDIR, false, "directory"},
        {"text.jpg", "out.jpg", 0, true, "not a JPEG"},
        {"bad.jpg", "out.jpg", 0, true, "VipsJpeg"},
        {"cut.jpg", "out.jpg", 0, true, "Premature end"},
        {"good.jpg", "nowhere/out.jpg", ENOENT, false, "nowhere/out.jpg"},
        {"good.jpg", "folder.jpg", EISDIR, false, "directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " -> " + c.destination);
        const DibHandle dib(lib(), dir.str(c.source));
        const bool made = dib && lib().resizeDIB(dib.get(), 160, 120) &&
                          lib().dibToJPG(dir.str(c.destination), dib.get(), 80, false);
        ASSERT_FALSE(made);
        for (const auto& f : {dib.lastFailure(), lib().lastFailure(0)}) {
            EXPECT_EQ(f.code, c.code) << f.text;
            EXPECT_EQ(f.corrupt, c.corrupt) << f.text;
            EXPECT_NE(f.text.find(c.text), std::string::npos) << f.text;
        }
    }
    // A later success leaves the reason in place; an unknown handle has none.
    const DibHandle dib(lib(), dir.str("good.jpg"));
    ASSERT_TRUE(dib);
    EXPECT_EQ(lib().lastFailure(0).code, EISDIR);
    EXPECT_TRUE(lib().lastFailure(987654).text.empty());
}

TEST(Imgctl, AFullDiskIsToldAsSuchAndLeavesNothing) {
    const testing_support::FullDisk disk(16 * 1024);
    if (!disk.available()) GTEST_SKIP() << disk.why();
    TempDir dir;
    const DibHandle dib(lib(), writeJpeg(dir / "a.jpg", 1600, 1200, {.quality = 100}));
    ASSERT_TRUE(dib);
    EXPECT_FALSE(lib().dibToJPG(disk.str("big.jpg"), dib.get(), 100, false));
    EXPECT_EQ(dib.lastFailure().code, ENOSPC) << dib.lastFailure().text;
    EXPECT_TRUE(fs::is_empty(disk.str()));
}

// The copy goes through a temporary file of its own fixed-length name and a
// rename: a destination name at the length limit still gets its file, and a
// link at the destination is replaced, never written through.
TEST(Imgctl, TheDestinationNameIsAllThatCounts) {
    TempDir dir;
    const auto src = writeJpeg(dir / "a.jpg", 64, 48);
    const std::string source = testing_support::readBytes(src);
    const DibHandle dib(lib(), src);
    ASSERT_TRUE(dib);
    const std::string longName = std::string(246, 'n') + ".jpg";  // 250 bytes; the limit is 255
    ASSERT_TRUE(lib().dibToJPG(dir.str(longName), dib.get(), 80, false)) << dib.lastFailure().text;
    EXPECT_EQ(decodeJpeg(dir / longName).width, 64);

    fs::create_symlink(src, dir / "a_l.jpg");
    ASSERT_TRUE(lib().resizeDIB(dib.get(), 32, -1));
    ASSERT_TRUE(lib().dibToJPG(dir.str("a_l.jpg"), dib.get(), 80, false));
    EXPECT_FALSE(fs::is_symlink(dir / "a_l.jpg"));
    EXPECT_EQ(decodeJpeg(dir / "a_l.jpg").width, 32);
    EXPECT_EQ(testing_support::readBytes(src), source);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}
