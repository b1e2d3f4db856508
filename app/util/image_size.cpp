#include "app/util/image_size.h"

#include "platform/jpeg_segments.h"

#include <array>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace mirofoto {
namespace {

using platform::jpeg::FileSource;

// n bytes at off of the file; what lies past its end reads as zero.
template <std::size_t N>
std::array<unsigned char, N> bytesAt(FileSource& f, std::uint64_t off) {
    std::array<unsigned char, N> buf{};
    f.readSome(off, buf.data(), N);
    return buf;
}

std::uint32_t le16(const unsigned char* p) { return p[0] | (std::uint32_t(p[1]) << 8); }
std::uint32_t be16(const unsigned char* p) { return (std::uint32_t(p[0]) << 8) | p[1]; }
std::uint32_t le32(const unsigned char* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

ImageSizeInfo sized(ImageKind kind, std::uint32_t width, std::uint32_t height) {
    if (width > INT32_MAX || height > INT32_MAX) return {};
    return {kind, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

ImageSizeInfo readBmp(FileSource& f) {
    const auto h = bytesAt<54>(f, 0);
    if (h[0] != 'B' || h[1] != 'M') return {};
    // A top-down bitmap stores its height negated.
    const auto height = static_cast<std::int32_t>(le32(&h[22]));
    if (height == INT32_MIN) return {};
    return sized(ImageKind::Bmp, le32(&h[18]), static_cast<std::uint32_t>(height < 0 ? -height : height));
}

ImageSizeInfo readGif(FileSource& f) {
    const auto h = bytesAt<13>(f, 0);
    if (std::memcmp(h.data(), "GIF", 3) != 0) return {};
    return sized(ImageKind::Gif, le16(&h[6]), le16(&h[8]));
}

ImageSizeInfo readPng(FileSource& f) {
    const auto h = bytesAt<29>(f, 0);
    if (h[0] != 0x89 || h[1] != 'P' || h[2] != 'N' || h[3] != 'G') return {};
    return sized(ImageKind::Png, be32(&h[16]), be32(&h[20]));
}

// The first frame header of the walk names the size; the walk reads only
// segment headers, stepping over the payloads (a large EXIF segment) unread.
ImageSizeInfo readJpeg(FileSource& f) {
    platform::jpeg::SegmentWalker walk(f);
    while (const auto seg = walk.next()) {
        if (!platform::jpeg::isFrameHeader(seg->marker)) continue;
        unsigned char frame[5];  // precision, height, width
        if (seg->payloadSize() < sizeof frame || !f.read(seg->payloadOffset(), frame, sizeof frame)) return {};
        return sized(ImageKind::Jpeg, be16(&frame[3]), be16(&frame[1]));
    }
    return {};
}

bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

ImageKind kindByName(std::string_view path) {
    std::string lower(path);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (endsWith(lower, ".bmp")) return ImageKind::Bmp;
    if (endsWith(lower, ".gif")) return ImageKind::Gif;
    if (endsWith(lower, ".jpeg") || endsWith(lower, ".jpg")) return ImageKind::Jpeg;
    if (endsWith(lower, ".png")) return ImageKind::Png;
    return ImageKind::NotRecognised;
}

ImageKind kindByContent(FileSource& f) {
    const auto h = bytesAt<4>(f, 0);
    if (h[0] == 'B' && h[1] == 'M') return ImageKind::Bmp;
    if (h[0] == 'G' && h[1] == 'I' && h[2] == 'F') return ImageKind::Gif;
    if (h[0] == 0xFF && h[1] == 0xD8) return ImageKind::Jpeg;
    if (h[0] == 0x89 && h[1] == 'P' && h[2] == 'N' && h[3] == 'G') return ImageKind::Png;
    return ImageKind::NotRecognised;
}

}  // namespace

bool ImageFileUsable(std::string_view path) {
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(std::string(path).c_str(), &st) != 0) return false;
    return S_ISREG(st.st_mode) && st.st_size >= 2;
}

ImageSizeInfo GetImageSize(std::string_view path, DetectionMode mode) {
    if (!ImageFileUsable(path)) return {};
    FileSource f;
    if (!f.open(std::string(path)).empty() || f.size() < 2) return {};
    ImageKind kind = ImageKind::NotRecognised;
    switch (mode) {
        case DetectionMode::ByContent: kind = kindByContent(f); break;
        case DetectionMode::Bmp: kind = ImageKind::Bmp; break;
        case DetectionMode::Gif: kind = ImageKind::Gif; break;
        case DetectionMode::Jpeg: kind = ImageKind::Jpeg; break;
        case DetectionMode::Png: kind = ImageKind::Png; break;
        case DetectionMode::ByName: kind = kindByName(path); break;
    }
    switch (kind) {
        case ImageKind::Bmp: return readBmp(f);
        case ImageKind::Gif: return readGif(f);
        case ImageKind::Jpeg: return readJpeg(f);
        case ImageKind::Png: return readPng(f);
        case ImageKind::NotRecognised: break;
    }
    return {};
}

}  // namespace mirofoto
