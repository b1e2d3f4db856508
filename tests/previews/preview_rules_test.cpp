// The rules of the preview pages that need no window.
#include "app/previews/preview_rules.h"
#include "app/settings/ini_store.h"
#include "app/util/exif_info.h"
#include "app/util/image_size.h"
#include "samples/photo_maker.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

using namespace mirofoto;
using testing_support::TempDir;
using testing_support::writeBytes;

TEST(CacheFolderName, StableUniqueAndOneValidName) {
    const std::string longPath = "/p/" + std::string(300, 'x') + "/";
    // Each pair names two different folders that a careless mapping would
    // merge: letter case, a separator against a character, the length, a
    // long path cut short.
    const std::vector<std::pair<std::string, std::string>> different = {
        {"/home/u/Photos/", "/home/u/photos/"},
        {"/a/b-c/", "/a/b/c/"},
        {"/a/b_c/", "/a/b/c/"},
        {"/a/bb/", "/a/b/"},
        {longPath, "/p/" + std::string(301, 'x') + "/"},
        {"/写真/夏/", "/写真/冬/"},
    };
    std::set<std::string> seen;
    for (const auto& [a, b] : different) {
        SCOPED_TRACE(a + " | " + b);
        EXPECT_NE(CacheFolderName(a), CacheFolderName(b));
        seen.insert(CacheFolderName(a));
        seen.insert(CacheFolderName(b));
    }
    EXPECT_EQ(seen.size(), different.size() * 2 - 1);  // "/a/b/c/" twice
    for (const std::string& name : seen) {
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), 80u) << name;
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_EQ(name.find('\0'), std::string::npos);
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
    }
    EXPECT_EQ(CacheFolderName("/home/u/Photos/"), CacheFolderName("/home/u/Photos"));
    EXPECT_EQ(CacheFolderName("/home/u/Photos/"), CacheFolderName(std::string("/home/u/Photos/")));
}

TEST(ImageEntries, JpegNamesInNameOrderWithCacheNames) {
    TempDir tmp;
    for (const char* name : {"c.jpe", "e.png", "a.JPG", "d.jpeg.bak", "b.Jpeg"}) writeBytes(tmp / name, "x");
    const auto entries = scanImageEntries(tmp.str(), "/tmp/t");
    ASSERT_EQ(entries.size(), 3u);
    const std::string folder = tmp.str() + "/";
    const std::string cache = "/tmp/t/" + CacheFolderName(folder) + "/";
    const std::vector<std::array<std::string, 3>> want = {
        {"a.JPG", "a_s.jpg", "a_l.jpg"}, {"b.Jpeg", "b_s.jpg", "b_l.jpg"}, {"c.jpe", "c_s.jpg", "c_l.jpg"}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(entries[i].folder, folder);
        EXPECT_EQ(entries[i].fileName, want[i][0]);
        EXPECT_EQ(entries[i].thumbnailPath(), cache + want[i][1]);
        EXPECT_EQ(entries[i].enlargedPath(), cache + want[i][2]);
    }
}

// The date and comment come from the header alone: a picture whose image
// data is cut off still gives both, and a file that is missing, empty, no
// JPEG or cut inside its header gives what its whole segments hold, never
// a crash.
TEST(ImageDetails, ReadFromTheHeaderAloneAndEmptyForWhatIsNotThere) {
    samples::PhotoSpec spec;
    spec.width = 320;
    spec.height = 240;
    spec.shootingDate = "2026:07:01 10:20:30";
    spec.commentCp932 = "\x8A\x43\x95\xD3";  // 海辺
    const std::string photo = samples::makePhotoJpeg(spec);
    const std::size_t scan = photo.rfind("\xFF\xDA");
    const std::size_t comment = photo.find("\xFF\xFE");
    ASSERT_NE(scan, std::string::npos);
    ASSERT_LT(comment, scan);
    const std::string date = "2026/07/01 10:20:30";
    struct Case {
        const char* name;
        std::optional<std::string> bytes;  // nothing: no such file
        ImageDetails want;
    };
    const std::vector<Case> cases = {
        {"whole photo", photo, {date, "海辺"}},
        {"image data cut off after the scan header", photo.substr(0, scan + 14), {date, "海辺"}},
        {"image data garbled", photo.substr(0, scan + 14) + std::string(5000, '\x5A'), {date, "海辺"}},
        {"cut inside the comment", photo.substr(0, comment + 5), {date, ""}},
        {"cut after the start marker", photo.substr(0, 2), {"", ""}},
        {"empty file", std::string(), {"", ""}},
        {"no JPEG", std::string("GIF89a") + std::string(100, '\0'), {"", ""}},
        {"missing", std::nullopt, {"", ""}},
    };
    TempDir tmp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = tmp.str(std::string(c.name) + ".jpg");
        if (c.bytes) writeBytes(path, *c.bytes);
        EXPECT_EQ(readImageDetails(path), c.want);
    }
}

