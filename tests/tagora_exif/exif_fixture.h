// A small EXIF writer for test fixtures: builds TIFF data in either byte
// order, wraps it in an APP1 segment of a JPEG file, and makes small real
// JPEG images to serve as thumbnails and main images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exif_fixture {

/// One directory entry to write. Numbers are encoded in the builder's byte
/// order by the field type; rationals take two numbers per element. For the
/// one-byte types the bytes stand in raw.
struct Field {
    std::uint16_t id = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::vector<std::uint64_t> numbers;
    std::string raw;
    /// When set, written as the value field instead of the data's position
    /// (and no data is written): a forged offset.
    bool forceOffset = false;
    std::uint32_t offset = 0;

    static Field shorts(std::uint16_t id, std::vector<std::uint64_t> v);
    static Field longs(std::uint16_t id, std::vector<std::uint64_t> v);
    static Field rationals(std::uint16_t id, std::vector<std::uint64_t> numDen);
    static Field srationals(std::uint16_t id, std::vector<std::int64_t> numDen);
    static Field sshorts(std::uint16_t id, std::vector<std::int64_t> v);
    static Field slongs(std::uint16_t id, std::vector<std::int64_t> v);
    /// ASCII with its NUL appended (count = text length + 1).
    static Field ascii(std::uint16_t id, const std::string& text);
    static Field bytes(std::uint16_t id, std::uint16_t type, const std::string& raw);
    /// An entry whose value field holds offset, with no data behind it.
    static Field forged(std::uint16_t id, std::uint16_t type, std::uint32_t count, std::uint32_t offset);
};

/// TIFF data written front to back; directories and blobs are placed at the
/// current end, so later pieces can point at earlier ones.
class TiffBuilder {
public:
    explicit TiffBuilder(bool littleEndian);

    /// Appends a directory; returns its offset.
    std::uint32_t addDirectory(const std::vector<Field>& fields, std::uint32_t next = 0);
    /// Appends raw bytes; returns their offset.
    std::uint32_t addBlob(const std::string& bytes);
    /// Sets the IFD0 offset of the header.
    void setIfd0(std::uint32_t offset) { patch32(4, offset); }
    void patch16(std::uint32_t at, std::uint16_t v);
    void patch32(std::uint32_t at, std::uint32_t v);
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_bytes.size()); }
    const std::string& bytes() const { return m_bytes; }

private:
    void put16(std::string& s, std::uint16_t v) const;
    void put32(std::string& s, std::uint32_t v) const;
    std::string encode(const Field& f) const;

    bool m_little;
    std::string m_bytes;
};

/// A segment: 0xFF, code, big-endian length (payload + 2), payload.
std::string segment(std::uint8_t code, const std::string& payload);
/// APP0 with a JFIF identifier.
std::string jfifSegment();
/// APP1 "Exif\0\0" + TIFF data.
std::string exifSegment(const std::string& tiff);
/// SOI + the given segments + a quantisation table + the scan of a small real
/// JPEG image, so the file is a complete picture.
std::string jpegFile(const std::string& segments);

/// A real baseline JPEG of the given size with a pattern that tells every
/// orientation apart. subsamp: 0 = 4:4:4, 2 = 4:2:0 (TurboJPEG's TJSAMP).
std::string makeJpeg(int width, int height, int subsamp = 2, int quality = 85);

/// The TIFF data of a typical camera file: IFD0 (Make, Model, XResolution,
/// Orientation, Exif pointer), IFD Sub (ExifVersion, DateTimeOriginal,
/// ComponentsConfiguration, UserComment), IFD1 with a JPEG thumbnail.
std::string cameraTiff(bool littleEndian, const std::string& thumbnail);

}  // namespace exif_fixture
