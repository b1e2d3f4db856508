#include "samples/photo_maker.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>
#include <turbojpeg.h>
#include <vector>

namespace samples {
namespace {

void put16(std::string& s, unsigned v) {
    s += static_cast<char>((v >> 8) & 0xFF);
    s += static_cast<char>(v & 0xFF);
}

void put32(std::string& s, std::uint32_t v) {
    put16(s, v >> 16);
    put16(s, v & 0xFFFF);
}

std::string segment(unsigned char marker, const std::string& payload) {
    std::string s = {'\xFF', static_cast<char>(marker)};
    put16(s, static_cast<unsigned>(payload.size() + 2));
    return s + payload;
}

// One IFD entry: ASCII values longer than four bytes live at dataOffset.
void asciiEntry(std::string& ifd, std::string& data, unsigned tag, const std::string& text, std::uint32_t dataBase) {
    const std::string value = text + '\0';
    put16(ifd, tag);
    put16(ifd, 2);  // ASCII
    put32(ifd, static_cast<std::uint32_t>(value.size()));
    if (value.size() <= 4) {
        std::string inl = value;
        inl.resize(4, '\0');
        ifd += inl;
    } else {
        put32(ifd, dataBase + static_cast<std::uint32_t>(data.size()));
        data += value;
        if (data.size() % 2) data += '\0';
    }
}

}  // namespace

std::string exifSegment(const std::string& shootingDate) {
    // TIFF header (8) | IFD0: 3 entries (2 + 36 + 4) | data | Exif IFD
    const std::uint32_t ifd0 = 8;
    const std::uint32_t ifd0Size = 2 + 3 * 12 + 4;
    std::string ifd, data;
    const std::uint32_t dataBase = ifd0 + ifd0Size;
    asciiEntry(ifd, data, 0x010F, "Mirofoto Sample Camera", dataBase);
    asciiEntry(ifd, data, 0x0110, "MS-1", dataBase);
    const std::uint32_t exifIfd = dataBase + static_cast<std::uint32_t>(data.size()) + 0;
    put16(ifd, 0x8769);  // Exif IFD pointer
    put16(ifd, 4);       // LONG
    put32(ifd, 1);
    put32(ifd, exifIfd);

    std::string sub, subData;
    const std::uint32_t subDataBase = exifIfd + 2 + 12 + 4;
    asciiEntry(sub, subData, 0x9003, shootingDate, subDataBase);

    std::string tiff = "MM";
    put16(tiff, 42);
    put32(tiff, ifd0);
    put16(tiff, 3);
    tiff += ifd;
    put32(tiff, 0);  // no IFD1
    tiff += data;
    put16(tiff, 1);
    tiff += sub;
    put32(tiff, 0);
    tiff += subData;
    return segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

std::string makePhotoJpeg(const PhotoSpec& spec) {
    const int w = spec.width, h = spec.height;
    if (w <= 0 || h <= 0) throw std::runtime_error("photo size must be positive");
    std::mt19937 rng(spec.seed);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    const double sunX = 0.2 + 0.6 * uni(rng), sunY = 0.15 + 0.2 * uni(rng);
    const double hueShift = uni(rng);
    const double hill1 = 2 + 4 * uni(rng), hill2 = 5 + 9 * uni(rng), phase = 6.28 * uni(rng);
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
    std::normal_distribution<double> grain(0.0, spec.noise);
    for (int y = 0; y < h; ++y) {
        const double fy = static_cast<double>(y) / h;
        for (int x = 0; x < w; ++x) {
            const double fx = static_cast<double>(x) / w;
            const double horizon = 0.55 + 0.08 * std::sin(fx * hill1 + phase) + 0.03 * std::sin(fx * hill2);
            double r, g, b;
            if (fy < horizon) {  // sky with a sun
                const double t = fy / horizon;
                r = 90 + 120 * t + 40 * hueShift;
                g = 140 + 60 * t;
                b = 230 - 60 * t;
                const double d = std::hypot((fx - sunX) * w / h, fy - sunY);
                if (d < 0.06) r = 255, g = 240, b = 180;
                else if (d < 0.15) r += (0.15 - d) * 600, g += (0.15 - d) * 400;
            } else {  // hills with a field texture
                const double t = (fy - horizon) / (1 - horizon);
                const double tex = std::sin(x * 0.21 + std::sin(y * 0.05) * 3) * 12 + std::sin(y * 0.37) * 8;
                r = 50 + 60 * t + tex + 30 * hueShift;
                g = 110 + 40 * t + tex;
                b = 40 + 20 * t;
            }
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            const double n = spec.noise > 0 ? grain(rng) : 0.0;
            p[0] = static_cast<unsigned char>(std::clamp(r + n, 0.0, 255.0));
            p[1] = static_cast<unsigned char>(std::clamp(g + n, 0.0, 255.0));
            p[2] = static_cast<unsigned char>(std::clamp(b + n, 0.0, 255.0));
        }
    }

    tjhandle tj = tjInitCompress();
    if (!tj) throw std::runtime_error("cannot start the JPEG encoder");
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int rc = tjCompress2(tj, rgb.data(), w, 0, h, TJPF_RGB, &out, &outSize, TJSAMP_420, spec.quality, 0);
    std::string jpeg;
    if (rc == 0) jpeg.assign(reinterpret_cast<char*>(out), outSize);
    const std::string error = rc == 0 ? "" : tjGetErrorStr2(tj);
    tjFree(out);
    tjDestroy(tj);
    if (rc != 0) throw std::runtime_error("JPEG encoding failed: " + error);

    // The encoder writes SOI + JFIF APP0; rebuild the head as a camera would:
    // SOI, optional JFIF, EXIF, comment, then the encoder's other segments.
    if (jpeg.size() < 4 || static_cast<unsigned char>(jpeg[2]) != 0xFF) throw std::runtime_error("odd JPEG");
    std::size_t rest = 2;
    std::string app0;
    if (static_cast<unsigned char>(jpeg[3]) == 0xE0) {
        const std::size_t len = static_cast<unsigned char>(jpeg[4]) * 256 + static_cast<unsigned char>(jpeg[5]);
        app0 = jpeg.substr(2, len + 2);
        rest = 2 + len + 2;
    }
    std::string file = "\xFF\xD8";
    if (spec.jfif) file += app0;
    if (!spec.shootingDate.empty()) file += exifSegment(spec.shootingDate);
    if (!spec.commentCp932.empty()) file += segment(0xFE, spec.commentCp932);
    file += jpeg.substr(rest);
    return file;
}

void writePhotoJpeg(const std::string& path, const PhotoSpec& spec) {
    const std::string bytes = makePhotoJpeg(spec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace samples

namespace samples {

std::string withOrientation(std::string jpeg, int orientation) {
    std::string exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0\0\0\0\0", 32);
    exif[25] = static_cast<char>(orientation);  // the SHORT value, big-endian
    const std::size_t length = exif.size() + 2;
    jpeg.insert(2, std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + exif);
    return jpeg;
}

std::string withExifThumbnail(const std::string& jpeg, const std::string& thumb, int orientation) {
    std::string tiff = std::string("II*\0\x08\0\0\0", 8);
    auto u16 = [&](unsigned v) { tiff += char(v & 0xFF), tiff += char(v >> 8); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const int mainEntries = orientation ? 1 : 0;
    const std::uint32_t ifd1 = 8 + 2 + 12 * mainEntries + 4;
    u16(mainEntries);
    if (orientation) u16(274), u16(3), u32(1), u16(orientation), u16(0);
    u32(thumb.empty() ? 0 : ifd1);
    if (!thumb.empty()) {
        u16(2);
        u16(0x0201), u16(4), u32(1), u32(ifd1 + 2 + 12 * 2 + 4);
        u16(0x0202), u16(4), u32(1), u32(static_cast<std::uint32_t>(thumb.size()));
        u32(0);
        tiff += thumb;
    }
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    std::string app1 = "\xFF\xE1";
    app1 += char((body.size() + 2) >> 8), app1 += char((body.size() + 2) & 0xFF);
    return std::string(jpeg).insert(2, app1 + body);
}

}  // namespace samples
