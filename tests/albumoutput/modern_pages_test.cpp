// The HTML5 pages: what each page kind carries that the validator and the
// browser tests cannot see by themselves, and the root album's own name.
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/modern_pages.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace mirofoto;
using testing_support::readBytes;
using testing_support::TempDir;

namespace {

constexpr BackgroundCopies kNoCopies{false, false, false};

std::size_t count(const std::string& text, std::string_view needle) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) ++n;
    return n;
}

std::vector<AlbumImage> threePictures() {
    auto images = makeAlbumImages({"a.jpg", "b.jpg", "c.jpg"});
    for (AlbumImage& image : images) image.enlargedSize = {480, 360, false};
    images[1].enlargedSize.twice = true;
    return images;
}

}  // namespace

TEST(PictureAltText, IsTheCommentAsTextElseTheFileName) {
    const struct {
        const char* comment;
        const char* name;
        const char* alt;
    } cases[] = {
        {"海辺の夕日", "a.jpg", "海辺の夕日"},
        {"", "駅 & <海>.jpg", "駅 &amp; &lt;海&gt;.jpg"},
        {"<b>夕日</b> と<br>波", "a.jpg", "夕日 と波"},
        {"   <p> </p>\r\n", "x\"y\".jpg", "x&quot;y&quot;.jpg"},
        {"A & B", "a.jpg", "A &amp; B"},
        {"&amp; &#38; &#x26;", "a.jpg", "&amp; &#38; &#x26;"},
        {"\"引用\"", "a.jpg", "&quot;引用&quot;"},
        {"一行目\r\n二行目", "a.jpg", "一行目 二行目"},
    };
    for (const auto& c : cases) {
        AlbumImage image;
        image.listedName = c.name;
        image.comment = c.comment;
        EXPECT_EQ(pictureAltText(image), c.alt) << c.comment << " / " << c.name;
    }
}

TEST(ModernPages, ThumbnailsOfTheFirstScreenLoadAtOnceTheOthersLazily) {
    TempDir dir;
    AlbumSettings s = AlbumSettings::defaults();
    const int eager = eagerThumbnails(s, 4);
    ASSERT_GE(eager, 4 * 5);  // a 1080-pixel screen of 90-pixel thumbnails
    auto images = makeAlbumImages(std::vector<std::string>(eager + 3, "x.jpg"));
    images[0].thumbnailSize = {120, 90, true};
    ModernThumbnailPage page(s, kNoCopies);
    ASSERT_TRUE(page.begin(dir.str(), "旅行", 4));
    for (int i = 0; i < static_cast<int>(images.size()); ++i) ASSERT_TRUE(page.addCell(i, images[i]));
    ASSERT_TRUE(page.end());
    const std::string html = readBytes(dir / "index.htm");
    EXPECT_EQ(count(html, "loading=\"lazy\""), 3u);
    // Only the picture whose 2x copy stands offers it, with its size.
    EXPECT_EQ(count(html, "srcset="), 1u);
    EXPECT_NE(html.find("<img src=\"./x_s.jpg\" srcset=\"./x_s.jpg 1x, ./x_s2x.jpg 2x\" width=\"120\" height=\"90\""),
              std::string::npos);
    EXPECT_NE(html.find("max-width:" + std::to_string(4 * 134 + 3 * 8) + "px"), std::string::npos);
}

TEST(ModernPages, PicturePagesLinkTheirNeighboursForKeysAndWithoutScripts) {
    TempDir dir;
    const AlbumSettings s = AlbumSettings::defaults();
    const auto images = threePictures();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteModernEnlargedPage(s, kNoCopies, dir.str(), "旅行", images, i));
    const std::string first = readBytes(dir / "a.htm");
    const std::string middle = readBytes(dir / "b.htm");
    const std::string last = readBytes(dir / "c.htm");

    EXPECT_EQ(count(first, "前の画像"), 0u);
    EXPECT_EQ(count(first, "href=\"./b.htm\" data-nav=\"next\""), 1u);
    EXPECT_EQ(count(first, "href=\"./b.htm\""), 2u);  // above and below the picture
    EXPECT_EQ(count(middle, "href=\"./a.htm\" data-nav=\"prev\""), 1u);
    EXPECT_EQ(count(middle, "href=\"./c.htm\" data-nav=\"next\""), 1u);
    EXPECT_EQ(count(middle, "href=\"./index.htm\" data-nav=\"up\""), 1u);
    EXPECT_EQ(count(last, "次の画像"), 0u);
    EXPECT_NE(middle.find("srcset=\"./b_l.jpg 1x, ./b_l2x.jpg 2x\" width=\"480\" height=\"360\""), std::string::npos);
    EXPECT_EQ(count(first, "srcset="), 0u);
    EXPECT_EQ(count(middle, "<script>"), 1u);
    EXPECT_EQ(count(middle, "<script src"), 0u);
    EXPECT_EQ(count(middle, "http"), 0u);
}

TEST(ModernPages, UserTextsGoInAsStoredAndEmptyTitlesStillTitleThePage) {
    TempDir dir;
    AlbumSettings s = AlbumSettings::defaults();
    s.page(PageKind::Menu).htmlMiddle = "<p>中<b>央</b></p>";
    s.page(PageKind::Menu).useBackgroundColor = false;
    s.page(PageKind::Menu).backgroundImage = "/home/u/空 #2.png";
    ModernMenuPage menu(s);
    ASSERT_TRUE(menu.begin(dir.str(), "", "<i>副題</i>", {true, false, false}));
    ASSERT_TRUE(menu.addAlbum("E69785E8A18C", "旅行 &amp; <b>山</b>"));
    ASSERT_TRUE(menu.end());
    const std::string html = readBytes(dir / "index.htm");
    EXPECT_NE(html.find("<title>メニューページ</title>"), std::string::npos);
    EXPECT_EQ(count(html, "<h1>"), 0u);
    EXPECT_NE(html.find("<h2><i>副題</i></h2>"), std::string::npos);
    EXPECT_NE(html.find("<p>中<b>央</b></p>"), std::string::npos);
    EXPECT_NE(html.find("href=\"./E69785E8A18C/index.htm\">旅行 &amp; <b>山</b></a>"), std::string::npos);
    EXPECT_NE(html.find("url(\"./images/%E7%A9%BA%20%232.png\")"), std::string::npos);
}

TEST(AlbumDirectoryNames, TheRootAlbumNamedByItsOwnFolderYieldsToEveryOther) {
    const std::vector<std::string> entries = {"/home/u/旅行/", "旅行", "images", "海"};
    const auto classic = makeAlbumDirectoryNames(entries);
    const auto own = makeAlbumDirectoryNames(entries, 0);
    EXPECT_EQ(own[0], "E69785E8A18C_2");  // "旅行" is the subfolder's
    for (std::size_t i = 1; i < entries.size(); ++i) EXPECT_EQ(own[i], classic[i]) << entries[i];

    EXPECT_EQ(makeAlbumDirectoryNames({"/srv/images/", "a"}, 0)[0], "images_2");
    EXPECT_EQ(makeAlbumDirectoryNames({"/srv/写真 集/"}, 0)[0], "E58699E79C9F+E99B86");
    // The file system's root has no name of its own.
    EXPECT_EQ(makeAlbumDirectoryNames({"/"}, 0), makeAlbumDirectoryNames({"/"}));
}
