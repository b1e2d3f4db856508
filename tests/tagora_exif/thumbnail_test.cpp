// Saving the EXIF thumbnail (JPEG and TIFF strip forms, byte for byte) and
// turning the JPEG thumbnail without re-encoding it.
#include "exif_fixture.h"
#include "tagora/exif/exif.h"
#include "tagora/exif/jpeg_transform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <turbojpeg.h>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

using namespace exif_fixture;
using tagora::Exif;
using testing_support::hex;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

std::string blobOf(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::unique_ptr<Exif> loadFile(const std::string& jpeg) {
    auto e = std::make_unique<Exif>();
    EXPECT_TRUE(e->loadBytes(jpeg));
    return e;
}

std::unique_ptr<Exif> withThumbnail(const std::string& thumb, bool little = true) {
    return loadFile(jpegFile(jfifSegment() + exifSegment(cameraTiff(little, thumb))));
}

struct Header {
    int width = 0, height = 0;
};

Header headerOf(const std::vector<std::uint8_t>& jpeg) {
    Header h;
    int sub, cs;
    tjhandle t = tjInitDecompress();
    EXPECT_EQ(tjDecompressHeader3(t, jpeg.data(), jpeg.size(), &h.width, &h.height, &sub, &cs), 0);
    tjDestroy(t);
    return h;
}

std::vector<unsigned char> pixelsOf(const std::string& jpeg, Header* size = nullptr) {
    tjhandle t = tjInitDecompress();
    int w = 0, h = 0, sub, cs;
    tjDecompressHeader3(t, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), &w, &h, &sub, &cs);
    std::vector<unsigned char> rgb(std::size_t(w) * h * 3);
    const int rc = tjDecompress2(t, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), rgb.data(), w,
                                 0, h, TJPF_RGB, 0);
    tjDestroy(t);
    EXPECT_EQ(rc, 0);
    if (size) *size = {w, h};
    return rgb;
}

// Every DCT coefficient of every component, read with libjpeg itself.
std::vector<std::vector<JCOEF>> coefficientsOf(const std::vector<std::uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
    std::vector<std::vector<JCOEF>> out(cinfo.num_components);
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        for (JDIMENSION row = 0; row < comp.height_in_blocks; ++row) {
            JBLOCKARRAY blocks =
                (*cinfo.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&cinfo), arrays[c], row, 1, FALSE);
            for (JDIMENSION col = 0; col < comp.width_in_blocks; ++col)
                out[c].insert(out[c].end(), blocks[0][col], blocks[0][col] + DCTSIZE2);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

}  // namespace

TEST(SaveThumbnail, JpegFormWritesExactlyTheThumbnailRangeOfTheTiffData) {
    const std::string thumb = makeJpeg(160, 120);
    auto e = withThumbnail(thumb, false);
    TempDir dir;
    EXPECT_EQ(e->saveThumbnail(dir.str("thumb.jpg")), 1);
    const std::string written = readBytes(dir / "thumb.jpg");
    EXPECT_EQ(written, thumb);
    // The same bytes as the range named by the two tags.
    std::uint32_t at, len;
    std::memcpy(&at, e->ifdThumbnail()->find(513)->data().data(), 4);
    std::memcpy(&len, e->ifdThumbnail()->find(514)->data().data(), 4);
    EXPECT_EQ(written, blobOf(e->tiffData()).substr(at, len));
    // Saving again truncates and rewrites.
    writeBytes(dir / "thumb.jpg", std::string(100000, 'z'));
    EXPECT_EQ(e->saveThumbnail(dir.str("thumb.jpg")), 1);
    EXPECT_EQ(readBytes(dir / "thumb.jpg"), thumb);
}

TEST(SaveThumbnail, NothingToSaveOrNowhereToSaveItGivesZero) {
    TempDir dir;
    auto none = loadFile(jpegFile(jfifSegment()));
    EXPECT_EQ(none->saveThumbnail(dir.str("none.jpg")), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.jpg"));
    EXPECT_FALSE(none->thumbnailFileBytes());

    auto e = withThumbnail(makeJpeg(16, 16));
    EXPECT_EQ(e->saveThumbnail(dir.str("missing-folder/thumb.jpg")), 0);
    writeBytes(dir / "file", "x");
    EXPECT_EQ(e->saveThumbnail(dir.str("file/thumb.jpg")), 0);  // a file where a folder must be
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(e->saveThumbnail("/dev/full"), 0);  // a full disk is no saved thumbnail
    }
}