TEST(ThumbnailLayout, TheTwipsOfEveryControlOfACell) {
    const CellTemplate t = cellTemplate(120, 90, 15, 15);
    EXPECT_EQ(t.thumbWidth, 1800);
    EXPECT_EQ(t.thumbHeight, 1350);
    EXPECT_EQ(t.frameWidth, 2200);
    EXPECT_EQ(t.frameHeight, 2850);
    EXPECT_EQ(t.labelWidth, 1930);
    const CellControlSizes s;
    // Cell 5 of 4 columns: row 1, column 1; scrolled by 3 down and 2 right.
    const CellLayout l = cellLayout(5, 4, t, s, 3, 2);
    const int top = 2850 - 300 + 330, left = 2200 - 200;
    EXPECT_EQ(l.frame, (Rect{left, top, 2200, 2850}));
    EXPECT_EQ(l.tick, (Rect{left, top, s.tickWidth, s.tickHeight}));
    EXPECT_EQ(l.number, (Rect{left + s.tickWidth, top, s.numberWidth, s.numberHeight}));
    EXPECT_EQ(l.leftTurn, (Rect{left + 2200 - 2 * s.turnWidth, top, s.turnWidth, s.turnHeight}));
    EXPECT_EQ(l.rightTurn, (Rect{left + 2200 - s.turnWidth, top, s.turnWidth, s.turnHeight}));
    EXPECT_EQ(l.thumbnail, (Rect{left + 200, top + 200, 1800, 1350}));
    EXPECT_EQ(l.fileName.top, top + 200 + 1350 + 140);
    EXPECT_EQ(l.date.top, top + 200 + 1350 + 440);
    EXPECT_EQ(l.comment.top, top + 200 + 1350 + 700);
    for (const Rect& r : {l.fileName, l.date, l.comment}) {
        EXPECT_EQ(r.left, left + 200);
        EXPECT_EQ(r.width, 1930);
    }
    EXPECT_EQ(thumbnailMenuLink(1500, 300, 3, 2), (Rect{-20, -180, 1500, 300}));
}

TEST(ThumbnailLayout, ScrollMaximaNeverDivideByZeroNorGoNegative) {
    const CellTemplate t = cellTemplate(120, 90, 15, 15);  // 2200 x 2850
    struct Row {
        int count, columns, horizontal, vertical;
    };
    const Row rows[] = {
        {5, 4, 66, 28},   // two rows: one frame height ÷ 100 (28.5, rounded to even)
        {4, 4, 66, 0},    // one row
        {9, 4, 66, 57},   // three rows
        {0, 4, 66, 0},    // no pictures
        {5, 0, 0, 114},   // no columns: taken as one
        {5, -3, 0, 114},  // a broken record
        {1, 1, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.count) + " pictures, " + std::to_string(r.columns) + " columns");
        const ScrollMaxima m = thumbnailScrollMaxima(r.count, r.columns, t);
        EXPECT_EQ(m.horizontal, r.horizontal);
        EXPECT_EQ(m.vertical, r.vertical);
        EXPECT_NO_THROW(cellLayout(r.count, r.columns, t, {}, 0, 0));
    }
}

// The thumbnail control takes the size of its picture and the captions
// follow its bottom; without a picture the template's box stands.
TEST(ThumbnailLayout, CaptionsFollowThePictureShown) {
    const CellTemplate cell = cellTemplate(120, 120, 15, 15);  // a box of 1800 × 1800 twips
    struct Case {
        const char* what;
        int pictureWidth, pictureHeight;  // twips; 0 × 0: none shown yet
        int shownWidth, shownHeight;
    };
    for (const Case c : std::vector<Case>{{"none yet", 0, 0, 1800, 1800},
                                          {"a 3:1 panorama", 1800, 600, 1800, 600},
                                          {"upright", 1350, 1800, 1350, 1800},
                                          {"made larger by the options", 3000, 2250, 3000, 2250}}) {
        const CellLayout l = cellLayout(5, 4, cell, CellControlSizes(), 0, 0, c.pictureWidth, c.pictureHeight);
        EXPECT_EQ(l.thumbnail.width, c.shownWidth) << c.what;
        EXPECT_EQ(l.thumbnail.height, c.shownHeight) << c.what;
        EXPECT_EQ(l.fileName.top, l.thumbnail.top + c.shownHeight + 140) << c.what;
        EXPECT_EQ(l.date.top, l.fileName.top + 300) << c.what;
        EXPECT_EQ(l.frame.height, cell.frameHeight) << c.what;  // the rows stay where they are
    }
}

