#include "tagora/exif/jpeg_transform.h"

#include <turbojpeg.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace tagora {
namespace {

struct HandleCloser {
    void operator()(void* h) const { tjDestroy(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

}  // namespace

int transformJpeg(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out, int code) {
    int op;
    switch (code) {
    case 1: op = TJXOP_ROT90; break;
    case 2: op = TJXOP_ROT180; break;
    case 3: op = TJXOP_ROT270; break;
    default: return kTransformBadCode;
    }
    if (in.empty() || in.size() > 0xFFFFFFFFul)
        return kTransformBadSource;

    Handle handle(tjInitTransform());
    if (!handle)
        return kTransformWriteFailed;

    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), in.data(), static_cast<unsigned long>(in.size()), &width, &height,
                            &subsamp, &colorspace) != 0)
        return kTransformBadSource;
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxTransformPixels)
        return kTransformBadSource;

    // No TJXOPT_COPYNONE: every APPn and COM segment is carried over. No
    // TJXOPT_TRIM and no TJXOPT_PERFECT: partial edge blocks stay as they
    // are. No TJXOPT_GRAY: colour stays.
    tjtransform xform;
    std::memset(&xform, 0, sizeof xform);
    xform.op = op;
    xform.options = 0;

    unsigned char* dst = nullptr;
    unsigned long dstSize = 0;
    const int rc = tjTransform(handle.get(), in.data(), static_cast<unsigned long>(in.size()), 1, &dst, &dstSize,
                               &xform, 0);
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(dst, [](unsigned char* p) { tjFree(p); });
    if (rc != 0 && tjGetErrorCode(handle.get()) != TJERR_WARNING) {
        const std::string_view why = tjGetErrorStr2(handle.get());
        if (why.find("emory") != std::string_view::npos)
            return kTransformWriteFailed;
        return kTransformBadSource;
    }
    if (!dst || dstSize == 0)
        return kTransformWriteFailed;
    out.assign(dst, dst + dstSize);
    return kTransformOk;
}

}  // namespace tagora
