// ReadShootingDate: the DateTimeOriginal of real EXIF files, read through
// the registered Tagora control, and the empty text for everything else.
#include "app/util/exif_info.h"
#include "app/util/jpeg_info.h"
#include "platform/com/creation.h"
#include "tagora_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <thread>

using namespace mirofoto;
using exif_fixture::Field;
using testing_support::writeBytes;

namespace {

class ShootingDate : public ::testing::Test {
protected:
    void TearDown() override {
        // The reader keeps its control until told; then the module may go.
        ReleaseShootingDateReader();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(platform::com::isModuleLoaded(TAGORA_MODULE));
    }
    std::string file(const std::string& bytes, const std::string& name = "photo.jpg") {
        writeBytes(m_dir / name, bytes);
        return m_dir.str(name);
    }
    std::string dateOf(const std::vector<Field>& sub) { return ReadShootingDate(file(tagora_files::fileWithSubFields(sub))); }

    testing_support::TempDir m_dir;
};

}  // namespace

TEST_F(ShootingDate, ReadFromFilesOfEitherByteOrder) {
    EXPECT_EQ(ReadShootingDate(file(tagora_files::fullFile(true), "le.jpg")), "2004/05/06 12:34:56");
    EXPECT_EQ(ReadShootingDate(file(tagora_files::fullFile(false), "be.jpg")), "2004/05/06 12:34:56");
    EXPECT_EQ(ReadShootingDate(file(tagora_files::fileWithSubFields({Field::ascii(36867, "1999:12:31 23:59:59")}, false,
                                                                    false),
                                    "exif-only.jpg")),
              "1999/12/31 23:59:59");
    // Spaces around the text are trimmed; the file name may be Japanese.
    EXPECT_EQ(ReadShootingDate(file(tagora_files::fileWithSubFields({Field::ascii(36867, " 2010:01:02 03:04:05 ")}),
                                    "写真.jpg")),
              "2010/01/02 03:04:05");
}

TEST_F(ShootingDate, AnEmptyOrInvalidDateGivesNothing) {
    EXPECT_EQ(dateOf({Field::ascii(36867, "")}), "");
    EXPECT_EQ(dateOf({Field::bytes(36867, 2, "")}), "");
    EXPECT_EQ(dateOf({Field::ascii(36867, "0000:00:00 00:00:00")}), "");
    EXPECT_EQ(dateOf({Field::ascii(36867, "2004:02:30 12:00:00")}), "");
    EXPECT_EQ(dateOf({Field::ascii(36867, "2004:05:06 25:00:00")}), "");
    EXPECT_EQ(dateOf({Field::ascii(36867, "yesterday")}), "");
    // A date of another type: its text is numbers, no date.
    EXPECT_EQ(dateOf({Field::longs(36867, {2004})}), "");
}

TEST_F(ShootingDate, OnlyTheFirstOriginalDateOfTheSubDirectoryCounts) {
    // Other date tags are not consulted.
    EXPECT_EQ(dateOf({Field::ascii(36868, "2004:05:06 12:34:56"), Field::ascii(306, "2004:05:06 12:34:56")}), "");
    // The walk stops at the first tag 36867, whatever it holds.
    EXPECT_EQ(dateOf({Field::ascii(36867, "not a date"), Field::ascii(36867, "2004:05:06 12:34:56")}), "");
    EXPECT_EQ(dateOf({Field::ascii(36864, "0220"), Field::ascii(36867, "2001:02:03 04:05:06"),
                      Field::ascii(36867, "garbage")}),
              "2001/02/03 04:05:06");
    // In the main directory it is not found.
    exif_fixture::TiffBuilder b(true);
    b.setIfd0(b.addDirectory({Field::ascii(36867, "2004:05:06 12:34:56")}));
    EXPECT_EQ(ReadShootingDate(file(exif_fixture::jpegFile(exif_fixture::exifSegment(b.bytes())), "main.jpg")), "");
}

