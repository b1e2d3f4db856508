#include "platform/ini.h"

#include "platform/atomic_file.h"
#include "platform/codepage.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

std::atomic<std::uint64_t> g_reads{0};
std::atomic<std::uint64_t> g_writes{0};
std::atomic<ProfileObserver*> g_observer{nullptr};
// Writes are read-modify-write cycles; two threads writing one file at once
// would lose one of the values.
std::mutex g_writeMutex;

void noteAccess(ProfileAccess access, std::string_view section, std::string_view key, std::string_view file) {
    (access == ProfileAccess::Read ? g_reads : g_writes).fetch_add(1, std::memory_order_relaxed);
    if (ProfileObserver* o = g_observer.load(std::memory_order_acquire)) o->onProfileAccess(access, section, key, file);
}

// The form of a file's text. Names are compared in a working encoding: the
// CP932 bytes themselves for CP932 files, UTF-8 for the two Unicode forms.
enum class Encoding { Cp932, Utf16le, Utf16be, Utf8 };

constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Characters are one byte in UTF-8 working text for every purpose here
// (the bytes of a multi-byte sequence are never ASCII). In CP932 a lead byte
// takes the next byte with it, which may look like "[", "]" or a letter.
std::size_t charWidth(Encoding enc, std::string_view s, std::size_t i) {
    if (enc == Encoding::Cp932 && isCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) return 2;
    return 1;
}

std::string_view trimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool namesEqual(Encoding enc, std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t w = charWidth(enc, a, i);
        if (w == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
        } else if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
        i += w;
    }
    return true;
}

enum class LineKind { Other, Header, BrokenHeader, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;      ///< section or key, trimmed
    std::size_t valueStart = 0; ///< entries: index after the "="
};

ParsedLine parseLine(Encoding enc, std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && isBlank(t[i])) ++i;
    if (i < t.size() && t[i] == '[') {
        std::size_t close = std::string_view::npos;
        for (std::size_t j = i + 1; j < t.size(); j += charWidth(enc, t, j))
            if (t[j] == ']') close = j;
        if (close == std::string_view::npos) return {LineKind::BrokenHeader, {}, 0};
        return {LineKind::Header, trimBlanks(t.substr(i + 1, close - i - 1)), 0};
    }
    for (std::size_t j = i; j < t.size(); j += charWidth(enc, t, j))
        if (t[j] == '=') return {LineKind::Entry, trimBlanks(t.substr(i, j - i)), j + 1};
    return {};
}

// One line of a file: where its bytes and line end lie in the file's body.
struct LineSpan {
    std::size_t rawStart = 0;
    std::size_t rawLength = 0;
    std::size_t rawEolLength = 0;  ///< 0 for a last line without a line end
};

// UTF-16 text in the other byte order.
std::string swappedUnits(std::string_view bytes) {
    std::string out(bytes);
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    return out;
}

// A file's parts; its lines are visited by forEachLine without copying.
struct Scan {
    Encoding encoding = Encoding::Cp932;
    std::string_view bom;
    std::string_view body;     ///< the bytes after the byte-order mark
    std::string_view oddTail;  ///< UTF-16: a last byte without its partner
};

Scan scanFile(std::string_view bytes) {
    Scan sc;
    sc.body = bytes;
    if (bytes.substr(0, 2) == kUtf16Bom) {
        sc.encoding = Encoding::Utf16le;
        sc.bom = bytes.substr(0, 2);
        sc.body = bytes.substr(2);
        if (sc.body.size() % 2) {
            sc.oddTail = sc.body.substr(sc.body.size() - 1);
            sc.body.remove_suffix(1);
        }
    } else if (bytes.substr(0, 2) == kUtf16BeBom) {
        // Other editors save UTF-16 big-endian; it is read the same way
        // and keeps its own byte order when written.
        sc.encoding = Encoding::Utf16be;
        sc.bom = bytes.substr(0, 2);
        sc.body = bytes.substr(2);
        if (sc.body.size() % 2) {
            sc.oddTail = sc.body.substr(sc.body.size() - 1);
            sc.body.remove_suffix(1);
        }
    } else if (bytes.substr(0, 3) == kUtf8Bom) {
        sc.encoding = Encoding::Utf8;
        sc.bom = bytes.substr(0, 3);
        sc.body = bytes.substr(3);
    }
    return sc;
}

