#include "tagora/exif/exif.h"

#include "tagora/exif/errors.h"
#include "tagora/exif/jpeg_transform.h"
#include "tagora/exif/tag_table.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagora {
namespace {

// Directories may point at the same bytes many times over; a small file must
// not be able to make the parser copy gigabytes. Real files copy each byte
// about once.
std::uint64_t copyBudgetFor(std::size_t tiffSize) { return 4 * std::uint64_t(tiffSize) + 65536; }

// Whether the APP1 segment's identifier (its payload up to the first NUL) is
// "Exif", read from its first bytes only.
bool hasExifIdentifier(platform::jpeg::ByteSource& source, const platform::jpeg::Segment& seg) {
    static constexpr char kIdentifier[] = {'E', 'x', 'i', 'f', '\0'};
    const std::size_t n = std::min<std::size_t>(sizeof kIdentifier, seg.payloadSize());
    char head[sizeof kIdentifier];
    if (n < 4 || !source.read(seg.payloadOffset(), head, n))
        return false;
    return std::memcmp(head, kIdentifier, n) == 0;
}

}  // namespace

Marker::Marker(std::uint16_t code, std::uint16_t length, std::vector<std::uint8_t> data)
    : m_code(code), m_length(length), m_data(std::move(data)) {
    // The identifier never reaches past the segment, even when the segment
    // is too short to hold one.
    for (std::size_t i = 4; i < m_data.size() && m_data[i] != 0; ++i)
        m_name.push_back(static_cast<char>(m_data[i]));
}

Exif::Exif()
    : m_pifdMain(Ifd::create("IFD Main", mainTable())),
      m_pifdThumbnail(Ifd::create("IFD Thumbnail", mainTable())),
      m_pifdSub(Ifd::create("IFD Sub", exifTable())),
      m_pifdInteroperability(Ifd::create("IFD Interoperability", interoperabilityTable())),
      m_pifdGps(Ifd::create("IFD Gps", gpsTable())) {}

std::shared_ptr<Marker> Exif::markerItem(std::int64_t index) const {
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_markers.size())
        return nullptr;
    return m_markers[static_cast<std::size_t>(index)];
}

bool Exif::load(const std::string& fileName) {
    platform::jpeg::FileSource file;
    if (const std::string why = file.open(fileName); !why.empty()) {
        note("fopen error: " + why);
        return false;
    }
    return loadFrom(file);
}

bool Exif::loadBytes(std::string_view bytes) {
    platform::jpeg::MemorySource source(bytes);
    return loadFrom(source);
}

bool Exif::loadFrom(platform::jpeg::ByteSource& source) {
    // One load per document: a second one would mix two files' segments.
    if (m_loadAttempted) {
        note("already loaded");
        return false;
    }
    m_loadAttempted = true;
    std::shared_ptr<Marker> exifSegment;
    try {
        std::uint8_t start[2];
        if (!source.read(0, start, 2))
            throw ExifError(source.failed() ? "fread error" : "File format error");
        m_signature = std::uint16_t(start[0] << 8 | start[1]);
        if (m_signature == 0x4949 || m_signature == 0x4D4D)
            throw ExifError("tiff format is not supported");
        if (m_signature != 0xFFD8)
            throw ExifError("File format error");
        exifSegment = readSegments(source);
    } catch (const ExifError& e) {
        note(e.what());
        return false;
    }
    if (!exifSegment)
        return true;
    parseApp1(*exifSegment);
    m_jpegThumbnail = cutThumbnail(tagid::kJpegInterchangeFormat, tagid::kJpegInterchangeFormatLength);
    m_stripThumbnail = cutThumbnail(tagid::kStripOffsets, tagid::kStripByteCounts);
    return true;
}

