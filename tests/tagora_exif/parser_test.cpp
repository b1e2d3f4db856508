// Loading JPEG files: the segment walk, the TIFF header, the five
// directories and the thumbnail cut out of the TIFF data, over files built
// byte by byte in both byte orders.
#include "exif_fixture.h"
#include "tagora/exif/exif.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace exif_fixture;
using tagora::Exif;
using tagora::Ifd;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

bool hasDiagnostic(const Exif& exif, const std::string& text) {
    for (const auto& d : exif.diagnostics())
        if (d == text)
            return true;
    return false;
}

// Loads the bytes through a real file, as LoadHeader does.
struct Loaded {
    TempDir dir;
    Exif exif;
    bool ok = false;
    explicit Loaded(const std::string& bytes) {
        writeBytes(dir / "in.jpg", bytes);
        ok = exif.load(dir.str("in.jpg"));
    }
};

std::string blobOf(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

void expectAllEmpty(const Exif& e) {
    for (const Ifd* ifd : {e.ifdMain().get(), e.ifdThumbnail().get(), e.ifdSub().get(),
                           e.ifdInteroperability().get(), e.ifdGps().get()})
        EXPECT_EQ(ifd->count(), 0u) << ifd->name();
    EXPECT_TRUE(e.jpegThumbnail().empty());
    EXPECT_TRUE(e.stripThumbnail().empty());
}

class ByteOrder : public ::testing::TestWithParam<bool> {};

}  // namespace

TEST_P(ByteOrder, CameraFileGivesItsDirectoriesMarkersAndThumbnail) {
    const bool little = GetParam();
    const std::string thumb = makeJpeg(160, 120);
    const std::string tiff = cameraTiff(little, thumb);
    Loaded f(jpegFile(jfifSegment() + exifSegment(tiff)));
    ASSERT_TRUE(f.ok);
    const Exif& e = f.exif;

    EXPECT_EQ(e.signature(), 0xFFD8);
    EXPECT_EQ(e.order(), little ? 0x4949 : 0x4D4D);
    EXPECT_EQ(e.tiffIdentifier(), 42);
    EXPECT_EQ(blobOf(e.tiffData()), tiff);

    ASSERT_EQ(e.markerCount(), 2u);
    EXPECT_EQ(e.markerItem(0)->code(), 0xFFE0);
    EXPECT_EQ(e.markerItem(0)->name(), "JFIF");
    const auto app1 = e.markerItem(1);
    EXPECT_EQ(app1->code(), 0xFFE1);
    EXPECT_EQ(app1->name(), "Exif");
    EXPECT_EQ(app1->length(), tiff.size() + 8);
    EXPECT_EQ(app1->data().size(), app1->length() + 2u);
    EXPECT_EQ(blobOf(app1->data()), exifSegment(tiff));
    EXPECT_EQ(e.markerItem(2), nullptr);
    EXPECT_EQ(e.markerItem(-1), nullptr);

    EXPECT_EQ(e.ifdMain()->name(), "IFD Main");
    EXPECT_EQ(e.ifdThumbnail()->name(), "IFD Thumbnail");
    EXPECT_EQ(e.ifdSub()->name(), "IFD Sub");
    EXPECT_EQ(e.ifdInteroperability()->name(), "IFD Interoperability");
    EXPECT_EQ(e.ifdGps()->name(), "IFD Gps");

    ASSERT_EQ(e.ifdMain()->count(), 5u);
    EXPECT_EQ(e.ifdMain()->find(271)->valueString(), "Camera Maker");
    EXPECT_EQ(e.ifdMain()->find(274)->valueString(), "1");
    EXPECT_EQ(e.ifdMain()->find(282)->valueString(), "72/1");
    EXPECT_EQ(e.ifdMain()->at(0)->id(), 271);
    ASSERT_EQ(e.ifdSub()->count(), 4u);
    EXPECT_EQ(e.ifdSub()->find(36867)->valueString(), "2004:05:06 12:34:56");
    EXPECT_EQ(e.ifdThumbnail()->count(), 4u);
    EXPECT_EQ(e.ifdInteroperability()->count(), 0u);
    EXPECT_EQ(e.ifdGps()->count(), 0u);

    EXPECT_EQ(blobOf(e.jpegThumbnail()), thumb);
    EXPECT_TRUE(e.stripThumbnail().empty());
    EXPECT_TRUE(hasDiagnostic(e, "サムネイルのオフセットが見つかりませんでした"));  // no strips
}

