// The text of every page kind, compared byte for byte with pages written by
// hand from the page rules (tests/data/pages).
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/page_writers.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace mirofoto;
using testing_support::dataPath;
using testing_support::readBytes;
using testing_support::TempDir;

namespace {

constexpr BackgroundCopies kNoCopies{false, false, false};

void expectGolden(const std::filesystem::path& written, std::string_view golden) {
    const std::string expected = readBytes(dataPath(std::string("pages/") + std::string(golden)));
    ASSERT_FALSE(expected.empty()) << golden;
    EXPECT_EQ(readBytes(written), expected) << "page differs from " << golden << "\nwritten:\n"
                                             << testing_support::hex(readBytes(written));
}

// An album of five pictures: Japanese names, a ".jpeg", a name CP932 cannot
// hold, a "+"; one picture without date and comment, a comment with markup.
std::vector<AlbumImage> fivePictures() {
    auto images = makeAlbumImages({"IMG 0001.JPG", "photo.jpeg", "写真.jpg", "café.jpg", "a+b.jpg"});
    images[0].shootingDate = DateTime{2023, 8, 1, 9, 5, 0};
    images[0].comment = "海辺にて";
    images[2].shootingDate = DateTime{2023, 12, 31, 23, 59, 59};
    images[2].comment = "<B>太字</B>";
    images[3].shootingDate = DateTime{2024, 2, 29, 0, 0, 0};
    images[3].comment = "Café au lait";
    images[4].shootingDate = DateTime{2001, 1, 2, 3, 4, 5};
    images[4].comment = "最後";
    return images;
}

// Settings of the one-picture album: own colours and a copied background
// on the thumbnail page, a background image that was not copied on the
// enlarged page, free blocks with line breaks, some captions switched off.
AlbumSettings onePictureSettings() {
    AlbumSettings s = AlbumSettings::defaults();
    s.thumbShowFileName = 0;
    s.largeShowDate = 0;
    s.largeShowComment = 0;
    PageStyle& thumbs = s.page(PageKind::Thumbnail);
    thumbs.textColor = 0x123456;
    thumbs.linkColor = thumbs.activeLinkColor = 0x00FF00;
    thumbs.visitedLinkColor = 0x80000005;  // a value with its top byte set
    thumbs.useBackgroundColor = false;
    thumbs.backgroundImage = "/home/u/壁紙/空 #2.png";
    thumbs.htmlAfterBodyStart = "<P>\r\nこんにちは\r\n</P>";
    thumbs.htmlMiddle = "<HR>";
    thumbs.htmlBeforeBodyEnd = "<ADDRESS>\r\n©2024\r\n</ADDRESS>";
    PageStyle& large = s.page(PageKind::Enlarged);
    large.useBackgroundColor = false;
    large.backgroundImage = "/home/u/missing.png";
    large.htmlMiddle = "<DIV>\r\n<P>中央</P>\r\n</DIV>";
    return s;
}

std::vector<AlbumImage> onePicture() {
    auto images = makeAlbumImages({"朝顔.jpg"});
    images[0].shootingDate = DateTime{2010, 10, 10, 10, 10, 10};
    return images;
}

void writeThumbnailPage(const AlbumSettings& settings, const BackgroundCopies& copied, const std::string& dir,
                        std::string_view title, int columns, const std::vector<AlbumImage>& images) {
    ThumbnailPageWriter writer(settings, copied);
    ASSERT_TRUE(writer.BeginThumbnailPage(dir, title, columns));
    for (std::size_t i = 0; i < images.size(); ++i) ASSERT_TRUE(writer.AddThumbnailCell(static_cast<int>(i), images[i]));
    const PageWriteResult r = writer.EndThumbnailPage();
    ASSERT_TRUE(r) << r.message();
    EXPECT_EQ(r.path, dir + "/index.htm");
}

int count(const std::string& text, std::string_view what) {
    int n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) ++n;
    return n;
}

}  // namespace

