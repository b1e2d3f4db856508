// Pictures for the imaging tests, made and checked with libturbojpeg so that
// the image library is checked against an independent codec.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace imaging_test {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
    /// Bytes of EXIF data (an APP1 segment) placed before the frame header;
    /// 0 for none.
    std::size_t exifBytes = 0;
    /// The EXIF orientation the APP1 claims (1 = upright).
    int orientation = 1;
    /// One grey channel instead of colour.
    bool grey = false;
};

/// A width x height JPEG, mid grey, with the top-left quarter pure red, so a
/// turn can be followed by where the red corner ends up.
std::string makeJpeg(int width, int height, const JpegOptions& options = {});

/// A flat width x height JPEG written through libjpeg: RGB carrying the
/// given ICC profile, or four-channel CMYK with an Adobe marker (the samples
/// stored inverted, as photo editors write them).
std::string makeRgbJpegWithProfile(int width, int height, Rgb colour, const std::string& iccProfile);
std::string makeCmykJpeg(int width, int height, int c, int m, int y, int k);

/// An RGB colour profile with sRGB's primaries and white but linear tone
/// curves: a picture's 128 grey under it is sRGB's 188.
std::string linearRgbProfile();
/// The sRGB profile, as phones and editors embed it.
std::string srgbProfile();

/// Writes makeJpeg's bytes to the file and returns its path as text.
std::string writeJpeg(const std::filesystem::path& file, int width, int height, const JpegOptions& options = {});

/// A decoded JPEG file: its size, chroma subsampling and pixels.
struct Decoded {
    bool ok = false;
    int width = 0, height = 0;
    int subsampling = -1;  ///< TJSAMP_* value
    std::string rgb;       ///< width * height * 3 bytes
    Rgb at(int x, int y) const;
};
Decoded decodeJpeg(const std::filesystem::path& file);

/// True when the colour is close to the fixture's red, or to its grey.
bool isRed(Rgb c);
bool isGrey(Rgb c);

/// The byte offset of the first marker FF xx in the JPEG's header segments,
/// or npos; walks segments the way a decoder does.
std::size_t findMarker(std::string_view jpeg, unsigned char marker);

/// The JPEG with the width and height fields of its frame header replaced.
std::string withFrameSize(std::string jpeg, int width, int height);

}  // namespace imaging_test
