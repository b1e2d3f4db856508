#pragma once

#include <string>
#include <string_view>

namespace mirofoto {

/// Query-string encoding of a text given as UTF-16 code units: a space
/// becomes "+", letters, digits and "@*-._" stay, every other code unit is
/// written as the "%XX" escapes of its UTF-8 bytes. Each code unit is encoded
/// on its own, so a surrogate pair gives two three-byte escapes.
std::string UrlEncodeUtf8(std::u16string_view text);
/// The same for a UTF-8 text.
std::string UrlEncodeUtf8(std::string_view text);

}  // namespace mirofoto
