// Reading and writing one value of a settings file. Every setting of the
// program goes through these two operations; texts in and out are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirofoto {

/// The stored value of key in section, or the empty text when the file, the
/// section or the key is missing. At most bufferSize - 1 bytes of it as
/// CP932 counts them are returned, never half a double-byte character; the
/// text ends at a NUL it may hold. The key is escaped first (EscapeIniKey).
std::string ReadIniValue(std::string_view section, std::string_view key, std::int16_t bufferSize,
                         std::string_view file);

/// Stores value under key (escaped first) in section, replacing an earlier
/// value. "1" when it was stored, "0" when it was not (a missing folder, a
/// read-only file, a value holding a line break).
std::string WriteIniValue(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file);

/// Several keys of one section stored with one rewrite of the file (keys
/// escaped first); all or nothing, reported like WriteIniValue.
std::string WriteIniValues(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& keyValues,
                           std::string_view file);

/// The key with every "=" made ":", every "[" made "<" and every "]" made
/// ">", as the settings files have always stored them. File names may hold
/// both forms, so two names ("a=b.jpg", "a:b.jpg") can share one key.
std::string EscapeIniKey(std::string_view key);

/// The form in which a settings file tells keys apart: escaped, the blanks
/// around it trimmed, ASCII letters in lower case. Names whose keys have
/// one form share one stored value ("a=b" and "a:b", " x" and "x", "X" and
/// "x").
std::string storedKeyForm(std::string_view key);

/// For each of the keys, the positions of the other keys of the list that
/// share its stored form (empty for a key of its own).
std::vector<std::vector<std::size_t>> keysSharingStorage(const std::vector<std::string>& keys);

/// The text up to, not including, its first NUL; the whole text without one.
std::string CutAtNul(std::string_view text);

/// Like ReadIniValue but the whole value, however long: the album settings
/// hold free HTML that a 255-byte buffer would cut.
std::string readWholeIniValue(std::string_view section, std::string_view key, std::string_view file);

}  // namespace mirofoto