TEST_F(ShootingDate, FilesWithoutADateGiveNothingAndSayWhy) {
    ASSERT_EQ(::mkfifo(m_dir.str("fifo.jpg").c_str(), 0600), 0);
    const std::string notLoaded = "EXIF を読み込めません: ";
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {file(tagora_files::jfifOnlyFile(), "jfif.jpg"), "撮影日時 (DateTimeOriginal) がありません"},
        {file(tagora_files::fileWithSubFields({Field::ascii(36867, "yesterday")}), "word.jpg"),
         "撮影日時が日付ではありません: \"yesterday\""},
        {m_dir.str("missing.jpg"), notLoaded + "fopen error: No such file or directory"},
        {m_dir.str(), notLoaded + "fopen error: a folder, not a file"},
        {m_dir.str("fifo.jpg"), notLoaded + "fopen error: not a regular file"},  // never waited on
        {file("not a picture", "text.jpg"), notLoaded + "File format error"},
        {file("\xFF\xD8\xFF", "cut.jpg"), notLoaded + "the data ends at offset 3 inside a segment header; LoadMarker error"},
        {"", notLoaded + "fopen error: No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string why = "stale";
        EXPECT_EQ(ReadShootingDate(c.path, &why), "") << c.path;
        EXPECT_EQ(why, c.reason) << c.path;
    }
    std::string why = "stale";
    EXPECT_EQ(ReadShootingDate(file(tagora_files::fullFile(true)), &why), "2004/05/06 12:34:56");
    EXPECT_EQ(why, "");
}

TEST_F(ShootingDate, ANameThatIsNotUtf8KeepsItsDate) {
    // A camera file copied under its Shift_JIS name "写真.jpg".
    const std::string bytes = tagora_files::fullFile(true);
    EXPECT_EQ(ReadShootingDate(file(bytes, "\x8E\xCA\x90\x5E.jpg")), "2004/05/06 12:34:56");
    EXPECT_EQ(ReadShootingDate(file(bytes, "\x8F\xCA\x90\x5E.jpg")), "2004/05/06 12:34:56");
    std::string why;
    EXPECT_EQ(ReadShootingDate(m_dir.str("\x8E\xCA.jpg"), &why), "");
    EXPECT_EQ(why, "EXIF を読み込めません: fopen error: No such file or directory");
}

TEST_F(ShootingDate, SurvivesANewCommentInAJfifAndExifFile) {
    const std::string path = file(tagora_files::fullFile(true));
    ASSERT_EQ(ReadShootingDate(path), "2004/05/06 12:34:56");
    ASSERT_TRUE(WriteJpegComment(path, "夏休み"));
    EXPECT_EQ(ReadJpegComment(path), "夏休み");
    EXPECT_EQ(ReadShootingDate(path), "2004/05/06 12:34:56");
    // The comment stands behind both application segments.
    const std::string bytes = testing_support::readBytes(path);
    const std::size_t app1 = bytes.find("\xFF\xE1");
    ASSERT_NE(app1, std::string::npos);
    const std::size_t app1Length = std::size_t(std::uint8_t(bytes[app1 + 2])) << 8 | std::uint8_t(bytes[app1 + 3]);
    EXPECT_EQ(bytes.substr(app1 + 2 + app1Length, 2), "\xFF\xFE");
}

TEST_F(ShootingDate, WithoutTagoraTheDateIsEmptyAndSaidOnce) {
    const std::string path = file(tagora_files::fullFile(true));
    ReleaseShootingDateReader();
    const char* old = std::getenv("MIROFOTO_REGISTRY");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("MIROFOTO_REGISTRY", m_dir.str("empty-registry.ini").c_str(), 1);
    testing::internal::CaptureStderr();
    const std::string first = ReadShootingDate(path);
    const std::string second = ReadShootingDate(path);
    const std::string said = testing::internal::GetCapturedStderr();
    if (saved) ::setenv("MIROFOTO_REGISTRY", saved->c_str(), 1);
    else ::unsetenv("MIROFOTO_REGISTRY");
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "");
    EXPECT_NE(said.find("Tagora.ExifCtl を作成できません"), std::string::npos) << said;
    EXPECT_EQ(said.find("作成できません"), said.rfind("作成できません")) << said;
    // With what to run about it.
    EXPECT_NE(said.find("regsvr " TAGORA_MODULE), std::string::npos) << said;
    // Once registered again, the next call creates the control.
    EXPECT_EQ(ReadShootingDate(path), "2004/05/06 12:34:56");
}

TEST_F(ShootingDate, EachThreadKeepsAControlOfItsOwn) {
    const std::string path = file(tagora_files::fullFile(false));
    ASSERT_EQ(ReadShootingDate(path), "2004/05/06 12:34:56");
    std::string other;
    std::thread([&] { other = ReadShootingDate(path); }).join();
    EXPECT_EQ(other, "2004/05/06 12:34:56");
    // The other thread's control went with it; this thread's is still held.
    CoFreeUnusedLibraries();
    EXPECT_TRUE(platform::com::isModuleLoaded(TAGORA_MODULE));
}
