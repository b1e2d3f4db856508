#include "exif_fixture.h"

#include <turbojpeg.h>

#include <stdexcept>

namespace exif_fixture {
namespace {

std::uint32_t sizeOf(std::uint16_t type) {
    constexpr std::uint8_t sizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? sizes[type] : 0;
}

}  // namespace

Field Field::shorts(std::uint16_t id, std::vector<std::uint64_t> v) {
    Field f;
    f.id = id;
    f.type = 3;
    f.count = std::uint32_t(v.size());
    f.numbers = std::move(v);
    return f;
}
Field Field::longs(std::uint16_t id, std::vector<std::uint64_t> v) {
    Field f;
    f.id = id;
    f.type = 4;
    f.count = std::uint32_t(v.size());
    f.numbers = std::move(v);
    return f;
}
Field Field::rationals(std::uint16_t id, std::vector<std::uint64_t> v) {
    Field f;
    f.id = id;
    f.type = 5;
    f.count = std::uint32_t(v.size() / 2);
    f.numbers = std::move(v);
    return f;
}
Field Field::srationals(std::uint16_t id, std::vector<std::int64_t> v) {
    Field f;
    f.id = id;
    f.type = 10;
    f.count = std::uint32_t(v.size() / 2);
    for (auto x : v) f.numbers.push_back(std::uint64_t(x));
    return f;
}
Field Field::sshorts(std::uint16_t id, std::vector<std::int64_t> v) {
    Field f;
    f.id = id;
    f.type = 8;
    f.count = std::uint32_t(v.size());
    for (auto x : v) f.numbers.push_back(std::uint64_t(x));
    return f;
}
Field Field::slongs(std::uint16_t id, std::vector<std::int64_t> v) {
    Field f;
    f.id = id;
    f.type = 9;
    f.count = std::uint32_t(v.size());
    for (auto x : v) f.numbers.push_back(std::uint64_t(x));
    return f;
}
Field Field::ascii(std::uint16_t id, const std::string& text) {
    Field f;
    f.id = id;
    f.type = 2;
    f.count = std::uint32_t(text.size() + 1);
    f.raw = text + std::string(1, '\0');
    return f;
}
Field Field::bytes(std::uint16_t id, std::uint16_t type, const std::string& raw) {
    Field f;
    f.id = id;
    f.type = type;
    f.count = std::uint32_t(raw.size());
    f.raw = raw;
    return f;
}
Field Field::forged(std::uint16_t id, std::uint16_t type, std::uint32_t count, std::uint32_t offset) {
    Field f;
    f.id = id;
    f.type = type;
    f.count = count;
    f.forceOffset = true;
    f.offset = offset;
    return f;
}

TiffBuilder::TiffBuilder(bool littleEndian) : m_little(littleEndian) {
    m_bytes = littleEndian ? "II" : "MM";
    put16(m_bytes, 42);
    put32(m_bytes, 8);
}

void TiffBuilder::put16(std::string& s, std::uint16_t v) const {
    if (m_little) { s.push_back(char(v)); s.push_back(char(v >> 8)); }
    else { s.push_back(char(v >> 8)); s.push_back(char(v)); }
}

void TiffBuilder::put32(std::string& s, std::uint32_t v) const {
    for (int i = 0; i < 4; ++i)
        s.push_back(char(m_little ? v >> (8 * i) : v >> (8 * (3 - i))));
}

void TiffBuilder::patch16(std::uint32_t at, std::uint16_t v) {
    std::string b;
    put16(b, v);
    m_bytes.replace(at, 2, b);
}

void TiffBuilder::patch32(std::uint32_t at, std::uint32_t v) {
    std::string b;
    put32(b, v);
    m_bytes.replace(at, 4, b);
}

std::string TiffBuilder::encode(const Field& f) const {
    if (!f.raw.empty() || f.numbers.empty())
        return f.raw;
    std::string out;
    for (std::uint64_t n : f.numbers) {
        switch (sizeOf(f.type)) {
        case 1: out.push_back(char(n)); break;
        case 2: put16(out, std::uint16_t(n)); break;
        default: put32(out, std::uint32_t(n)); break;  // LONG, and each half of a rational
        }
    }
    return out;
}

std::uint32_t TiffBuilder::addDirectory(const std::vector<Field>& fields, std::uint32_t next) {
    const std::uint32_t start = size();
    std::string dir;
    put16(dir, std::uint16_t(fields.size()));
    std::string data;
    const std::uint32_t dataStart = start + 2 + 12 * std::uint32_t(fields.size()) + 4;
    for (const Field& f : fields) {
        put16(dir, f.id);
        put16(dir, f.type);
        put32(dir, f.count);
        const std::string value = encode(f);
        if (f.forceOffset) {
            put32(dir, f.offset);
        } else if (value.size() <= 4) {
            dir += value + std::string(4 - value.size(), '\0');
        } else {
            put32(dir, dataStart + std::uint32_t(data.size()));
            data += value;
        }
    }
    put32(dir, next);
    m_bytes += dir + data;
    return start;
}

std::uint32_t TiffBuilder::addBlob(const std::string& bytes) {
    const std::uint32_t at = size();
    m_bytes += bytes;
    return at;
}

std::string segment(std::uint8_t code, const std::string& payload) {
    const std::size_t len = payload.size() + 2;
    if (len > 0xFFFF)
        throw std::length_error("segment too long");
    std::string s{char(0xFF), char(code), char(len >> 8), char(len)};
    return s + payload;
}

std::string jfifSegment() {
    return segment(0xE0, std::string("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14));
}

std::string exifSegment(const std::string& tiff) { return segment(0xE1, std::string("Exif\0\0", 6) + tiff); }

std::string jpegFile(const std::string& segments) {
    // A real image's stream after its SOI, so the file is a whole picture.
    static const std::string body = [] {
        // Leave out the encoder's own application segments.
        const std::string jpeg = makeJpeg(64, 48);
        std::size_t at = 2;
        while (at + 4 <= jpeg.size() && std::uint8_t(jpeg[at + 1]) >= 0xE0 && std::uint8_t(jpeg[at + 1]) <= 0xEF)
            at += 2 + (std::uint8_t(jpeg[at + 2]) << 8 | std::uint8_t(jpeg[at + 3]));
        return jpeg.substr(at);
    }();
    return std::string("\xFF\xD8", 2) + segments + body;
}

std::string makeJpeg(int width, int height, int subsamp, int quality) {
    std::vector<unsigned char> rgb(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(std::size_t(y) * width + x) * 3];
            // A gradient plus a bright block in the top-left corner: every
            // turn and mirror of it looks different.
            const bool corner = x < width / 4 && y < height / 3;
            p[0] = corner ? 250 : static_cast<unsigned char>(x * 255 / width);
            p[1] = static_cast<unsigned char>(y * 255 / height);
            p[2] = static_cast<unsigned char>((x + y) % 64 * 4);
        }
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, subsamp, quality, 0);
    std::string result;
    if (rc == 0)
        result.assign(reinterpret_cast<const char*>(out), size);
    tjFree(out);
    tjDestroy(h);
    if (rc != 0)
        throw std::runtime_error("makeJpeg failed");
    return result;
}

std::string cameraTiff(bool littleEndian, const std::string& thumbnail) {
    TiffBuilder b(littleEndian);
    const std::uint32_t thumb = b.addBlob(thumbnail);
    const std::uint32_t sub = b.addDirectory({
        Field::bytes(36864, 7, "0220"),
        Field::ascii(36867, "2004:05:06 12:34:56"),
        Field::bytes(37121, 7, std::string("\x01\x02\x03\x00", 4)),
        Field::bytes(37510, 7, std::string("ASCII\0\0\0Hello", 13)),
    });
    const std::uint32_t ifd1 = b.addDirectory({
        Field::shorts(259, {6}),
        Field::rationals(282, {72, 1}),
        Field::longs(513, {thumb}),
        Field::longs(514, {thumbnail.size()}),
    });
    const std::uint32_t ifd0 = b.addDirectory(
        {
            Field::ascii(271, "Camera Maker"),
            Field::ascii(272, "Model 1"),
            Field::shorts(274, {1}),
            Field::rationals(282, {72, 1}),
            Field::longs(34665, {sub}),
        },
        ifd1);
    b.setIfd0(ifd0);
    return b.bytes();
}

}  // namespace exif_fixture
