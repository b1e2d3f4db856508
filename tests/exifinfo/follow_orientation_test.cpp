// One upright picture stored in each of the eight EXIF orientations (an ICC
// profile before the EXIF block in half of them). Following the
// orientation, the album's copies and the window's previews of all eight
// come out upright and as large as the unturned picture's; a stored turn
// wins over the orientation's; not following it, every copy is the one the
// fitted-then-turned order makes, byte for byte.
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/image_derivation.h"
#include "app/albumoutput/picture_orientation.h"
#include "app/previews/preview_rules.h"
#include "app/settings/folder_settings_store.h"
#include "app/util/exif_info.h"
#include "platform/com/creation.h"
#include "tagora_files.h"
#include "tests/albumrun/album_run_fixture.h"
#include "tests/imaging/jpeg_fixtures.h"

#include <turbojpeg.h>

#include <cstdlib>
#include <optional>

using namespace mirofoto;
using namespace albumrun_testing;
using imaging_test::decodeJpeg;
using imaging_test::Decoded;
using testing_support::readBytes;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// The upright picture: red, green, blue and white quarters (left to right,
// top to bottom), so that any wrong mirror or turn moves a colour.
imaging_test::Rgb upright(int x, int y) {
    const bool right = x >= kWidth / 2;
    const bool bottom = y >= kHeight / 2;
    if (!right && !bottom) return {220, 30, 30};
    if (right && !bottom) return {30, 200, 40};
    if (!right && bottom) return {40, 40, 210};
    return {235, 235, 235};
}

// Where the stored pixel (x, y) of a w x h file is shown, by the EXIF
// definitions of the eight orientations (row 0 and column 0 of the file).
std::pair<int, int> shownAt(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
    case 2: return {w - 1 - x, y};
    case 3: return {w - 1 - x, h - 1 - y};
    case 4: return {x, h - 1 - y};
    case 5: return {y, x};
    case 6: return {h - 1 - y, x};
    case 7: return {h - 1 - y, w - 1 - x};
    case 8: return {y, w - 1 - x};
    default: return {x, y};
    }
}

std::string iccSegment() {
    return exif_fixture::segment(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + imaging_test::srgbProfile());
}

std::string exifBlock(int orientation) {
    exif_fixture::TiffBuilder b(false);
    b.setIfd0(b.addDirectory({exif_fixture::Field::shorts(274, {std::uint64_t(orientation)})}));
    return exif_fixture::exifSegment(b.bytes());
}

// The upright picture as a camera stores it in that orientation, with its
// small EXIF block (after an ICC profile for the even ones).
std::string storedPicture(int orientation) {
    const bool sideways = orientation >= 5;
    const int w = sideways ? kHeight : kWidth;
    const int h = sideways ? kWidth : kHeight;
    std::string rgb(std::size_t(w) * h * 3, '\0');
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto [sx, sy] = shownAt(orientation, x, y, w, h);
            const imaging_test::Rgb c = upright(sx, sy);
            char* p = &rgb[(std::size_t(y) * w + x) * 3];
            p[0] = char(c.r), p[1] = char(c.g), p[2] = char(c.b);
        }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, reinterpret_cast<const unsigned char*>(rgb.data()), w, 0, h, TJPF_RGB, &out, &size, TJSAMP_444,
                95, 0);
    std::string jpeg(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(tj);
    return jpeg.insert(2, (orientation % 2 == 0 ? iccSegment() : "") + exifBlock(orientation));
}

// The mean difference of two decoded pictures of one size, per channel.
double meanDifference(const Decoded& a, const Decoded& b) {
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        sum += std::abs(int(static_cast<unsigned char>(a.rgb[i])) - int(static_cast<unsigned char>(b.rgb[i])));
    return sum / double(a.rgb.size());
}