// The rows the page asks pictures for must cover every cell whose thumbnail
// reaches into the page, or a visible cell would stay empty.
TEST(ThumbnailLayout, RowsInViewCoverEveryVisibleThumbnail) {
    const CellControlSizes sizes;
    struct Case {
        int thumbHeight, vScroll, pageHeight;
    };
    for (const Case c : std::vector<Case>{{1800, 0, 6000},
                                          {1800, 17, 6000},
                                          {1800, 33, 2000},   // the first row's thumbnail just above the top
                                          {600, 250, 400},    // a page lower than a cell
                                          {6000, 80, 9000},   // thumbnails taller than the page
                                          {1800, 1000, 3000}}) {
        const CellTemplate cell = cellTemplate(120, c.thumbHeight / 15, 15, 15);
        const CellRows rows = cellRowsInView(cell, c.vScroll, c.pageHeight);
        for (int i = 0; i < 400; ++i) {
            const Rect t = cellLayout(i, 1, cell, sizes, c.vScroll, 0).thumbnail;
            const bool visible = t.top < c.pageHeight && t.top + t.height > 0;
            if (visible) {
                EXPECT_GE(i, rows.first) << c.thumbHeight << " " << c.vScroll;
                EXPECT_LE(i, rows.last) << c.thumbHeight << " " << c.vScroll;
            }
        }
    }
}

TEST(EnlargedLayout, ScrollMaximaAtTheTenTwipsEdges) {
    struct Row {
        int width, height;
        bool vertical;
        int vMax;
        bool horizontal;
        int hMax;
    };
    const int pageW = 9000, pageH = 7000;
    const Row rows[] = {
        {pageW - 800 + 10, pageH - 2800 + 10, true, 1, true, 0},  // 10 twips over: +1 only vertically
        {pageW - 800, pageH - 2800, false, 0, false, 0},          // exactly fits
        {pageW - 800 + 250, pageH - 2800 + 250, true, 3, true, 2},
    };
    for (const Row& r : rows) {
        const EnlargedScroll s = enlargedScroll(r.width, r.height, pageW, pageH);
        EXPECT_EQ(s.vertical, r.vertical);
        EXPECT_EQ(s.verticalMaximum, r.vMax);
        EXPECT_EQ(s.horizontal, r.horizontal);
        EXPECT_EQ(s.horizontalMaximum, r.hMax);
    }
    const EnlargedLayout l = enlargedLayout(7200, 5400, 3000, 300, 2, 1);
    EXPECT_EQ(l.picture, (Rect{80, 520, 7200, 5400}));
    EXPECT_EQ(l.previous.top, 220);
    EXPECT_EQ(l.thumbnails.left, 1160);
    EXPECT_EQ(l.next.left, 3140);
    EXPECT_EQ(l.fileName, (Rect{140, 520 + 5400 + 200, 3000, 300}));
    EXPECT_EQ(l.date.top, l.fileName.top + 360);
    EXPECT_EQ(l.comment.top, l.date.top + 360);
}

TEST(Turns, OrientationAsksForATurnOnlyWhereNoneIsStored) {
    for (const auto& [orientation, turn] : std::vector<std::pair<int, int>>{
             {0, 0}, {1, 0}, {2, 0}, {3, 180}, {4, 0}, {5, 0}, {6, 90}, {7, 0}, {8, 270}, {9, 0}})
        EXPECT_EQ(turnForOrientation(orientation), turn) << orientation;

    ProgramHome home;
    TempDir photos;
    FolderSettingsStore settings(photos.str());
    const std::string folder = photos.str() + "/";
    settings.setTurn(folder + "kept.jpg", 0);  // the user's own choice
    const std::map<std::string, int> orientation = {
        {"three.jpg", 3}, {"six.jpg", 6}, {"eight.jpg", 8}, {"one.jpg", 1}, {"kept.jpg", 6}, {"none.jpg", 0}};
    std::vector<std::string> names;
    for (const auto& [name, o] : orientation) names.push_back(name);
    const auto stored = settings.storeTurnsFromOrientation(folder, names, [&](const std::string& path) {
        return orientation.at(path.substr(folder.size()));
    });
    EXPECT_EQ(stored.size(), 3u);
    const std::map<std::string, std::string> want = {{"three.jpg", "180"}, {"six.jpg", "90"}, {"eight.jpg", "270"},
                                                     {"one.jpg", ""},      {"kept.jpg", "0"}, {"none.jpg", ""}};
    for (const auto& [name, value] : want)
        EXPECT_EQ(ReadIniValue("回転", folder + name, 512, settings.file()), value) << name;
}

