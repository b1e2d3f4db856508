// The segments of a JPEG file's header, walked by their length fields with
// every read checked. The image size reader, the comment reader and writer
// and the EXIF loader all walk through this one code, so they agree on what
// a header holds: fill bytes before a marker are skipped, a segment that
// the end of the data cuts off is no segment, a length field below 2 ends
// the walk, and the start of the compressed data ends the header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::jpeg {

/// Bytes to walk: a buffer in memory or an open file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// The number of bytes.
    virtual std::uint64_t size() const = 0;
    /// Copies up to n bytes from offset off; returns how many there were
    /// (fewer at the end of the data, 0 on a read error).
    virtual std::size_t readSome(std::uint64_t off, void* out, std::size_t n) = 0;
    /// Exactly n bytes from off, or false.
    bool read(std::uint64_t off, void* out, std::size_t n) { return readSome(off, out, n) == n; }
    /// Set after a read failed for another reason than the end of the data.
    bool failed() const { return m_failed; }

protected:
    bool m_failed = false;
};

/// Bytes in memory (not owned).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    std::size_t readSome(std::uint64_t off, void* out, std::size_t n) override;

private:
    std::string_view m_bytes;
};

/// A regular file opened read-only. Reads are served from a window of a few
/// kilobytes, so walking the small segment headers costs one read per
/// window, and a large segment that is stepped over is never read.
class FileSource final : public ByteSource {
public:
    FileSource() = default;
    ~FileSource();
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    /// Opens the file. Anything but a regular file (a FIFO, a device, a
    /// folder) is refused; the file is opened without waiting and checked
    /// once open, so nothing put in its place can make the open block.
    /// Returns the empty text, or why the file cannot be read.
    std::string open(const std::string& path);
    bool isOpen() const { return m_fd >= 0; }

    std::uint64_t size() const override { return m_size; }
    std::size_t readSome(std::uint64_t off, void* out, std::size_t n) override;

private:
    static constexpr std::size_t kWindow = 4096;
    std::size_t preadFully(std::uint64_t off, unsigned char* out, std::size_t n);

    int m_fd = -1;
    std::uint64_t m_size = 0;
    unsigned char m_window[kWindow];
    std::uint64_t m_windowStart = 0;
    std::size_t m_windowLength = 0;
};

/// One segment of the header.
struct Segment {
    std::uint8_t marker = 0;   ///< the byte after 0xFF (0xE1 for APP1)
    std::uint64_t offset = 0;  ///< of the 0xFF right before the marker byte
    std::uint16_t length = 0;  ///< the length field; 0 for a marker without one (RSTn, TEM)

    std::uint64_t payloadOffset() const { return offset + (length ? 4 : 2); }
    std::uint32_t payloadSize() const { return length ? length - 2u : 0u; }
    /// The whole segment: marker, length field and payload.
    std::uint32_t size() const { return 2u + length; }
    std::uint64_t end() const { return offset + size(); }
};

/// Why a walk ended.
enum class WalkEnd {
    None,         ///< it has not ended
    StartOfScan,  ///< it reached the start-of-scan segment: the header is complete
    EndOfImage,   ///< it met an end-of-image marker
    NotJpeg,      ///< the data does not start with 0xFF 0xD8
    NoMarker,     ///< a byte where a segment should start is no marker
    BadLength,    ///< a length field below 2, which cannot even cover itself
    Cut,          ///< the data ends before the header does (inside a segment or between two)
    ReadError,    ///< the file could not be read
};

/// Walks the segments of the header in file order, from the start marker
/// up to and including the start-of-scan segment. Each segment it returns
/// lies whole inside the data.
class SegmentWalker {
public:
    explicit SegmentWalker(ByteSource& source) : m_source(source) {}

    /// The next segment, or nothing once the walk has ended (end() says why).
    std::optional<Segment> next();

    WalkEnd end() const { return m_end; }
    /// True when the walk ended on a fault in the data (not at the start of
    /// scan or the end of the image).
    bool broken() const;
    /// The offset at which the walk ended.
    std::uint64_t endOffset() const { return m_pos; }
    /// What ended the walk, as technical text for diagnostics
    /// ("segment FFE1 at offset 20 (length 40000) runs past the end of the data at 1234").
    std::string endText() const;

    ByteSource& source() { return m_source; }

private:
    std::optional<Segment> stop(WalkEnd why);

    ByteSource& m_source;
    std::uint64_t m_pos = 0;
    bool m_started = false;
    WalkEnd m_end = WalkEnd::None;
    // What the end text names.
    std::uint8_t m_lastMarker = 0;
    std::uint32_t m_lastLength = 0;
    bool m_cutInHeader = false;
    bool m_cutInPayload = false;
    std::uint64_t m_segmentStart = 0;
};

/// The frame headers that give the picture's size (baseline, extended,
/// progressive, lossless; sequential arithmetic). The differential ones of
/// a hierarchical file do not.
constexpr bool isFrameHeader(std::uint8_t marker) {
    return (marker >= 0xC0 && marker <= 0xC3) || (marker >= 0xC9 && marker <= 0xCB);
}

constexpr bool isApplicationMarker(std::uint8_t marker) { return marker >= 0xE0 && marker <= 0xEF; }

inline constexpr std::uint8_t kStartOfScan = 0xDA;

/// The most segments a header may have before the start of scan. Cameras and
/// editors write a few dozen; a file with more is refused rather than walked,
/// since some readers' cost grows with the square of the segment count. Every
/// walk that looks past the first segments (the run's check of a picture, the
/// EXIF search) stops at this one number.
inline constexpr std::size_t kMaxHeaderSegments = 1024;
inline constexpr std::uint8_t kComment = 0xFE;

}  // namespace platform::jpeg
