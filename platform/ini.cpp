#include "platform/ini.h"

#include "platform/atomic_file.h"
#include "platform/codepage.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
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

// The form of a file's text. Lines are held in a working encoding: the CP932
// bytes themselves for CP932 files, UTF-8 for the two Unicode forms.
enum class Encoding { Cp932, Utf16le, Utf8 };

constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
    std::string text;  ///< working encoding, without the line end
    std::string eol;   ///< "\r\n", "\n", "\r" or "" (last line without one)
    /// UTF-16 files: the line's own bytes while it is unchanged, so that
    /// code units UTF-8 cannot carry (a lone surrogate) survive a rewrite.
    std::optional<std::string> raw;
};

struct Document {
    Encoding encoding = Encoding::Cp932;
    std::vector<Line> lines;
    std::string oddTail;  ///< UTF-16 files: a last byte without its partner
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

bool isBlankLine(std::string_view t) { return trimBlanks(t).empty(); }

// Splits text at CR LF, LF and lone CR; eolOf tells the line end starting at
// a position (its length in units), unitSize the width of one unit.
template <typename Emit>
void splitLines(std::string_view text, std::size_t unitSize, Emit emit) {
    auto unitAt = [&](std::size_t pos) -> unsigned {
        if (unitSize == 1) return static_cast<unsigned char>(text[pos]);
        return static_cast<unsigned char>(text[pos]) | (static_cast<unsigned char>(text[pos + 1]) << 8);
    };
    std::size_t start = 0, pos = 0;
    while (pos < text.size()) {
        const unsigned u = unitAt(pos);
        if (u == '\r' || u == '\n') {
            std::size_t eolLen = unitSize;
            if (u == '\r' && pos + unitSize < text.size() && unitAt(pos + unitSize) == '\n') eolLen += unitSize;
            emit(text.substr(start, pos - start), text.substr(pos, eolLen));
            pos += eolLen;
            start = pos;
        } else {
            pos += unitSize;
        }
    }
    if (start < text.size()) emit(text.substr(start), std::string_view{});
}

std::string asciiFromUtf16(std::string_view units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); i += 2) out += units[i];
    return out;
}

