#include "tagora_files.h"

namespace tagora_files {

using namespace exif_fixture;

const std::string& thumbnailJpeg() {
    static const std::string jpeg = makeJpeg(24, 16);
    return jpeg;
}

namespace {

std::string tiff(bool little, bool withJpeg) {
    TiffBuilder b(little);
    const std::string& thumb = thumbnailJpeg();
    const auto t = b.addBlob(thumb);
    const auto strip = b.addBlob(kStrip);
    const auto interop = b.addDirectory({Field::ascii(1, "R98"), Field::bytes(2, 7, "0100")});
    const auto sub = b.addDirectory({
        Field::bytes(36864, 7, "0220"),
        Field::ascii(36867, "2004:05:06 12:34:56"),
        Field::rationals(33434, {1, 250}),
        Field::shorts(37383, {2, 2}),
        Field::bytes(37510, 7, std::string("UNICODE\0A\0B\0", 12)),
        Field::longs(40965, {interop}),
    });
    const auto gps = b.addDirectory({Field::bytes(0, 1, std::string("\x02\x02\x00\x00", 4)), Field::ascii(1, "N"),
                                     Field::rationals(2, {35, 1, 40, 1, 1234, 100})});
    std::vector<Field> ifd1 = {Field::shorts(256, {4}), Field::longs(273, {strip}), Field::longs(279, {12})};
    if (withJpeg) {
        ifd1.push_back(Field::longs(513, {t}));
        ifd1.push_back(Field::longs(514, {thumb.size()}));
    }
    const auto first = b.addDirectory(ifd1);
    b.setIfd0(b.addDirectory({Field::ascii(271, "Maker"), Field::rationals(282, {72, 1}), Field::longs(34665, {sub}),
                              Field::longs(34853, {gps})},
                             first));
    return b.bytes();
}

}  // namespace

std::string fullFile(bool littleEndian) { return jpegFile(jfifSegment() + exifSegment(tiff(littleEndian, true))); }

std::string stripOnlyFile(bool littleEndian) {
    return jpegFile(jfifSegment() + exifSegment(tiff(littleEndian, false)));
}

std::string jfifOnlyFile() { return jpegFile(jfifSegment()); }

std::string fileWithSubFields(const std::vector<Field>& sub, bool littleEndian, bool jfif) {
    TiffBuilder b(littleEndian);
    const auto subOffset = b.addDirectory(sub);
    b.setIfd0(b.addDirectory({Field::ascii(271, "Maker"), Field::longs(34665, {subOffset})}));
    return jpegFile((jfif ? jfifSegment() : std::string()) + exifSegment(b.bytes()));
}

std::pair<int, int> jpegSize(const std::string& jpeg) {
    std::size_t i = 2;
    while (i + 9 < jpeg.size() && static_cast<unsigned char>(jpeg[i]) == 0xFF) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        const std::size_t length = (static_cast<unsigned char>(jpeg[i + 2]) << 8) | static_cast<unsigned char>(jpeg[i + 3]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(jpeg[i + k]); };
            return {byte(7) << 8 | byte(8), byte(5) << 8 | byte(6)};
        }
        i += 2 + length;
    }
    return {0, 0};
}

}  // namespace tagora_files