// Calls visit(span, text) for every line in order, text in the working
// encoding, until visit returns false. CR LF, a lone LF and a lone CR each
// end a line.
template <typename Visit>
void forEachLine(const Scan& sc, Visit visit) {
    const std::string_view body = sc.body;
    const bool bigEndian = sc.encoding == Encoding::Utf16be;
    const std::size_t unit = sc.encoding == Encoding::Utf16le || bigEndian ? 2 : 1;
    auto unitAt = [&](std::size_t pos) -> unsigned {
        if (unit == 1) return static_cast<unsigned char>(body[pos]);
        const unsigned first = static_cast<unsigned char>(body[pos]), second = static_cast<unsigned char>(body[pos + 1]);
        return bigEndian ? first << 8 | second : first | second << 8;
    };
    std::string decoded;
    auto emit = [&](std::size_t start, std::size_t length, std::size_t eolLength) {
        const LineSpan span{start, length, eolLength};
        if (unit == 1) return visit(span, body.substr(start, length));
        decoded = utf16leBytesToUtf8(bigEndian ? swappedUnits(body.substr(start, length)) : body.substr(start, length));
        return visit(span, std::string_view(decoded));
    };
    std::size_t start = 0, pos = 0;
    while (pos < body.size()) {
        if (unit == 1) {
            // Byte files: run to the next line end.
            while (pos < body.size() && body[pos] != '\r' && body[pos] != '\n') ++pos;
            if (pos == body.size()) break;
        }
        const unsigned u = unitAt(pos);
        if (u != '\r' && u != '\n') {
            pos += unit;
            continue;
        }
        std::size_t eol = unit;
        if (u == '\r' && pos + unit < body.size() && unitAt(pos + unit) == '\n') eol += unit;
        if (!emit(start, pos - start, eol)) return;
        pos += eol;
        start = pos;
    }
    if (start < body.size()) emit(start, body.size() - start, 0);
}

// The CP932 form of a UTF-8 text, only when it comes back unchanged.
std::optional<std::string> exactCp932(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    auto cp = utf8ToCp932(utf8);
    if (!cp || cp932ToUtf8(*cp) != utf8) return std::nullopt;
    return cp;
}

// A UTF-8 text in a file's working encoding; nothing when it has no exact
// form there. The Unicode forms hold every text as it is: bytes that are not
// UTF-8 (a file name from another system in a key) are kept in a UTF-8 file
// and escaped in a UTF-16 one, so a key always finds its own entry and
// never another name's.
std::optional<std::string> toWorking(Encoding enc, std::string_view utf8) {
    if (enc == Encoding::Cp932) return exactCp932(utf8);
    return std::string(utf8);
}

std::string fromWorking(Encoding enc, std::string_view text) {
    if (enc == Encoding::Cp932 && !isAscii(text)) return cp932ToUtf8(text);
    return std::string(text);
}

// Working text in the file's own bytes.
std::string toFileBytes(Encoding enc, std::string_view work) {
    if (enc == Encoding::Utf16be) return swappedUnits(utf8ToUtf16leBytes(work));
    return enc == Encoding::Utf16le ? utf8ToUtf16leBytes(work) : std::string(work);
}

struct Location {
    std::optional<LineSpan> entry;        ///< the line of the key
    std::string entryPrefix;              ///< its text up to and including the "="
    std::optional<LineSpan> insertAfter;  ///< last non-blank line of the first matching section
    std::optional<LineSpan> lastLine;     ///< set when the key was not found
    std::string value;                    ///< working encoding
};

Location locate(const Scan& sc, std::string_view section, std::string_view key) {
    Location loc;
    bool inSection = false;
    bool inFirstSection = false;
    bool firstSeen = false;
    forEachLine(sc, [&](const LineSpan& span, std::string_view text) {
        loc.lastLine = span;
        const ParsedLine p = parseLine(sc.encoding, text);
        switch (p.kind) {
        case LineKind::Header:
            inSection = namesEqual(sc.encoding, p.name, section);
            inFirstSection = inSection && !firstSeen;
            if (inFirstSection) {
                firstSeen = true;
                loc.insertAfter = span;
            }
            return true;
        case LineKind::BrokenHeader:
            inSection = inFirstSection = false;
            return true;
        case LineKind::Entry:
            if (inSection && namesEqual(sc.encoding, p.name, key)) {
                loc.entry = span;
                loc.entryPrefix = std::string(text.substr(0, p.valueStart));
                loc.value = std::string(text.substr(p.valueStart));
                return false;
            }
            break;
        case LineKind::Other:
            break;
        }
        if (inFirstSection && !trimBlanks(text).empty()) loc.insertAfter = span;
        return true;
    });
    return loc;
}