TEST_P(ByteOrder, InteroperabilityAndGpsDirectoriesAreFollowed) {
    TiffBuilder b(GetParam());
    const auto interop = b.addDirectory({Field::ascii(1, "R98"), Field::bytes(2, 7, "0100")});
    const auto sub = b.addDirectory({Field::longs(40965, {interop})});
    const auto gps = b.addDirectory({Field::ascii(1, "N"), Field::rationals(2, {35, 1, 40, 1, 1234, 100})});
    b.setIfd0(b.addDirectory({Field::longs(34665, {sub}), Field::longs(34853, {gps})}));
    Loaded f(jpegFile(exifSegment(b.bytes())));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.exif.ifdInteroperability()->find(1)->valueString(), "R98");
    EXPECT_EQ(f.exif.ifdInteroperability()->find(1)->name(), "InteroperabilityIndex");
    EXPECT_EQ(f.exif.ifdGps()->find(2)->valueString(), "35/1,40/1,1234/100");
    EXPECT_EQ(f.exif.ifdGps()->find(1)->name(), "GPSLatitudeRef");
}

TEST_P(ByteOrder, ShortDataOfFourBytesSitsInTheEntryAndOfSixBytesBehindTheOffset) {
    TiffBuilder b(GetParam());
    const auto ifd0 = b.addDirectory({Field::shorts(530, {2, 1}), Field::shorts(258, {8, 8, 8})});
    b.setIfd0(ifd0);
    Loaded f(jpegFile(exifSegment(b.bytes())));
    ASSERT_TRUE(f.ok);
    const auto four = f.exif.ifdMain()->find(530);
    const auto six = f.exif.ifdMain()->find(258);
    ASSERT_TRUE(four && six);
    EXPECT_EQ(four->valueString(), "2,1");
    EXPECT_EQ(four->valueOffset(), ifd0 + 2 + 8);  // the entry's own value field
    EXPECT_EQ(six->valueString(), "8,8,8");
    EXPECT_EQ(six->valueOffset(), ifd0 + 2 + 24 + 4);  // the data area behind the directory
}

INSTANTIATE_TEST_SUITE_P(Exif, ByteOrder, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "LittleEndian" : "BigEndian"; });

TEST(ExifLoad, FilesThatAreNoJpegAreRefused) {
    TempDir dir;
    {
        Loaded f(std::string("II\x2A\x00\x08\x00\x00\x00", 8));
        EXPECT_FALSE(f.ok);
        EXPECT_TRUE(hasDiagnostic(f.exif, "tiff format is not supported"));
    }
    {
        Loaded f(std::string("MM\x00\x2A\x00\x00\x00\x08", 8));
        EXPECT_FALSE(f.ok);
        EXPECT_TRUE(hasDiagnostic(f.exif, "tiff format is not supported"));
    }
    {
        Loaded f("GIF89a");
        EXPECT_FALSE(f.ok);
        EXPECT_TRUE(hasDiagnostic(f.exif, "File format error"));
    }
    {
        Loaded f("\xFF");
        EXPECT_FALSE(f.ok);
    }
    Exif missing;
    EXPECT_FALSE(missing.load(dir.str("missing.jpg")));
    Exif folder;
    EXPECT_FALSE(folder.load(dir.str()));
}

TEST(ExifLoad, App0OnlyFileHasOneMarkerAndNothingElse) {
    Loaded f(jpegFile(jfifSegment()));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.exif.markerCount(), 1u);
    expectAllEmpty(f.exif);
    EXPECT_TRUE(f.exif.diagnostics().empty());
}