// The TIFF file around strip data: header, the thumbnail directory as
// written by writeData (entries in list order, the value field of short
// values keeping what the data-position write left), the long values, the
// strip.
TEST(SaveThumbnail, StripFormLaysOutTheTiffFileByteForByte) {
    const std::string strip = "RGBRGBRGBRGB";  // 4 × 1 pixels
    for (bool little : {true, false}) {
        TiffBuilder b(little);
        const auto at = b.addBlob(strip);
        const auto ifd1 = b.addDirectory({
            Field::shorts(256, {4}),
            Field::longs(273, {at}),
            Field::longs(279, {strip.size()}),
            Field::rationals(282, {72, 1}),
            Field::shorts(258, {8, 8, 8}),
        });
        b.setIfd0(b.addDirectory({Field::shorts(274, {1})}, ifd1));
        auto e = loadFile(jpegFile(exifSegment(b.bytes())));
        ASSERT_EQ(blobOf(e->stripThumbnail()), strip);

        // S = 12 × 5 + 6 + 8 + 6 = 80; the strip starts at 88; the data
        // area starts at 8 + 2 + 60 + 4 = 74.
        const std::string expected = little
            ? std::string(
                  "II\x2A\x00\x08\x00\x00\x00"
                  "\x05\x00"
                  "\x00\x01\x03\x00\x01\x00\x00\x00\x04\x00\x00\x00"
                  "\x11\x01\x04\x00\x01\x00\x00\x00\x58\x00\x00\x00"
                  "\x17\x01\x04\x00\x01\x00\x00\x00\x0C\x00\x00\x00"
                  "\x1A\x01\x05\x00\x01\x00\x00\x00\x4A\x00\x00\x00"
                  "\x02\x01\x03\x00\x03\x00\x00\x00\x52\x00\x00\x00"
                  "\x00\x00\x00\x00"
                  "\x48\x00\x00\x00\x01\x00\x00\x00"
                  "\x08\x00\x08\x00\x08\x00",
                  88)
            : std::string(
                  "MM\x00\x2A\x00\x00\x00\x08"
                  "\x00\x05"
                  "\x01\x00\x00\x03\x00\x00\x00\x01\x00\x04\x00\x4A"  // 74's low half stays
                  "\x01\x11\x00\x04\x00\x00\x00\x01\x00\x00\x00\x58"
                  "\x01\x17\x00\x04\x00\x00\x00\x01\x00\x00\x00\x0C"
                  "\x01\x1A\x00\x05\x00\x00\x00\x01\x00\x00\x00\x4A"
                  "\x01\x02\x00\x03\x00\x00\x00\x03\x00\x00\x00\x52"
                  "\x00\x00\x00\x00"
                  "\x00\x00\x00\x48\x00\x00\x00\x01"
                  "\x00\x08\x00\x08\x00\x08",
                  88);
        TempDir dir;
        ASSERT_EQ(e->saveThumbnail(dir.str("thumb.tif")), 1);
        const std::string written = readBytes(dir / "thumb.tif");
        EXPECT_EQ(hex(written), hex(expected + strip)) << (little ? "II" : "MM");
        // The two tags keep their new values in the model.
        EXPECT_EQ(e->ifdThumbnail()->find(273)->valueString(), "88");
        EXPECT_EQ(e->ifdThumbnail()->find(279)->valueString(), "12");
        EXPECT_EQ(e->ifdThumbnail()->at(1)->id(), 273);  // same list position
    }
}

TEST(SaveThumbnail, StripFormAppendsMissingStripTagsAndPrefersAJpegThumbnail) {
    const std::string strip(30, 'p');
    TiffBuilder b(true);
    const auto at = b.addBlob(strip);
    const auto ifd1 = b.addDirectory({Field::longs(273, {at}), Field::shorts(279, {30})});
    b.setIfd0(b.addDirectory({Field::shorts(274, {1})}, ifd1));
    auto e = loadFile(jpegFile(exifSegment(b.bytes())));
    // StripByteCounts was a SHORT: it becomes a LONG in place.
    const auto bytes = e->thumbnailFileBytes();
    ASSERT_TRUE(bytes);
    const std::uint64_t s = 12 * 2 + 6;
    EXPECT_EQ(bytes->size(), 8 + s + 30);
    EXPECT_EQ(e->ifdThumbnail()->find(279)->type(), 4);
    EXPECT_EQ(blobOf(*bytes).substr(8 + s), strip);

    // A file with both forms saves the JPEG one.
    const std::string thumb = makeJpeg(16, 16);
    TiffBuilder c(true);
    const auto j = c.addBlob(thumb);
    const auto st = c.addBlob(strip);
    const auto d1 = c.addDirectory(
        {Field::longs(273, {st}), Field::longs(279, {30}), Field::longs(513, {j}), Field::longs(514, {thumb.size()})});
    c.setIfd0(c.addDirectory({}, d1));
    auto both = loadFile(jpegFile(exifSegment(c.bytes())));
    EXPECT_EQ(blobOf(*both->thumbnailFileBytes()), thumb);
}