std::shared_ptr<Marker> Exif::readSegments(platform::jpeg::ByteSource& source) {
    namespace jpeg = platform::jpeg;
    // The segment walk shared with every JPEG reader of the program: fill
    // bytes are skipped, and a cut segment or a length below 2 ends the walk
    // with what was collected so far.
    jpeg::SegmentWalker walk(source);
    auto readWhole = [&](const jpeg::Segment& seg) {
        std::vector<std::uint8_t> data(seg.size());
        if (!source.read(seg.offset, data.data(), data.size()))
            throw ExifError("LoadMarker error");
        return std::make_shared<Marker>(std::uint16_t(0xFF00 | seg.marker), seg.length, std::move(data));
    };
    std::shared_ptr<Marker> exif;
    bool any = false, inRun = true, sawApp1 = false;
    std::size_t seen = 0;
    while (const auto seg = walk.next()) {
        any = true;
        ++seen;
        // The markers are the unbroken run of APP0 and APP1 segments after
        // the start marker, however long; clients list them as they always
        // did.
        inRun = inRun && (seg->marker == 0xE0 || seg->marker == 0xE1);
        const bool searching = !exif && seen <= jpeg::kMaxHeaderSegments;
        if (!inRun && !searching)
            break;
        if (seg->marker == 0xE1)
            sawApp1 = true;
        if (inRun) {
            m_markers.push_back(readWhole(*seg));
            if (searching && seg->marker == 0xE1 && m_markers.back()->name() == "Exif")
                exif = m_markers.back();
            continue;
        }
        // Behind the run only an EXIF APP1 is read whole; an ICC profile or
        // XMP packet on the way is stepped over by its length.
        if (seg->marker == 0xE1 && hasExifIdentifier(source, *seg))
            exif = readWhole(*seg);
    }
    if (walk.broken())
        note(walk.endText());
    // A start marker followed by no segment at all, or a file that cannot be
    // read, is no file to load.
    if (walk.end() == jpeg::WalkEnd::ReadError || (!any && walk.broken()))
        throw ExifError("LoadMarker error");
    if (!exif && seen > jpeg::kMaxHeaderSegments)
        note("no EXIF data in the first " + std::to_string(jpeg::kMaxHeaderSegments) + " segments");
    else if (!exif && sawApp1)
        note("マーカ名が「Exif」ではありません。");
    return exif;
}

void Exif::parseApp1(const Marker& app1) {
    try {
        if (app1.data().size() < 10)
            throw ExifError("Exif Format Error");
        m_tiff.assign(app1.data().begin() + 10, app1.data().end());
        m_cursor = ByteReader(m_tiff.data(), m_tiff.size());
        m_cursor.setLittleEndian(false);

        m_order = m_cursor.read16();
        if (m_order == 0x4949)
            m_cursor.setLittleEndian(true);
        else if (m_order == 0x4D4D)
            m_cursor.setLittleEndian(false);
        else
            throw ExifError("m_orderが正しくありません。");
        m_separator = m_cursor.read16();
        if (m_separator != 42)
            throw ExifError("separatorが正しくありません。");
        m_ifd0Offset = m_cursor.read32();

        std::uint64_t budget = copyBudgetFor(m_tiff.size());
        auto readIfd = [&](Ifd& ifd, std::uint32_t offset, const char* failure) {
            std::string why;
            if (!ifd.readData(m_cursor, offset, &why, &budget)) {
                note(why);
                throw ExifError(failure);
            }
        };
        // A directory pointer counts only as one LONG; any other form is
        // ignored and its directory stays empty.
        auto pointer = [](const Ifd& ifd, std::uint16_t id) -> std::optional<std::uint32_t> {
            const auto tag = ifd.find(id);
            if (!tag || tag->type() != fieldtype::kLong || tag->count() != 1 || tag->data().size() != 4)
                return std::nullopt;
            std::uint32_t v;
            std::memcpy(&v, tag->data().data(), 4);
            return v;
        };

        readIfd(*m_pifdMain, m_ifd0Offset, "m_pifdMain->readData");
        if (m_pifdMain->nextOffset() != 0)
            readIfd(*m_pifdThumbnail, m_pifdMain->nextOffset(), "m_pifdThumbnail->readData");
        if (const auto sub = pointer(*m_pifdMain, tagid::kExifIfdPointer))
            readIfd(*m_pifdSub, *sub, "m_pifdSub->readData");
        if (const auto interop = pointer(*m_pifdSub, tagid::kInteroperabilityIfdPointer))
            readIfd(*m_pifdInteroperability, *interop, "m_pifdInteroperability->readData");
        if (const auto gps = pointer(*m_pifdMain, tagid::kGpsInfoIfdPointer))
            readIfd(*m_pifdGps, *gps, "m_pifdGps->readData");
    } catch (const ExifError& e) {
        note(e.what());
    }
}

std::vector<std::uint8_t> Exif::cutThumbnail(std::uint16_t offsetTag, std::uint16_t lengthTag) {
    // Element 0 of a tag as a 32-bit signed number, as the automation
    // conversion gives it.
    auto number = [&](std::uint16_t id, const char* failure) -> std::int64_t {
        const auto tag = m_pifdThumbnail->find(id);
        Variant v, n;
        if (!tag || tag->value(0, v) != kOk || changeType(v, VarType::I4, n) != kOk)
            throw ExifError(failure);
        return n.m_int;
    };
    try {
        const std::int64_t offset = number(offsetTag, "サムネイルのオフセットが見つかりませんでした");
        const std::int64_t length = number(lengthTag, "サムネイルのサイズが見つかりませんでした");
        if (offset < 0 || length < 0 || !m_cursor.fits(std::uint64_t(offset), std::uint64_t(length)))
            throw ExifError("read");
        return std::vector<std::uint8_t>(m_tiff.begin() + offset, m_tiff.begin() + offset + length);
    } catch (const ExifError& e) {
        note(e.what());
        return {};
    }
}

