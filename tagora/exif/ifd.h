// An image file directory: its tags in list order and a map from tag ID to
// list position, read from and written to TIFF data through a ByteReader.
#pragma once

#include "tagora/exif/byte_reader.h"
#include "tagora/exif/tag.h"
#include "tagora/exif/tag_table.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tagora {

/// A directory. Always owned through a shared_ptr (its tags refer back to it
/// weakly); the directory holds its tags.
class Ifd : public std::enable_shared_from_this<Ifd> {
public:
    /// name: "IFD Main", "IFD Thumbnail", "IFD Sub", "IFD Interoperability"
    /// or "IFD Gps"; table: the tag-name table its tags are named from.
    static std::shared_ptr<Ifd> create(std::string name, const TagTable& table);

    const std::string& name() const { return m_name; }
    const TagTable& table() const { return *m_table; }
    /// The offset of the next directory as read (0 when none).
    std::uint32_t nextOffset() const { return m_nextOffset; }
    void setNextOffset(std::uint32_t offset) { m_nextOffset = offset; }

    std::size_t count() const { return m_tags.size(); }
    /// The tag at a list position, or null outside 0..count-1.
    std::shared_ptr<Tag> at(std::size_t position) const;
    /// The tag filed under the ID (the later one when an ID occurs twice), or
    /// null.
    std::shared_ptr<Tag> find(std::uint16_t id) const;
    /// Finds the tag with the ID or appends a new one, then replaces its ID,
    /// type, count and data (count × element size bytes from bytes, zeros
    /// when bytes is null).
    std::shared_ptr<Tag> set(std::uint16_t id, std::uint16_t type, std::uint32_t count, const void* bytes);
    /// Appends an empty tag; null when a tag with the ID exists.
    std::shared_ptr<Tag> add(std::uint16_t id, std::uint16_t type);
    /// Removes the tag filed under the ID; false when there is none. Every
    /// other tag is still found by its ID afterwards.
    bool remove(std::uint16_t id);

    /// Reads the directory at offset of the cursor's data. Entries that do
    /// not fit the data are dropped; false (with the failure text in *error)
    /// when the entry count or the next offset cannot be read. budget, when
    /// given, is the number of data bytes the tags may still copy; entries
    /// that would exceed it are dropped and it is lowered by what was copied.
    bool readData(ByteReader& cursor, std::uint64_t offset, std::string* error = nullptr,
                  std::uint64_t* budget = nullptr);
    /// Writes the directory at offset: count, entries in list order, next
    /// offset, then the data of the values longer than 4 bytes.
    bool writeData(ByteReader& cursor, std::uint64_t offset, std::string* error = nullptr) const;
    /// 12 × n + 6 + the sizes of the values longer than 4 bytes; 0 when empty.
    std::uint64_t byteSize() const;

private:
    Ifd(std::string name, const TagTable& table) : m_name(std::move(name)), m_table(&table) {}
    std::shared_ptr<Tag> append(std::uint16_t id, std::uint16_t type);
    void rebuildIndex();
    void readEntry(ByteReader& cursor, std::uint64_t p, std::uint64_t* budget);

    std::string m_name;
    const TagTable* m_table;
    std::vector<std::shared_ptr<Tag>> m_tags;
    std::map<std::uint16_t, std::size_t> m_index;
    std::uint32_t m_nextOffset = 0;
};

}  // namespace tagora
