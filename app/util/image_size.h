// Width and height of BMP, GIF, JPEG and PNG files from their header bytes,
// without decoding the picture.
#pragma once

#include <cstdint>
#include <string_view>

namespace mirofoto {

enum class ImageKind : int { NotRecognised = 0, Bmp = 1, Gif = 2, Jpeg = 3, Png = 4 };

/// How GetImageSize decides the kind of file.
enum class DetectionMode : int {
    ByContent = 0,  ///< the first bytes of the file
    Bmp = 1,        ///< the caller names the kind
    Gif = 2,
    Jpeg = 3,
    Png = 4,
    ByName = 5,  ///< the extension of the path
};

struct ImageSizeInfo {
    ImageKind kind = ImageKind::NotRecognised;
    std::int32_t width = 0;   ///< pixels; 0 when not recognised
    std::int32_t height = 0;  ///< pixels; 0 when not recognised
};

/// The kind and pixel size of an image file. A file that is missing, shorter
/// than two bytes or of another kind than the mode says gives kind
/// NotRecognised with 0 x 0, and so do a size field of 2^31 or more and a
/// JPEG whose segment walk (platform/jpeg_segments.h) ends before a frame
/// header: cut off, a length below 2, the start of scan first. Bytes past
/// the end of a short BMP, GIF or PNG header read as zero. A BMP stored
/// top-down (negative height) gives its height as a positive number. Reads
/// only the header bytes (for JPEG, the segment headers up to the first
/// frame header), never the picture.
ImageSizeInfo GetImageSize(std::string_view path, DetectionMode mode);

/// True when the path names a file (not a folder) of at least two bytes.
bool ImageFileUsable(std::string_view path);

}  // namespace mirofoto
