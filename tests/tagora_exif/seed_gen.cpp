// Writes the seed corpus of the EXIF fuzz target: small files made by the
// same fixture writer as the tests, covering both byte orders, every
// directory, both thumbnail forms, EXIF behind other segments and the broken
// shapes the parser refuses.
#include "exif_fixture.h"

#include "tests/support/seed_folder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace exif_fixture;

namespace {

void put(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::string fullTiff(bool little) {
    TiffBuilder b(little);
    const std::string thumb = makeJpeg(24, 16);
    const auto t = b.addBlob(thumb);
    const auto strip = b.addBlob("RGBRGBRGBRGB");
    const auto interop = b.addDirectory({Field::ascii(1, "R98"), Field::bytes(2, 7, "0100")});
    const auto sub = b.addDirectory({
        Field::bytes(36864, 7, "0220"),
        Field::ascii(36867, "2004:05:06 12:34:56"),
        Field::rationals(33434, {1, 250}),
        Field::srationals(37380, {-1, 3}),
        Field::sshorts(0x9999, {-5, 7}),
        Field::slongs(0x999A, {-70000}),
        Field::bytes(37510, 7, std::string("UNICODE\0A\0B\0", 12)),
        Field::longs(40965, {interop}),
    });
    const auto gps = b.addDirectory({Field::bytes(0, 1, std::string("\x02\x02\x00\x00", 4)),
                                     Field::ascii(1, "N"), Field::rationals(2, {35, 1, 40, 1, 1234, 100})});
    const auto ifd1 = b.addDirectory({
        Field::shorts(256, {4}),
        Field::longs(273, {strip}),
        Field::longs(279, {12}),
        Field::longs(513, {t}),
        Field::longs(514, {thumb.size()}),
        Field::shorts(258, {8, 8, 8}),
    });
    b.setIfd0(b.addDirectory({Field::ascii(271, "Maker"), Field::rationals(282, {72, 1}),
                              Field::longs(34665, {sub}), Field::longs(34853, {gps})},
                             ifd1));
    return b.bytes();
}

}  // namespace

int main(int argc, char** argv) {
    const auto folder = testing_support::seedFolder(argc, argv);
    if (!folder) return 2;
    const std::filesystem::path& dir = *folder;
    put(dir, "camera-le.jpg", jpegFile(jfifSegment() + exifSegment(cameraTiff(true, makeJpeg(32, 24)))));
    put(dir, "camera-be.jpg", jpegFile(exifSegment(cameraTiff(false, makeJpeg(16, 16, 0)))));
    put(dir, "full-le.jpg", jpegFile(exifSegment(fullTiff(true))));
    put(dir, "full-be.jpg", jpegFile(jfifSegment() + exifSegment(fullTiff(false))));
    put(dir, "app0-only.jpg", jpegFile(jfifSegment()));
    put(dir, "xmp-first.jpg", jpegFile(segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33)) +
                                       exifSegment(cameraTiff(true, ""))));
    put(dir, "icc-before-exif.jpg",
        jpegFile(jfifSegment() + segment(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(64, '\x11')) +
                 exifSegment(cameraTiff(false, makeJpeg(16, 16)))));
    put(dir, "exif-behind-table.jpg",
        jpegFile(segment(0xFE, "c") + segment(0xDB, std::string(65, '\x01')) + exifSegment(cameraTiff(true, ""))));
    {
        // More segments than the EXIF search looks at, the EXIF APP1 last.
        std::string comments;
        for (int i = 0; i < 1100; ++i) comments += segment(0xFE, "");
        put(dir, "exif-past-segment-limit.jpg", jpegFile(comments + exifSegment(cameraTiff(true, ""))));
    }
    put(dir, "tiff.tif", std::string("II\x2A\x00\x08\x00\x00\x00", 8));
    put(dir, "short-app1.jpg", jpegFile(segment(0xE1, "Exif")));
    put(dir, "bad-order.jpg", jpegFile(segment(0xE1, std::string("Exif\0\0XX\x2A\x00\x08\x00\x00\x00", 14))));
    {
        TiffBuilder b(true);
        b.setIfd0(b.addDirectory({Field::forged(272, 2, 100, 60000), Field::forged(305, 4, 0x40000001, 8),
                                  Field::ascii(271, "ok")}));
        put(dir, "forged-offsets.jpg", jpegFile(exifSegment(b.bytes())));
    }
    {
        TiffBuilder b(true);
        const auto ifd1 = b.addDirectory({Field::longs(513, {8}), Field::longs(514, {100000})});
        b.setIfd0(b.addDirectory({Field::shorts(34665, {8})}, ifd1));
        put(dir, "thumb-past-end.jpg", jpegFile(exifSegment(b.bytes())));
    }
    return 0;
}
