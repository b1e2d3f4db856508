// The JPEG comment of a picture (its COM segment, CP932 text) and the EXIF
// date text helpers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirofoto {

/// The index of the 0xFF byte of the first segment with the marker, walking
/// the segments from index 2 while the index is below lastIndex − 3; −1 when
/// a byte that should start a segment is not 0xFF or the walk runs out.
/// lastIndex is the index of the last byte (size − 1).
long FindJpegSegment(std::string_view bytes, long lastIndex, std::uint8_t marker);

/// The picture's comment as UTF-8; empty when the file is missing, is no
/// JPEG or has no comment segment.
std::string ReadJpegComment(std::string_view path);

/// Makes the text the picture's comment (an empty text removes it). False,
/// with the file untouched, for a missing or non-JPEG file, a file whose
/// first segment does not follow the start marker, a text CP932 cannot
/// represent or longer than one segment holds (65533 bytes), or a failed
/// write. The file is replaced atomically and keeps its permissions.
bool WriteJpegComment(std::string_view path, std::string_view text);

/// EXIF's "yyyy:mm:dd hh:mm:ss" as "yyyy/mm/dd hh:mm:ss": trims spaces and,
/// when the text holds exactly four colons, turns the first two into "/".
std::string ExifDateToDateText(std::string_view text);

}  // namespace mirofoto
