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

/// True when the bytes are valid UTF-8.
bool isValidUtf8(std::string_view bytes);

/// A path (native bytes, UTF-8 by convention but not always: names copied
/// from other systems may be Shift_JIS) as UTF-16, for a COM string or a
/// Unicode settings file. Valid UTF-8 converts as text; every byte that is
/// not part of valid UTF-8 becomes U+DC80 + byte, a lone low surrogate that
/// no text holds, so pathFromUtf16() gives back exactly the same bytes.
/// For paths and names only: text goes through utf8ToUtf16().
std::u16string pathToUtf16(std::string_view path);

/// The bytes of a path that pathToUtf16() made: U+DC80 to U+DCFF become the
/// byte they stand for; any other lone surrogate becomes U+FFFD.
std::string pathFromUtf16(std::u16string_view utf16);

/// A name as text that can be shown: valid UTF-8 stays, every byte that is
/// not part of valid UTF-8 is written as "\xNN" (upper-case hex), so the
/// name is never dropped or turned into replacement characters.
std::string displayName(std::string_view name);

/// UTF-16LE bytes (no byte-order mark) to UTF-8, and back: the text of a
/// Unicode settings file, whose keys are often file names. Bytes that are
/// not UTF-8 travel as the escapes of pathToUtf16(), so a name comes back
/// byte for byte.
std::string utf16leBytesToUtf8(std::string_view bytes);
std::string utf8ToUtf16leBytes(std::string_view utf8);

}  // namespace platform
