// Files whose EXIF APP1 stands behind an ICC profile or an XMP packet, as
// editors and phones write them: the orientation is read by the parser,
// through the Tagora control, and by the command that stores turns from it
// ("EXIFの向きで回転", --auto-turn); the shooting date by the date reader.
#include "app/previews/preview_rules.h"
#include "app/settings/ini_store.h"
#include "app/settings/folder_settings_store.h"
#include "app/util/exif_info.h"
#include "platform/com/creation.h"
#include "tagora/exif/exif.h"
#include "tagora_files.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace mirofoto;
using namespace exif_fixture;
using testing_support::writeBytes;

namespace {

const std::string kIcc = segment(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(400, '\x11'));
const std::string kXmp = segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x:xmpmeta/>");

// A small EXIF block: the orientation in IFD0, the date in IFD Sub.
std::string exifBlock(int orientation, const std::string& date) {
    TiffBuilder b(false);
    const auto sub = b.addDirectory({Field::ascii(36867, date)});
    b.setIfd0(b.addDirectory({Field::shorts(274, {std::uint64_t(orientation)}), Field::longs(34665, {sub})}));
    return exifSegment(b.bytes());
}

class ExifBehindSegments : public ::testing::Test {
protected:
    void TearDown() override {
        ReleaseShootingDateReader();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(platform::com::isModuleLoaded(TAGORA_MODULE));
    }
    std::string file(const std::string& name, const std::string& bytes) {
        writeBytes(m_photos / name, bytes);
        return folder() + name;
    }
    std::string folder() const { return m_photos.str() + "/"; }

    ProgramHome m_home;
    testing_support::TempDir m_photos;
};

}  // namespace

TEST_F(ExifBehindSegments, EveryOrientationIsFoundWithOrWithoutAnIccProfileFirst) {
    std::vector<std::string> names;
    for (int o = 1; o <= 8; ++o) {
        const bool icc = o % 2 == 0;
        const std::string name = "o" + std::to_string(o) + ".jpg";
        names.push_back(name);
        const std::string path = file(name, jpegFile(jfifSegment() + (icc ? kIcc : "") + exifBlock(o, "2024:03:05 06:07:08")));
        tagora::Exif parsed;
        ASSERT_TRUE(parsed.load(path)) << name;
        const auto tag = parsed.ifdMain()->find(274);
        ASSERT_TRUE(tag) << name;
        EXPECT_EQ(tag->valueString(), std::to_string(o)) << name;
        EXPECT_EQ(parsed.markerCount(), icc ? 1u : 2u) << name;
        EXPECT_EQ(ReadExifOrientation(path), o) << name;
    }
    FolderSettingsStore settings(m_photos.str());
    const auto stored = settings.storeTurnsFromOrientation(folder(), names,
                                                  [](const std::string& path) { return ReadExifOrientation(path); });
    EXPECT_EQ(stored, (std::vector<std::string>{folder() + "o3.jpg", folder() + "o6.jpg", folder() + "o8.jpg"}));
    for (const auto& [name, turn] : std::vector<std::pair<std::string, std::string>>{
             {"o3.jpg", "180"}, {"o6.jpg", "90"}, {"o8.jpg", "270"}, {"o2.jpg", ""}, {"o5.jpg", ""}})
        EXPECT_EQ(ReadIniValue("回転", folder() + name, 512, settings.file()), turn) << name;
}

TEST_F(ExifBehindSegments, DateAndOrientationAreReadBehindAnXmpApp1) {
    const std::string path = file("xmp.jpg", jpegFile(jfifSegment() + kXmp + exifBlock(6, "2024-3-5 6:07")));
    EXPECT_EQ(ReadShootingDate(path), "2024/03/05 06:07:00");
    EXPECT_EQ(ReadExifOrientation(path), 6);
    // An XMP packet alone carries no EXIF data.
    const std::string xmpOnly = file("xmp-only.jpg", jpegFile(jfifSegment() + kXmp));
    std::string why;
    EXPECT_EQ(ReadShootingDate(xmpOnly, &why), "");
    EXPECT_EQ(why, "撮影日時 (DateTimeOriginal) がありません");
    EXPECT_EQ(ReadExifOrientation(xmpOnly), 0);
}
