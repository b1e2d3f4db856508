// Makes photograph-like JPEG files for the sample album, the tests and the
// benchmarks: a landscape of sky, sun, hills and texture, reproducible from a
// seed, with an optional EXIF shooting date and JPEG comment.
#pragma once

#include <cstdint>
#include <string>

namespace samples {

struct PhotoSpec {
    int width = 1600;
    int height = 1200;
    std::uint32_t seed = 1;
    int quality = 90;
    /// EXIF DateTimeOriginal as "yyyy:mm:dd hh:mm:ss"; none when empty.
    std::string shootingDate;
    /// The JPEG comment as CP932 bytes; none when empty.
    std::string commentCp932;
    /// Amount of fine sensor-like noise, 0 to 64; high values make the
    /// entropy decoding dominate as in real high-ISO photographs.
    int noise = 6;
    /// Also write a JFIF APP0 segment before the EXIF segment.
    bool jfif = true;
};

/// The JPEG file's bytes; throws std::runtime_error when encoding fails.
std::string makePhotoJpeg(const PhotoSpec& spec);

/// Writes makePhotoJpeg(spec) to the path; throws on failure.
void writePhotoJpeg(const std::string& path, const PhotoSpec& spec);

/// The APP1 segment (marker included) of a minimal big-endian EXIF block
/// holding Make, Model and, in the EXIF sub-directory, DateTimeOriginal.
std::string exifSegment(const std::string& shootingDate);

}  // namespace samples

namespace samples {

/// The JPEG bytes with an APP1 EXIF segment right after the start marker
/// whose main directory holds Orientation (tag 274) alone.
std::string withOrientation(std::string jpeg, int orientation);

/// The JPEG bytes with an APP1 EXIF segment right after the start marker:
/// the main directory (Orientation when given) and, when thumb is not
/// empty, the thumbnail directory pointing at thumb, as cameras store it.
std::string withExifThumbnail(const std::string& jpeg, const std::string& thumb, int orientation = 0);

}  // namespace samples
