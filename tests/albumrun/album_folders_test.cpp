#include "album_run_fixture.h"

#include "app/albumoutput/album_folders.h"

using namespace mirofoto;
using albumrun_testing::AlbumRunTest;
using testing_support::writeBytes;
namespace fs = std::filesystem;

TEST(PictureFileNames, TheJpegEndingsInAnyCase) {
    for (const char* yes : {"a.jpg", "b.JPEG", "c.Jpe", "d.jpeg", "写真.JPG", "x y.jpg"})
        EXPECT_TRUE(isPictureFileName(yes)) << yes;
    for (const char* no : {"a.png", "b.bmp", "c.gif", "d.jpeg.bak", "ejpeg", ".hidden.jpg", "jpg", ""})
        EXPECT_FALSE(isPictureFileName(no)) << no;
}

TEST_F(AlbumRunTest, TheFolderTreeOfAnImageFolder) {
    photo("root.jpg", 32, 32);
    photo("b/x.JPG", 32, 32);
    photo("A/y.jpeg", 32, 32);
    photo("off/z.jpg", 32, 32);
    fs::create_directories(tmp / "photos/grey");
    writeBytes(tmp / "photos/grey/n.png", "x");
    writeBytes(tmp / "photos/file.txt", "x");
    const PerFolderSettings s = stored();
    s.setAlbumTicked("off", false);
    s.setAlbumTicked("grey", true);  // stored, but a grey folder never counts
    s.setMenuEntry(root + "b/", "Bの写真");

    const std::string before = testing_support::readBytes(s.file());
    const ImageFolderAlbums f = readImageFolderAlbums("  " + root.substr(0, root.size() - 1) + "  ");
    EXPECT_EQ(testing_support::readBytes(s.file()), before);  // reading never writes
    EXPECT_EQ(f.imageFolder, root);
    EXPECT_EQ(f.menuTitle, "photos");
    EXPECT_EQ(f.menuSubtitle, "");
    ASSERT_EQ(f.albums.size(), 5u);
    const std::vector<std::string> texts = {f.albums[0].treeText, f.albums[1].treeText, f.albums[2].treeText,
                                            f.albums[3].treeText, f.albums[4].treeText};
    EXPECT_EQ(texts, (std::vector<std::string>{root, "A", "b", "grey", "off"}));
    EXPECT_TRUE(f.albums[0].hasPictures && f.albums[0].ticked);
    EXPECT_EQ(f.albums[0].key, root);
    EXPECT_EQ(f.albums[2].key, root + "b/");
    EXPECT_EQ(f.albums[2].linkText, "Bの写真");
    EXPECT_EQ(f.albums[1].linkText, "A");
    EXPECT_FALSE(f.albums[3].hasPictures);
    EXPECT_FALSE(f.albums[3].ticked);
    EXPECT_TRUE(f.albums[4].hasPictures);
    EXPECT_FALSE(f.albums[4].ticked);

    std::vector<std::string> run;
    for (const auto& a : f.tickedInRunOrder()) run.push_back(a.treeText);
    EXPECT_EQ(run, (std::vector<std::string>{root, "A", "b"}));
}

TEST_F(AlbumRunTest, AMissingImageFolderIsTheFolderAlone) {
    const ImageFolderAlbums f = readImageFolderAlbums(tmp.str("nowhere"));
    ASSERT_EQ(f.albums.size(), 1u);
    EXPECT_FALSE(f.albums[0].hasPictures);
    EXPECT_TRUE(f.tickedInRunOrder().empty());
    EXPECT_TRUE(readImageFolderAlbums("   ").albums.empty());
}

TEST_F(AlbumRunTest, FolderNamesStandingInForMenuTextsAreText) {
    photo("a&b <i>/x.jpg", 32, 32);
    photo("typed/y.jpg", 32, 32);
    ASSERT_TRUE(stored().setMenuEntry(root + "typed/", "<B>春</B>"));
    const ImageFolderAlbums f = readImageFolderAlbums(root);
    ASSERT_EQ(f.albums.size(), 3u);
    EXPECT_EQ(f.albums[1].linkText, "a&amp;b &lt;i&gt;");
    EXPECT_EQ(f.albums[2].linkText, "<B>春</B>");  // what the user typed may carry markup
}
