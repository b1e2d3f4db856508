#include "platform/jpeg_segments.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::jpeg {

std::size_t MemorySource::readSome(std::uint64_t off, void* out, std::size_t n) {
    if (off >= m_bytes.size()) return 0;
    const std::size_t got = std::min<std::uint64_t>(n, m_bytes.size() - off);
    std::memcpy(out, m_bytes.data() + off, got);
    return got;
}

FileSource::~FileSource() {
    if (m_fd >= 0) ::close(m_fd);
}

std::string FileSource::open(const std::string& path) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_size = m_windowStart = m_windowLength = 0;
    m_failed = false;
    // O_NONBLOCK: opening a FIFO for reading waits for a writer otherwise.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return std::strerror(e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file";
    }
    // Reads of a regular file never wait; back to blocking mode all the same.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_size = static_cast<std::uint64_t>(st.st_size);
    return {};
}

std::size_t FileSource::preadFully(std::uint64_t off, unsigned char* out, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(m_fd, out + done, n - done, static_cast<off_t>(off + done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) m_failed = true;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

std::size_t FileSource::readSome(std::uint64_t off, void* out, std::size_t n) {
    if (m_fd < 0 || off >= m_size || n == 0) return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, m_size - off));
    auto* dst = static_cast<unsigned char*>(out);
    // Large reads (a whole EXIF segment) go straight to the caller.
    if (n > kWindow) return preadFully(off, dst, n);
    const bool inWindow = off >= m_windowStart && off - m_windowStart + n <= m_windowLength;
    if (!inWindow) {
        m_windowStart = off;
        m_windowLength = preadFully(off, m_window, static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, m_size - off)));
    }
    const std::size_t start = static_cast<std::size_t>(off - m_windowStart);
    const std::size_t got = start < m_windowLength ? std::min(n, m_windowLength - start) : 0;
    std::memcpy(dst, m_window + start, got);
    return got;
}

std::optional<Segment> SegmentWalker::stop(WalkEnd why) {
    m_end = why;
    return std::nullopt;
}

bool SegmentWalker::broken() const {
    return m_end != WalkEnd::None && m_end != WalkEnd::StartOfScan && m_end != WalkEnd::EndOfImage;
}

std::optional<Segment> SegmentWalker::next() {
    if (m_end != WalkEnd::None) return std::nullopt;
    const std::uint64_t size = m_source.size();
    // The end of the data where more is needed is a cut header, unless the
    // file could not be read.
    auto cut = [&] { return stop(m_source.failed() ? WalkEnd::ReadError : WalkEnd::Cut); };
    unsigned char b[4];

    if (!m_started) {
        m_started = true;
        if (!m_source.read(0, b, 2) || b[0] != 0xFF || b[1] != 0xD8)
            return stop(m_source.failed() ? WalkEnd::ReadError : WalkEnd::NotJpeg);
        m_pos = 2;
    }
    m_cutInHeader = m_cutInPayload = false;
    if (m_pos >= size) return cut();
    if (!m_source.read(m_pos, b, 1)) return cut();
    if (b[0] != 0xFF) return stop(WalkEnd::NoMarker);
    m_cutInHeader = true;
    // Any number of 0xFF may stand before the marker byte; the segment
    // starts at the last of them.
    for (;;) {
        if (!m_source.read(m_pos + 1, b, 1)) {
            ++m_pos;
            return cut();
        }
        if (b[0] != 0xFF) break;
        ++m_pos;
    }
    const std::uint8_t marker = b[0];
    m_lastMarker = marker;
    m_lastLength = 0;
    m_segmentStart = m_pos;
    // 0xFF 0x00 stands only inside compressed data; a second start marker
    // cannot begin a segment either.
    if (marker == 0x00 || marker == 0xD8) return stop(WalkEnd::NoMarker);
    if (marker == 0xD9) return stop(WalkEnd::EndOfImage);
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
        const Segment s{marker, m_pos, 0};
        m_cutInHeader = false;
        m_pos += 2;
        return s;
    }
    if (!m_source.read(m_pos + 2, b, 2)) {
        m_pos = size;
        return cut();
    }
    const std::uint16_t length = static_cast<std::uint16_t>(b[0] << 8 | b[1]);
    m_lastLength = length;
    if (length < 2) return stop(WalkEnd::BadLength);
    const Segment s{marker, m_pos, length};
    if (s.end() > size) {
        m_cutInHeader = false;
        m_cutInPayload = true;
        m_pos = size;
        return cut();
    }
    m_cutInHeader = false;
    m_pos = s.end();
    if (marker == kStartOfScan) m_end = WalkEnd::StartOfScan;
    return s;
}

std::string SegmentWalker::endText() const {
    char buf[160];
    const auto pos = static_cast<unsigned long long>(m_pos);
    const auto start = static_cast<unsigned long long>(m_segmentStart);
    switch (m_end) {
    case WalkEnd::None: return {};
    case WalkEnd::StartOfScan: std::snprintf(buf, sizeof buf, "start of scan ends the header at offset %llu", pos); break;
    case WalkEnd::EndOfImage: std::snprintf(buf, sizeof buf, "end of image at offset %llu", pos); break;
    case WalkEnd::NotJpeg: return "no JPEG start marker";
    case WalkEnd::NoMarker: std::snprintf(buf, sizeof buf, "no segment marker at offset %llu", pos); break;
    case WalkEnd::BadLength:
        std::snprintf(buf, sizeof buf, "segment FF%02X at offset %llu has length %u", m_lastMarker, start,
                      static_cast<unsigned>(m_lastLength));
        break;
    case WalkEnd::Cut:
        if (m_cutInPayload)
            std::snprintf(buf, sizeof buf,
                          "segment FF%02X at offset %llu (length %u) runs past the end of the data at %llu",
                          m_lastMarker, start, static_cast<unsigned>(m_lastLength), pos);
        else if (m_cutInHeader)
            std::snprintf(buf, sizeof buf, "the data ends at offset %llu inside a segment header", pos);
        else
            std::snprintf(buf, sizeof buf, "the data ends at offset %llu before the start of scan", pos);
        break;
    case WalkEnd::ReadError: std::snprintf(buf, sizeof buf, "read error near offset %llu", pos); break;
    }
    return buf;
}

}  // namespace platform::jpeg