TEST(HtmlColour, WritesRedGreenBlue) {
    const AlbumSettings defaults = AlbumSettings::defaults();
    const PageStyle& d = defaults.page(PageKind::Menu);
    EXPECT_EQ(HtmlColour(d.textColor), "000080");
    EXPECT_EQ(HtmlColour(d.linkColor), "0000FF");
    EXPECT_EQ(HtmlColour(d.visitedLinkColor), "FF0000");
    EXPECT_EQ(HtmlColour(d.backgroundColor), "C0FFC0");
    EXPECT_EQ(HtmlColour(0x123456), "563412");
    EXPECT_EQ(HtmlColour(0x0080FF), "FF8000");
    EXPECT_EQ(HtmlColour(0), "000000");
    EXPECT_EQ(HtmlColour(0x80000005), "050000");
}

TEST(HtmlColour, CellWidthIsTheIntegerPercent) {
    EXPECT_EQ(cellWidthPercent(1), 100);
    EXPECT_EQ(cellWidthPercent(4), 25);
    EXPECT_EQ(cellWidthPercent(3), 33);
    EXPECT_EQ(cellWidthPercent(7), 14);
    EXPECT_EQ(cellWidthPercent(100), 1);
    EXPECT_EQ(cellWidthPercent(101), 0);
    EXPECT_EQ(cellWidthPercent(999), 0);
    EXPECT_EQ(cellWidthPercent(0), 100);
}

TEST(MenuPage, TwoAlbumsWithDefaultSettings) {
    TempDir out;
    const auto dirs = makeAlbumDirectoryNames({"/home/u/Photos/", "夏"});
    MenuPageWriter writer(AlbumSettings::defaults());
    ASSERT_TRUE(writer.BeginMenuPage(out.str(), "わたしのアルバム", "2023年の写真", kNoCopies));
    ASSERT_TRUE(writer.AddMenuEntry(dirs[0], "Photos"));
    ASSERT_TRUE(writer.AddMenuEntry(dirs[1], "夏"));
    const PageWriteResult r = writer.EndMenuPage();
    ASSERT_TRUE(r) << r.message();
    EXPECT_EQ(r.path, out.str("index.htm"));
    expectGolden(out / "index.htm", "menu-two.htm");
}

TEST(MenuPage, BackgroundImageFreeBlocksAndUnrepresentableCharacters) {
    TempDir out;
    AlbumSettings s = AlbumSettings::defaults();
    PageStyle& menu = s.page(PageKind::Menu);
    menu.textColor = 0;
    menu.linkColor = menu.activeLinkColor = 0xFFFFFF;
    menu.visitedLinkColor = 0x0080FF;
    menu.useBackgroundColor = false;
    menu.backgroundImage = "/srv/pics/sky.jpg";
    menu.htmlAfterBodyStart = "<MARQUEE>ようこそ</MARQUEE>";
    menu.htmlMiddle = "<P>\r\n説明\r\n</P>";
    menu.htmlBeforeBodyEnd = "<SMALL>更新 😀</SMALL>";
    // The other kinds' settings must not leak into the menu page.
    s.page(PageKind::Thumbnail).htmlMiddle = "wrong block";
    MenuPageWriter writer(s);
    ASSERT_TRUE(writer.BeginMenuPage(out.str() + "/", "旅の記録 €", "", {true, false, false}));
    ASSERT_TRUE(writer.AddMenuEntry("trip", "旅 <I>1</I>"));
    ASSERT_TRUE(writer.EndMenuPage());
    expectGolden(out / "index.htm", "menu-styled.htm");
}

TEST(ThumbnailPage, FivePicturesInFourColumns) {
    TempDir out;
    writeThumbnailPage(AlbumSettings::defaults(), kNoCopies, out.str(), "夏休み 2023", 4, fivePictures());
    expectGolden(out / "index.htm", "thumbs-five-four.htm");
}

TEST(ThumbnailPage, OnePictureInOneColumnWithOwnStyle) {
    TempDir out;
    writeThumbnailPage(onePictureSettings(), {false, true, false}, out.str(), "花 & 草 ✿", 1, onePicture());
    expectGolden(out / "index.htm", "thumbs-one-one.htm");
}