// Editors and phones put an ICC profile or an XMP packet first. The EXIF
// APP1 behind them is the file's EXIF data all the same, while the markers
// stay the leading run of APP0 and APP1 segments.
TEST(ExifLoad, TheFirstExifApp1IsFoundBehindOtherSegments) {
    const std::string tiff = cameraTiff(true, makeJpeg(16, 16));
    const std::string exif = exifSegment(tiff);
    const std::string xmp = segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33));
    const std::string icc = segment(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(300, '\x11'));
    const std::string dqt = segment(0xDB, std::string(65, '\x01'));
    const std::string comment = segment(0xFE, "comment");
    const std::string later = exifSegment(cameraTiff(false, ""));
    const struct {
        const char* name;
        std::string segments;
        std::size_t markers;
    } cases[] = {
        {"xmp-first", jfifSegment() + xmp + exif, 3},
        {"icc-first", jfifSegment() + icc + exif, 1},
        {"icc-before-jfif", icc + jfifSegment() + exif, 0},
        {"behind-comment-and-table", jfifSegment() + comment + dqt + exif, 1},
        {"two-exif-segments", jfifSegment() + icc + exif + later, 1},
    };
    for (const auto& c : cases) {
        Loaded f(jpegFile(c.segments));
        ASSERT_TRUE(f.ok) << c.name;
        EXPECT_EQ(f.exif.markerCount(), c.markers) << c.name;
        EXPECT_EQ(blobOf(f.exif.tiffData()), tiff) << c.name;
        ASSERT_TRUE(f.exif.ifdMain()->find(274)) << c.name;
        EXPECT_EQ(f.exif.ifdSub()->find(36867)->valueString(), "2004:05:06 12:34:56") << c.name;
        EXPECT_FALSE(f.exif.jpegThumbnail().empty()) << c.name;
    }
    // Without an EXIF APP1 nothing is parsed, and the foreign APP1 is named.
    Loaded f(jpegFile(jfifSegment() + icc + xmp));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.exif.markerCount(), 1u);
    expectAllEmpty(f.exif);
    EXPECT_TRUE(hasDiagnostic(f.exif, "マーカ名が「Exif」ではありません。"));
}

TEST(ExifLoad, TheSearchEndsCleanlyAtTheSegmentLimit) {
    constexpr std::size_t kLimit = platform::jpeg::kMaxHeaderSegments;
    const std::string exif = exifSegment(cameraTiff(true, ""));
    std::string comments;
    for (std::size_t i = 0; i < kLimit; ++i) comments += segment(0xFE, "c");
    // JFIF, comments and EXIF: the EXIF APP1 as the last segment looked at,
    // then one segment later.
    for (const std::size_t before : {kLimit - 2, kLimit - 1}) {
        Loaded f(jpegFile(jfifSegment() + comments.substr(0, 5 * before) + exif));
        ASSERT_TRUE(f.ok) << before;
        EXPECT_EQ(f.exif.markerCount(), 1u);
        const bool found = before == kLimit - 2;
        EXPECT_EQ(f.exif.ifdMain()->count(), found ? 5u : 0u) << before;
        EXPECT_EQ(hasDiagnostic(f.exif, "no EXIF data in the first 1024 segments"), !found) << before;
    }
    // A longer run of application segments is still listed whole as the
    // markers; the EXIF search alone stops.
    std::string run;
    for (std::size_t i = 0; i < kLimit + 5; ++i) run += jfifSegment();
    Loaded f(jpegFile(run + exif));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.exif.markerCount(), kLimit + 6);
    expectAllEmpty(f.exif);
}

TEST(ExifLoad, BrokenSegmentLengthsEndTheWalkWithWhatWasCollected) {
    const std::string soi("\xFF\xD8", 2);
    {
        // Length 0 and length 1 cannot cover their own field.
        for (const char* len : {"\x00\x00", "\x00\x01"}) {
            Loaded f(soi + jfifSegment() + "\xFF\xE1" + std::string(len, 2) + "Exif");
            EXPECT_TRUE(f.ok);
            EXPECT_EQ(f.exif.markerCount(), 1u);
        }
    }
    {
        // An APP1 cut off by the end of the file.
        const std::string app1 = exifSegment(cameraTiff(true, makeJpeg(16, 16)));
        Loaded f(soi + jfifSegment() + app1.substr(0, app1.size() / 2));
        EXPECT_TRUE(f.ok);
        EXPECT_EQ(f.exif.markerCount(), 1u);
        expectAllEmpty(f.exif);
    }
    {
        // Length 2: an empty segment is still a segment; its name is empty.
        Loaded f(jpegFile(segment(0xE0, "") + jfifSegment()));
        ASSERT_TRUE(f.ok);
        ASSERT_EQ(f.exif.markerCount(), 2u);
        EXPECT_EQ(f.exif.markerItem(0)->name(), "");
        EXPECT_EQ(f.exif.markerItem(0)->data().size(), 4u);
    }
    {
        // A name running to the segment's end without NUL stops there.
        Loaded f(jpegFile(segment(0xE0, "AB") + segment(0xE0, "CDEF")));
        ASSERT_EQ(f.exif.markerCount(), 2u);
        EXPECT_EQ(f.exif.markerItem(0)->name(), "AB");
    }
    {
        // No segment header after the start marker at all.
        Loaded f(soi + "\xFF");
        EXPECT_FALSE(f.ok);
        EXPECT_TRUE(hasDiagnostic(f.exif, "LoadMarker error"));
    }
}