std::string utf16FromAscii(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

Document parseDocument(std::string_view bytes) {
    Document doc;
    if (bytes.substr(0, 2) == kUtf16Bom) {
        doc.encoding = Encoding::Utf16le;
        std::string_view body = bytes.substr(2);
        if (body.size() % 2) {
            doc.oddTail = std::string(body.substr(body.size() - 1));
            body.remove_suffix(1);
        }
        splitLines(body, 2, [&](std::string_view line, std::string_view eol) {
            doc.lines.push_back({utf16leBytesToUtf8(line), asciiFromUtf16(eol), std::string(line)});
        });
        return doc;
    }
    std::string_view body = bytes;
    if (bytes.substr(0, 3) == kUtf8Bom) {
        doc.encoding = Encoding::Utf8;
        body = bytes.substr(3);
    }
    splitLines(body, 1, [&](std::string_view line, std::string_view eol) {
        doc.lines.push_back({std::string(line), std::string(eol), std::nullopt});
    });
    return doc;
}

std::string serialize(const Document& doc) {
    std::string out;
    if (doc.encoding == Encoding::Utf16le) {
        out += kUtf16Bom;
        for (const Line& l : doc.lines) {
            out += l.raw ? *l.raw : utf8ToUtf16leBytes(l.text);
            out += utf16FromAscii(l.eol);
        }
        out += doc.oddTail;
        return out;
    }
    if (doc.encoding == Encoding::Utf8) out += kUtf8Bom;
    for (const Line& l : doc.lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The CP932 form of a UTF-8 text, only when it comes back unchanged.
std::optional<std::string> exactCp932(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    auto cp = utf8ToCp932(utf8);
    if (!cp || cp932ToUtf8(*cp) != utf8) return std::nullopt;
    return cp;
}

// A UTF-8 text in a document's working encoding; nothing when it has no
// exact form there. Invalid UTF-8 becomes U+FFFD for the Unicode forms, the
// same way for every read and write, so a key always finds its own entry.
std::optional<std::string> toWorking(Encoding enc, std::string_view utf8) {
    if (enc == Encoding::Cp932) return exactCp932(utf8);
    if (isAscii(utf8)) return std::string(utf8);
    return utf16ToUtf8(utf8ToUtf16(utf8));
}

std::string fromWorking(Encoding enc, std::string_view text) {
    if (enc == Encoding::Cp932 && !isAscii(text)) return cp932ToUtf8(text);
    return std::string(text);
}

void convertToUtf16(Document& doc) {
    if (doc.encoding == Encoding::Utf16le) return;
    for (Line& l : doc.lines) {
        if (doc.encoding == Encoding::Cp932) l.text = fromWorking(Encoding::Cp932, l.text);
        l.raw.reset();
    }
    doc.encoding = Encoding::Utf16le;
}

struct Location {
    std::optional<std::size_t> entry;       ///< the line of the key
    std::size_t valueStart = 0;
    std::optional<std::size_t> insertAfter; ///< last non-blank line of the first matching section
};

Location locate(const Document& doc, std::string_view section, std::string_view key) {
    Location loc;
    bool inSection = false;
    bool inFirstSection = false;
    bool firstSeen = false;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const std::string_view text = doc.lines[i].text;
        const ParsedLine p = parseLine(doc.encoding, text);
        switch (p.kind) {
        case LineKind::Header:
            inSection = namesEqual(doc.encoding, p.name, section);
            inFirstSection = inSection && !firstSeen;
            if (inFirstSection) {
                firstSeen = true;
                loc.insertAfter = i;
            }
            continue;
        case LineKind::BrokenHeader:
            inSection = inFirstSection = false;
            continue;
        case LineKind::Entry:
            if (inSection && namesEqual(doc.encoding, p.name, key)) {
                loc.entry = i;
                loc.valueStart = p.valueStart;
                return loc;
            }
            break;
        case LineKind::Other:
            break;
        }
        if (inFirstSection && !isBlankLine(text)) loc.insertAfter = i;
    }
    return loc;
}

enum class FileRead { Ok, Missing, Failed };

FileRead readWholeFile(const std::string& path, std::string& out) {
    // O_NONBLOCK: a FIFO in the file's place must not hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileRead::Failed;
    }
    out.clear();
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return FileRead::Failed;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return FileRead::Ok;
}

std::optional<std::string> lookUp(std::string_view section, std::string_view key, std::string_view file) {
    if (file.empty()) return std::nullopt;
    std::string bytes;
    if (readWholeFile(std::string(file), bytes) != FileRead::Ok) return std::nullopt;
    const Document doc = parseDocument(bytes);
    const auto s = toWorking(doc.encoding, trimBlanks(section));
    const auto k = toWorking(doc.encoding, trimBlanks(key));
    if (!s || !k) return std::nullopt;  // the file's form cannot hold these names
    const Location loc = locate(doc, *s, *k);
    if (!loc.entry) return std::nullopt;
    return fromWorking(doc.encoding, std::string_view(doc.lines[*loc.entry].text).substr(loc.valueStart));
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Decodes one UTF-8 character at s[i]: its length, and whether it is valid.
std::size_t utf8Length(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
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

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        std::string_view file) {
    noteAccess(ProfileAccess::Write, section, key, file);
    if (file.empty() || hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return false;
    const std::string_view trimmedKey = trimBlanks(key);
    if (trimmedKey.find('=') != std::string_view::npos || (!trimmedKey.empty() && trimmedKey.front() == '['))
        return false;

    std::lock_guard<std::mutex> lock(g_writeMutex);
    const std::string path = followFileLink(file);
    std::string original;
    const FileRead r = readWholeFile(path, original);
    if (r == FileRead::Failed) return false;  // never replace what we could not read
    Document doc = parseDocument(original);

    auto s = toWorking(doc.encoding, trimBlanks(section));
    auto k = toWorking(doc.encoding, trimmedKey);
    auto v = toWorking(doc.encoding, value);
    if (!s || !k || !v) {
        convertToUtf16(doc);
        s = toWorking(doc.encoding, trimBlanks(section));
        k = toWorking(doc.encoding, trimmedKey);
        v = toWorking(doc.encoding, value);
    }

    const Location loc = locate(doc, *s, *k);
    const auto giveLineEnd = [&](std::size_t i) {
        if (doc.lines[i].eol.empty()) doc.lines[i].eol = "\r\n";
    };
    if (loc.entry) {
        Line& line = doc.lines[*loc.entry];
        line.text = line.text.substr(0, loc.valueStart) + *v;
        line.raw.reset();
    } else if (loc.insertAfter) {
        giveLineEnd(*loc.insertAfter);
        doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(*loc.insertAfter + 1),
                         Line{*k + "=" + *v, "\r\n", std::nullopt});
    } else {
        if (!doc.lines.empty()) giveLineEnd(doc.lines.size() - 1);
        // The section keeps the spelling the caller gave it.
        const auto header = toWorking(doc.encoding, section);
        doc.lines.push_back(Line{"[" + *header + "]", "\r\n", std::nullopt});
        doc.lines.push_back(Line{*k + "=" + *v, "\r\n", std::nullopt});
    }

    const std::string bytes = serialize(doc);
    if (r == FileRead::Ok && bytes == original) {
        // Nothing changes; still refuse what the real write would refuse.
        return ::access(path.c_str(), W_OK) == 0;
    }
    return writeFileAtomically(path, bytes);
}

ProfileCounters profileCounters() {
    return {g_reads.load(std::memory_order_relaxed), g_writes.load(std::memory_order_relaxed)};
}

ProfileObserver* setProfileObserver(ProfileObserver* observer) { return g_observer.exchange(observer); }

}  // namespace platform