// The colour in the middle of a quarter of the picture (0 top left, 1 top
// right, 2 bottom left, 3 bottom right) is that upright quarter's colour.
::testing::AssertionResult showsQuarter(const Decoded& d, int where, int quarter) {
    const int x = (where % 2 == 0 ? 1 : 3) * d.width / 4;
    const int y = (where < 2 ? 1 : 3) * d.height / 4;
    const imaging_test::Rgb got = d.at(x, y);
    const imaging_test::Rgb want = upright((quarter % 2 == 0 ? 1 : 3) * kWidth / 4, (quarter < 2 ? 1 : 3) * kHeight / 4);
    if (std::abs(got.r - want.r) < 24 && std::abs(got.g - want.g) < 24 && std::abs(got.b - want.b) < 24)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << where << ": " << got.r << "," << got.g << "," << got.b;
}

::testing::AssertionResult upright(const Decoded& d) {
    for (int q = 0; q < 4; ++q)
        if (auto r = showsQuarter(d, q, q); !r) return r;
    return ::testing::AssertionSuccess();
}

// What kept a run from being complete, for a failure's message.
std::string why(const AlbumRunResult& r) {
    std::string text = r.finished ? "finished" : "not finished " + r.cancelled;
    for (const PictureFailure& f : r.pictureFailures) text += "; " + f.detail;
    for (const std::string& p : r.problems) text += "; " + p;
    for (const std::string& f : r.unreadableFolders) text += "; unread " + f;
    return text;
}

class FollowOrientation : public AlbumRunTest {
protected:
    void SetUp() override {
        AlbumRunTest::SetUp();
        fs::create_directories(root);
        for (int o = 1; o <= 8; ++o) {
            names.push_back("o" + std::to_string(o) + ".jpg");
            testing_support::writeBytes(root + names.back(), storedPicture(o));
        }
    }
    void TearDown() override {
        AlbumRunTest::TearDown();
        ReleaseShootingDateReader();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(platform::com::isModuleLoaded(TAGORA_MODULE));
    }

    // A run of the image folder into the folder (the orientations read by
    // the Tagora component), answering no to showing the album.
    AlbumRunResult run(const std::string& into, bool follow,
                       ExistingAlbumPolicy existing = ExistingAlbumPolicy::OverwriteAll) {
        AlbumRunRequest r = request({{root, "photos"}});
        r.outputFolderText = into;
        r.existing = existing;
        r.settings.followOrientation = follow ? 1 : 0;
        ui.messageAnswers = {platform::MsgResult::No};
        class Quiet : public AlbumRunObserver {} observer;
        return GenerateAlbum(r, observer);
    }
    fs::path album(const std::string& into) const { return fs::path(into) / fs::path(EncodedName(root)); }
    // The decoded copy of picture o (1 … 8).
    Decoded copy(const std::string& into, int o, bool thumbnail) const {
        const AlbumImage image = makeAlbumImages(names)[std::size_t(o - 1)];
        return decodeJpeg(album(into) / (thumbnail ? image.thumbnailFileName : image.enlargedFileName));
    }

    std::vector<std::string> names;
};

}  // namespace

TEST(PictureTurnRule, MirrorAlwaysTheStoredTurnWhenThereIsOneElseTheOrientations) {
    struct Row {
        int orientation;
        std::optional<int> stored;
        bool follow;
        PictureTurn expected;
    };
    const Row rows[] = {
        {1, {}, true, {false, 0}},   {2, {}, true, {true, 0}},     {3, {}, true, {false, 180}},
        {4, {}, true, {true, 180}},  {5, {}, true, {true, 270}},   {6, {}, true, {false, 90}},
        {7, {}, true, {true, 90}},   {8, {}, true, {false, 270}},  {0, {}, true, {false, 0}},
        {9, {}, true, {false, 0}},   {-6, {}, true, {false, 0}},   {6, 0, true, {false, 0}},
        {6, 270, true, {false, 270}}, {5, 0, true, {true, 0}},     {7, 180, true, {true, 180}},
        {3, 45, true, {false, 0}},   {6, {}, false, {false, 0}},   {6, 90, false, {false, 90}},
        {2, {}, false, {false, 0}},  {7, 270, false, {false, 270}}, {1, 360, false, {false, 0}},
    };
    for (const Row& r : rows) {
        const PictureTurn got = pictureTurn(r.stored, r.orientation, r.follow);
        EXPECT_EQ(got, r.expected) << "orientation " << r.orientation << " stored "
                                   << (r.stored ? std::to_string(*r.stored) : "none") << " follow " << r.follow
                                   << ": got mirror " << got.mirror << " turn " << got.turn;
    }
}