TEST(ExifLoad, BrokenTiffHeadersStopTheParseButTheFileStillLoads) {
    struct Case {
        std::string app1Payload;
        const char* failure;
    };
    const Case cases[] = {
        {std::string("Exif", 4), "Exif Format Error"},  // segment of 8 bytes
        {std::string("Exif\0\0XX\x2A\x00\x08\x00\x00\x00", 14), "m_orderが正しくありません。"},
        {std::string("Exif\0\0II\x2B\x00\x08\x00\x00\x00", 14), "separatorが正しくありません。"},
        {std::string("Exif\0\0II\x2A\x00\x08\x00\x00", 13), "read"},  // IFD0 offset cut
        {std::string("Exif\0\0II\x2A\x00\xFF\x00\x00\x00", 14), "m_pifdMain->readData"},
    };
    for (const auto& c : cases) {
        Loaded f(jpegFile(segment(0xE1, c.app1Payload)));
        EXPECT_TRUE(f.ok) << c.failure;
        EXPECT_EQ(f.exif.markerCount(), 1u);
        EXPECT_TRUE(hasDiagnostic(f.exif, c.failure)) << c.failure;
        expectAllEmpty(f.exif);
    }
}

TEST(ExifLoad, AnEntryCountOf256OrMoreFlipsTheByteOrderForTheRestOfTheFile) {
    // A file that says "II" but whose directories are big-endian: IFD0's
    // count 5 reads as 0x0500, so the parser flips to big-endian, and the
    // later directories (Sub, Thumbnail) must be read big-endian too.
    const std::string thumb = makeJpeg(16, 16);
    std::string tiff = cameraTiff(false, thumb);
    std::uint32_t ifd0;
    std::memcpy(&ifd0, tiff.data() + 4, 4);
    ifd0 = __builtin_bswap32(ifd0);  // written big-endian, read little-endian
    tiff.replace(0, 8, std::string("II\x2A\x00", 4) + std::string(reinterpret_cast<const char*>(&ifd0), 4));

    Loaded f(jpegFile(exifSegment(tiff)));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.exif.order(), 0x4949);
    ASSERT_EQ(f.exif.ifdMain()->count(), 5u);
    EXPECT_EQ(f.exif.ifdMain()->find(274)->valueString(), "1");
    EXPECT_EQ(f.exif.ifdSub()->find(36867)->valueString(), "2004:05:06 12:34:56");
    EXPECT_EQ(f.exif.ifdThumbnail()->find(514)->valueString(), std::to_string(thumb.size()));
    EXPECT_EQ(blobOf(f.exif.jpegThumbnail()), thumb);
}

TEST(ExifLoad, EntriesWhoseDataLeavesTheTiffDataAreDroppedAndTheOthersKept) {
    TiffBuilder b(true);
    b.setIfd0(b.addDirectory({
        Field::ascii(271, "Maker"),
        Field::forged(272, 2, 100, 60000),             // offset past the end
        Field::forged(305, 4, 0x40000001, 8),          // count × 4 wraps to 4 in 32 bits
        Field::forged(306, 2, 0x20, 0xFFFFFFF0),       // offset + length wraps in 32 bits
        Field::forged(315, 5, 0x20000001, 8),          // count × 8 wraps to 8 in 32 bits
        Field::ascii(33432, "(C) me"),
    }));
    Loaded f(jpegFile(exifSegment(b.bytes())));
    ASSERT_TRUE(f.ok);
    const auto& main = *f.exif.ifdMain();
    EXPECT_EQ(main.count(), 2u);
    EXPECT_EQ(main.find(271)->valueString(), "Maker");
    EXPECT_EQ(main.find(33432)->valueString(), "(C) me");
    for (std::uint16_t id : {272, 305, 306, 315})
        EXPECT_EQ(main.find(id), nullptr) << id;
}

