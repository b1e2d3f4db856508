// Conversions between the program's internal text (UTF-8), the system code
// page of its files (CP932, the Windows form of Shift_JIS) and UTF-16 (the
// text of COM strings).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// UTF-8 to CP932. Empty optional when the text holds a character CP932
/// cannot represent or is not valid UTF-8: nothing is ever replaced silently.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

/// UTF-8 to CP932 where every character CP932 cannot represent becomes an
/// HTML numeric character reference ("&#233;"). Invalid UTF-8 bytes become
/// "&#65533;".
std::string utf8ToCp932Html(std::string_view utf8);

/// CP932 to UTF-8. A byte sequence that is not CP932 (a lone lead byte at the
/// end, an unassigned code) becomes U+FFFD and the decoding goes on.
std::string cp932ToUtf8(std::string_view cp932);

/// True when every character of the UTF-8 text has a CP932 form.
bool isCp932Representable(std::string_view utf8);

/// True for the bytes that start a two-byte CP932 character.
constexpr bool isCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

/// The longest prefix of at most maxBytes bytes of CP932 text that does not
/// end in the middle of a two-byte character.
std::size_t cp932PrefixLength(std::string_view cp932, std::size_t maxBytes);

/// UTF-8 to UTF-16 code units. Invalid bytes become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);

/// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

/// UTF-16LE bytes (no byte-order mark) to UTF-8.
std::string utf16leBytesToUtf8(std::string_view bytes);

/// UTF-8 to UTF-16LE bytes (no byte-order mark).
std::string utf8ToUtf16leBytes(std::string_view utf8);

}  // namespace platform
