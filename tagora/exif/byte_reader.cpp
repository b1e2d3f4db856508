#include "tagora/exif/byte_reader.h"

#include "tagora/exif/errors.h"

#include <cstring>

namespace tagora {

void ByteReader::seek(std::int64_t offset, int origin) {
    std::int64_t base = 0;
    if (origin == 1)
        base = static_cast<std::int64_t>(m_pos);
    else if (origin == 2)
        base = static_cast<std::int64_t>(m_size);
    else if (origin != 0)
        throw ExifError("seek");
    // base and offset both stay far below 2^62, so the sum cannot wrap.
    if (offset > std::int64_t(1) << 40 || offset < -(std::int64_t(1) << 40))
        throw ExifError("seek");
    const std::int64_t target = base + offset;
    if (target < 0 || static_cast<std::uint64_t>(target) > m_size)
        throw ExifError("seek");
    m_pos = static_cast<std::size_t>(target);
}

void ByteReader::read(void* out, std::size_t n) {
    if (!fits(m_pos, n))
        throw ExifError("read");
    if (n)
        std::memcpy(out, m_data + m_pos, n);
    m_pos += n;
}

std::uint8_t ByteReader::read8() {
    std::uint8_t b;
    read(&b, 1);
    return b;
}

std::uint16_t ByteReader::read16() {
    std::uint8_t b[2];
    read(b, 2);
    return m_littleEndian ? std::uint16_t(b[0] | b[1] << 8) : std::uint16_t(b[0] << 8 | b[1]);
}

std::uint32_t ByteReader::read32() {
    std::uint8_t b[4];
    read(b, 4);
    if (m_littleEndian)
        return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | std::uint32_t(b[3]);
}

void ByteReader::write(const void* in, std::size_t n) {
    if (!fits(m_pos, n))
        throw ExifError("write");
    if (n)
        std::memcpy(m_data + m_pos, in, n);
    m_pos += n;
}

void ByteReader::write8(std::uint8_t v) { write(&v, 1); }

void ByteReader::write16(std::uint16_t v) {
    std::uint8_t b[2];
    b[m_littleEndian ? 0 : 1] = std::uint8_t(v);
    b[m_littleEndian ? 1 : 0] = std::uint8_t(v >> 8);
    write(b, 2);
}

void ByteReader::write32(std::uint32_t v) {
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i)
        b[i] = std::uint8_t(m_littleEndian ? v >> (8 * i) : v >> (8 * (3 - i)));
    write(b, 4);
}

}  // namespace tagora
