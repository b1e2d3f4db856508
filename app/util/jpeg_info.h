// The JPEG comment of a picture (its COM segment, CP932 text) and the EXIF
// date text helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirofoto {

/// The index of the 0xFF byte of the first segment with the marker in the
/// bytes up to lastIndex (the index of the last byte, size − 1), walking the
/// header as every JPEG reader here does (platform/jpeg_segments.h); −1 when
/// the walk ends first (at the start of scan, a byte that is no marker, a
/// length below 2, a segment cut off by the end of the data).
long FindJpegSegment(std::string_view bytes, long lastIndex, std::uint8_t marker);

/// The picture's comment as UTF-8; empty when the file is missing, is no
/// JPEG or has no comment segment in its header (a comment segment cut off
/// by the end of the file counts as none).
std::string ReadJpegComment(std::string_view path);

/// The most bytes (CP932) one comment segment holds: its length field
/// counts itself.
inline constexpr std::size_t kMaxJpegCommentBytes = 65533;

/// Makes the text the picture's comment (an empty text removes it). False,
/// with the file untouched, for a missing or non-JPEG file, a file whose
/// first segment does not follow the start marker, a text CP932 cannot
/// represent or longer than one segment holds (65533 bytes), or a failed
/// write. The file is replaced atomically and keeps its permissions.
bool WriteJpegComment(std::string_view path, std::string_view text);

/// A shooting date as EXIF holds it ("yyyy:mm:dd hh:mm:ss", or any form
/// parseShootingDate accepts) in the album's "yyyy/mm/dd hh:mm:ss" form;
/// the empty text when it is no date.
std::string ExifDateToDateText(std::string_view text);

}  // namespace mirofoto
