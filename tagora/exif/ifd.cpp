#include "tagora/exif/ifd.h"

#include "tagora/exif/errors.h"

#include <cstring>

namespace tagora {
namespace {

using namespace fieldtype;

// Reads one element of the type from the cursor into p (host order).
void readElement(ByteReader& c, std::uint16_t type, std::uint8_t* p) {
    switch (type) {
    case kShort: case kSShort: { const std::uint16_t v = c.read16(); std::memcpy(p, &v, 2); break; }
    case kLong: case kSLong: case kFloat: { const std::uint32_t v = c.read32(); std::memcpy(p, &v, 4); break; }
    case kRational: case kSRational: {
        const std::uint32_t num = c.read32(), den = c.read32();
        std::memcpy(p, &num, 4);
        std::memcpy(p + 4, &den, 4);
        break;
    }
    case kDouble: {
        // Assembled in the file's byte order like every other number, so a
        // big-endian file gives the same value as a little-endian one.
        const std::uint32_t a = c.read32(), b = c.read32();
        const std::uint64_t v = c.littleEndian() ? (std::uint64_t(b) << 32 | a) : (std::uint64_t(a) << 32 | b);
        std::memcpy(p, &v, 8);
        break;
    }
    default: {
        const std::uint32_t n = elementSize(type);
        c.read(p, n);
        break;
    }
    }
}

void writeElement(ByteReader& c, std::uint16_t type, const std::uint8_t* p) {
    switch (type) {
    case kShort: case kSShort: { std::uint16_t v; std::memcpy(&v, p, 2); c.write16(v); break; }
    case kLong: case kSLong: case kFloat: { std::uint32_t v; std::memcpy(&v, p, 4); c.write32(v); break; }
    case kRational: case kSRational: {
        std::uint32_t num, den;
        std::memcpy(&num, p, 4);
        std::memcpy(&den, p + 4, 4);
        c.write32(num);
        c.write32(den);
        break;
    }
    case kDouble: {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        const auto hi = std::uint32_t(v >> 32), lo = std::uint32_t(v);
        c.write32(c.littleEndian() ? lo : hi);
        c.write32(c.littleEndian() ? hi : lo);
        break;
    }
    default:
        c.write(p, elementSize(type));
        break;
    }
}

}  // namespace

std::shared_ptr<Ifd> Ifd::create(std::string name, const TagTable& table) {
    return std::shared_ptr<Ifd>(new Ifd(std::move(name), table));
}

std::shared_ptr<Tag> Ifd::at(std::size_t position) const {
    return position < m_tags.size() ? m_tags[position] : nullptr;
}

std::shared_ptr<Tag> Ifd::find(std::uint16_t id) const {
    const auto it = m_index.find(id);
    return it == m_index.end() ? nullptr : m_tags[it->second];
}

std::shared_ptr<Tag> Ifd::append(std::uint16_t id, std::uint16_t type) {
    auto tag = std::make_shared<Tag>(id, type, *m_table);
    tag->m_owner = weak_from_this();
    m_tags.push_back(tag);
    m_index[id] = m_tags.size() - 1;
    return tag;
}

std::shared_ptr<Tag> Ifd::set(std::uint16_t id, std::uint16_t type, std::uint32_t count, const void* bytes) {
    auto tag = find(id);
    if (!tag)
        tag = append(id, type);
    tag->m_id = id;
    tag->assign(type, count, bytes);
    return tag;
}

std::shared_ptr<Tag> Ifd::add(std::uint16_t id, std::uint16_t type) {
    if (find(id))
        return nullptr;
    return append(id, type);
}

bool Ifd::remove(std::uint16_t id) {
    const auto it = m_index.find(id);
    if (it == m_index.end())
        return false;
    const std::size_t position = it->second;
    m_tags[position]->m_owner.reset();
    m_tags.erase(m_tags.begin() + static_cast<std::ptrdiff_t>(position));
    rebuildIndex();
    return true;
}

void Ifd::rebuildIndex() {
    // In list order, so that of two tags with one ID the later is found.
    m_index.clear();
    for (std::size_t i = 0; i < m_tags.size(); ++i)
        m_index[m_tags[i]->m_indexKey] = i;
}

void Ifd::readEntry(ByteReader& c, std::uint64_t p, std::uint64_t* budget) {
    c.seek(static_cast<std::int64_t>(p));
    const std::uint16_t id = c.read16();
    const std::uint16_t type = c.read16();
    const std::uint32_t count = c.read32();
    const std::uint32_t valueOffset = c.read32();

    // 64-bit arithmetic: count × size reaches 2^35 and cannot wrap here.
    const std::uint64_t size = std::uint64_t(count) * elementSize(type);
    const std::uint64_t from = size <= 4 ? p + 8 : valueOffset;
    // The whole data area must lie inside the TIFF data before anything is
    // allocated; otherwise the entry is dropped.
    if (!c.fits(from, size))
        return;
    if (budget) {
        if (size > *budget)
            return;
        *budget -= size;
    }

    auto tag = std::make_shared<Tag>(id, type, *m_table);
    tag->m_count = count;
    tag->m_valueOffset = static_cast<std::uint32_t>(from);
    tag->m_data.resize(size);
    c.seek(static_cast<std::int64_t>(from));
    const std::uint32_t elem = elementSize(type);
    for (std::uint64_t off = 0; elem && off < size; off += elem)
        readElement(c, type, tag->m_data.data() + off);

    tag->m_owner = weak_from_this();
    m_tags.push_back(std::move(tag));
    m_index[id] = m_tags.size() - 1;
}

bool Ifd::readData(ByteReader& c, std::uint64_t offset, std::string* error, std::uint64_t* budget) {
    try {
        c.seek(static_cast<std::int64_t>(offset));
        std::uint16_t n = c.read16();
        if (n >= 256) {
            // A count this large is taken as a sign of the wrong byte order;
            // the flipped order stays in force for everything read later.
            c.setLittleEndian(!c.littleEndian());
            c.seek(static_cast<std::int64_t>(offset));
            n = c.read16();
        }
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint64_t p = offset + 2 + 12 * std::uint64_t(i);
            // Entries lie at rising positions: once one runs past the data,
            // every later one does too.
            if (!c.fits(p, 12))
                break;
            try {
                readEntry(c, p, budget);
            } catch (const ExifError&) {
                // A failed entry is dropped; the others are still read.
            }
        }
        c.seek(static_cast<std::int64_t>(offset + 2 + 12 * std::uint64_t(n)));
        m_nextOffset = c.read32();
        return true;
    } catch (const ExifError& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

std::uint64_t Ifd::byteSize() const {
    if (m_tags.empty())
        return 0;
    std::uint64_t size = 12 * std::uint64_t(m_tags.size()) + 6;
    for (const auto& tag : m_tags)
        if (tag->m_data.size() > 4)
            size += tag->m_data.size();
    return size;
}

bool Ifd::writeData(ByteReader& c, std::uint64_t offset, std::string* error) const {
    try {
        if (m_tags.size() > 0xFFFF)
            throw ExifError("write");
        const std::uint64_t n = m_tags.size();
        c.seek(static_cast<std::int64_t>(offset));
        c.write16(static_cast<std::uint16_t>(n));
        std::uint64_t dataPos = offset + 2 + 12 * n + 4;
        for (std::uint64_t i = 0; i < n; ++i) {
            const Tag& tag = *m_tags[i];
            const std::uint64_t e = offset + 2 + 12 * i;
            if (dataPos > UINT32_MAX)
                throw ExifError("write");
            c.seek(static_cast<std::int64_t>(e));
            c.write16(tag.m_id);
            c.write16(tag.m_type);
            c.write32(tag.m_count);
            c.write32(static_cast<std::uint32_t>(dataPos));
            const std::size_t size = tag.m_data.size();
            const std::uint32_t elem = elementSize(tag.m_type);
            if (size <= 4) {
                c.seek(static_cast<std::int64_t>(e + 8));
            } else {
                c.seek(static_cast<std::int64_t>(dataPos));
                dataPos += size;
            }
            for (std::size_t off = 0; elem && off < size; off += elem)
                writeElement(c, tag.m_type, tag.m_data.data() + off);
        }
        c.seek(static_cast<std::int64_t>(offset + 2 + 12 * n));
        c.write32(m_nextOffset);
        return true;
    } catch (const ExifError& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

}  // namespace tagora
