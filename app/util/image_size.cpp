#include "app/util/image_size.h"

#include <array>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace mirofoto {
namespace {

// A read-only file read by offset; closed on scope exit.
class HeaderFile {
public:
    explicit HeaderFile(std::string_view path) {
        m_fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (m_fd >= 0 && ::fstat(m_fd, &st) == 0) m_size = static_cast<std::uint64_t>(st.st_size);
    }
    ~HeaderFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    HeaderFile(const HeaderFile&) = delete;
    HeaderFile& operator=(const HeaderFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    std::uint64_t size() const { return m_size; }

    // Reads n bytes at off; what lies past the end of the file reads as zero.
    template <std::size_t N>
    std::array<unsigned char, N> bytesAt(std::uint64_t off) const {
        std::array<unsigned char, N> buf{};
        std::size_t done = 0;
        while (m_fd >= 0 && done < N) {
            const ssize_t r = ::pread(m_fd, buf.data() + done, N - done, static_cast<off_t>(off + done));
            if (r <= 0) break;
            done += static_cast<std::size_t>(r);
        }
        return buf;
    }

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

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

ImageSizeInfo readBmp(const HeaderFile& f) {
    const auto h = f.bytesAt<54>(0);
    if (h[0] != 'B' || h[1] != 'M') return {};
    // A top-down bitmap stores its height negated.
    const auto height = static_cast<std::int32_t>(le32(&h[22]));
    if (height == INT32_MIN) return {};
    return sized(ImageKind::Bmp, le32(&h[18]), static_cast<std::uint32_t>(height < 0 ? -height : height));
}

ImageSizeInfo readGif(const HeaderFile& f) {
    const auto h = f.bytesAt<13>(0);
    if (std::memcmp(h.data(), "GIF", 3) != 0) return {};
    return sized(ImageKind::Gif, le16(&h[6]), le16(&h[8]));
}

ImageSizeInfo readPng(const HeaderFile& f) {
    const auto h = f.bytesAt<29>(0);
    if (h[0] != 0x89 || h[1] != 'P' || h[2] != 'N' || h[3] != 'G') return {};
    return sized(ImageKind::Png, be32(&h[16]), be32(&h[20]));
}

bool isFrameHeader(unsigned char m) { return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC9 && m <= 0xCB); }

// Walks the segment headers by their lengths, reading four bytes a step, so
// a large EXIF segment costs one seek rather than a read.
ImageSizeInfo readJpeg(const HeaderFile& f) {
    const auto soi = f.bytesAt<2>(0);
    if (soi[0] != 0xFF || soi[1] != 0xD8) return {};
    const std::uint64_t size = f.size();
    std::uint64_t i = 2;
    while (i + 4 < size) {
        const auto seg = f.bytesAt<4>(i);
        if (seg[0] != 0xFF) return {};
        if (seg[1] == 0xFF) {  // a fill byte before the marker
            ++i;
            continue;
        }
        if (isFrameHeader(seg[1])) {
            if (i + 9 > size) return {};  // frame header cut off
            const auto frame = f.bytesAt<4>(i + 5);
            return sized(ImageKind::Jpeg, be16(&frame[2]), be16(&frame[0]));
        }
        i += 2 + be16(&seg[2]);
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

ImageKind kindByContent(const HeaderFile& f) {
    const auto h = f.bytesAt<4>(0);
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
    const HeaderFile f(path);
    if (!f.isOpen() || f.size() < 2) return {};
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