TEST(ThumbnailPage, RowsOpenAndCloseWithTheColumnCount) {
    TempDir out;
    const auto images = makeAlbumImages({"1.jpg", "2.jpg", "3.jpg", "4.jpg"});
    writeThumbnailPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", 2, images);
    std::string page = readBytes(out / "index.htm");
    EXPECT_EQ(count(page, "<TR>\r\n"), 2);
    EXPECT_EQ(count(page, "</TR>\r\n"), 2);
    EXPECT_NE(page.find("</TD>\r\n</TR>\r\n</TABLE>\r\n"), std::string::npos);
    EXPECT_EQ(count(page, "<TD WIDTH='50%'>"), 4);

    // A column count below one would leave no place for a cell: one per row.
    writeThumbnailPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", 0, images);
    page = readBytes(out / "index.htm");
    EXPECT_EQ(count(page, "<TR>\r\n"), 4);
    EXPECT_EQ(count(page, "</TR>\r\n"), 4);
    EXPECT_EQ(count(page, "<TD WIDTH='100%'>"), 4);
}

TEST(ThumbnailPage, AnAlbumWithoutPicturesHasAnEmptyTable) {
    TempDir out;
    writeThumbnailPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", 4, {});
    const std::string page = readBytes(out / "index.htm");
    EXPECT_NE(page.find("<TABLE BORDER='1' CLASS='MIROFOTO'>\r\n</TABLE>\r\n"), std::string::npos);
    EXPECT_EQ(page.substr(page.size() - 9), "</HTML>\r\n");
}

TEST(ThumbnailPage, RenamedPicturesAreLinkedUnderTheirNewNames) {
    TempDir out;
    const auto images = makeAlbumImages({"x.jpg", "X.JPG", "index.jpg"});
    writeThumbnailPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", 4, images);
    const std::string page = readBytes(out / "index.htm");
    EXPECT_EQ(count(page, "HREF='./x.htm'"), 1);
    EXPECT_EQ(count(page, "HREF='./X_2.htm'"), 1);
    EXPECT_EQ(count(page, "<IMG SRC='./X_2_s.jpg'>"), 1);
    EXPECT_EQ(count(page, "HREF='./index_2.htm'"), 1);
    EXPECT_EQ(count(page, "HREF='./index.htm'"), 0);
    EXPECT_NE(page.find("X.JPG<BR>"), std::string::npos);  // the caption keeps the listed name
}

TEST(EnlargedPage, FirstMiddleAndLastOfFive) {
    TempDir out;
    const auto images = fivePictures();
    const AlbumSettings s = AlbumSettings::defaults();
    for (int i = 0; i < 5; ++i) {
        const PageWriteResult r = WriteEnlargedPage(s, kNoCopies, out.str(), "夏休み 2023", images, i);
        ASSERT_TRUE(r) << r.message();
        EXPECT_EQ(r.path, out.str(images[static_cast<std::size_t>(i)].pageFileName()));
    }
    expectGolden(out / "IMG+0001.htm", "enlarged-five-first.htm");
    expectGolden(out / "photo..htm", "enlarged-five-second.htm");
    expectGolden(out / "a2Bb.htm", "enlarged-five-last.htm");
}

TEST(EnlargedPage, TheOnlyPictureOfAnAlbum) {
    TempDir out;
    const PageWriteResult r =
        WriteEnlargedPage(onePictureSettings(), {false, true, false}, out.str() + "/", "花 & 草 ✿", onePicture(), 0);
    ASSERT_TRUE(r) << r.message();
    expectGolden(out / "E69C9DE9A194.htm", "enlarged-one.htm");
}

TEST(EnlargedPage, NeighbourLinksFollowRenamedPictures) {
    TempDir out;
    const auto images = makeAlbumImages({"a+b.jpg", "a2Bb.jpg", "c.jpg"});
    ASSERT_TRUE(WriteEnlargedPage(AlbumSettings::defaults(), kNoCopies, out.str(), "t", images, 1));
    const std::string page = readBytes(out / "a2Bb_2.htm");
    EXPECT_NE(page.find("<A CLASS='MIROFOTO' HREF='./a2Bb.htm'>"), std::string::npos);
    EXPECT_NE(page.find("<A CLASS='MIROFOTO' HREF='./c.htm'>"), std::string::npos);
    EXPECT_NE(page.find("<IMG SRC='./a2Bb_2_l.jpg'><BR>"), std::string::npos);
}

