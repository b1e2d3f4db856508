// The JPEG segment walk over arbitrary bytes, from memory and from a file
// (a memfd read through the file source's window): both walks give the same
// segments and end, every segment lies whole inside the data, segments follow
// each other in order, and each payload reads in full.
#include "platform/jpeg_segments.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

using namespace platform::jpeg;

namespace {

struct Walk {
    std::vector<Segment> segments;
    WalkEnd end = WalkEnd::None;
    std::string text;
};

Walk walk(ByteSource& source) {
    Walk w;
    SegmentWalker walker(source);
    std::uint64_t previousEnd = 2;
    std::string payload;
    while (const auto s = walker.next()) {
        if (s->offset < previousEnd || s->end() > source.size()) __builtin_trap();
        // Only fill bytes (0xFF) stand between two segments.
        for (std::uint64_t at = previousEnd; at < s->offset; ++at) {
            unsigned char b = 0;
            if (!source.read(at, &b, 1) || b != 0xFF) __builtin_trap();
        }
        payload.resize(s->payloadSize());
        if (!source.read(s->payloadOffset(), payload.data(), payload.size())) __builtin_trap();
        previousEnd = s->end();
        w.segments.push_back(*s);
    }
    w.end = walker.end();
    if (w.end == WalkEnd::None) __builtin_trap();
    if (walker.next()) __builtin_trap();  // an ended walk stays ended
    w.text = walker.endText();
    return w;
}

bool same(const Walk& a, const Walk& b) {
    if (a.end != b.end || a.text != b.text || a.segments.size() != b.segments.size()) return false;
    for (std::size_t i = 0; i < a.segments.size(); ++i)
        if (a.segments[i].marker != b.segments[i].marker || a.segments[i].offset != b.segments[i].offset ||
            a.segments[i].length != b.segments[i].length)
            return false;
    return true;
}

int memfd() {
    static const int fd = ::memfd_create("jpeg_segments_fuzzer", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemorySource memory(bytes);
    const Walk inMemory = walk(memory);

    const int fd = memfd();
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    FileSource file;
    if (!file.open(path).empty()) __builtin_trap();
    if (!same(inMemory, walk(file))) __builtin_trap();
    return 0;
}