TEST(PreviewFile, MadeInTheBoxThenTurned) {
    TempDir tmp;
    samples::PhotoSpec spec;
    spec.width = 400;
    spec.height = 300;
    samples::writePhotoJpeg(tmp.str("p.jpg"), spec);
    for (const auto& [turn, w, h] : std::vector<std::tuple<int, int, int>>{{0, 120, 90}, {90, 90, 120}, {270, 90, 120}}) {
        const std::string out = tmp.str("cache/p_s.jpg");
        ASSERT_TRUE(makePreviewFile(tmp.str("p.jpg"), out, 120, 90, 60, turn));
        const std::string bytes = testing_support::readBytes(out);
        // The frame's size from the SOF0 marker.
        const std::size_t sof = bytes.find("\xFF\xC0");
        ASSERT_NE(sof, std::string::npos);
        const int height = (static_cast<unsigned char>(bytes[sof + 5]) << 8) | static_cast<unsigned char>(bytes[sof + 6]);
        const int width = (static_cast<unsigned char>(bytes[sof + 7]) << 8) | static_cast<unsigned char>(bytes[sof + 8]);
        EXPECT_EQ(width, w) << turn;
        EXPECT_EQ(height, h) << turn;
    }
    EXPECT_FALSE(makePreviewFile(tmp.str("missing.jpg"), tmp.str("cache/m_s.jpg"), 120, 90, 60, 90));
    EXPECT_EQ(dateCaption("2026/07/01 10:05:00"), "2026年07月01日 10時05分");
    EXPECT_EQ(dateCaption(""), "");
}

TEST(Turns, OrientationIsReadThroughTagora) {
    TempDir tmp;
    samples::PhotoSpec spec;
    spec.width = 64;
    spec.height = 48;
    const std::string plain = samples::makePhotoJpeg(spec);
    for (const int o : {1, 3, 6, 8}) {
        writeBytes(tmp / "o.jpg", samples::withOrientation(plain, o));
        EXPECT_EQ(ReadExifOrientation(tmp.str("o.jpg")), o);
    }
    writeBytes(tmp / "plain.jpg", plain);
    EXPECT_EQ(ReadExifOrientation(tmp.str("plain.jpg")), 0);
    EXPECT_EQ(ReadExifOrientation(tmp.str("missing.jpg")), 0);
}

namespace {

using samples::withExifThumbnail;

std::string smallJpeg(int width, int height, std::uint32_t seed) {
    samples::PhotoSpec spec;
    spec.width = width;
    spec.height = height;
    spec.seed = seed;
    return samples::makePhotoJpeg(spec);
}

}  // namespace

// One reading of the header gives both what a preview's turn and its
// stand-in need; the thumbnail's bytes come whole, never from a file on disk,
// and a short one read after a long one is not followed by the long one's
// tail.
TEST(ExifHeader, OrientationAndThumbnailFromOneReading) {
    TempDir tmp;
    const std::string picture = smallJpeg(320, 240, 1);
    const std::string bigThumb = smallJpeg(160, 120, 2), smallThumb = smallJpeg(40, 30, 3);
    ASSERT_GT(bigThumb.size(), smallThumb.size());
    struct Case {
        const char* name;
        std::string bytes;
        int orientation;
        std::string thumbnail;
    };
    const std::vector<Case> cases = {
        {"turned.jpg", withExifThumbnail(picture, bigThumb, 6), 6, bigThumb},
        {"short.jpg", withExifThumbnail(picture, smallThumb, 0), 0, smallThumb},
        {"mirrored.jpg", withExifThumbnail(picture, bigThumb, 5), 5, bigThumb},
        {"no-thumbnail.jpg", withExifThumbnail(picture, "", 8), 8, ""},
        {"plain.jpg", picture, 0, ""},
        {"not-a-jpeg.jpg", "not a picture", 0, ""},
    };
    for (const Case& c : cases) writeBytes(tmp / c.name, c.bytes);
    for (int round = 0; round < 2; ++round)
        for (const Case& c : cases) {
            const ExifPreviewHeader header = ReadExifPreviewHeader(tmp.str(c.name));
            EXPECT_EQ(header.orientation, c.orientation) << c.name;
            EXPECT_TRUE(header.thumbnail == c.thumbnail) << c.name << ": " << header.thumbnail.size() << " bytes";
        }
    const ExifPreviewHeader missing = ReadExifPreviewHeader(tmp.str("missing.jpg"));
    EXPECT_EQ(missing.orientation, 0);
    EXPECT_TRUE(missing.thumbnail.empty());
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, cases.size());

    // Threads reading at once each get their own picture's thumbnail.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const Case& c = cases[t % 2];
            for (int i = 0; i < 20; ++i)
                if (ReadExifPreviewHeader(tmp.str(c.name)).thumbnail != c.thumbnail) ++wrong;
            ReleaseShootingDateReader();
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
}

