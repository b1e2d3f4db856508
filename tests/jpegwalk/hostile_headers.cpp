#include "hostile_headers.h"

#include "exif_fixture.h"

namespace hostile_headers {
namespace {

using exif_fixture::segment;

const std::string kSoi("\xFF\xD8", 2);
const std::string kEoi("\xFF\xD9", 2);

std::string app1(std::size_t padding = 0) {
    return exif_fixture::exifSegment(exif_fixture::cameraTiff(true, exif_fixture::makeJpeg(8, 8)) +
                                     std::string(padding, '\0'));
}
std::string comment() { return segment(0xFE, "abc"); }
std::string dqt() { return segment(0xDB, std::string(65, '\x01')); }
std::string sof() { return segment(0xC0, std::string("\x08\x00\x08\x00\x10\x01\x01\x11\x00", 9)); }
std::string sos() { return segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) + "\x12\x34\xFF\x00\x56"; }

}  // namespace

std::string ordinaryHeader() {
    return kSoi + exif_fixture::jfifSegment() + app1() + comment() + dqt() + sof() + sos() + kEoi;
}

std::vector<Header> all() {
    const std::string jfif = exif_fixture::jfifSegment();
    const std::string fill("\xFF\xFF\xFF", 3);
    const std::string front = kSoi + jfif + app1();
    return {
        {"ordinary", ordinaryHeader()},
        {"fill-bytes", kSoi + fill + jfif + "\xFF" + app1() + fill + comment() + "\xFF" + dqt() + fill + sof() + sos()},
        {"cut-frame-header", front + comment() + dqt() + sof().substr(0, 9)},
        {"cut-exif", kSoi + jfif + app1().substr(0, 60)},
        {"cut-comment", front + comment().substr(0, 5)},
        {"length-0", front + std::string("\xFF\xFE\x00\x00" "abc", 7) + sof() + sos()},
        {"length-1", front + std::string("\xFF\xDB\x00\x01", 4) + comment() + sof() + sos()},
        {"length-0-first", kSoi + std::string("\xFF\xE1\x00\x00", 4) + app1() + sof() + sos()},
        {"large-exif-before-frame", kSoi + app1(60 * 1024) + comment() + dqt() + sof() + sos()},
        {"scan-before-frame", front + dqt() + sos() + comment() + sof()},
        {"ends-after-marker", front + "\xFF\xFE"},
        {"ends-after-segment", front},
        {"ends-after-fill", front + fill},
        {"start-marker-only", kSoi},
        {"no-marker", front + "\x12\x34" + comment() + sof()},
        {"image-end-first", front + kEoi + comment() + sof()},
    };
}

}  // namespace hostile_headers
