// Lossless quarter turns of a JPEG stream (DCT coefficients rearranged, no
// pixel decoded).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tagora {

/// Result codes of transformJpeg.
enum TransformResult : int {
    kTransformOk = 0,
    kTransformBadCode = 1,       ///< code outside 1 to 3
    kTransformBadSource = 2,     ///< the input is no decodable JPEG stream
    kTransformWriteFailed = 3,   ///< the output could not be produced
};

/// Turns the JPEG stream in by code 1 (90° clockwise), 2 (180°) or 3 (270°
/// clockwise) into out. Every marker segment is copied, partial edge blocks
/// are kept untrimmed (they stay where they are, as the lossless transform
/// leaves them), colour is kept. out is only changed on success. Warnings
/// of the JPEG library (extraneous bytes, a stream cut short) do not stop it.
int transformJpeg(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out, int code);

/// The largest image (width × height) transformJpeg accepts. Far above any
/// EXIF thumbnail; it bounds the memory a forged header can make the
/// transform allocate.
inline constexpr std::uint64_t kMaxTransformPixels = 4096ull * 4096ull;

}  // namespace tagora
