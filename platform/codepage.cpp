#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One iconv conversion descriptor for the duration of one call. iconv_t is
// not thread-safe, so none is shared.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(m_cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts the whole input; false on the first byte sequence that cannot
    // be converted. *consumed tells how many input bytes were converted.
    bool convert(std::string_view in, std::string& out, std::size_t* consumed = nullptr) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* inp = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char buf[4096];
        bool ok = true;
        while (inLeft > 0) {
            char* outp = buf;
            std::size_t outLeft = sizeof buf;
            std::size_t r = iconv(m_cd, &inp, &inLeft, &outp, &outLeft);
            out.append(buf, sizeof buf - outLeft);
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                ok = false;
                break;
            }
        }
        if (ok) {
            char* outp = buf;
            std::size_t outLeft = sizeof buf;
            iconv(m_cd, nullptr, nullptr, &outp, &outLeft);
            out.append(buf, sizeof buf - outLeft);
        }
        if (consumed) *consumed = in.size() - inLeft;
        return ok;
    }

private:
    iconv_t m_cd;
};

// Decodes one UTF-8 sequence at s[i]; advances i. Invalid input yields
// U+FFFD and advances one byte.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; }
    else { ++i; return kReplacement; }
    if (i + len > s.size()) { ++i; return kReplacement; }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) { ++i; return kReplacement; }
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += len;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A byte that nextCodePoint could not decode: it gave U+FFFD for one byte
// (a real U+FFFD takes three).
bool undecodable(char32_t cp, std::size_t length) { return cp == kReplacement && length == 1; }

constexpr char16_t kEscapeBase = 0xDC00;  // + byte, for the bytes 0x80 to 0xFF

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t start = i;
        const char32_t cp = nextCodePoint(s, i);
        if (undecodable(cp, i - start)) return false;
    }
    return true;
}

std::u16string pathToUtf16(std::string_view path) {
    std::u16string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t start = i;
        const char32_t cp = nextCodePoint(path, i);
        if (undecodable(cp, i - start))
            out += static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(path[start]));
        else
            appendUtf16(out, cp);
    }
    return out;
}

std::string pathFromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            out += static_cast<char>(c - kEscapeBase);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string displayName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t start = i;
        const char32_t cp = nextCodePoint(name, i);
        if (undecodable(cp, i - start)) {
            const auto b = static_cast<unsigned char>(name[start]);
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out.append(name, start, i - start);
        }
    }
    return out;
}

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    if (!isValidUtf8(utf8)) return std::nullopt;
    Iconv cv("CP932", "UTF-8");
    if (!cv.convert(utf8, out)) return std::nullopt;
    return out;
}

std::string utf8ToCp932Html(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    Iconv cv("CP932", "UTF-8");
    // Convert runs at a time; fall back to one character at a time only
    // where a run fails, so ordinary text costs one iconv call.
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t consumed = 0;
        std::string part;
        if (cv.convert(utf8.substr(pos), part, &consumed)) {
            out += part;
            break;
        }
        out += part;
        pos += consumed;
        std::size_t next = pos;
        char32_t cp = nextCodePoint(utf8, next);
        std::string one;
        if (cp != kReplacement && cv.convert(utf8.substr(pos, next - pos), one)) {
            out += one;  // iconv stopped for another reason; this one converts
        } else {
            out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
        }
        pos = next;
    }
    return out;
}

std::string cp932ToUtf8(std::string_view cp932) {
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    Iconv cv("UTF-8", "CP932");
    std::size_t pos = 0;
    while (pos < cp932.size()) {
        std::size_t consumed = 0;
        std::string part;
        if (cv.convert(cp932.substr(pos), part, &consumed)) {
            out += part;
            break;
        }
        out += part;
        pos += consumed;
        // Skip the bad character: a lead byte takes its trail byte with it
        // when there is one, so the text after it stays in step.
        const auto b = static_cast<unsigned char>(cp932[pos]);
        std::size_t skip = 1;
        if (isCp932LeadByte(b) && pos + 1 < cp932.size()) {
            const auto t = static_cast<unsigned char>(cp932[pos + 1]);
            if (t >= 0x40 && t <= 0xFC && t != 0x7F) skip = 2;
        }
        appendUtf8(out, kReplacement);
        pos += skip;
    }
    return out;
}

bool isCp932Representable(std::string_view utf8) {
    return utf8ToCp932(utf8).has_value();
}

std::size_t cp932PrefixLength(std::string_view cp932, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < cp932.size()) {
        const std::size_t width = isCp932LeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
        if (i + width > maxBytes) break;
        if (i + width > cp932.size()) break;  // a lone lead byte at the end
        i += width;
    }
    return i;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) appendUtf16(out, nextCodePoint(utf8, i));
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() &&
            utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string utf16leBytesToUtf8(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return pathFromUtf16(units);
}

std::string utf8ToUtf16leBytes(std::string_view utf8) {
    const std::u16string units = pathToUtf16(utf8);
    std::string out;
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

}  // namespace platform