TEST(ExifLoad, ADirectoryCutByTheEndOfTheDataKeepsTheEntriesItHad) {
    TiffBuilder b(true);
    const auto ifd0 = b.addDirectory({Field::shorts(274, {6}), Field::ascii(271, "Maker")});
    b.patch16(ifd0, 40);  // claims 40 entries; 2 are there
    b.setIfd0(ifd0);
    Loaded f(jpegFile(exifSegment(b.bytes())));
    ASSERT_TRUE(f.ok);
    EXPECT_TRUE(hasDiagnostic(f.exif, "m_pifdMain->readData"));
    EXPECT_EQ(f.exif.ifdMain()->find(274)->valueString(), "6");
    EXPECT_EQ(f.exif.ifdMain()->find(271)->valueString(), "Maker");
}

TEST(ExifLoad, DirectoryPointersCountOnlyAsOneLong) {
    for (const Field& pointer : {Field::shorts(34665, {8}), Field::longs(34665, {8, 8})}) {
        TiffBuilder b(true);
        const auto sub = b.addDirectory({Field::ascii(36867, "2004:05:06 12:34:56")});
        Field p = pointer;
        for (auto& n : p.numbers) n = sub;
        b.setIfd0(b.addDirectory({p}));
        Loaded f(jpegFile(exifSegment(b.bytes())));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.exif.ifdMain()->count(), 1u);
        EXPECT_EQ(f.exif.ifdSub()->count(), 0u) << "type " << p.type << " count " << p.count;
    }
}

TEST(ExifLoad, DuplicateIdsAreBothListedAndLookupFindsTheLaterOne) {
    TiffBuilder b(true);
    b.setIfd0(b.addDirectory({Field::ascii(271, "First"), Field::shorts(274, {1}), Field::ascii(271, "Second")}));
    Loaded f(jpegFile(exifSegment(b.bytes())));
    ASSERT_TRUE(f.ok);
    const auto& main = *f.exif.ifdMain();
    EXPECT_EQ(main.count(), 3u);
    EXPECT_EQ(main.find(271)->valueString(), "Second");
    EXPECT_EQ(main.at(0)->valueString(), "First");
}

TEST(ExifLoad, APointerLoopCannotMakeASmallFileCopyWithoutLimit) {
    // 2500 entries that all point at one 30 000-byte block would copy 75 MB.
    TiffBuilder b(true);
    const auto blob = b.addBlob(std::string(30000, 'x'));
    std::vector<Field> fields;
    for (int i = 0; i < 2500; ++i)
        fields.push_back(Field::forged(std::uint16_t(0x9000 + i), 7, 30000, blob));
    b.setIfd0(b.addDirectory(fields));
    Loaded f(jpegFile(exifSegment(b.bytes())));
    ASSERT_TRUE(f.ok);
    std::uint64_t copied = 0;
    for (std::size_t i = 0; i < f.exif.ifdMain()->count(); ++i)
        copied += f.exif.ifdMain()->at(i)->data().size();
    EXPECT_GE(f.exif.ifdMain()->count(), 4u);
    EXPECT_LE(copied, 4u * b.size() + 65536u);
}

