#include "app/util/jpeg_info.h"

#include "app/util/paths.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace mirofoto {
namespace {

constexpr std::uint8_t kComment = 0xFE;
constexpr std::size_t kMaxCommentBytes = 65533;  // the length field counts itself

unsigned byteAt(std::string_view b, std::size_t i) { return static_cast<unsigned char>(b[i]); }

unsigned lengthAt(std::string_view b, std::size_t i) { return byteAt(b, i) * 256 + byteAt(b, i + 1); }

bool isApplicationMarker(unsigned m) { return m >= 0xE0 && m <= 0xEF; }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Walks the segments of the file as FindJpegSegment walks a byte array, but
// reads only the four-byte segment headers, so a 20 MB photo costs a few
// small reads. Returns the comment payload, or nothing.
bool readCommentPayload(const std::string& path, std::string& payload) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(f.get());
    if (size < 2 || std::fseek(f.get(), 0, SEEK_SET) != 0) return false;
    unsigned char h[4];
    if (std::fread(h, 1, 2, f.get()) != 2 || h[0] != 0xFF || h[1] != 0xD8) return false;
    const long last = size - 1;
    long index = 2;
    while (index < last - 3) {
        if (std::fseek(f.get(), index, SEEK_SET) != 0 || std::fread(h, 1, 4, f.get()) != 4) return false;
        if (h[0] != 0xFF) return false;
        const long length = h[2] * 256 + h[3];
        if (h[1] == kComment) {
            // A length below 2 or past the end of the file gives what is there.
            const long available = std::max(0L, size - (index + 4));
            const long want = std::clamp(length - 2, 0L, available);
            payload.resize(static_cast<std::size_t>(want));
            return std::fread(payload.data(), 1, payload.size(), f.get()) == payload.size();
        }
        index += length + 2;
    }
    return false;
}

}  // namespace

long FindJpegSegment(std::string_view bytes, long lastIndex, std::uint8_t marker) {
    // Never trust lastIndex beyond the data we hold.
    lastIndex = std::min<long>(lastIndex, static_cast<long>(bytes.size()) - 1);
    long index = 2;
    while (index < lastIndex - 3) {
        if (byteAt(bytes, index) != 0xFF) return -1;
        if (byteAt(bytes, index + 1) == marker) return index;
        index += static_cast<long>(lengthAt(bytes, index + 2)) + 2;
    }
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
    if (bytes.size() < 2 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != 0xD8) return false;

    const auto encoded = platform::utf8ToCp932(text);
    if (!encoded || encoded->size() > kMaxCommentBytes) return false;
    const std::string& comment = *encoded;
    const std::size_t h = comment.size();

    const long last = static_cast<long>(bytes.size()) - 1;
    const long found = FindJpegSegment(bytes, last, kComment);
    std::string segment;
    if (h > 0) {
        segment = {'\xFF', '\xFE', static_cast<char>((h + 2) >> 8), static_cast<char>((h + 2) & 0xFF)};
        segment += comment;
    }

    if (found < 0) {
        if (h == 0) return true;  // nothing to remove: the file stays as it is
        if (bytes.size() < 6 || byteAt(bytes, 2) != 0xFF) return false;
        // The new comment goes behind the whole leading run of application
        // segments: the EXIF reader looks only at that unbroken run, so a
        // comment between JFIF's APP0 and the EXIF APP1 would hide the
        // shooting date.
        std::size_t at = 2;
        std::size_t insertAt = 4 + lengthAt(bytes, 4);  // behind the first segment
        while (at + 4 <= bytes.size() && byteAt(bytes, at) == 0xFF && isApplicationMarker(byteAt(bytes, at + 1))) {
            const std::size_t end = at + 2 + lengthAt(bytes, at + 2);
            if (end > bytes.size()) break;
            insertAt = end;
            at = end;
        }
        if (insertAt > bytes.size()) return false;  // the first segment runs past the end
        bytes.insert(insertAt, segment);
    } else {
        const std::size_t start = static_cast<std::size_t>(found);
        const std::size_t oldEnd = std::min(bytes.size(), start + 2 + lengthAt(bytes, start + 2));
        bytes.replace(start, oldEnd - start, segment);  // an empty segment removes it
    }
    return platform::writeFileAtomically(path, bytes, platform::kUsersFile);
}

std::string ExifDateToDateText(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    std::string t(text.substr(first, text.find_last_not_of(' ') - first + 1));
    if (std::count(t.begin(), t.end(), ':') == 4) {
        t[t.find(':')] = '/';
        t[t.find(':')] = '/';
    }
    return t;
}

}  // namespace mirofoto