TEST_F(FollowOrientation, EveryOrientationIsReadAndTheCopiesComeOutUprightAtTheUnturnedSize) {
    for (int o = 1; o <= 8; ++o) EXPECT_EQ(ReadExifOrientation(root + names[o - 1]), o) << names[o - 1];
    const AlbumRunResult result = run(output, true);
    ASSERT_TRUE(result.complete()) << why(result);
    for (const bool thumbnail : {false, true}) {
        const Decoded reference = copy(output, 1, thumbnail);
        ASSERT_TRUE(reference.ok);
        EXPECT_EQ(reference.width, thumbnail ? 120 : 480);
        EXPECT_EQ(reference.height, thumbnail ? 90 : 360);
        EXPECT_TRUE(upright(reference));
        for (int o = 2; o <= 8; ++o) {
            const Decoded d = copy(output, o, thumbnail);
            ASSERT_TRUE(d.ok) << o;
            EXPECT_EQ(d.width, reference.width) << o << (thumbnail ? " thumbnail" : " enlarged");
            EXPECT_EQ(d.height, reference.height) << o << (thumbnail ? " thumbnail" : " enlarged");
            EXPECT_TRUE(upright(d)) << o;
            EXPECT_LT(meanDifference(d, reference), 3.0) << o << (thumbnail ? " thumbnail" : " enlarged");
        }
    }
}

TEST_F(FollowOrientation, PreviewsComeOutUprightAtTheUnturnedSize) {
    const auto preview = [&](int o, bool thumbnail) {
        const std::string source = root + names[o - 1];
        const std::string file = tmp.str("cache") + "/" + std::to_string(o) + (thumbnail ? "_s.jpg" : "_l.jpg");
        EXPECT_TRUE(makePreviewFile(source, file, thumbnail ? 120 : 480, thumbnail ? 90 : 360, thumbnail ? 60 : 90,
                                    previewTurn(source, std::nullopt, true)))
            << o;
        return decodeJpeg(file);
    };
    for (const bool thumbnail : {false, true}) {
        const Decoded reference = preview(1, thumbnail);
        ASSERT_TRUE(reference.ok);
        EXPECT_TRUE(upright(reference));
        for (int o = 2; o <= 8; ++o) {
            const Decoded d = preview(o, thumbnail);
            EXPECT_EQ(d.width, reference.width) << o;
            EXPECT_EQ(d.height, reference.height) << o;
            EXPECT_TRUE(upright(d)) << o;
            EXPECT_LT(meanDifference(d, reference), 3.0) << o;
        }
    }
}

TEST_F(FollowOrientation, AStoredTurnWinsAndTheButtonsStartFromTheShownTurn) {
    FolderSettingsStore store(root);
    ASSERT_TRUE(store.setTurn(root + "o6.jpg", 0));    // as the file lies: on its side
    ASSERT_TRUE(store.setTurn(root + "o8.jpg", 90));   // half a turn from upright
    ASSERT_TRUE(store.setTurn(root + "o2.jpg", 0));    // the mirror stays
    ASSERT_TRUE(run(output, true).complete());

    const Decoded sideways = copy(output, 6, false);
    EXPECT_EQ(sideways.width, 270);
    EXPECT_EQ(sideways.height, 360);
    // The file's top left is the upright picture's top right, turned left.
    EXPECT_TRUE(showsQuarter(sideways, 0, 1));
    EXPECT_TRUE(showsQuarter(sideways, 3, 2));
    const Decoded halfTurned = copy(output, 8, false);
    EXPECT_EQ(halfTurned.width, 480);
    EXPECT_TRUE(showsQuarter(halfTurned, 0, 3));
    EXPECT_TRUE(showsQuarter(halfTurned, 3, 0));
    EXPECT_TRUE(upright(copy(output, 2, false)));

    // o7 is shown turned by 90 (after its mirror): a right turn stores 180.
    // With a turn stored, the buttons go on from it.
    const std::string o7 = root + "o7.jpg";
    EXPECT_EQ(store.turnQuarter(o7, false, previewTurn(o7, store.storedTurn(o7), true).turn.turn), 180);
    EXPECT_EQ(store.turnQuarter(root + "o6.jpg", true, 90), 270);
    EXPECT_EQ(store.storedTurn(root + "o1.jpg"), std::nullopt);
    EXPECT_EQ(store.turnQuarter(root + "o1.jpg", true, 0), 270);
}