// The file with one value stored: the changed or added lines are spliced
// between the untouched bytes.
std::string withValue(const Scan& sc, const Location& loc, std::string_view section, std::string_view key,
                      std::string_view value) {
    const Encoding enc = sc.encoding;
    std::string out(sc.bom);
    if (loc.entry) {
        const LineSpan& l = *loc.entry;
        out += sc.body.substr(0, l.rawStart);
        out += toFileBytes(enc, loc.entryPrefix + std::string(value));
        out += sc.body.substr(l.rawStart + l.rawLength);
    } else {
        std::string added;
        if (!loc.insertAfter) {
            added += "[";
            added += section;
            added += "]\r\n";
        }
        added += key;
        added += "=";
        added += value;
        added += kCrLf;
        // A last line without its line end gets one before anything follows.
        const std::optional<LineSpan>& before = loc.insertAfter ? loc.insertAfter : loc.lastLine;
        const std::size_t split = before ? before->rawStart + before->rawLength + before->rawEolLength : 0;
        out += sc.body.substr(0, split);
        if (before && before->rawEolLength == 0) out += toFileBytes(enc, kCrLf);
        out += toFileBytes(enc, added);
        out += sc.body.substr(split);
    }
    out += sc.oddTail;
    return out;
}

// A CP932 file as UTF-16LE with a byte-order mark, line for line. CR and LF
// are never the second byte of a CP932 character, so the lines stay as
// they were; bytes that are not CP932 become U+FFFD.
std::string cp932FileAsUtf16(const Scan& sc) {
    return std::string(kUtf16Bom) + utf8ToUtf16leBytes(cp932ToUtf8(sc.body));
}


// ---- The read cache -------------------------------------------------------
//
// Readers read the file whenever they need a value, but a file is parsed
// only once per change: its entries are kept, keyed by path, together with
// what identifies that state of the file (device, inode, size, modification
// and change times with nanoseconds). Only reads use it; every write reads
// the file itself and then drops the entry, so the cache can never make a
// write lose a value.
//
// Identity alone cannot vouch for a file changed again within the
// granularity of its time stamps (same inode and size, same time). Such an
// entry is "racy" until its times lie clearly before the moment it was last
// checked: until then each read compares the file's bytes with the parsed
// ones, which costs a read but no parse.

// The longest a change can take to show in the file's change time: the
// coarse clock behind file time stamps, and file systems that keep only
// every other second.
constexpr long kRacySeconds = 3;
constexpr std::size_t kCachedFiles = 8;

// Section and key names as they are matched: ASCII letters folded, the two
// bytes of a CP932 character left as they are.
std::string foldName(Encoding enc, std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size();) {
        const std::size_t w = charWidth(enc, out, i);
        if (w == 1) out[i] = asciiLower(out[i]);
        i += w;
    }
    return out;
}

struct ParsedIni {
    Encoding encoding = Encoding::Cp932;
    // folded section -> folded key -> value (working encoding); the first
    // entry of a key in file order wins, across repeated sections too.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> sections;
};

ParsedIni parseIni(const Scan& sc) {
    ParsedIni parsed;
    parsed.encoding = sc.encoding;
    std::unordered_map<std::string, std::string>* current = nullptr;
    forEachLine(sc, [&](const LineSpan&, std::string_view text) {
        const ParsedLine p = parseLine(sc.encoding, text);
        if (p.kind == LineKind::Header) current = &parsed.sections[foldName(sc.encoding, p.name)];
        else if (p.kind == LineKind::BrokenHeader) current = nullptr;
        else if (p.kind == LineKind::Entry && current)
            current->try_emplace(foldName(sc.encoding, p.name), std::string(text.substr(p.valueStart)));
        return true;
    });
    return parsed;
}

struct FileState {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileState& o) const {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
               changed.tv_nsec == o.changed.tv_nsec;
    }
};

struct CachedIni {
    std::string path;
    FileState state;
    timespec checkedAt{};  // a moment before the state was last confirmed
    std::string bytes;     // what was parsed, for racy entries
    ParsedIni parsed;
    std::uint64_t lastUse = 0;

