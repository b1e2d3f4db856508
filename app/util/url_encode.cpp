#include "app/util/url_encode.h"

#include "platform/codepage.h"

namespace mirofoto {
namespace {

void appendEscape(std::string& out, unsigned value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}

bool keptAsIs(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'@' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'*' ||
           c == u'-' || c == u'.' || c == u'_';
}

}  // namespace

std::string UrlEncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 9);
    for (const char16_t c : text) {
        if (c == u' ') {
            out += '+';
        } else if (keptAsIs(c)) {
            out += static_cast<char>(c);
        } else if (c < 0x80) {
            appendEscape(out, c);
        } else if (c < 0x800) {
            appendEscape(out, 0xC0 + (c >> 6));
            appendEscape(out, 0x80 + (c & 0x3F));
        } else {
            appendEscape(out, 0xE0 + (c >> 12));
            appendEscape(out, 0x80 + ((c >> 6) & 0x3F));
            appendEscape(out, 0x80 + (c & 0x3F));
        }
    }
    return out;
}

std::string UrlEncodeUtf8(std::string_view text) { return UrlEncodeUtf8(platform::utf8ToUtf16(text)); }

}  // namespace mirofoto
