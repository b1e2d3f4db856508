// The INI engine: our form of the Windows private-profile functions.
//
// File format
// - Lines end with CR LF when we write them; CR LF, a lone LF and a lone CR
//   all end a line when we read, and every line we do not change is written
//   back byte for byte (comments, blank lines, lines we cannot parse, order,
//   line ends).
// - The file text is CP932. A file that starts with the byte-order mark
//   FF FE is UTF-16LE, one with FE FF UTF-16BE, one that starts with
//   EF BB BF is UTF-8; all are read and stay in their form when written. A write whose section, key or value
//   CP932 cannot carry unchanged (é, an emoji, the yen sign that CP932 would
//   turn into a backslash) turns a CP932 file into UTF-16LE with a byte-order
//   mark, so nothing is lost.
// - A section header is a line whose first non-blank character is "["; the
//   name runs to the last "]" of the line, surrounding blanks trimmed. A
//   "[" line without "]" is no section: the lines after it belong to none.
// - An entry is a line holding "=": the key is the text before the first
//   "=", surrounding blanks (space, tab) trimmed; the value is everything
//   after that "=", exactly (no trimming, no quote stripping).
// - Lines without "=" and entries before the first section are ignored when
//   reading.
// - Section and key names match with ASCII letters compared without case;
//   every other character must match exactly (a CP932 double-byte character
//   is one character, so its second byte is never folded). When a section
//   appears twice, its parts are searched in file order and the first
//   matching key wins; the requested names are trimmed like the stored ones.
//
// A write replaces the value of an existing entry in place (keeping its key
// as spelled in the file), else adds "key=value" after the last non-blank
// line of the first matching section, else appends "[section]" and the
// entry at the end of the file. The file is rewritten through a temporary
// file and a rename; a write into a missing folder leaves nothing and fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

/// Whether the bytes start as a JPEG file does (FF D8), which no settings
/// file in any of the forms above can.
bool startsAsJpeg(std::string_view bytes);

/// The whole value of key in section, as UTF-8; nothing when the file, the
/// section or the key is missing (or the file cannot be read).
std::optional<std::string> readProfileValue(std::string_view section, std::string_view key,
                                            std::string_view file);

/// The Windows-style read: the value (or defaultValue when there is none)
/// cut to at most bufferSize - 1 bytes as CP932 counts them, never in the
/// middle of a character. A character CP932 lacks counts two bytes. The text
/// is UTF-8. bufferSize below 1 gives the empty text.
std::string readProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              int bufferSize, std::string_view file);

/// Stores value under key in section, creating the file and the section when
/// needed. False when nothing could be written (missing folder, read-only or
/// unreadable file, a folder in the file's place, a file that starts as a
/// JPEG picture: errno is then EINVAL) and when a name or the
/// value could not be stored as one line: a CR or LF anywhere, a key holding
/// "=" or starting with "[".
bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        std::string_view file);

/// Stores several keys of one section with one rewrite of the file, as if
/// each were written in turn by writeProfileString. All or nothing: false
/// (and the file unchanged) when the file cannot be written or any name or
/// value could not be stored as one line.
bool writeProfileStrings(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keyValues,
                         std::string_view file);

/// The engine over a file's bytes in memory, as the functions above read
/// (through the parse they keep per state of a file) and write files.
/// profileValueIn: the whole value of key in section, or nothing. profileWithValue: the file's bytes with the value
/// stored, or nothing when the write is refused (a line break in a name or
/// the value, a key holding "=" or starting with "[").
std::optional<std::string> profileValueIn(std::string_view fileBytes, std::string_view section,
                                          std::string_view key);
std::optional<std::string> profileWithValue(std::string_view fileBytes, std::string_view section,
                                            std::string_view key, std::string_view value);

/// The CP932 byte count of a UTF-8 text as readProfileString counts it.
std::size_t cp932Width(std::string_view utf8);

/// Accesses of the engine, for tests and diagnostics.
struct ProfileCounters {
    std::uint64_t reads = 0;
    std::uint64_t writes = 0;
    std::uint64_t parses = 0;  ///< files parsed for reading: once per change of a file
};

/// The numbers of reads and writes since the program started (every call of
/// the three functions above counts once, whatever its outcome), and of the
/// parses behind the reads. Readers read the file at every call, but parse it
/// only when it changed (its device, inode, size, modification or change time
/// differ, or its bytes when those times are too recent to vouch for it);
/// writes never use what was parsed.
ProfileCounters profileCounters();

enum class ProfileAccess { Read, Write };

/// Told about every access, on the thread that makes it.
class ProfileObserver {
public:
    virtual ~ProfileObserver() = default;
    virtual void onProfileAccess(ProfileAccess access, std::string_view section, std::string_view key,
                                 std::string_view file) = 0;
};

/// Installs an observer (not owned; null for none); returns the previous one.
ProfileObserver* setProfileObserver(ProfileObserver* observer);

}  // namespace platform