TEST(RotateThumbnail, ACodeOneTurnSwapsTheSidesAndCodeTwoKeepsThem) {
    auto e = withThumbnail(makeJpeg(160, 120, TJSAMP_420));
    ASSERT_TRUE(e->rotateThumbnail(1));
    EXPECT_EQ(headerOf(e->jpegThumbnail()).width, 120);
    EXPECT_EQ(headerOf(e->jpegThumbnail()).height, 160);
    ASSERT_TRUE(e->rotateThumbnail(2));
    EXPECT_EQ(headerOf(e->jpegThumbnail()).width, 120);
    EXPECT_EQ(headerOf(e->jpegThumbnail()).height, 160);
    // No tag follows the turn.
    EXPECT_EQ(e->ifdThumbnail()->find(514)->valueString(), std::to_string(makeJpeg(160, 120).size()));
}

TEST(RotateThumbnail, FourQuarterTurnsGiveBackTheSameCoefficients) {
    for (int subsamp : {TJSAMP_444, TJSAMP_420}) {
        const int h = subsamp == TJSAMP_444 ? 120 : 128;  // whole iMCUs
        auto e = withThumbnail(makeJpeg(160, h, subsamp));
        const auto before = coefficientsOf(e->jpegThumbnail());
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(e->rotateThumbnail(1));
        EXPECT_EQ(coefficientsOf(e->jpegThumbnail()), before) << "subsampling " << subsamp;
        // 1 then 3 is no turn at all.
        ASSERT_TRUE(e->rotateThumbnail(1));
        ASSERT_TRUE(e->rotateThumbnail(3));
        EXPECT_EQ(coefficientsOf(e->jpegThumbnail()), before);
    }
}

TEST(RotateThumbnail, PartialEdgeBlocksAreKeptNotTrimmed) {
    auto e = withThumbnail(makeJpeg(100, 75, TJSAMP_420));
    ASSERT_TRUE(e->rotateThumbnail(2));
    EXPECT_EQ(headerOf(e->jpegThumbnail()).width, 100);  // trimming would give 96 × 64
    EXPECT_EQ(headerOf(e->jpegThumbnail()).height, 75);
    ASSERT_TRUE(e->rotateThumbnail(1));
    EXPECT_EQ(headerOf(e->jpegThumbnail()).width, 75);
    EXPECT_EQ(headerOf(e->jpegThumbnail()).height, 100);
}

TEST(RotateThumbnail, BadCodesAndMissingOrBrokenThumbnailsChangeNothing) {
    const std::string thumb = makeJpeg(32, 24);
    auto e = withThumbnail(thumb);
    for (std::int64_t code : {std::int64_t(0), std::int64_t(4), std::int64_t(-1), std::int64_t(90),
                              std::int64_t(1) << 32 | 1}) {
        EXPECT_FALSE(e->rotateThumbnail(code)) << code;
        EXPECT_EQ(blobOf(e->jpegThumbnail()), thumb);
    }
    auto none = loadFile(jpegFile(jfifSegment()));
    EXPECT_FALSE(none->rotateThumbnail(1));

    // Not a JPEG stream at all.
    auto broken = withThumbnail(std::string(200, '\x55'));
    EXPECT_FALSE(broken->rotateThumbnail(1));
    EXPECT_EQ(blobOf(broken->jpegThumbnail()), std::string(200, '\x55'));
}

