#include "app/util/jpeg_info.h"

#include "app/util/date_time.h"
#include "app/util/paths.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/jpeg_segments.h"

#include <algorithm>
#include <optional>

namespace mirofoto {
namespace {

namespace jpeg = platform::jpeg;

// The payload of the first comment segment of the header; false when there
// is none (or the file cannot be read). Only segment headers are read on the
// way, a few small reads for a 20 MB photo.
bool readCommentPayload(const std::string& path, std::string& payload) {
    jpeg::FileSource f;
    if (!f.open(path).empty()) return false;
    jpeg::SegmentWalker walk(f);
    while (const auto seg = walk.next()) {
        if (seg->marker != jpeg::kComment) continue;
        payload.resize(seg->payloadSize());
        return f.read(seg->payloadOffset(), payload.data(), payload.size());
    }
    return false;
}

}  // namespace

long FindJpegSegment(std::string_view bytes, long lastIndex, std::uint8_t marker) {
    // Never trust lastIndex beyond the data we hold.
    if (lastIndex < 0) return -1;
    jpeg::MemorySource data(bytes.substr(0, static_cast<std::size_t>(lastIndex) + 1));
    jpeg::SegmentWalker walk(data);
    while (const auto seg = walk.next())
        if (seg->marker == marker) return static_cast<long>(seg->offset);
    return -1;
}

std::string ReadJpegComment(std::string_view path) {
    if (!PathExists(path)) return {};
    std::string payload;
    if (!readCommentPayload(std::string(path), payload)) return {};
    // Some writers pad the comment with NULs; they are not text.
    while (!payload.empty() && payload.back() == '\0') payload.pop_back();
    // A comment cut inside a double-byte character loses only that half.
    payload.resize(platform::cp932PrefixLength(payload, payload.size()));
    return platform::cp932ToUtf8(payload);
}

bool WriteJpegComment(std::string_view pathText, std::string_view text) {
    const std::string path(pathText);
    if (!PathExists(path)) return false;
    std::string bytes;
    if (platform::readFileBytes(path, bytes) != platform::FileRead::Ok) return false;
    if (bytes.compare(0, 2, "\xFF\xD8") != 0) return false;

    const auto encoded = platform::utf8ToCp932(text);
    if (!encoded || encoded->size() > kMaxJpegCommentBytes) return false;
    const std::string& comment = *encoded;
    const std::size_t h = comment.size();

    // One walk finds the comment, the first segment and the end of the
    // leading run of application segments.
    jpeg::MemorySource data(bytes);
    jpeg::SegmentWalker walk(data);
    std::optional<jpeg::Segment> found, first;
    std::uint64_t insertAt = 0;
    bool inApplicationRun = true;
    while (const auto seg = walk.next()) {
        const bool isFirst = !first;
        if (isFirst) first = seg;
        if (seg->marker == jpeg::kComment) {
            found = seg;
            break;
        }
        inApplicationRun = inApplicationRun && jpeg::isApplicationMarker(seg->marker);
        // The new comment goes behind the whole leading run of application
        // segments (at least behind the first segment): EXIF clients list
        // that unbroken run as the file's markers, so a comment between
        // JFIF's APP0 and the EXIF APP1 would take the EXIF segment out of
        // their list.
        if (isFirst || inApplicationRun) insertAt = seg->end();
    }
    std::string segment;
    if (h > 0) {
        segment = {'\xFF', '\xFE', static_cast<char>((h + 2) >> 8), static_cast<char>((h + 2) & 0xFF)};
        segment += comment;
    }

    if (!found) {
        if (h == 0) return true;  // nothing to remove: the file stays as it is
        if (!first) return false;  // no whole segment follows the start marker
        bytes.insert(static_cast<std::size_t>(insertAt), segment);
    } else {
        // An empty segment removes the old one.
        bytes.replace(static_cast<std::size_t>(found->offset), found->size(), segment);
    }
    return platform::writeFileAtomically(path, bytes, platform::kUsersFile);
}

std::string ExifDateToDateText(std::string_view text) {
    const auto date = parseShootingDate(text);
    return date ? dateText(*date) : std::string();
}

}  // namespace mirofoto