TEST(ExifLoad, ThumbnailRangesOutsideTheTiffDataGiveNoThumbnail) {
    const std::string thumb = makeJpeg(16, 16);
    struct Case {
        std::vector<Field> fields;
        const char* failure;
    };
    const std::uint32_t at = 8;  // the blob lies right behind the header
    const Case cases[] = {
        {{Field::longs(513, {at}), Field::longs(514, {thumb.size() + 1000})}, "read"},
        {{Field::longs(513, {at}), Field::longs(514, {0xFFFFFFFFu})}, "サムネイルのサイズが見つかりませんでした"},
        {{Field::slongs(513, {-4}), Field::longs(514, {10})}, "read"},
        {{Field::longs(514, {thumb.size()})}, "サムネイルのオフセットが見つかりませんでした"},
        {{Field::longs(513, {at}), Field::longs(514, {})}, "サムネイルのサイズが見つかりませんでした"},
    };
    for (const auto& c : cases) {
        TiffBuilder b(true);
        b.addBlob(thumb);
        const auto ifd1 = b.addDirectory(c.fields);
        b.setIfd0(b.addDirectory({Field::shorts(274, {1})}, ifd1));
        Loaded f(jpegFile(exifSegment(b.bytes())));
        ASSERT_TRUE(f.ok);
        EXPECT_TRUE(f.exif.jpegThumbnail().empty()) << c.failure;
        EXPECT_TRUE(hasDiagnostic(f.exif, c.failure)) << c.failure;
    }
}

TEST(ExifLoad, StripThumbnailTakesTheFirstStripOnly) {
    TiffBuilder b(false);
    const auto strip1 = b.addBlob("AAAAAA");
    b.addBlob("BBBBBB");
    const auto ifd1 = b.addDirectory({Field::longs(273, {strip1, strip1 + 6}), Field::longs(279, {6, 6})});
    b.setIfd0(b.addDirectory({Field::shorts(274, {1})}, ifd1));
    Loaded f(jpegFile(exifSegment(b.bytes())));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(blobOf(f.exif.stripThumbnail()), "AAAAAA");
    EXPECT_TRUE(f.exif.jpegThumbnail().empty());
}

TEST(ExifLoad, LoadingFromMemoryMatchesLoadingTheFile) {
    const std::string bytes = jpegFile(jfifSegment() + exifSegment(cameraTiff(false, makeJpeg(16, 16))));
    Loaded f(bytes);
    Exif m;
    ASSERT_TRUE(m.loadBytes(bytes));
    EXPECT_EQ(m.tiffData(), f.exif.tiffData());
    EXPECT_EQ(m.ifdSub()->count(), f.exif.ifdSub()->count());
    EXPECT_EQ(m.jpegThumbnail(), f.exif.jpegThumbnail());
    EXPECT_FALSE(Exif().loadBytes(""));
    // A document loads once.
    EXPECT_FALSE(m.loadBytes(jpegFile(jfifSegment())));
    EXPECT_EQ(m.markerCount(), 2u);
}

TEST(IfdModel, RemovalKeepsEveryOtherTagFoundByItsOwnId) {
    auto ifd = Ifd::create("IFD Main", tagora::mainTable());
    for (std::uint16_t id : {271, 272, 274, 282, 305, 271})
        ifd->set(id, 3, 1, nullptr);  // set on an existing ID replaces it
    ASSERT_EQ(ifd->count(), 5u);
    const auto t274 = ifd->find(274);
    EXPECT_TRUE(ifd->remove(272));
    EXPECT_FALSE(ifd->remove(272));
    EXPECT_EQ(ifd->count(), 4u);
    EXPECT_EQ(t274->owner(), ifd);
    for (std::uint16_t id : {271, 274, 282, 305})
        ASSERT_NE(ifd->find(id), nullptr) << id;
    for (std::size_t i = 0; i < ifd->count(); ++i)
        EXPECT_EQ(ifd->find(ifd->at(i)->id()), ifd->at(i));
    EXPECT_EQ(ifd->at(4), nullptr);
}

TEST(IfdModel, RemovingADuplicateUncoversTheEarlierTagAndRemovedTagsLoseTheirOwner) {
    TiffBuilder b(true);
    b.setIfd0(b.addDirectory({Field::ascii(271, "First"), Field::ascii(272, "M"), Field::ascii(271, "Second")}));
    Loaded f(jpegFile(exifSegment(b.bytes())));
    auto& main = *f.exif.ifdMain();
    const auto second = main.find(271);
    ASSERT_TRUE(main.remove(271));
    EXPECT_EQ(main.find(271)->valueString(), "First");
    EXPECT_EQ(main.find(272)->valueString(), "M");
    EXPECT_EQ(second->owner(), nullptr);
    EXPECT_EQ(second->valueString(), "Second");  // a caller's reference keeps it alive
}