// The stand-in shown while a thumbnail is made must take the file's size, or
// the cell's captions jump when the file arrives: checked against files the
// preview maker really makes, turned both ways.
TEST(Placeholder, TakesTheSizeOfTheFileMadeLater) {
    TempDir tmp;
    struct Case {
        int width, height, boxWidth, boxHeight;
        CopyTurn turn;
    };
    const std::vector<Case> cases = {
        {400, 300, 120, 90, {}},
        {300, 400, 120, 90, {}},
        {401, 299, 120, 90, {}},
        {100, 60, 120, 90, {}},                          // never made larger
        {400, 300, 120, 90, {false, {false, 90}}},       // boxed, then turned
        {400, 300, 120, 90, {true, {false, 90}}},        // turned, then boxed
        {400, 300, 120, 90, {true, {true, 270}}},
        {640, 200, 120, 90, {true, {true, 180}}},
    };
    for (const Case& c : cases) {
        samples::PhotoSpec spec;
        spec.width = c.width;
        spec.height = c.height;
        const std::string source = tmp.str("p.jpg");
        samples::writePhotoJpeg(source, spec);
        const std::string out = tmp.str("cache/p_s.jpg");
        ASSERT_TRUE(makePreviewFile(source, out, c.boxWidth, c.boxHeight, 60, c.turn));
        const ImageSizeInfo made = GetImageSize(out, DetectionMode::Jpeg);
        EXPECT_EQ(exactPreviewSize(c.width, c.height, c.boxWidth, c.boxHeight, c.turn),
                  (PixelSize{made.width, made.height}))
            << c.width << "x" << c.height << " turn " << c.turn.turn.turn << (c.turn.beforeBox ? " before" : "");
    }
    EXPECT_EQ(exactPreviewSize(0, 300, 120, 90, {}), PixelSize{});
}

// Which embedded thumbnails may stand in: the picture's shape once black
// bands are cut, within 2%; a cropped picture's stale thumbnail may not.
TEST(Placeholder, EmbeddedThumbnailsOfThePicturesShapeOnly) {
    struct Case {
        const char* what;
        int width, height;           // the thumbnail
        int bandTop, bandBottom;     // black rows
        int bandLeft, bandRight;     // black columns
        int pictureWidth, pictureHeight;
        bool fits;
    };
    const std::vector<Case> cases = {
        {"same shape", 160, 120, 0, 0, 0, 0, 4000, 3000, true},
        {"letterboxed 16:9 in 4:3", 160, 120, 15, 15, 0, 0, 1920, 1080, true},
        {"pillarboxed 2:3 in 4:3", 160, 120, 0, 0, 40, 40, 2000, 3000, true},
        {"within 2%", 160, 120, 0, 0, 0, 0, 4080, 3000, true},
        {"just past 2%", 160, 120, 0, 0, 0, 0, 4100, 3000, false},
        {"cropped to a square later", 160, 120, 0, 0, 0, 0, 3000, 3000, false},
        {"bands but another shape", 160, 120, 15, 15, 0, 0, 4000, 3000, false},
        {"all black", 160, 120, 120, 0, 0, 0, 4000, 3000, true},
    };
    for (const Case& c : cases) {
        const auto dark = [&](int x, int y) {
            return y < c.bandTop || y >= c.height - c.bandBottom || x < c.bandLeft || x >= c.width - c.bandRight;
        };
        const Rect content = trimBlackBands(c.width, c.height, dark);
        if (c.bandTop < c.height)
            EXPECT_EQ(content, (Rect{c.bandLeft, c.bandTop, c.width - c.bandLeft - c.bandRight,
                                     c.height - c.bandTop - c.bandBottom}))
                << c.what;
        else
            EXPECT_EQ(content, (Rect{0, 0, c.width, c.height})) << c.what;
        EXPECT_EQ(embeddedThumbnailFits(content.width, content.height, c.pictureWidth, c.pictureHeight), c.fits)
            << c.what;
    }
    EXPECT_FALSE(embeddedThumbnailFits(0, 0, 4000, 3000));
}
