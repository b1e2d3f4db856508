#include "app/util/jpeg_info.h"
#include "platform/codepage.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace mirofoto;
using testing_support::hex;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

std::string segment(unsigned char marker, std::string_view payload) {
    const std::size_t len = payload.size() + 2;
    std::string s = {'\xFF', static_cast<char>(marker), static_cast<char>(len >> 8), static_cast<char>(len & 0xFF)};
    return s + std::string(payload);
}

const std::string kSoi = "\xFF\xD8";
const std::string kJfif = segment(0xE0, std::string("JFIF\0\x01\x02\0\0\x01\0\x01\0\0", 14));
const std::string kExif = segment(0xE1, std::string("Exif\0\0MM\0\x2A\0\0\0\x08", 14));
const std::string kDqt = segment(0xDB, std::string(65, '\x01'));
const std::string kScan = segment(0xDA, std::string("\x01\x01\0\0\x3F\0", 6)) + "\x12\x34\xFF\x00\x56\xFF\xD9";

std::string jpeg(std::initializer_list<std::string> segments) {
    std::string s = kSoi;
    for (const auto& seg : segments) s += seg;
    return s + kScan;
}

}  // namespace

TEST(JpegComment, NewCommentStandsBehindTheLeadingApplicationSegments) {
    TempDir tmp;
    const std::string file = tmp.str("a.jpg");

    // JFIF alone: right behind it, length field 5 for "abc".
    writeBytes(file, jpeg({kJfif, kDqt}));
    ASSERT_TRUE(WriteJpegComment(file, "abc"));
    EXPECT_EQ(readBytes(file), jpeg({kJfif, segment(0xFE, "abc"), kDqt}));

    // JFIF then EXIF: behind both, so the EXIF segment stays in the run of
    // application segments that the date reader walks.
    writeBytes(file, jpeg({kJfif, kExif, kDqt}));
    ASSERT_TRUE(WriteJpegComment(file, "abc"));
    EXPECT_EQ(readBytes(file), jpeg({kJfif, kExif, segment(0xFE, "abc"), kDqt}));

    // No application segment at all: behind the first segment.
    writeBytes(file, jpeg({kDqt, kDqt}));
    ASSERT_TRUE(WriteJpegComment(file, "x"));
    EXPECT_EQ(readBytes(file), jpeg({kDqt, segment(0xFE, "x"), kDqt}));
}

TEST(JpegComment, ReplacingAndRemovingAnExistingComment) {
    TempDir tmp;
    const std::string file = tmp.str("a.jpg");
    writeBytes(file, jpeg({kJfif, segment(0xFE, "old comment"), kDqt}));

    ASSERT_TRUE(WriteJpegComment(file, "新"));
    EXPECT_EQ(readBytes(file), jpeg({kJfif, segment(0xFE, "\x90\x56"), kDqt}));

    ASSERT_TRUE(WriteJpegComment(file, ""));
    EXPECT_EQ(readBytes(file), jpeg({kJfif, kDqt}));

    // Empty text on a file without comment: true, file untouched.
    const auto before = fs::last_write_time(file);
    ASSERT_TRUE(WriteJpegComment(file, ""));
    EXPECT_EQ(readBytes(file), jpeg({kJfif, kDqt}));
    EXPECT_EQ(fs::last_write_time(file), before);
}

TEST(JpegComment, MixedTextAndHalfWidthKatakanaRoundTrip) {
    TempDir tmp;
    const std::string file = tmp.str("a.jpg");
    writeBytes(file, jpeg({kJfif, kDqt}));
    for (const std::string text : {"Sunset 夕焼け", "ｶﾒﾗ ﾃｽﾄ", "ｱ漢ｲ字ｳ", "x"}) {
        ASSERT_TRUE(WriteJpegComment(file, text)) << text;
        EXPECT_EQ(ReadJpegComment(file), text);
    }
}

TEST(JpegComment, RefusedTextsLeaveTheFileUntouched) {
    TempDir tmp;
    const std::string file = tmp.str("a.jpg");
    const std::string original = jpeg({kJfif, segment(0xFE, "keep"), kDqt});
    writeBytes(file, original);

    EXPECT_FALSE(WriteJpegComment(file, "café"));                  // not in CP932
    EXPECT_FALSE(WriteJpegComment(file, std::string(65534, 'a')));  // too long for one segment
    EXPECT_EQ(readBytes(file), original);

    EXPECT_TRUE(WriteJpegComment(file, std::string(65533, 'a')));  // the largest that fits
    EXPECT_EQ(ReadJpegComment(file).size(), 65533u);
}

