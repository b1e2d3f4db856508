#include "tests/imaging/jpeg_fixtures.h"

#include "tests/support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <lcms2.h>
#include <stdexcept>
#include <turbojpeg.h>
#include <vector>

namespace imaging_test {
namespace {

std::string be16(std::size_t v) { return {char((v >> 8) & 0xFF), char(v & 0xFF)}; }

// A minimal EXIF APP1: a big-endian TIFF header with one IFD holding the
// orientation tag, padded to the wanted size with a maker-note-like filler.
std::string exifSegment(std::size_t bytes, int orientation) {
    std::string tiff = std::string("MM\0\x2A", 4) + std::string("\0\0\0\x08", 4);
    tiff += be16(1);                                                     // one entry
    tiff += be16(0x0112) + be16(3) + std::string("\0\0\0\x01", 4);       // Orientation, SHORT, 1
    tiff += be16(orientation) + std::string(2, '\0');
    tiff += std::string(4, '\0');                                        // no next IFD
    std::string payload = std::string("Exif\0\0", 6) + tiff;
    if (payload.size() + 2 < bytes) payload += std::string(bytes - 2 - payload.size(), 'x');
    if (payload.size() + 2 > 0xFFFF) throw std::runtime_error("APP1 too large");
    return "\xFF\xE1" + be16(payload.size() + 2) + payload;
}

}  // namespace

std::string makeJpeg(int width, int height, const JpegOptions& options) {
    std::vector<unsigned char> rgb(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(std::size_t(y) * width + x) * 3];
            const bool corner = x < width / 2 && y < height / 2;
            p[0] = corner ? 255 : 128;
            p[1] = corner ? 0 : 128;
            p[2] = corner ? 0 : 128;
        }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int flags = options.progressive ? TJFLAG_PROGRESSIVE : 0;
    const int r = tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size,
                              options.grey ? TJSAMP_GRAY : TJSAMP_420, options.quality, flags);
    std::string jpeg(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(tj);
    if (r != 0) throw std::runtime_error("tjCompress2 failed");
    if (options.exifBytes > 0 || options.orientation != 1)
        jpeg.insert(2, exifSegment(std::max<std::size_t>(options.exifBytes, 40), options.orientation));
    return jpeg;
}

namespace {

// Compresses flat rows of `components` samples; libjpeg's errors end the
// test run, which is what a broken fixture should do.
std::string compressFlat(int width, int height, J_COLOR_SPACE space, const std::vector<unsigned char>& pixel,
                         const std::string& icc) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = int(pixel.size());
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (!icc.empty())
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(icc.data()), unsigned(icc.size()));
    std::vector<unsigned char> row;
    for (int x = 0; x < width; ++x) row.insert(row.end(), pixel.begin(), pixel.end());
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string jpeg(reinterpret_cast<char*>(out), size);
    std::free(out);
    return jpeg;
}

}  // namespace

std::string makeRgbJpegWithProfile(int width, int height, Rgb colour, const std::string& iccProfile) {
    return compressFlat(width, height, JCS_RGB,
                        {static_cast<unsigned char>(colour.r), static_cast<unsigned char>(colour.g),
                         static_cast<unsigned char>(colour.b)},
                        iccProfile);
}

std::string makeCmykJpeg(int width, int height, int c, int m, int y, int k) {
    auto inverted = [](int v) { return static_cast<unsigned char>(255 - v); };
    return compressFlat(width, height, JCS_CMYK, {inverted(c), inverted(m), inverted(y), inverted(k)}, {});
}

namespace {

// The profile's bytes, as an APP2 segment carries them; the profile is closed.
std::string profileBytes(cmsHPROFILE profile) {
    cmsUInt32Number bytes = 0;
    cmsSaveProfileToMem(profile, nullptr, &bytes);
    std::string data(bytes, '\0');
    const bool ok = cmsSaveProfileToMem(profile, data.data(), &bytes);
    cmsCloseProfile(profile);
    if (!ok) throw std::runtime_error("cmsSaveProfileToMem failed");
    return data;
}

}  // namespace

std::string linearRgbProfile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(linear);
    if (!profile) throw std::runtime_error("cmsCreateRGBProfile failed");
    return profileBytes(profile);
}

std::string srgbProfile() {
    return profileBytes(cmsCreate_sRGBProfile());
}

std::string writeJpeg(const std::filesystem::path& file, int width, int height, const JpegOptions& options) {
    testing_support::writeBytes(file, makeJpeg(width, height, options));
    return file.string();
}

Rgb Decoded::at(int x, int y) const {
    const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) + (std::size_t(y) * width + x) * 3;
    return {p[0], p[1], p[2]};
}

Decoded decodeJpeg(const std::filesystem::path& file) {
    Decoded d;
    const std::string bytes = testing_support::readBytes(file);
    if (bytes.empty()) return d;
    tjhandle tj = tjInitDecompress();
    int colourspace = 0;
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (tjDecompressHeader3(tj, data, bytes.size(), &d.width, &d.height, &d.subsampling, &colourspace) == 0) {
        d.rgb.assign(std::size_t(d.width) * d.height * 3, '\0');
        d.ok = tjDecompress2(tj, data, bytes.size(), reinterpret_cast<unsigned char*>(d.rgb.data()), d.width, 0,
                             d.height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(tj);
    return d;
}

bool isRed(Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }
bool isGrey(Rgb c) { return std::abs(c.r - 128) < 20 && std::abs(c.g - 128) < 20 && std::abs(c.b - 128) < 20; }

std::size_t findMarker(std::string_view jpeg, unsigned char marker) {
    std::size_t i = 2;
    while (i + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[i]) == 0xFF) {
        const auto m = static_cast<unsigned char>(jpeg[i + 1]);
        if (m == marker) return i;
        if (m == 0xDA) break;  // entropy-coded data follows
        i += 2 + ((static_cast<unsigned char>(jpeg[i + 2]) << 8) | static_cast<unsigned char>(jpeg[i + 3]));
    }
    return std::string_view::npos;
}

std::string withFrameSize(std::string jpeg, int width, int height) {
    std::size_t sof = std::string::npos;
    for (unsigned char m : {0xC0, 0xC1, 0xC2})
        if ((sof = findMarker(jpeg, m)) != std::string::npos) break;
    if (sof == std::string::npos) throw std::runtime_error("no frame header");
    jpeg.replace(sof + 5, 2, be16(height));
    jpeg.replace(sof + 7, 2, be16(width));
    return jpeg;
}

}  // namespace imaging_test
