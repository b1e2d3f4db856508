#include "tagora/exif/tag.h"

#include "platform/codepage.h"

#include <cstdio>
#include <cstring>

namespace tagora {
namespace {

using namespace fieldtype;

template <typename T>
T load(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void store(std::uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// The variant type an element of the field type is handed out as.
VarType variantTypeOf(std::uint16_t type) {
    switch (type) {
    case kByte: case kUndefined: return VarType::UI1;
    case kAscii: case kSByte: return VarType::I1;
    case kShort: return VarType::UI2;
    case kLong: case kRational: return VarType::UI4;
    case kSShort: return VarType::I2;
    case kSLong: case kSRational: return VarType::I4;
    case kFloat: return VarType::R4;
    case kDouble: return VarType::R8;
    default: return VarType::Empty;
    }
}

bool isRational(std::uint16_t type) { return type == kRational || type == kSRational; }

}  // namespace

Tag::Tag(std::uint16_t id, std::uint16_t type, const TagTable& table)
    : m_id(id), m_indexKey(id), m_type(type), m_table(&table) {}

void Tag::setType(std::uint16_t type) {
    m_type = type;
    clearValue();
}

void Tag::clearValue() {
    m_count = 0;
    m_data.clear();
}

void Tag::assign(std::uint16_t type, std::uint32_t count, const void* bytes) {
    const std::uint64_t size = std::uint64_t(count) * elementSize(type);
    std::vector<std::uint8_t> data(size);
    if (bytes && size)
        std::memcpy(data.data(), bytes, size);
    m_type = type;
    m_count = count;
    m_data = std::move(data);
}

bool Tag::indexOk(std::int64_t index) const {
    // Signed 64-bit: an empty ASCII tag has no element at all.
    const std::int64_t limit = m_type == kAscii ? std::int64_t(m_count) - 1 : std::int64_t(m_count);
    return index >= 0 && index < limit;
}

Variant Tag::element(std::size_t i, bool second) const {
    const std::uint32_t size = elementSize(m_type);
    if (size == 0 || (second && !isRational(m_type)))
        return Variant::empty();
    const std::uint8_t* p = m_data.data() + i * size;
    switch (m_type) {
    case kByte: case kUndefined: return Variant::ui1(p[0]);
    case kAscii: case kSByte: return Variant::i1(static_cast<std::int8_t>(p[0]));
    case kShort: return Variant::ui2(load<std::uint16_t>(p));
    case kLong: return Variant::ui4(load<std::uint32_t>(p));
    case kRational: return Variant::ui4(load<std::uint32_t>(p + (second ? 4 : 0)));
    case kSShort: return Variant::i2(load<std::int16_t>(p));
    case kSLong: return Variant::i4(load<std::int32_t>(p));
    case kSRational: return Variant::i4(load<std::int32_t>(p + (second ? 4 : 0)));
    case kFloat: return Variant::r4(load<float>(p));
    case kDouble: return Variant::r8(load<double>(p));
    default: return Variant::empty();
    }
}

HResult Tag::putElement(std::size_t i, bool second, const Variant& v) {
    if (second && !isRational(m_type))
        return kOk;
    Variant converted;
    const HResult hr = changeType(v, variantTypeOf(m_type), converted);
    if (hr != kOk)
        return hr;
    const std::uint32_t size = elementSize(m_type);
    if (size == 0)
        return kOk;
    std::uint8_t* p = m_data.data() + i * size;
    switch (m_type) {
    case kByte: case kUndefined: case kAscii: case kSByte: p[0] = static_cast<std::uint8_t>(converted.m_int); break;
    case kShort: store(p, static_cast<std::uint16_t>(converted.m_int)); break;
    case kSShort: store(p, static_cast<std::int16_t>(converted.m_int)); break;
    case kLong: store(p, static_cast<std::uint32_t>(converted.m_int)); break;
    case kSLong: store(p, static_cast<std::int32_t>(converted.m_int)); break;
    case kRational: store(p + (second ? 4 : 0), static_cast<std::uint32_t>(converted.m_int)); break;
    case kSRational: store(p + (second ? 4 : 0), static_cast<std::int32_t>(converted.m_int)); break;
    case kFloat: store(p, static_cast<float>(converted.m_real)); break;
    case kDouble: store(p, converted.m_real); break;
    default: break;
    }
    return kOk;
}

HResult Tag::value(std::int64_t index, Variant& out) const {
    if (!indexOk(index))
        return kInvalidIndex;
    out = element(static_cast<std::size_t>(index), false);
    return kOk;
}

HResult Tag::valueSecond(std::int64_t index, Variant& out) const {
    if (!indexOk(index))
        return kInvalidIndex;
    out = element(static_cast<std::size_t>(index), true);
    return kOk;
}

HResult Tag::putValue(std::int64_t index, const Variant& v) {
    if (!indexOk(index))
        return kInvalidIndex;
    return putElement(static_cast<std::size_t>(index), false, v);
}

HResult Tag::putValueSecond(std::int64_t index, const Variant& v) {
    if (!indexOk(index))
        return kInvalidIndex;
    return putElement(static_cast<std::size_t>(index), true, v);
}

HResult Tag::pushValue(const Variant& v1, const Variant* v2) {
    if (m_type == kAscii) {
        Variant text;
        const HResult hr = changeType(v1, VarType::Bstr, text);
        if (hr != kOk)
            return hr;
        // Text the system code page cannot hold is refused rather than stored
        // with replacement characters.
        const auto bytes = platform::utf8ToCp932(platform::utf16ToUtf8(text.m_text));
        if (!bytes)
            return kTypeMismatch;
        std::string current(m_data.begin(), m_data.end());
        current = current.substr(0, current.find('\0'));
        current += *bytes;
        if (current.size() >= UINT32_MAX)
            return kOverflow;
        m_data.assign(current.begin(), current.end());
        m_data.push_back(0);
        m_count = static_cast<std::uint32_t>(m_data.size());
        return kOk;
    }
    if (m_count == UINT32_MAX)
        return kOk;
    const std::uint32_t oldCount = m_count;
    const std::size_t oldSize = m_data.size();
    m_data.resize(oldSize + elementSize(m_type), 0);
    m_count = oldCount + 1;
    HResult hr = putElement(oldCount, false, v1);
    if (hr == kOk && isRational(m_type) && v2)
        hr = putElement(oldCount, true, *v2);
    if (hr != kOk) {
        m_data.resize(oldSize);
        m_count = oldCount;
    }
    return kOk;
}

std::string Tag::valueString() const {
    std::string out;
    switch (m_type) {
    case kByte: case kAscii: case kSByte: case kUndefined: {
        std::size_t n = m_data.size();
        if (m_type == kAscii && n > 0 && m_data[n - 1] == 0)
            --n;
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t b = m_data[i];
            out.push_back(b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '_');
        }
        return out;
    }
    default:
        break;
    }
    const std::uint32_t size = elementSize(m_type);
    // Elements of an unknown type have no bytes and format as nothing; their
    // count may be anything up to 2^32, so no separators are built for them.
    if (size == 0)
        return out;
    const std::size_t n = m_data.size() / size;
    char buf[400];
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = m_data.data() + i * size;
        switch (m_type) {
        case kShort: std::snprintf(buf, sizeof buf, "%u", unsigned(load<std::uint16_t>(p))); break;
        case kLong: std::snprintf(buf, sizeof buf, "%u", unsigned(load<std::uint32_t>(p))); break;
        case kRational:
            std::snprintf(buf, sizeof buf, "%u/%u", unsigned(load<std::uint32_t>(p)), unsigned(load<std::uint32_t>(p + 4)));
            break;
        case kSShort: std::snprintf(buf, sizeof buf, "%d", int(load<std::int16_t>(p))); break;
        case kSLong: std::snprintf(buf, sizeof buf, "%d", int(load<std::int32_t>(p))); break;
        case kSRational:
            std::snprintf(buf, sizeof buf, "%d/%d", int(load<std::int32_t>(p)), int(load<std::int32_t>(p + 4)));
            break;
        case kFloat: std::snprintf(buf, sizeof buf, "%f", double(load<float>(p))); break;
        case kDouble: std::snprintf(buf, sizeof buf, "%f", load<double>(p)); break;
        default: buf[0] = 0; break;
        }
        if (i)
            out.push_back(',');
        out += buf;
    }
    return out;
}

std::string Tag::name() const {
    const TagRow* row = m_table->find(m_id);
    return row ? row->name : "Unknown";
}

std::string Tag::mean() const {
    const TagRow* row = m_table->find(m_id);
    return row ? row->mean : "不明";
}

}  // namespace tagora
