// The segment walk and the three readers built on it answer alike for every
// hostile header: the segments the walk returns are the ones each reader
// sees, whether the bytes come from memory or from a file.
#include "app/util/image_size.h"
#include "app/util/jpeg_info.h"
#include "hostile_headers.h"
#include "platform/jpeg_segments.h"
#include "tagora/exif/exif.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using namespace platform::jpeg;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

struct Walked {
    std::string markers;  ///< "E0 E1 DA"
    WalkEnd end = WalkEnd::None;
};

Walked walk(ByteSource& source) {
    Walked w;
    SegmentWalker walker(source);
    while (const auto s = walker.next()) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", s->marker);
        w.markers += (w.markers.empty() ? "" : " ") + std::string(hex);
        EXPECT_LE(s->end(), source.size());
    }
    w.end = walker.end();
    return w;
}

// What each reader gives for one header.
struct Answers {
    bool sized = false;  ///< GetImageSize found 16 x 8
    std::string comment;
    bool loads = false;  ///< Tagora
    std::size_t tagoraMarkers = 0;
    bool date = false;  ///< Tagora's IFD Sub holds DateTimeOriginal

    bool operator==(const Answers&) const = default;
};

Answers answersFor(const std::string& path) {
    Answers a;
    const mirofoto::ImageSizeInfo size = mirofoto::GetImageSize(path, mirofoto::DetectionMode::ByContent);
    a.sized = size.kind == mirofoto::ImageKind::Jpeg && size.width == 16 && size.height == 8;
    EXPECT_TRUE(a.sized || size.kind == mirofoto::ImageKind::NotRecognised);
    a.comment = mirofoto::ReadJpegComment(path);
    tagora::Exif exif;
    a.loads = exif.load(path);
    a.tagoraMarkers = exif.markerCount();
    a.date = exif.ifdSub()->find(tagora::tagid::kDateTimeOriginal) != nullptr;
    return a;
}

std::ostream& operator<<(std::ostream& o, const Answers& a) {
    return o << "{sized " << a.sized << ", comment '" << a.comment << "', loads " << a.loads << ", markers "
             << a.tagoraMarkers << ", date " << a.date << "}";
}

struct Row {
    const char* name;
    const char* markers;
    WalkEnd end;
    Answers answers;
};

const Row kRows[] = {
    {"ordinary", "E0 E1 FE DB C0 DA", WalkEnd::StartOfScan, {true, "abc", true, 2, true}},
    {"fill-bytes", "E0 E1 FE DB C0 DA", WalkEnd::StartOfScan, {true, "abc", true, 2, true}},
    {"cut-frame-header", "E0 E1 FE DB", WalkEnd::Cut, {false, "abc", true, 2, true}},
    {"cut-exif", "E0", WalkEnd::Cut, {false, "", true, 1, false}},
    {"cut-comment", "E0 E1", WalkEnd::Cut, {false, "", true, 2, true}},
    {"length-0", "E0 E1", WalkEnd::BadLength, {false, "", true, 2, true}},
    {"length-1", "E0 E1", WalkEnd::BadLength, {false, "", true, 2, true}},
    {"length-0-first", "", WalkEnd::BadLength, {false, "", false, 0, false}},
    {"large-exif-before-frame", "E1 FE DB C0 DA", WalkEnd::StartOfScan, {true, "abc", true, 1, true}},
    {"scan-before-frame", "E0 E1 DB DA", WalkEnd::StartOfScan, {false, "", true, 2, true}},
    {"ends-after-marker", "E0 E1", WalkEnd::Cut, {false, "", true, 2, true}},
    {"ends-after-segment", "E0 E1", WalkEnd::Cut, {false, "", true, 2, true}},
    {"ends-after-fill", "E0 E1", WalkEnd::Cut, {false, "", true, 2, true}},
    {"start-marker-only", "", WalkEnd::Cut, {false, "", false, 0, false}},
    {"no-marker", "E0 E1", WalkEnd::NoMarker, {false, "", true, 2, true}},
    {"image-end-first", "E0 E1", WalkEnd::EndOfImage, {false, "", true, 2, true}},
};

}  // namespace

TEST(JpegWalk, EveryReaderSeesTheSegmentsTheWalkReturns) {
    const auto headers = hostile_headers::all();
    ASSERT_EQ(headers.size(), std::size(kRows));
    TempDir dir;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const Row& row = kRows[i];
        const auto& h = headers[i];
        SCOPED_TRACE(h.name);
        ASSERT_EQ(h.name, row.name);
        const std::string path = dir.str(h.name + ".jpg");
        writeBytes(path, h.bytes);

        MemorySource memory(h.bytes);
        const Walked inMemory = walk(memory);
        EXPECT_EQ(inMemory.markers, row.markers);
        EXPECT_EQ(inMemory.end, row.end);
        FileSource file;
        ASSERT_EQ(file.open(path), "");
        const Walked inFile = walk(file);
        EXPECT_EQ(inFile.markers, inMemory.markers);
        EXPECT_EQ(inFile.end, inMemory.end);

        const Answers before = answersFor(path);
        EXPECT_EQ(before, row.answers);
        const long found = mirofoto::FindJpegSegment(h.bytes, long(h.bytes.size()) - 1, kComment);
        EXPECT_EQ(found >= 0, !row.answers.comment.empty());

        // Writing a comment works wherever a whole segment follows the start
        // marker, and changes nothing the other readers see.
        const bool writable = std::string(row.markers) != "";
        ASSERT_EQ(mirofoto::WriteJpegComment(path, "新しい"), writable);
        if (!writable) continue;
        Answers after = before;
        after.comment = "新しい";
        EXPECT_EQ(answersFor(path), after);
    }
}

TEST(JpegWalk, EndTextsNameWhereTheHeaderBroke) {
    struct Case {
        std::string bytes;
        const char* text;
    };
    const Case cases[] = {
        {std::string("\xFF\xD8\xFF\xE1\x00\x40" "Exif", 10), "segment FFE1 at offset 2 (length 64) runs past the end of the data at 10"},
        {std::string("\xFF\xD8\xFF\xFE\x00\x01", 6), "segment FFFE at offset 2 has length 1"},
        {"\xFF\xD8\xFF", "the data ends at offset 3 inside a segment header"},
        {std::string("\xFF\xD8\xFF\xFE\x00\x02", 6), "the data ends at offset 6 before the start of scan"},
        {"\xFF\xD8\x12", "no segment marker at offset 2"},
        {"GIF89a", "no JPEG start marker"},
    };
    for (const Case& c : cases) {
        MemorySource source(c.bytes);
        SegmentWalker walker(source);
        while (walker.next()) {
        }
        EXPECT_TRUE(walker.broken());
        EXPECT_EQ(walker.endText(), c.text);
    }
}

TEST(JpegWalk, AnythingButARegularFileIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.str("fifo.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FileSource f;
    EXPECT_EQ(f.open(fifo), "not a regular file");
    EXPECT_EQ(f.open(dir.str()), "a folder, not a file");
    EXPECT_NE(f.open(dir.str("missing.jpg")), "");
    EXPECT_FALSE(f.isOpen());
    tagora::Exif exif;
    EXPECT_FALSE(exif.load(fifo));
    ASSERT_FALSE(exif.diagnostics().empty());
    EXPECT_EQ(exif.diagnostics().back(), "fopen error: not a regular file");
    EXPECT_EQ(mirofoto::ReadJpegComment(fifo), "");
}