TEST(PageHead, BodyLineVariants) {
    AlbumSettings s = AlbumSettings::defaults();
    const auto bodyOf = [&](PageKind kind, bool copied) {
        std::string page;
        WritePageHead(page, s, kind, "t", copied);
        const auto start = page.find("<BODY");
        return page.substr(start, page.find("\r\n", start) - start);
    };
    EXPECT_EQ(bodyOf(PageKind::Menu, true), "<BODY BGCOLOR='#C0FFC0'>");  // colour chosen: no image even if copied
    s.page(PageKind::Menu).useBackgroundColor = false;
    s.page(PageKind::Menu).backgroundImage = "/p/bg.gif";
    s.page(PageKind::Enlarged) = s.page(PageKind::Menu);
    EXPECT_EQ(bodyOf(PageKind::Menu, true), "<BODY BACKGROUND='./images/bg.gif'>");
    EXPECT_EQ(bodyOf(PageKind::Enlarged, true), "<BODY BACKGROUND='../images/bg.gif'>");
    EXPECT_EQ(bodyOf(PageKind::Menu, false), "<BODY>");
    // Characters that would cut the link short are escaped; others stay.
    s.page(PageKind::Menu).backgroundImage = "/p/100% 'a'&b?c#d 背景.png";
    EXPECT_EQ(bodyOf(PageKind::Menu, true), "<BODY BACKGROUND='./images/100%25 %27a%27%26b%3Fc%23d 背景.png'>");
    // The bytes of a name that is not UTF-8 are percent-encoded as they
    // are, so the link still reaches the copy of that name.
    s.page(PageKind::Menu).backgroundImage = "/p/\x8E\xCA\x90\x5E \"q\".png";
    EXPECT_EQ(bodyOf(PageKind::Menu, true), "<BODY BACKGROUND='./images/%8E\xCA\x90^ %22q%22.png'>");
}

TEST(PageText, FileAndFolderNamesAreTextNeverMarkup) {
    const std::pair<std::string, std::string> names[] = {
        {"<img src=x onerror=alert(1)>.jpg", "&lt;img src=x onerror=alert(1)&gt;.jpg"},
        {"amp&amp;.jpg", "amp&amp;amp;.jpg"},
        {"\x8E\xCA\x90\x5E.jpg", "\\x8Eʐ^.jpg"},  // Shift_JIS "写真": shown escaped, not dropped
        {"Tom's \"best\" 写真.jpg", "Tom's \"best\" 写真.jpg"},
    };
    for (const auto& [name, text] : names) EXPECT_EQ(NameAsPageText(name), text);

    // In the pages: the cell and the picture's page (its title too) show the
    // names as text; the album title, typed by the user, stays markup; the
    // CP932 form of "ʐ" is one reference, its "&" not escaped again.
    TempDir out;
    const auto images = makeAlbumImages({names[0].first, names[1].first, names[2].first});
    writeThumbnailPage(AlbumSettings::defaults(), kNoCopies, out.str(), "<B>t</B>", 4, images);
    const std::string thumbs = readBytes(out / "index.htm");
    EXPECT_EQ(count(thumbs, "<img"), 0);
    EXPECT_EQ(count(thumbs, "&lt;img src=x onerror=alert(1)&gt;.jpg<BR>"), 1);
    EXPECT_EQ(count(thumbs, "amp&amp;amp;.jpg<BR>"), 1);
    EXPECT_EQ(count(thumbs, "\\x8E&#656;^.jpg<BR>"), 1);
    EXPECT_EQ(count(thumbs, "<TITLE><B>t</B></TITLE>"), 1);
    ASSERT_TRUE(WriteEnlargedPage(AlbumSettings::defaults(), kNoCopies, out.str(), "<B>t</B>", images, 0));
    const std::string page = readBytes(out / images[0].pageFileName());
    EXPECT_EQ(count(page, "<img"), 0);
    EXPECT_EQ(count(page, "<TITLE><B>t</B> &lt;img src=x onerror=alert(1)&gt;.jpg</TITLE>"), 1);
    EXPECT_EQ(count(page, "&lt;img src=x onerror=alert(1)&gt;.jpg<BR>"), 1);
    // The page of the Shift_JIS name is named by the escapes of its bytes.
    EXPECT_EQ(images[2].pageFileName(), "EDB28ECA905E.htm");
}
