// What a picture's JPEG header says before anything decodes it: how many
// segments stand before the image data, the frame's size, precision and
// components, and whether the decoder will have to hold every coefficient
// of the picture at once. The album run refuses what the image library
// would choke on (a header of tens of thousands of segments, a precision it
// does not decode) and admits the rest to its workers by what decoding
// will take.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace mirofoto {

struct JpegHeader {
    /// How the walk from the start marker to the start of scan went.
    enum class Walk {
        Complete,         ///< it reached the start of scan
        TooManySegments,  ///< more than platform::jpeg::kMaxHeaderSegments segments before it
        Broken,           ///< not a JPEG, cut short, unreadable: the other readers say what
    };
    struct Component {
        int horizontal = 1;  ///< sampling factors, 1 .. 4
        int vertical = 1;
    };

    Walk walk = Walk::Broken;
    /// Segments before the start of scan (the count stops one past the limit).
    std::size_t segments = 0;
    bool hasFrame = false;
    std::uint8_t frameMarker = 0;  ///< 0xC0 .. 0xCF
    int precision = 0;             ///< bits per sample
    int width = 0;
    int height = 0;
    std::vector<Component> components;
    int firstScanComponents = 0;  ///< components in the first scan
    std::uint64_t fileSize = 0;

    bool progressive() const { return frameMarker == 0xC2 || frameMarker == 0xC6 || frameMarker == 0xCA || frameMarker == 0xCE; }
    /// Whether the decoder keeps the coefficients of the whole picture until
    /// its last scan: a progressive file, or one whose first scan does not
    /// hold every component.
    bool buffersWholePicture() const;
    /// The bytes of that coefficient buffer: one 16-bit value per sample of
    /// every component, in whole 8 x 8 blocks rounded up to the sampling
    /// factors (about width x height x components x 2 for 4:4:4).
    std::uint64_t coefficientBytes() const;
    /// About what decoding the picture takes at most: the coefficient buffer
    /// when there is one, the file read into memory, and the picture at the
    /// smallest scale the decoder reduces to, as the resampler holds it.
    /// 0 without a frame header (nothing will be decoded).
    std::uint64_t decodeMemoryEstimate() const;
};

/// Walks the header of the file at path (nothing when it cannot be opened
/// or is no JPEG: walk Broken). Reads segment headers only, and never more
/// than the limit of segments.
JpegHeader readJpegHeader(std::string_view path);

}  // namespace mirofoto
