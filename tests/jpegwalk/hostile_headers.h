// JPEG headers that probe the segment walk: fill bytes, cut segments,
// lengths 0 and 1, a large EXIF segment before the frame header, the start
// of scan before the frame header, a file ending right after a marker. The
// walk's table test and the fuzzing seed corpus both use them.
#pragma once

#include <string>
#include <vector>

namespace hostile_headers {

struct Header {
    std::string name;
    std::string bytes;
};

/// The picture every fixture is cut from: SOI, JFIF APP0, an EXIF APP1 whose
/// DateTimeOriginal is "2004:05:06 12:34:56", a comment "abc", a
/// quantisation table, a frame header of 16 x 8 pixels, the start of scan,
/// scan data and EOI.
std::string ordinaryHeader();

/// The fixtures in a fixed order; ordinary first.
std::vector<Header> all();

}  // namespace hostile_headers