TEST(IfdModel, ATagWhoseIdChangedIsStillFiledUnderItsFormerId) {
    auto ifd = Ifd::create("IFD Main", tagora::mainTable());
    const auto tag = ifd->add(271, 2);
    ASSERT_TRUE(tag);
    EXPECT_EQ(ifd->add(271, 3), nullptr);
    tag->setId(305);
    EXPECT_EQ(tag->name(), "Software");
    EXPECT_EQ(ifd->find(271), tag);
    EXPECT_EQ(ifd->find(305), nullptr);
    ifd->add(274, 3);
    ASSERT_TRUE(ifd->remove(274));
    EXPECT_EQ(ifd->find(271), tag);  // the rebuilt map keeps the former ID
}

TEST(IfdModel, WrittenDirectoryReadsBackTheSameTagsInBothOrders) {
    for (bool little : {true, false}) {
        auto ifd = Ifd::create("IFD Thumbnail", tagora::mainTable());
        const std::uint16_t shorts[] = {8, 8, 8};
        const std::uint32_t rational[] = {72, 1};
        const double dbl = -2.25;
        ifd->set(258, 3, 3, shorts);
        ifd->set(282, 5, 1, rational);
        ifd->set(271, 2, 4, "abc");
        ifd->set(0x9999, 12, 1, &dbl);
        ifd->setNextOffset(0x1234);
        std::vector<std::uint8_t> buf(8 + ifd->byteSize());
        EXPECT_EQ(ifd->byteSize(), 12u * 4 + 6 + 6 + 8 + 8);
        tagora::ByteReader out(buf.data(), buf.size());
        out.setLittleEndian(little);
        ASSERT_TRUE(ifd->writeData(out, 8));

        auto back = Ifd::create("IFD Thumbnail", tagora::mainTable());
        tagora::ByteReader in(buf.data(), buf.size());
        in.setLittleEndian(little);
        ASSERT_TRUE(back->readData(in, 8));
        ASSERT_EQ(back->count(), 4u);
        EXPECT_EQ(back->nextOffset(), 0x1234u);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(back->at(i)->id(), ifd->at(i)->id());
            EXPECT_EQ(back->at(i)->data(), ifd->at(i)->data()) << i;
        }
        EXPECT_EQ(back->find(0x9999)->valueString(), "-2.250000");

        // One byte short of room: the write fails instead of running over.
        std::vector<std::uint8_t> small(buf.size() - 1);
        tagora::ByteReader tight(small.data(), small.size());
        std::string why;
        EXPECT_FALSE(ifd->writeData(tight, 8, &why));
        EXPECT_EQ(why, "write");
    }
    EXPECT_EQ(Ifd::create("IFD Gps", tagora::gpsTable())->byteSize(), 0u);
}

TEST(ByteReaderBounds, SeeksReadsAndWritesNeverLeaveTheBuffer) {
    std::uint8_t buf[6] = {1, 2, 3, 4, 5, 6};
    tagora::ByteReader c(buf, sizeof buf);
    c.setLittleEndian(false);
    EXPECT_EQ(c.read32(), 0x01020304u);
    EXPECT_THROW(c.read32(), tagora::ExifError);
    EXPECT_EQ(c.position(), 4u);  // a failed read does not move
    EXPECT_EQ(c.read16(), 0x0506);
    c.seek(0, 2);
    EXPECT_EQ(c.position(), 6u);
    EXPECT_THROW(c.seek(1, 1), tagora::ExifError);
    EXPECT_THROW(c.seek(-7, 2), tagora::ExifError);
    EXPECT_THROW(c.seek(INT64_MAX, 1), tagora::ExifError);
    EXPECT_THROW(c.seek(0, 3), tagora::ExifError);
    c.seek(-2, 2);
    c.setLittleEndian(true);
    c.write16(0xBEEF);
    EXPECT_EQ(buf[4], 0xEF);
    EXPECT_EQ(buf[5], 0xBE);
    EXPECT_THROW(c.write8(0), tagora::ExifError);
    try {
        c.read8();
        FAIL();
    } catch (const tagora::ExifError& e) {
        EXPECT_STREQ(e.what(), "read");
    }
    EXPECT_FALSE(c.fits(UINT64_MAX, 2));
    EXPECT_FALSE(c.fits(2, UINT64_MAX));
    EXPECT_TRUE(c.fits(6, 0));
}
