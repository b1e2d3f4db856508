// One directory entry: ID, field type, element count and the element data,
// with the element-wise access and formatting that callers use.
#pragma once

#include "tagora/exif/errors.h"
#include "tagora/exif/tag_table.h"
#include "tagora/exif/variant.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tagora {

class Ifd;

/// A tag. Its data holds count × element size bytes: SHORT, LONG, RATIONAL
/// (and their signed forms), FLOAT and DOUBLE elements in host byte order,
/// the one-byte types as in the file.
class Tag {
public:
    /// A tag without owner that names itself from the given table.
    Tag(std::uint16_t id, std::uint16_t type, const TagTable& table);

    std::uint16_t id() const { return m_id; }
    /// Changes the ID the tag reports and writes; its directory keeps finding
    /// it under the ID it was read or added with.
    void setId(std::uint16_t id) { m_id = id; }
    std::uint16_t type() const { return m_type; }
    /// Sets the type and empties the value.
    void setType(std::uint16_t type);
    std::uint32_t count() const { return m_count; }
    /// The value field as read; for values of 4 bytes or less, the position
    /// of the entry's own value field.
    std::uint32_t valueOffset() const { return m_valueOffset; }
    const std::vector<std::uint8_t>& data() const { return m_data; }
    /// The directory the tag belongs to, or null once removed or gone.
    std::shared_ptr<Ifd> owner() const { return m_owner.lock(); }

    /// Count 0, no data.
    void clearValue();
    /// Replaces type, count and data (count × element size bytes from bytes,
    /// zeros when bytes is null).
    void assign(std::uint16_t type, std::uint32_t count, const void* bytes);

    /// Appends one element. ASCII: the text of v1 is appended to the current
    /// text (v2 ignored); a conversion failure returns its code. Other types:
    /// the new element is set from v1 and, for rationals, its denominator from
    /// *v2 (left 0 when v2 is null); when that fails the tag is left as it was
    /// and the result is still kOk.
    HResult pushValue(const Variant& v1, const Variant* v2);
    /// Element access: kInvalidIndex outside 0..count-1 (0..count-2 for ASCII,
    /// whose terminating NUL is no element).
    HResult value(std::int64_t index, Variant& out) const;
    HResult valueSecond(std::int64_t index, Variant& out) const;
    /// kInvalidIndex, or the code of a failed conversion (element unchanged).
    HResult putValue(std::int64_t index, const Variant& v);
    HResult putValueSecond(std::int64_t index, const Variant& v);

    /// The whole value as ASCII text: one-byte types as their bytes with every
    /// byte outside 0x20..0x7E shown as "_"; numbers joined with ",".
    std::string valueString() const;
    /// English name from the directory's table, "Unknown" when not listed.
    std::string name() const;
    /// Japanese meaning (UTF-8) from the table, "不明" when not listed.
    std::string mean() const;

private:
    friend class Ifd;

    bool indexOk(std::int64_t index) const;
    Variant element(std::size_t index, bool second) const;
    HResult putElement(std::size_t index, bool second, const Variant& v);

    std::uint16_t m_id;
    std::uint16_t m_indexKey;  // the ID the owning directory files it under
    std::uint16_t m_type;
    std::uint32_t m_count = 0;
    std::uint32_t m_valueOffset = 0;
    std::vector<std::uint8_t> m_data;
    const TagTable* m_table;  // static tables: valid after the directory is gone
    std::weak_ptr<Ifd> m_owner;
};

}  // namespace tagora