    bool racy() const {
        const auto later = [](const timespec& a, const timespec& b) {
            return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
        };
        const timespec newest = later(state.changed, state.modified) ? state.changed : state.modified;
        return newest.tv_sec + kRacySeconds >= checkedAt.tv_sec;
    }
};

std::mutex g_cacheMutex;
std::vector<CachedIni> g_cache;  // guarded by g_cacheMutex
std::uint64_t g_cacheClock = 0;
std::atomic<std::uint64_t> g_parses{0};

// The parsed state of the file as it is now; null when it cannot be read.
// The caller holds g_cacheMutex.
const ParsedIni* parsedFile(const std::string& path) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    const FileState state{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};

    CachedIni* entry = nullptr;
    for (CachedIni& c : g_cache)
        if (c.path == path) entry = &c;
    if (entry && entry->state == state && !entry->racy()) {
        entry->lastUse = ++g_cacheClock;
        return &entry->parsed;
    }
    std::string bytes;
    if (readFileBytes(path, bytes) != FileRead::Ok) return nullptr;
    if (!entry) {
        if (g_cache.size() >= kCachedFiles)
            g_cache.erase(std::min_element(g_cache.begin(), g_cache.end(), [](const CachedIni& a, const CachedIni& b) {
                return a.lastUse < b.lastUse;
            }));
        entry = &g_cache.emplace_back();
        entry->path = path;
    } else if (entry->state == state && bytes == entry->bytes) {
        entry->checkedAt = now;
        entry->lastUse = ++g_cacheClock;
        return &entry->parsed;
    }
    entry->state = state;
    entry->checkedAt = now;
    entry->parsed = parseIni(scanFile(bytes));
    entry->bytes = std::move(bytes);
    entry->lastUse = ++g_cacheClock;
    g_parses.fetch_add(1, std::memory_order_relaxed);
    return &entry->parsed;
}

void forgetParsed(std::string_view path) {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    std::erase_if(g_cache, [&](const CachedIni& c) { return c.path == path; });
}

std::optional<std::string> valueIn(const ParsedIni* parsed, std::string_view section, std::string_view key) {
    if (!parsed) return std::nullopt;
    const Encoding enc = parsed->encoding;
    const auto s = toWorking(enc, trimBlanks(section));
    const auto k = toWorking(enc, trimBlanks(key));
    if (!s || !k) return std::nullopt;  // the file's form cannot hold these names
    const auto sec = parsed->sections.find(foldName(enc, *s));
    if (sec == parsed->sections.end()) return std::nullopt;
    const auto entry = sec->second.find(foldName(enc, *k));
    if (entry == sec->second.end()) return std::nullopt;
    return fromWorking(enc, entry->second);
}

std::optional<std::string> lookUp(std::string_view section, std::string_view key, std::string_view file) {
    if (file.empty()) return std::nullopt;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    return valueIn(parsedFile(std::string(file)), section, key);
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Decodes one UTF-8 character at s[i]; returns its length. Invalid bytes
// come one at a time as U+FFFD.
std::size_t utf8Length(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    const std::size_t len =
        b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        cp = 0xFFFD;
        return 1;
    }
    cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            cp = 0xFFFD;
            return 1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    return len;
}

// The CP932 width of the character at s[i]; len receives its UTF-8 length.
// ASCII, the half-width katakana and the two characters CP932 writes as
// single bytes (yen sign 0x5C, overline 0x7E) take one byte, as does a byte
// that is not UTF-8; everything else two.
std::size_t cp932WidthAt(std::string_view s, std::size_t i, std::size_t& len) {
    char32_t cp = 0;
    len = utf8Length(s, i, cp);
    if (cp < 0x80 || (len == 1 && cp == 0xFFFD)) return 1;
    if ((cp >= 0xFF61 && cp <= 0xFF9F) || cp == 0xA5 || cp == 0x203E) return 1;
    return 2;
}

}  // namespace

std::size_t cp932Width(std::string_view utf8) {
    std::size_t width = 0, len = 0;
    for (std::size_t i = 0; i < utf8.size(); i += len) width += cp932WidthAt(utf8, i, len);
    return width;
}

std::optional<std::string> readProfileValue(std::string_view section, std::string_view key, std::string_view file) {
    noteAccess(ProfileAccess::Read, section, key, file);
    return lookUp(section, key, file);
}

