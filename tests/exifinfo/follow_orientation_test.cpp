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

// The colour in the middle of a quarter (0 top left, 1 top right, 2 bottom
// left, 3 bottom right) of a picture, and of the upright picture.
imaging_test::Rgb quarter(const Decoded& d, int q) {
    return d.at((q % 2 * 2 + 1) * d.width / 4, (q / 2 * 2 + 1) * d.height / 4);
}
bool shows(const Decoded& d, int where, int q) {
    const imaging_test::Rgb got = quarter(d, where);
    const imaging_test::Rgb want = upright((q % 2 * 2 + 1) * kWidth / 4, (q / 2 * 2 + 1) * kHeight / 4);
    return std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b) < 60;
}

// The picture shows the upright one: the same size as the upright
// picture's own copy, each quarter in its place, the pixels close to it.
::testing::AssertionResult showsUpright(const Decoded& d, const Decoded& reference) {
    if (!d.ok || d.width != reference.width || d.height != reference.height)
        return ::testing::AssertionFailure() << "size " << d.width << " x " << d.height;
    for (int q = 0; q < 4; ++q)
        if (!shows(d, q, q)) return ::testing::AssertionFailure() << "quarter " << q << " out of place";
    double sum = 0;
    for (std::size_t i = 0; i < d.rgb.size(); ++i)
        sum += std::abs(int(static_cast<unsigned char>(d.rgb[i])) - int(static_cast<unsigned char>(reference.rgb[i])));
    if (sum / double(d.rgb.size()) < 3) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "mean difference " << sum / double(d.rgb.size());
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

TEST_F(FollowOrientation, EveryOrientationComesOutUprightAtTheUnturnedSizeInCopiesAndPreviews) {
    for (int o = 1; o <= 8; ++o) EXPECT_EQ(ReadExifOrientation(root + names[o - 1]), o) << names[o - 1];
    ASSERT_TRUE(run(output, true).complete());
    const auto preview = [&](int o, bool thumbnail) {
        const std::string file = tmp.str(std::to_string(o) + (thumbnail ? "_s.jpg" : "_l.jpg"));
        const std::string source = root + names[o - 1];
        EXPECT_TRUE(makePreviewFile(source, file, thumbnail ? 120 : 480, thumbnail ? 90 : 360, 80,
                                    previewTurn(source, std::nullopt, true)));
        return decodeJpeg(file);
    };
    for (const bool thumbnail : {false, true}) {
        const Decoded copied = copy(output, 1, thumbnail), previewed = preview(1, thumbnail);
        ASSERT_EQ(std::make_pair(copied.width, copied.height), std::make_pair(thumbnail ? 120 : 480, thumbnail ? 90 : 360));
        EXPECT_TRUE(showsUpright(copied, copied));
        EXPECT_TRUE(showsUpright(previewed, copied));
        for (int o = 2; o <= 8; ++o) {
            EXPECT_TRUE(showsUpright(copy(output, o, thumbnail), copied)) << o << " thumbnail " << thumbnail;
            EXPECT_TRUE(showsUpright(preview(o, thumbnail), previewed)) << o << " preview, thumbnail " << thumbnail;
        }
    }
}

TEST_F(FollowOrientation, AStoredTurnWinsTheMirrorStaysAndTheButtonsStartFromTheShownTurn) {
    FolderSettingsStore store(root);
    for (const auto& [name, turn] : {std::pair{"o6.jpg", 0}, {"o8.jpg", 90}, {"o2.jpg", 0}})
        ASSERT_TRUE(store.setTurn(root + name, turn));
    ASSERT_TRUE(run(output, true).complete());
    const Decoded upright1 = copy(output, 1, false), sideways = copy(output, 6, false), half = copy(output, 8, false);
    // o6 as the file lies: the upright top right at its top left, 270 x 360.
    EXPECT_EQ(std::make_pair(sideways.width, sideways.height), std::make_pair(270, 360));
    EXPECT_TRUE(shows(sideways, 0, 1) && shows(sideways, 3, 2));
    EXPECT_TRUE(half.width == 480 && shows(half, 0, 3) && shows(half, 3, 0));  // 90 where 270 is upright
    EXPECT_TRUE(showsUpright(copy(output, 2, false), upright1));

    // o7 is shown turned by 90 after its mirror: a right turn stores 180;
    // a stored turn is where the buttons go on from.
    const std::string o7 = root + "o7.jpg";
    EXPECT_EQ(store.turnQuarter(o7, false, previewTurn(o7, store.storedTurn(o7), true).turn.turn), 180);
    EXPECT_EQ(store.turnQuarter(root + "o6.jpg", true, 90), 270);
    EXPECT_EQ(store.storedTurn(root + "o1.jpg"), std::nullopt);
}

TEST_F(FollowOrientation, NotFollowingItEveryCopyIsFittedThenTurnedByteForByte) {
    FolderSettingsStore store(root);
    for (const auto& [name, turn] : {std::pair{"o1.jpg", 270}, {"o3.jpg", 90}, {"o6.jpg", 0}})
        ASSERT_TRUE(store.setTurn(root + name, turn));
    ASSERT_TRUE(run(output, false).complete());
    const std::string ref = tmp.str("reference") + "/";
    fs::create_directories(ref);
    for (const AlbumImage& image : makeAlbumImages(names)) {
        // Both copies from one decode, then each turned by the stored turn
        // alone, whatever the EXIF data says; previews the same way.
        const std::string source = root + image.listedName;
        const int turn = store.turn(source);
        AlbumImageRequest requests[] = {{ref + "l.jpg", 360, 480, 90, true}, {ref + "s.jpg", 90, 120, 60, true}};
        ASSERT_TRUE(MakeAlbumImages(source, requests));
        for (const std::string f : {"l.jpg", "s.jpg"}) ASSERT_TRUE(turn == 0 || RotateImageFile(ref + f, turn));
        EXPECT_EQ(readBytes(album(output) / image.enlargedFileName), readBytes(ref + "l.jpg")) << image.listedName;
        EXPECT_EQ(readBytes(album(output) / image.thumbnailFileName), readBytes(ref + "s.jpg")) << image.listedName;
        ASSERT_TRUE(makePreviewFile(source, ref + "p1.jpg", 480, 360, 90, turn));
        const CopyTurn stored = previewTurn(source, store.storedTurn(source), false);
        ASSERT_TRUE(makePreviewFile(source, ref + "p2.jpg", 480, 360, 90, stored));
        EXPECT_EQ(readBytes(ref + "p1.jpg"), readBytes(ref + "p2.jpg")) << image.listedName;
    }
}

TEST_F(FollowOrientation, AnUpdateRemakesTheCopiesASettingOrOrientationChangeChanges) {
    const auto counts = [&](bool follow) {
        const AlbumRunResult r = run(output, follow, ExistingAlbumPolicy::Update);
        return std::make_pair(r.copiesMade, r.copiesKept);
    };
    EXPECT_EQ(counts(true), std::make_pair(16, 0));
    EXPECT_EQ(counts(true), std::make_pair(0, 16));
    // Off: only the upright picture's copies stay, and the album is what a
    // full run makes.
    EXPECT_EQ(counts(false), std::make_pair(14, 2));
    const std::string fresh = tmp.str("fresh") + "/";
    fs::create_directories(fresh);
    ASSERT_TRUE(run(fresh, false).complete());
    for (const AlbumImage& image : makeAlbumImages(names))
        for (const std::string& f : {image.enlargedFileName, image.thumbnailFileName})
            EXPECT_EQ(readBytes(album(output) / f), readBytes(album(fresh) / f)) << f;
    // On again; then the upright picture is stored on its side: made anew.
    EXPECT_EQ(counts(true), std::make_pair(14, 2));
    const Decoded before = copy(output, 1, false);
    testing_support::writeBytes(root + "o1.jpg", storedPicture(6));
    EXPECT_EQ(counts(true), std::make_pair(2, 14));
    EXPECT_TRUE(showsUpright(copy(output, 1, false), before));
}