TEST(TransformJpeg, ResultCodes) {
    const std::string jpeg = makeJpeg(32, 24);
    const std::vector<std::uint8_t> in(jpeg.begin(), jpeg.end());
    std::vector<std::uint8_t> out{1, 2, 3};
    EXPECT_EQ(tagora::transformJpeg(in, out, 0), tagora::kTransformBadCode);
    EXPECT_EQ(tagora::transformJpeg(in, out, 4), tagora::kTransformBadCode);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
    const std::vector<std::uint8_t> garbage(100, 0x42);
    EXPECT_EQ(tagora::transformJpeg(garbage, out, 1), tagora::kTransformBadSource);
    EXPECT_EQ(tagora::transformJpeg({}, out, 1), tagora::kTransformBadSource);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(tagora::transformJpeg(in, out, 3), tagora::kTransformOk);
    EXPECT_EQ(headerOf(out).width, 24);

    // A stream cut short still turns (the library only warns); the missing
    // blocks come out grey.
    const std::string big = makeJpeg(160, 120);
    const std::size_t scan = big.find("\xFF\xDA");
    ASSERT_LT(scan + 200, big.size());
    const std::vector<std::uint8_t> cut(big.begin(), big.begin() + scan + 200);
    EXPECT_EQ(tagora::transformJpeg(cut, out, 2), tagora::kTransformOk);
    EXPECT_EQ(headerOf(out).width, 160);
    // Cut inside the headers it is no JPEG stream any more.
    const std::vector<std::uint8_t> headerOnly(big.begin(), big.begin() + scan);
    EXPECT_EQ(tagora::transformJpeg(headerOnly, out, 2), tagora::kTransformBadSource);
}

TEST(TransformJpeg, AForgedHugeImageIsRefusedBeforeAnythingIsAllocated) {
    std::string jpeg = makeJpeg(16, 16);
    const auto sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = jpeg[sof + 6] = jpeg[sof + 7] = jpeg[sof + 8] = '\xEA';  // 60138 × 60138
    const std::vector<std::uint8_t> in(jpeg.begin(), jpeg.end());
    std::vector<std::uint8_t> out;
    EXPECT_EQ(tagora::transformJpeg(in, out, 1), tagora::kTransformBadSource);
}

TEST(RotateThumbnail, EveryMarkerOfTheThumbnailIsCarriedOver) {
    // A thumbnail with a comment and an APP2 segment of its own.
    const std::string plain = makeJpeg(48, 32);
    const std::string extra = segment(0xFE, "thumbnail comment") + segment(0xE2, std::string("ICC\0data", 8));
    const std::string thumb = plain.substr(0, 2) + extra + plain.substr(2);
    auto e = withThumbnail(thumb);
    ASSERT_TRUE(e->rotateThumbnail(1));
    const std::string turned = blobOf(e->jpegThumbnail());
    EXPECT_NE(turned.find(segment(0xFE, "thumbnail comment")), std::string::npos);
    EXPECT_NE(turned.find(segment(0xE2, std::string("ICC\0data", 8))), std::string::npos);
}

TEST(RotateThumbnail, TurnedPixelsEqualThoseOfJpegtran) {
    if (std::system("command -v jpegtran >/dev/null 2>&1") != 0)
        GTEST_FAIL() << "jpegtran (libjpeg-turbo-progs) is needed for this check";
    TempDir dir;
    for (int subsamp : {TJSAMP_420, TJSAMP_444}) {
        for (auto [code, degrees] : {std::pair{1, 90}, std::pair{2, 180}, std::pair{3, 270}}) {
            const std::string thumb = makeJpeg(160, 120, subsamp);
            auto e = withThumbnail(thumb);
            ASSERT_TRUE(e->rotateThumbnail(code));
            ASSERT_EQ(e->saveThumbnail(dir.str("ours.jpg")), 1);

            writeBytes(dir / "thumb.jpg", thumb);
            const std::string cmd = "jpegtran -rotate " + std::to_string(degrees) + " -copy all '" +
                                    dir.str("thumb.jpg") + "' > '" + dir.str("theirs.jpg") + "'";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

            Header ourSize, theirSize;
            const auto ours = pixelsOf(readBytes(dir / "ours.jpg"), &ourSize);
            const auto theirs = pixelsOf(readBytes(dir / "theirs.jpg"), &theirSize);
            EXPECT_EQ(ourSize.width, theirSize.width);
            EXPECT_EQ(ourSize.height, theirSize.height);
            EXPECT_TRUE(ours == theirs) << "code " << code << " subsampling " << subsamp;
            // And it really turned: the bright top-left block is now elsewhere.
            EXPECT_FALSE(ours == pixelsOf(thumb)) << code;
        }
    }
}