TEST(JpegComment, NonJpegAndMissingFilesAreRefused) {
    TempDir tmp;
    EXPECT_FALSE(WriteJpegComment(tmp.str("missing.jpg"), "x"));
    EXPECT_EQ(ReadJpegComment(tmp.str("missing.jpg")), "");

    writeBytes(tmp / "png.jpg", "\x89PNG\r\n\x1A\n....");
    EXPECT_FALSE(WriteJpegComment(tmp.str("png.jpg"), "x"));
    EXPECT_EQ(readBytes(tmp / "png.jpg"), "\x89PNG\r\n\x1A\n....");
    EXPECT_EQ(ReadJpegComment(tmp.str("png.jpg")), "");

    // The first segment does not follow the start marker.
    const std::string odd = kSoi + std::string("\x00\x11", 2) + kJfif + kScan;
    writeBytes(tmp / "odd.jpg", odd);
    EXPECT_FALSE(WriteJpegComment(tmp.str("odd.jpg"), "x"));
    EXPECT_EQ(readBytes(tmp / "odd.jpg"), odd);

    writeBytes(tmp / "empty.jpg", "");
    EXPECT_FALSE(WriteJpegComment(tmp.str("empty.jpg"), "x"));
    EXPECT_EQ(ReadJpegComment(tmp.str("empty.jpg")), "");
}

TEST(JpegComment, ReplacementKeepsPermissionsAndLeavesNoTemporaryFile) {
    TempDir tmp;
    const std::string file = tmp.str("a.jpg");
    writeBytes(file, jpeg({kJfif, kDqt}));
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteJpegComment(file, "abc"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(JpegComment, BrokenSegmentsEndTheWalkSafely) {
    TempDir tmp;
    // A comment whose length runs past the end of the file is no segment,
    // for every reader of the header; a new comment goes in before it.
    const std::string cut = kSoi + kJfif + std::string("\xFF\xFE\x00\x40" "abc", 7);
    writeBytes(tmp / "cut.jpg", cut);
    EXPECT_EQ(ReadJpegComment(tmp.str("cut.jpg")), "");
    ASSERT_TRUE(WriteJpegComment(tmp.str("cut.jpg"), "x"));
    EXPECT_EQ(readBytes(tmp / "cut.jpg"), kSoi + kJfif + segment(0xFE, "x") + cut.substr(2 + kJfif.size()));
    // A comment ending in half of a double-byte character loses that half;
    // NUL padding is dropped.
    writeBytes(tmp / "half.jpg", jpeg({segment(0xFE, std::string("\x8E\xCA\x90", 3))}));
    EXPECT_EQ(ReadJpegComment(tmp.str("half.jpg")), "写");
    writeBytes(tmp / "nul.jpg", jpeg({segment(0xFE, std::string("ab\0\0", 4))}));
    EXPECT_EQ(ReadJpegComment(tmp.str("nul.jpg")), "ab");
    // A header cut off by the end of the file.
    writeBytes(tmp / "short.jpg", kSoi + "\xFF\xE0\x00");
    EXPECT_EQ(ReadJpegComment(tmp.str("short.jpg")), "");
    EXPECT_FALSE(WriteJpegComment(tmp.str("short.jpg"), "x"));
    // A first segment whose length runs past the end cannot take a comment.
    writeBytes(tmp / "long.jpg", kSoi + "\xFF\xE0\xFF\xF0" "JFIF");
    EXPECT_FALSE(WriteJpegComment(tmp.str("long.jpg"), "x"));
    EXPECT_EQ(readBytes(tmp / "long.jpg"), kSoi + "\xFF\xE0\xFF\xF0" "JFIF");
}

TEST(FindJpegSegment, WalksSegmentsByTheirLengths) {
    const std::string bytes = jpeg({kJfif, kExif, segment(0xFE, "c"), kDqt});
    const long last = static_cast<long>(bytes.size()) - 1;
    EXPECT_EQ(FindJpegSegment(bytes, last, 0xE0), 2);
    EXPECT_EQ(FindJpegSegment(bytes, last, 0xE1), static_cast<long>(2 + kJfif.size()));
    EXPECT_EQ(FindJpegSegment(bytes, last, 0xFE), static_cast<long>(2 + kJfif.size() + kExif.size()));
    EXPECT_EQ(FindJpegSegment(bytes, last, 0xC0), -1);  // the walk ends in the scan data
    EXPECT_EQ(FindJpegSegment(bytes, 1000000, 0xC0), -1);  // an index past the data is not trusted
    EXPECT_EQ(FindJpegSegment("", -1, 0xFE), -1);
}
