// A bounds-checked cursor over a byte buffer (TIFF data, TIFF thumbnail
// file). The JPEG segments are walked by platform/jpeg_segments.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tagora {

/// A cursor over a byte buffer it does not own. Reads and writes never leave
/// the buffer: every access is checked first and a failure throws ExifError
/// with the text "seek", "read" or "write". The buffer never grows.
class ByteReader {
public:
    ByteReader() = default;
    ByteReader(std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t size() const { return m_size; }
    std::size_t position() const { return m_pos; }
    bool littleEndian() const { return m_littleEndian; }
    void setLittleEndian(bool little) { m_littleEndian = little; }

    /// origin 0: from the start, 1: from the current position, 2: from the
    /// end. The new position must lie in 0..size.
    void seek(std::int64_t offset, int origin = 0);

    void read(void* out, std::size_t n);
    std::uint8_t read8();
    std::uint16_t read16();
    std::uint32_t read32();

    void write(const void* in, std::size_t n);
    void write8(std::uint8_t v);
    void write16(std::uint16_t v);
    void write32(std::uint32_t v);

    /// True when n bytes can be read or written at off.
    bool fits(std::uint64_t off, std::uint64_t n) const { return n <= m_size && off <= m_size - n; }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    bool m_littleEndian = true;
};

}  // namespace tagora
