// The album run reads shooting dates through Tagora unless a reader is
// injected.
#include "app/albumoutput/album_names.h"
#include "app/util/exif_info.h"
#include "platform/com/creation.h"
#include "tests/albumrun/album_run_fixture.h"

using namespace mirofoto;
using namespace albumrun_testing;

namespace {

class AlbumDates : public AlbumRunTest {
protected:
    void TearDown() override {
        AlbumRunTest::TearDown();
        ReleaseShootingDateReader();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(platform::com::isModuleLoaded(TAGORA_MODULE));
    }
};

}  // namespace

TEST_F(AlbumDates, WithoutAnInjectedReaderTheDatesComeFromTheExifData) {
    photo("a.jpg", 64, 48, "2026:05:03 18:42:10");
    photo("b.jpg", 64, 48);
    AlbumRunRequest r = request({{root, "photos"}});
    r.readShootingDate = nullptr;
    ui.messageAnswers = {platform::MsgResult::No};
    class Quiet : public AlbumRunObserver {} observer;
    const AlbumRunResult result = GenerateAlbum(r, observer);
    ASSERT_TRUE(result.finished);
    const std::string thumbnails = platform::cp932ToUtf8(testing_support::readBytes(
        std::filesystem::path(output) / std::filesystem::path(EncodedName(root)) / "index.htm"));
    EXPECT_NE(thumbnails.find("a.jpg<BR>\r\n2026年05月03日 18時42分<BR>"), std::string::npos) << thumbnails;
    EXPECT_NE(thumbnails.find("b.jpg<BR>\r\n\r\n</SMALL>"), std::string::npos) << thumbnails;
}

TEST_F(AlbumDates, NamesThatAreNotUtf8OrLookLikeMarkupKeepTheirDatesAndShowAsText) {
    photo("\x8E\xCA\x90\x5E.jpg", 64, 48, "2026:05:03 18:42:10");  // "写真.jpg" in Shift_JIS
    photo("<img src=x onerror=alert(1)>.jpg", 64, 48, "2026:05:04 08:00:00");
    AlbumRunRequest r = request({{root, "photos"}});
    r.readShootingDate = nullptr;
    ui.messageAnswers = {platform::MsgResult::No};
    class Quiet : public AlbumRunObserver {} observer;
    ASSERT_TRUE(GenerateAlbum(r, observer).finished);
    const std::filesystem::path album = std::filesystem::path(output) / std::filesystem::path(EncodedName(root));
    const std::string thumbnails = platform::cp932ToUtf8(testing_support::readBytes(album / "index.htm"));
    EXPECT_NE(thumbnails.find("\\x8E&#656;^.jpg<BR>\r\n2026年05月03日 18時42分<BR>"), std::string::npos) << thumbnails;
    EXPECT_NE(thumbnails.find("&lt;img src=x onerror=alert(1)&gt;.jpg<BR>\r\n2026年05月04日 08時00分<BR>"),
              std::string::npos)
        << thumbnails;
    EXPECT_EQ(thumbnails.find("<img"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(album / "EDB28ECA905E_s.jpg"));
    EXPECT_TRUE(std::filesystem::exists(album / "EDB28ECA905E.htm"));
}