std::string readProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              int bufferSize, std::string_view file) {
    noteAccess(ProfileAccess::Read, section, key, file);
    if (bufferSize < 1) return {};
    const std::optional<std::string> found = lookUp(section, key, file);
    const std::string_view value = found ? std::string_view(*found) : defaultValue;
    const auto limit = static_cast<std::size_t>(bufferSize - 1);
    std::size_t width = 0, i = 0, len = 0;
    while (i < value.size()) {
        const std::size_t w = cp932WidthAt(value, i, len);
        if (width + w > limit) break;
        width += w;
        i += len;
    }
    return std::string(value.substr(0, i));
}

std::optional<std::string> profileValueIn(std::string_view fileBytes, std::string_view section,
                                          std::string_view key) {
    const ParsedIni parsed = parseIni(scanFile(fileBytes));
    return valueIn(&parsed, section, key);
}

std::optional<std::string> profileWithValue(std::string_view original, std::string_view section,
                                            std::string_view key, std::string_view value) {
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return std::nullopt;
    const std::string_view trimmedKey = trimBlanks(key);
    if (trimmedKey.find('=') != std::string_view::npos || (!trimmedKey.empty() && trimmedKey.front() == '['))
        return std::nullopt;

    std::string converted;  // the file as UTF-16, when its CP932 cannot take the new text
    Scan sc = scanFile(original);
    auto s = toWorking(sc.encoding, section);
    auto k = toWorking(sc.encoding, trimmedKey);
    auto v = toWorking(sc.encoding, value);
    if (!s || !k || !v) {
        converted = cp932FileAsUtf16(sc);
        sc = scanFile(converted);
        s = toWorking(sc.encoding, section);
        k = toWorking(sc.encoding, trimmedKey);
        v = toWorking(sc.encoding, value);
    }

    const Location loc = locate(sc, trimBlanks(*s), *k);
    // A new section keeps the spelling the caller gave it.
    return withValue(sc, loc, *s, *k, *v);
}

namespace {

// One rewrite of the file with every value stored; the caller holds
// g_writeMutex.
bool writeValuesLocked(std::string_view section, const std::vector<std::pair<std::string, std::string>>& keyValues,
                       std::string_view file) {
    const std::string path = followFileLink(file);
    std::string original;
    const FileRead r = readFileBytes(path, original);
    if (r == FileRead::Failed) return false;  // never replace what we could not read
    // A settings file may be a link, and is followed; one that leads to a
    // photograph must not get text appended to the picture.
    if (startsAsJpeg(original)) {
        errno = EINVAL;
        return false;
    }

    std::string bytes = original;
    for (const auto& [key, value] : keyValues) {
        std::optional<std::string> next = profileWithValue(bytes, section, key, value);
        if (!next) return false;
        bytes = std::move(*next);
    }
    if (r == FileRead::Ok && bytes == original) {
        // Nothing changes; still refuse what the real write would refuse.
        return ::access(path.c_str(), W_OK) == 0;
    }
    // A settings file the user linked elsewhere stays linked.
    const bool written = writeFileAtomically(path, bytes, kUsersFile);
    forgetParsed(file);
    forgetParsed(path);
    return written;
}

}  // namespace

bool startsAsJpeg(std::string_view bytes) { return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xD8'; }

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        std::string_view file) {
    noteAccess(ProfileAccess::Write, section, key, file);
    if (file.empty()) return false;
    std::lock_guard<std::mutex> lock(g_writeMutex);
    return writeValuesLocked(section, {{std::string(key), std::string(value)}}, file);
}

bool writeProfileStrings(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keyValues,
                         std::string_view file) {
    for (const auto& kv : keyValues) noteAccess(ProfileAccess::Write, section, kv.first, file);
    if (file.empty()) return false;
    if (keyValues.empty()) return true;
    std::lock_guard<std::mutex> lock(g_writeMutex);
    return writeValuesLocked(section, keyValues, file);
}

ProfileCounters profileCounters() {
    return {g_reads.load(std::memory_order_relaxed), g_writes.load(std::memory_order_relaxed),
            g_parses.load(std::memory_order_relaxed)};
}

ProfileObserver* setProfileObserver(ProfileObserver* observer) { return g_observer.exchange(observer); }

}  // namespace platform
