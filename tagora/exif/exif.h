// One loaded JPEG file: its leading APP0/APP1 segments, the five directories
// of its EXIF data (wherever its APP1 stands in the header), the thumbnail cut out of it, and the operations on them.
#pragma once

#include "platform/jpeg_segments.h"
#include "tagora/exif/byte_reader.h"
#include "tagora/exif/ifd.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagora {

/// One collected JPEG segment (APP0 or APP1).
class Marker {
public:
    Marker(std::uint16_t code, std::uint16_t length, std::vector<std::uint8_t> data);
    /// The marker code as read (0xFFE0, 0xFFE1).
    std::uint16_t code() const { return m_code; }
    /// The length field: length field plus payload, without the code.
    std::uint16_t length() const { return m_length; }
    /// The whole segment: code, length field and payload (length + 2 bytes).
    const std::vector<std::uint8_t>& data() const { return m_data; }
    /// The identifier: the bytes from offset 4 up to the first NUL or the end
    /// of the segment ("Exif", "JFIF").
    const std::string& name() const { return m_name; }

private:
    std::uint16_t m_code;
    std::uint16_t m_length;
    std::vector<std::uint8_t> m_data;
    std::string m_name;
};

/// The EXIF document of one file. Loading never changes the file; the model
/// can be changed in memory afterwards.
class Exif {
public:
    /// Makes the five empty directories.
    Exif();
    // The cursor points into the document's own TIFF data.
    Exif(const Exif&) = delete;
    Exif& operator=(const Exif&) = delete;

    /// Loads the file (a native path). False when the file cannot be opened
    /// or is not a regular file (a FIFO is refused without waiting on it),
    /// does not start like a JPEG file (a TIFF file is refused), or holds no
    /// whole segment after its start marker. The segments are walked as
    /// every JPEG reader of the program walks them (platform/jpeg_segments.h):
    /// the run of APP0 and APP1 segments after the start marker is collected
    /// as the markers, up to any other segment or a fault (a cut segment, a
    /// length below 2), which ends the run with what it holds. The EXIF data
    /// is the first APP1 segment whose identifier is "Exif", in the run or
    /// behind it (editors put ICC profiles and XMP packets first), looked
    /// for up to the start of scan, a fault, or at most
    /// platform::jpeg::kMaxHeaderSegments segments. A broken EXIF APP1 still
    /// loads: the model then holds what was read before the fault. A
    /// document loads once; a further call returns false and changes nothing.
    bool load(const std::string& fileName);
    /// The same over bytes in memory.
    bool loadBytes(std::string_view bytes);

    /// The texts of the internal failures met so far, in order (for
    /// diagnosis; never shown to a user).
    const std::vector<std::string>& diagnostics() const { return m_diagnostics; }

    std::uint16_t signature() const { return m_signature; }
    /// The byte-order mark of the TIFF header (0x4949 "II" or 0x4D4D "MM").
    std::uint16_t order() const { return m_order; }
    /// The TIFF identifier word (42).
    std::uint16_t tiffIdentifier() const { return m_separator; }
    std::uint32_t ifd0Offset() const { return m_ifd0Offset; }

    const std::shared_ptr<Ifd>& ifdMain() const { return m_pifdMain; }
    const std::shared_ptr<Ifd>& ifdThumbnail() const { return m_pifdThumbnail; }
    const std::shared_ptr<Ifd>& ifdSub() const { return m_pifdSub; }
    const std::shared_ptr<Ifd>& ifdInteroperability() const { return m_pifdInteroperability; }
    const std::shared_ptr<Ifd>& ifdGps() const { return m_pifdGps; }

    const std::vector<std::shared_ptr<Marker>>& markers() const { return m_markers; }
    std::size_t markerCount() const { return m_markers.size(); }
    /// The segment at a 0-based index in file order, or null outside the range.
    std::shared_ptr<Marker> markerItem(std::int64_t index) const;

    /// The APP1 payload from the TIFF header on.
    const std::vector<std::uint8_t>& tiffData() const { return m_tiff; }
    const std::vector<std::uint8_t>& jpegThumbnail() const { return m_jpegThumbnail; }
    const std::vector<std::uint8_t>& stripThumbnail() const { return m_stripThumbnail; }

    /// The user comment of "IFD Sub" as UTF-16 text (empty when absent).
    std::u16string userComment() const;
    /// Stores the text as a "UNICODE" user comment in the model.
    void setUserComment(std::u16string_view text);

    /// The bytes SaveThumbnail writes: the JPEG thumbnail as it is, or for
    /// strip data a small TIFF file around it (StripOffsets and
    /// StripByteCounts of the thumbnail directory are set to match, and keep
    /// those values). Empty when there is no thumbnail.
    std::optional<std::vector<std::uint8_t>> thumbnailFileBytes();
    /// Writes the thumbnail to the file: 1 when written, 0 when there is no
    /// thumbnail or the file could not be written completely. A FIFO or
    /// socket in the file's place is refused without waiting on it.
    int saveThumbnail(const std::string& fileName);
    /// Turns the JPEG thumbnail losslessly by code 1 (90° clockwise), 2 or 3.
    /// False, thumbnail unchanged, without JPEG thumbnail, for another code or
    /// when the thumbnail cannot be transformed. No tag changes.
    bool rotateThumbnail(std::int64_t angle);

private:
    bool loadFrom(platform::jpeg::ByteSource& source);
    /// Collects the markers; returns the EXIF segment, or null.
    std::shared_ptr<Marker> readSegments(platform::jpeg::ByteSource& source);
    void parseApp1(const Marker& app1);
    std::vector<std::uint8_t> cutThumbnail(std::uint16_t offsetTag, std::uint16_t lengthTag);
    void note(std::string text) { m_diagnostics.push_back(std::move(text)); }

    std::uint16_t m_signature = 0xFFD8;
    std::uint16_t m_order = 0x4949;
    std::uint16_t m_separator = 42;
    std::uint32_t m_ifd0Offset = 0;
    std::shared_ptr<Ifd> m_pifdMain, m_pifdThumbnail, m_pifdSub, m_pifdInteroperability, m_pifdGps;
    std::vector<std::shared_ptr<Marker>> m_markers;
    std::vector<std::uint8_t> m_tiff;
    std::vector<std::uint8_t> m_jpegThumbnail;
    std::vector<std::uint8_t> m_stripThumbnail;
    ByteReader m_cursor;
    std::vector<std::string> m_diagnostics;
    bool m_loadAttempted = false;
};

/// Well-known tag IDs the model itself looks at.
namespace tagid {
inline constexpr std::uint16_t kStripOffsets = 273, kStripByteCounts = 279, kJpegInterchangeFormat = 513,
                               kJpegInterchangeFormatLength = 514, kExifIfdPointer = 34665,
                               kGpsInfoIfdPointer = 34853, kInteroperabilityIfdPointer = 40965,
                               kUserComment = 37510, kDateTimeOriginal = 36867;
}

}  // namespace tagora