TEST_F(FollowOrientation, NotFollowingItEveryCopyIsFittedThenTurnedByteForByte) {
    FolderSettingsStore store(root);
    ASSERT_TRUE(store.setTurn(root + "o1.jpg", 270));
    ASSERT_TRUE(store.setTurn(root + "o3.jpg", 90));
    ASSERT_TRUE(store.setTurn(root + "o6.jpg", 0));
    ASSERT_TRUE(run(output, false).complete());
    const std::vector<AlbumImage> images = makeAlbumImages(names);
    const std::string reference = tmp.str("reference") + "/";
    fs::create_directories(reference);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string source = root + names[i];
        // The order of the seed: both copies from one decode, then each turned
        // by the stored turn alone, whatever the EXIF data says.
        AlbumImageRequest requests[] = {{reference + "l.jpg", 360, 480, 90, true}, {reference + "s.jpg", 90, 120, 60, true}};
        ASSERT_TRUE(MakeAlbumImages(source, requests));
        const int turn = store.turn(source);
        for (const char* f : {"l.jpg", "s.jpg"}) {
            if (turn != 0) {
                ASSERT_TRUE(RotateImageFile(reference + f, turn));
            }
        }
        EXPECT_EQ(readBytes(album(output) / images[i].enlargedFileName), readBytes(reference + "l.jpg")) << names[i];
        EXPECT_EQ(readBytes(album(output) / images[i].thumbnailFileName), readBytes(reference + "s.jpg")) << names[i];

        // The previews likewise.
        ASSERT_TRUE(makePreviewFile(source, reference + "p1.jpg", 480, 360, 90, turn));
        ASSERT_TRUE(makePreviewFile(source, reference + "p2.jpg", 480, 360, 90,
                                    previewTurn(source, store.storedTurn(source), false)));
        EXPECT_EQ(readBytes(reference + "p1.jpg"), readBytes(reference + "p2.jpg")) << names[i];
    }
}

TEST_F(FollowOrientation, AnUpdateRemakesTheCopiesASettingOrOrientationChangeChanges) {
    ASSERT_EQ(run(output, true, ExistingAlbumPolicy::Update).copiesMade, 16);
    AlbumRunResult again = run(output, true, ExistingAlbumPolicy::Update);
    EXPECT_EQ(again.copiesMade, 0);
    EXPECT_EQ(again.copiesKept, 16);

    // Off: the upright picture's copies stay, the seven turned or mirrored
    // ones are made anew, and the album is what a full run makes.
    const AlbumRunResult off = run(output, false, ExistingAlbumPolicy::Update);
    EXPECT_EQ(off.copiesKept, 2);
    EXPECT_EQ(off.copiesMade, 14);
    const std::string fresh = tmp.str("fresh") + "/";
    fs::create_directories(fresh);
    ASSERT_TRUE(run(fresh, false).complete());
    for (const AlbumImage& image : makeAlbumImages(names))
        for (const std::string& f : {image.enlargedFileName, image.thumbnailFileName})
            EXPECT_EQ(readBytes(album(output) / f), readBytes(album(fresh) / f)) << f;

    // On again, after the upright picture was stored on its side: its copies
    // are made anew and come out upright.
    ASSERT_EQ(run(output, true, ExistingAlbumPolicy::Update).copiesMade, 14);
    testing_support::writeBytes(root + "o1.jpg", storedPicture(6));
    const AlbumRunResult turned = run(output, true, ExistingAlbumPolicy::Update);
    EXPECT_EQ(turned.copiesMade, 2);
    EXPECT_EQ(turned.copiesKept, 14);
    EXPECT_TRUE(upright(copy(output, 1, false)));
}