std::u16string Exif::userComment() const {
    std::u16string out;
    const auto tag = m_pifdSub->find(tagid::kUserComment);
    if (!tag || tag->type() != fieldtype::kUndefined || tag->data().size() < 8)
        return out;
    const auto& d = tag->data();
    if (std::memcmp(d.data(), "JIS\0\0\0\0\0", 8) == 0)
        return out;
    if (std::memcmp(d.data(), "UNICODE\0", 8) == 0) {
        for (std::size_t i = 8; i + 1 < d.size(); i += 2) {
            const char16_t unit = char16_t(d[i] | d[i + 1] << 8);
            if (unit == 0)
                break;
            out.push_back(unit);
        }
        return out;
    }
    std::string bytes;
    for (std::size_t i = 8; i < d.size() && d[i] != 0; ++i)
        bytes.push_back(static_cast<char>(d[i]));
    return platform::utf8ToUtf16(platform::cp932ToUtf8(bytes));
}

void Exif::setUserComment(std::u16string_view text) {
    // Beyond what one 32-bit count can describe the text is cut.
    const std::size_t n = std::min<std::size_t>(text.size(), (UINT32_MAX - 8) / 2);
    std::vector<std::uint8_t> buf(8 + 2 * n);
    std::memcpy(buf.data(), "UNICODE\0", 8);
    for (std::size_t i = 0; i < n; ++i) {
        buf[8 + 2 * i] = std::uint8_t(text[i]);
        buf[9 + 2 * i] = std::uint8_t(text[i] >> 8);
    }
    m_pifdSub->set(tagid::kUserComment, fieldtype::kUndefined, static_cast<std::uint32_t>(buf.size()), buf.data());
}

std::optional<std::vector<std::uint8_t>> Exif::thumbnailFileBytes() {
    if (!m_jpegThumbnail.empty())
        return m_jpegThumbnail;
    if (m_stripThumbnail.empty())
        return std::nullopt;

    const std::uint32_t zero = 0;
    m_pifdThumbnail->set(tagid::kStripOffsets, fieldtype::kLong, 1, &zero);
    m_pifdThumbnail->set(tagid::kStripByteCounts, fieldtype::kLong, 1, &zero);
    const std::uint64_t dirSize = m_pifdThumbnail->byteSize();
    const std::uint64_t stripLength = m_stripThumbnail.size();
    const std::uint64_t total = 8 + dirSize + stripLength;
    // Every offset in a TIFF file is 32 bits.
    if (total > UINT32_MAX) {
        note("write");
        return std::nullopt;
    }
    const auto stripOffset = static_cast<std::uint32_t>(8 + dirSize);
    const auto stripCount = static_cast<std::uint32_t>(stripLength);
    m_pifdThumbnail->set(tagid::kStripOffsets, fieldtype::kLong, 1, &stripOffset);
    m_pifdThumbnail->set(tagid::kStripByteCounts, fieldtype::kLong, 1, &stripCount);

    std::vector<std::uint8_t> file(total, 0);
    ByteReader out(file.data(), file.size());
    out.setLittleEndian(m_order == 0x4949);
    try {
        out.write16(m_order);
        out.write16(m_separator);
        out.write32(8);
        std::string why;
        if (!m_pifdThumbnail->writeData(out, 8, &why))
            throw ExifError(why);
        out.seek(static_cast<std::int64_t>(8 + dirSize));
        out.write(m_stripThumbnail.data(), m_stripThumbnail.size());
    } catch (const ExifError& e) {
        note(e.what());
        return std::nullopt;
    }
    return file;
}

int Exif::saveThumbnail(const std::string& fileName) {
    const auto bytes = thumbnailFileBytes();
    if (!bytes)
        return 0;
    // O_NONBLOCK: opening a FIFO for writing would wait for a reader. What
    // is not a regular file (or a device such as /dev/null) is refused.
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        note(std::string("open: ") + std::strerror(errno));
        return 0;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISCHR(st.st_mode));
    if (!ok)
        note("not a regular file: " + fileName);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (std::size_t done = 0; ok && done < bytes->size();) {
        const ssize_t n = ::write(fd, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            note(std::string("write: ") + std::strerror(errno));
            ok = false;
            break;
        }
        done += std::size_t(n);
    }
    // A failed close (a full disk on a network file system) is no saved
    // thumbnail either.
    if (::close(fd) != 0 && ok) {
        note(std::string("close: ") + std::strerror(errno));
        ok = false;
    }
    return ok ? 1 : 0;
}

bool Exif::rotateThumbnail(std::int64_t angle) {
    if (m_jpegThumbnail.empty() || angle < 1 || angle > 3)
        return false;
    std::vector<std::uint8_t> turned;
    if (transformJpeg(m_jpegThumbnail, turned, static_cast<int>(angle)) != kTransformOk)
        return false;
    m_jpegThumbnail = std::move(turned);
    return true;
}

}  // namespace tagora
