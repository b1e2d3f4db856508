#include "app/util/jpeg_header.h"

#include "platform/jpeg_segments.h"

#include <algorithm>
#include <string>

namespace mirofoto {
namespace {

std::uint64_t roundUp(std::uint64_t n, std::uint64_t step) { return (n + step - 1) / step * step; }
std::uint64_t ceilDiv(std::uint64_t n, std::uint64_t d) { return (n + d - 1) / d; }

}  // namespace

bool JpegHeader::buffersWholePicture() const {
    if (!hasFrame) return false;
    return progressive() || (firstScanComponents > 0 && std::size_t(firstScanComponents) < components.size());
}

std::uint64_t JpegHeader::coefficientBytes() const {
    if (!hasFrame || components.empty()) return 0;
    int hMax = 1, vMax = 1;
    for (const Component& c : components) {
        hMax = std::max(hMax, c.horizontal);
        vMax = std::max(vMax, c.vertical);
    }
    std::uint64_t blocks = 0;
    for (const Component& c : components) {
        // As the decoder sizes its buffer: the component's samples in 8 x 8
        // blocks, rounded up to whole sampling units.
        const std::uint64_t across = ceilDiv(ceilDiv(std::uint64_t(width) * c.horizontal, hMax), 8);
        const std::uint64_t down = ceilDiv(ceilDiv(std::uint64_t(height) * c.vertical, vMax), 8);
        blocks += roundUp(across, c.horizontal) * roundUp(down, c.vertical);
    }
    return blocks * 64 * 2;
}

std::uint64_t JpegHeader::decodeMemoryEstimate() const {
    // Without a frame nothing is decoded: the size readers refuse the file.
    if (!hasFrame) return 0;
    const std::uint64_t coefficients = buffersWholePicture() ? coefficientBytes() : 0;
    // The image library reads files up to 64 MiB into memory to decode
    // them, larger ones it streams.
    const std::uint64_t inMemory = std::min<std::uint64_t>(fileSize, std::uint64_t(64) << 20);
    // The decoder reduces by up to 8 on each side; the resampler works on
    // that picture in floating point.
    const std::uint64_t reduced = ceilDiv(width, 8) * ceilDiv(height, 8) * components.size() * 4;
    return coefficients + inMemory + reduced;
}

JpegHeader readJpegHeader(std::string_view path) {
    namespace jpeg = platform::jpeg;
    JpegHeader h;
    jpeg::FileSource file;
    if (!file.open(std::string(path)).empty()) return h;
    h.fileSize = file.size();
    jpeg::SegmentWalker walk(file);
    while (const auto seg = walk.next()) {
        if (seg->marker == jpeg::kStartOfScan) {
            unsigned char count = 0;
            if (seg->payloadSize() >= 1 && file.read(seg->payloadOffset(), &count, 1)) h.firstScanComponents = count;
            continue;  // the walk ends here
        }
        if (++h.segments > jpeg::kMaxHeaderSegments) {
            h.walk = JpegHeader::Walk::TooManySegments;
            return h;
        }
        if (jpeg::isFrameHeader(seg->marker) && !h.hasFrame) {
            // Precision, height, width, component count, then three bytes
            // per component: its id, its sampling factors, its table.
            unsigned char frame[6];
            if (seg->payloadSize() < sizeof frame || !file.read(seg->payloadOffset(), frame, sizeof frame)) break;
            const int count = frame[5];
            if (count < 1 || seg->payloadSize() < sizeof frame + 3u * count) break;
            std::string parts(3u * count, '\0');
            if (!file.read(seg->payloadOffset() + sizeof frame, parts.data(), parts.size())) break;
            h.hasFrame = true;
            h.frameMarker = seg->marker;
            h.precision = frame[0];
            h.height = frame[1] << 8 | frame[2];
            h.width = frame[3] << 8 | frame[4];
            for (int i = 0; i < count; ++i) {
                const auto factors = static_cast<unsigned char>(parts[3u * i + 1]);
                // Factors outside 1 .. 4 make the decoder refuse the file;
                // held to that range they cannot inflate the estimate.
                h.components.push_back({std::clamp(factors >> 4, 1, 4), std::clamp(factors & 0x0F, 1, 4)});
            }
        }
    }
    if (walk.end() == jpeg::WalkEnd::StartOfScan) h.walk = JpegHeader::Walk::Complete;
    return h;
}

}  // namespace mirofoto
