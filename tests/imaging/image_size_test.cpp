#include "app/util/image_size.h"
#include "tests/imaging/jpeg_fixtures.h"
#include "tests/support/test_support.h"

#include <cstdint>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mirofoto;
using imaging_test::JpegOptions;
using imaging_test::makeJpeg;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

std::string le32(std::uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
}
std::string be32(std::uint32_t v) {
    return {char((v >> 24) & 0xFF), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

// BITMAPFILEHEADER + BITMAPINFOHEADER, no pixels needed by the reader.
std::string bmpHeader(std::uint32_t width, std::uint32_t height) {
    std::string h = "BM" + le32(54) + le32(0) + le32(54);
    h += le32(40) + le32(width) + le32(height) + std::string("\x01\x00\x18\x00", 4);
    h += std::string(24, '\0');
    return h;
}

std::string gifHeader(int width, int height) {
    return std::string("GIF89a") + char(width & 0xFF) + char(width >> 8) + char(height & 0xFF) + char(height >> 8) +
           std::string("\x00\x00\x00", 3) + "\x3B";
}

std::string pngHeader(std::uint32_t width, std::uint32_t height) {
    std::string h("\x89PNG\r\n\x1A\n", 8);
    h += be32(13) + "IHDR" + be32(width) + be32(height) + std::string("\x08\x02\x00\x00\x00", 5) + be32(0);
    return h;
}

ImageSizeInfo sizeOf(const TempDir& dir, std::string_view name, std::string_view bytes,
                     DetectionMode mode = DetectionMode::ByContent) {
    writeBytes(dir / name, bytes);
    return GetImageSize(dir.str(name), mode);
}

void expectSize(const ImageSizeInfo& info, ImageKind kind, int width, int height) {
    EXPECT_EQ(info.kind, kind);
    EXPECT_EQ(info.width, width);
    EXPECT_EQ(info.height, height);
}

void expectNotRecognised(const ImageSizeInfo& info) { expectSize(info, ImageKind::NotRecognised, 0, 0); }

}  // namespace

TEST(ImageSize, ReadsBmpGifAndPngHeaders) {
    TempDir dir;
    expectSize(sizeOf(dir, "a.bmp", bmpHeader(640, 480)), ImageKind::Bmp, 640, 480);
    expectSize(sizeOf(dir, "a.gif", gifHeader(320, 200)), ImageKind::Gif, 320, 200);
    expectSize(sizeOf(dir, "a.png", pngHeader(1, 1)), ImageKind::Png, 1, 1);
    expectSize(sizeOf(dir, "b.png", pngHeader(70000, 3)), ImageKind::Png, 70000, 3);
}

TEST(ImageSize, TopDownBmpGivesItsHeightAsAPositiveNumber) {
    TempDir dir;
    expectSize(sizeOf(dir, "down.bmp", bmpHeader(100, std::uint32_t(-75))), ImageKind::Bmp, 100, 75);
}

TEST(ImageSize, FieldsThatDoNotFitASignedResultAreRefused) {
    TempDir dir;
    expectNotRecognised(sizeOf(dir, "w.bmp", bmpHeader(0x80000000u, 10)));
    expectNotRecognised(sizeOf(dir, "h.bmp", bmpHeader(10, 0x80000000u)));  // -2^31 has no absolute value
    expectNotRecognised(sizeOf(dir, "w.png", pngHeader(0xFFFFFFFFu, 1)));
}

TEST(ImageSize, ShortHeadersReadAsZeroPastTheEnd) {
    TempDir dir;
    // Only the signature and the first size byte are there.
    expectSize(sizeOf(dir, "short.gif", std::string("GIF89a\x40", 7)), ImageKind::Gif, 0x40, 0);
    expectSize(sizeOf(dir, "short.bmp", "BM"), ImageKind::Bmp, 0, 0);
}

TEST(ImageSize, BaselineAndProgressiveJpeg) {
    TempDir dir;
    expectSize(sizeOf(dir, "base.jpg", makeJpeg(64, 48)), ImageKind::Jpeg, 64, 48);
    const std::string progressive = makeJpeg(40, 70, JpegOptions{.progressive = true});
    ASSERT_NE(imaging_test::findMarker(progressive, 0xC2), std::string::npos);
    expectSize(sizeOf(dir, "prog.jpg", progressive), ImageKind::Jpeg, 40, 70);
}

TEST(ImageSize, JpegFrameHeaderAfterA60KBExifSegmentIsFound) {
    TempDir dir;
    const std::string jpeg = makeJpeg(33, 17, JpegOptions{.exifBytes = 60 * 1024});
    ASSERT_GT(imaging_test::findMarker(jpeg, 0xC0), 60u * 1024);
    expectSize(sizeOf(dir, "exif.jpg", jpeg), ImageKind::Jpeg, 33, 17);
}

TEST(ImageSize, JpegWalkSkipsFillBytesButNotDifferentialFrames) {
    TempDir dir;
    std::string jpeg = makeJpeg(20, 10);
    jpeg.insert(2, "\xFF\xFF");  // fill bytes before the first marker
    expectSize(sizeOf(dir, "fill.jpg", jpeg), ImageKind::Jpeg, 20, 10);

    // A differential frame header (C5) names no size of the picture; the
    // walk goes past it to the real frame header.
    std::string differential = makeJpeg(20, 10);
    const std::string c5("\xFF\xC5\x00\x0B\x08\x03\x00\x04\x00\x01\x01\x11\x00", 13);
    differential.insert(2, c5);
    expectSize(sizeOf(dir, "c5.jpg", differential), ImageKind::Jpeg, 20, 10);
}

TEST(ImageSize, JpegReaderReadsOnlyTheHeaderOfAHugeFile) {
    TempDir dir;
    // A 4 GB sparse file: the reader must seek, not load.
    const std::string path = dir.str("huge.jpg");
    writeBytes(path, makeJpeg(16, 16));
    ASSERT_EQ(::truncate(path.c_str(), off_t(4) << 30), 0);
    expectSize(GetImageSize(path, DetectionMode::ByContent), ImageKind::Jpeg, 16, 16);

    // And a segment length that jumps far into the file is followed by seeking.
    std::string head = makeJpeg(16, 16);
    const std::string sof = head.substr(imaging_test::findMarker(head, 0xC0), 19);
    std::string jump = std::string("\xFF\xD8\xFF\xE1\xFF\xF0", 6);
    writeBytes(path, jump);
    {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, sof.data(), sof.size(), 4 + 0xFFF0), ssize_t(sof.size()));
        ::close(fd);
    }
    ASSERT_EQ(::truncate(path.c_str(), off_t(3) << 30), 0);
    expectSize(GetImageSize(path, DetectionMode::ByContent), ImageKind::Jpeg, 16, 16);
}

TEST(ImageSize, CutOrBrokenJpegHeadersGiveNothing) {
    TempDir dir;
    const std::string jpeg = makeJpeg(30, 20);
    const std::size_t sof = imaging_test::findMarker(jpeg, 0xC0);
    expectNotRecognised(sizeOf(dir, "cut-in-frame.jpg", jpeg.substr(0, sof + 7)));
    expectNotRecognised(sizeOf(dir, "cut-before-frame.jpg", jpeg.substr(0, sof)));
    expectNotRecognised(sizeOf(dir, "soi-only.jpg", "\xFF\xD8"));
    expectNotRecognised(sizeOf(dir, "no-marker.jpg", std::string("\xFF\xD8\x12\x34\x56\x78\x9A", 7)));
    // A segment whose length points past the end of the file.
    expectNotRecognised(sizeOf(dir, "long-seg.jpg", std::string("\xFF\xD8\xFF\xE0\xFF\xFF\x00\x00\x00\x00", 10)));
    // A zero segment length ends the walk.
    expectNotRecognised(sizeOf(dir, "zero-seg.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x00\xFF\xE0\x00\x00\x00", 11)));
}

TEST(ImageSize, FilesThatAreNotImagesGiveNothing) {
    TempDir dir;
    expectNotRecognised(sizeOf(dir, "empty.jpg", ""));
    expectNotRecognised(sizeOf(dir, "one.jpg", "\xFF"));
    expectNotRecognised(sizeOf(dir, "text.jpg", "this is not a picture\n"));
    expectNotRecognised(GetImageSize(dir.str("missing.jpg"), DetectionMode::ByContent));
    std::filesystem::create_directory(dir / "folder.jpg");
    expectNotRecognised(GetImageSize(dir.str("folder.jpg"), DetectionMode::ByContent));
    expectNotRecognised(GetImageSize("", DetectionMode::ByContent));
    ASSERT_EQ(::mkfifo(dir.str("fifo.jpg").c_str(), 0600), 0);
    expectNotRecognised(GetImageSize(dir.str("fifo.jpg"), DetectionMode::ByContent));
}

TEST(ImageSize, NamedModesRunTheNamedReaderWhichStillChecksTheSignature) {
    TempDir dir;
    writeBytes(dir / "p.png", pngHeader(5, 6));
    expectSize(GetImageSize(dir.str("p.png"), DetectionMode::Png), ImageKind::Png, 5, 6);
    expectNotRecognised(GetImageSize(dir.str("p.png"), DetectionMode::Jpeg));
    expectNotRecognised(GetImageSize(dir.str("p.png"), DetectionMode::Bmp));
    expectNotRecognised(GetImageSize(dir.str("p.png"), DetectionMode::Gif));
    expectNotRecognised(GetImageSize(dir.str("p.png"), static_cast<DetectionMode>(9)));
}

TEST(ImageSize, ByNameModeGoesByTheExtensionIgnoringCase) {
    TempDir dir;
    writeBytes(dir / "A.JPEG", makeJpeg(9, 7));
    writeBytes(dir / "b.Jpg", makeJpeg(9, 7));
    writeBytes(dir / "c.Gif", gifHeader(3, 4));
    writeBytes(dir / "d.jpe", makeJpeg(9, 7));
    writeBytes(dir / "png-content.jpg", pngHeader(2, 2));
    expectSize(GetImageSize(dir.str("A.JPEG"), DetectionMode::ByName), ImageKind::Jpeg, 9, 7);
    expectSize(GetImageSize(dir.str("b.Jpg"), DetectionMode::ByName), ImageKind::Jpeg, 9, 7);
    expectSize(GetImageSize(dir.str("c.Gif"), DetectionMode::ByName), ImageKind::Gif, 3, 4);
    expectNotRecognised(GetImageSize(dir.str("d.jpe"), DetectionMode::ByName));
    expectNotRecognised(GetImageSize(dir.str("png-content.jpg"), DetectionMode::ByName));
    // By content the same file is what it really is.
    expectSize(GetImageSize(dir.str("png-content.jpg"), DetectionMode::ByContent), ImageKind::Png, 2, 2);
}

TEST(ImageSize, UsableMeansAFileOfAtLeastTwoBytes) {
    TempDir dir;
    writeBytes(dir / "one", "x");
    writeBytes(dir / "two", "xy");
    EXPECT_FALSE(ImageFileUsable(dir.str("one")));
    EXPECT_TRUE(ImageFileUsable(dir.str("two")));
    EXPECT_FALSE(ImageFileUsable(dir.str("none")));
    EXPECT_FALSE(ImageFileUsable(dir.str()));
}
