#include "app/albumoutput/album_names.h"

#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace mirofoto;

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The stems (thumbnail stem, page stem) of each picture.
std::vector<std::pair<std::string, std::string>> stems(const std::vector<AlbumImage>& images) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const AlbumImage& image : images) {
        const std::string& thumb = image.thumbnailFileName;
        EXPECT_TRUE(thumb.size() >= 6 && thumb.substr(thumb.size() - 6) == "_s.jpg") << thumb;
        const std::string stem = thumb.substr(0, thumb.size() - 6);
        EXPECT_EQ(image.enlargedFileName, stem + "_l.jpg");
        out.emplace_back(stem, image.pageStem);
    }
    return out;
}

using Stems = std::vector<std::pair<std::string, std::string>>;

// Every file the pictures of an album make is distinct from every other and
// from the thumbnail page, letters compared without case.
void expectNoFileIsShared(const std::vector<AlbumImage>& images) {
    std::set<std::string> files{"index.htm"};
    for (const AlbumImage& image : images) {
        for (const std::string& f : {image.thumbnailFileName, image.enlargedFileName, image.pageFileName()}) {
            EXPECT_TRUE(files.insert(lower(f)).second) << f << " is written twice";
            EXPECT_LE(f.size(), kMaxAlbumFileName) << f;
        }
    }
}

}  // namespace

TEST(EncodedName, RemovesThePercentSignsOfTheUrlEncoding) {
    EXPECT_EQ(EncodedName("IMG 0001.JPG"), "IMG+0001.JPG");
    EXPECT_EQ(EncodedName("写真.jpg"), "E58699E79C9F.jpg");
    EXPECT_EQ(EncodedName("a+b.jpg"), "a2Bb.jpg");
    EXPECT_EQ(EncodedName("100%.jpg"), "10025.jpg");
    EXPECT_EQ(EncodedName("/home/u/Photos/"), "2Fhome2Fu2FPhotos2F");
    EXPECT_EQ(EncodedName(""), "");
    // Bytes that are not UTF-8 by their escapes U+DC80 + byte, so that two
    // such names stay apart.
    EXPECT_EQ(EncodedName("\x8E\xCA\x90\x5E.jpg"), "EDB28ECA905E.jpg");
    EXPECT_EQ(EncodedName("\x8F\xCA\x90\x5E.jpg"), "EDB28FCA905E.jpg");
}

TEST(EncodedName, PageStemCutsFourCharacters) {
    EXPECT_EQ(pageStemOf("photo.jpeg"), "photo.");
    EXPECT_EQ(pageStemOf("IMG+0001.JPG"), "IMG+0001");
    EXPECT_EQ(pageStemOf("x.jpe"), "x");
    EXPECT_EQ(pageStemOf("jpeg"), "");
    EXPECT_EQ(pageStemOf("abc"), "");
}

TEST(AlbumImageNames, NamesWithoutClashesAreTheDerivedOnes) {
    const auto images = makeAlbumImages({"IMG 0001.JPG", "photo.jpeg", "写真.jpg", "Foto.JPE", "index.jpeg"});
    ASSERT_EQ(images.size(), 5u);
    EXPECT_EQ(images[0].listedName, "IMG 0001.JPG");
    EXPECT_EQ(images[0].encodedName, "IMG+0001.JPG");
    EXPECT_EQ(images[0].thumbnailFileName, "IMG+0001_s.jpg");
    EXPECT_EQ(images[0].enlargedFileName, "IMG+0001_l.jpg");
    EXPECT_EQ(images[0].pageFileName(), "IMG+0001.htm");
    // The page takes the name without four characters, the pictures the name
    // without extension: for ".jpeg" the two differ, and both are kept.
    EXPECT_EQ(images[1].thumbnailFileName, "photo_s.jpg");
    EXPECT_EQ(images[1].pageFileName(), "photo..htm");
    EXPECT_EQ(images[2].thumbnailFileName, "E58699E79C9F_s.jpg");
    EXPECT_EQ(images[2].pageFileName(), "E58699E79C9F.htm");
    EXPECT_EQ(images[3].thumbnailFileName, "Foto_s.jpg");
    EXPECT_EQ(images[3].pageFileName(), "Foto.htm");
    EXPECT_EQ(images[4].pageFileName(), "index..htm");  // not the album's index.htm
    EXPECT_EQ(images[4].thumbnailFileName, "index_s.jpg");
    EXPECT_FALSE(images[0].shootingDate);
    EXPECT_EQ(images[0].comment, "");
    EXPECT_TRUE(makeAlbumImages({}).empty());
}

TEST(AlbumImageNames, EncodedNamesThatMeetGetDistinctStems) {
    // "a+b" encodes to "a%2Bb" and loses its percent sign.
    EXPECT_EQ(stems(makeAlbumImages({"a+b.jpg", "a2Bb.jpg"})), (Stems{{"a2Bb", "a2Bb"}, {"a2Bb_2", "a2Bb_2"}}));
    EXPECT_EQ(stems(makeAlbumImages({"a2Bb.jpg", "a+b.jpg", "A2BB.jpg"})),
              (Stems{{"a2Bb", "a2Bb"}, {"a2Bb_2", "a2Bb_2"}, {"A2BB_3", "A2BB_3"}}));
}

TEST(AlbumImageNames, NamesDifferingInLetterCaseOrExtensionGetDistinctStems) {
    EXPECT_EQ(stems(makeAlbumImages({"x.jpg", "x.JPG"})), (Stems{{"x", "x"}, {"x_2", "x_2"}}));
    EXPECT_EQ(stems(makeAlbumImages({"X.jpg", "x.jpg"})), (Stems{{"X", "X"}, {"x_2", "x_2"}}));
    // Same thumbnail stem, different pages: the later picture still moves,
    // or its thumbnail would replace the earlier one's.
    EXPECT_EQ(stems(makeAlbumImages({"photo.jpeg", "photo.jpg"})), (Stems{{"photo", "photo."}, {"photo_2", "photo_2"}}));
    EXPECT_EQ(stems(makeAlbumImages({"photo.jpg", "photo.jpeg"})), (Stems{{"photo", "photo"}, {"photo_2", "photo_2"}}));
    EXPECT_EQ(stems(makeAlbumImages({"p.jpg", "p.jpe"})), (Stems{{"p", "p"}, {"p_2", "p_2"}}));
}

TEST(AlbumImageNames, SamePageDifferentThumbnailStillMoves) {
    // "photo..jpg" keeps its thumbnail stem "photo." free, but its page stem
    // "photo." is the page of "photo.jpeg"; the replacement must be free as
    // a page too.
    EXPECT_EQ(stems(makeAlbumImages({"photo.jpeg", "photo..jpg"})),
              (Stems{{"photo", "photo."}, {"photo._2", "photo._2"}}));
}

TEST(AlbumImageNames, APictureCalledIndexDoesNotReplaceTheThumbnailPage) {
    EXPECT_EQ(stems(makeAlbumImages({"index.jpg"})), (Stems{{"index_2", "index_2"}}));
    EXPECT_EQ(stems(makeAlbumImages({"INDEX.JPE", "a.jpg"})), (Stems{{"INDEX_2", "INDEX_2"}, {"a", "a"}}));
    // A file called just "jpeg" would get the hidden page ".htm".
    EXPECT_EQ(stems(makeAlbumImages({"jpeg"})), (Stems{{"jpeg", "jpeg"}}));
}

TEST(AlbumImageNames, ReplacementsNeverTakeAnotherPicturesOwnName) {
    // "x_2.jpg" owns "x_2"; the clash of "X.jpg" with "x.jpg" must go around it.
    EXPECT_EQ(stems(makeAlbumImages({"x.jpg", "X.jpg", "x_2.jpg"})),
              (Stems{{"x", "x"}, {"X_3", "X_3"}, {"x_2", "x_2"}}));
    EXPECT_EQ(stems(makeAlbumImages({"index.jpg", "index_2.jpg"})), (Stems{{"index_3", "index_3"}, {"index_2", "index_2"}}));
}

TEST(AlbumImageNames, TheSameListAlwaysGivesTheSameNames) {
    const std::vector<std::string> names{"b.jpg", "a+b.jpg", "B.JPG", "a2Bb.jpeg", "index.jpg", "b_2.jpg"};
    EXPECT_EQ(makeAlbumImages(names), makeAlbumImages(names));
}

TEST(AlbumImageNames, NamesTooLongForTheFileSystemAreCut) {
    // 50 kanji: 150 bytes of UTF-8, a legal file name, but 300 characters
    // once encoded.
    std::string longName;
    for (int i = 0; i < 50; ++i) longName += "写";
    const auto images = makeAlbumImages({longName + ".jpg", longName + "真.jpg", "short.jpg"});
    const auto s = stems(images);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].first.size(), 249u);
    EXPECT_EQ(s[0].first, std::string(EncodedName(longName)).substr(0, 249));
    EXPECT_EQ(s[0].second, s[0].first);
    // The second name only differs after the cut.
    EXPECT_EQ(s[1].first, std::string(EncodedName(longName)).substr(0, 247) + "_2");
    EXPECT_EQ(s[2], (std::pair<std::string, std::string>{"short", "short"}));
    expectNoFileIsShared(images);
}

TEST(AlbumImageNames, ManyClashesLeaveEveryFileDistinct) {
    const std::vector<std::string> names{
        "a.jpg", "A.JPG", "a.jpeg", "a.jpe", "A.jpe", "a_2.jpg", "a_3.JPG", "index.jpg", "Index.jpeg", "index_2.jpg",
        "a+b.jpg", "a2Bb.jpg", "a b.jpg", "a+b.jpg.jpg", "photo.jpeg", "photo..jpg", "photo.jpg", "写真.jpg", "E58699E79C9F.JPG"};
    const auto images = makeAlbumImages(names);
    ASSERT_EQ(images.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(images[i].listedName, names[i]);
    expectNoFileIsShared(images);
}

TEST(AlbumDirectoryNames, EncodedEntriesIncludingTheRootPath) {
    EXPECT_EQ(makeAlbumDirectoryNames({"/home/u/Photos/", "夏"}),
              (std::vector<std::string>{"2Fhome2Fu2FPhotos2F", "E5A48F"}));
    EXPECT_TRUE(makeAlbumDirectoryNames({}).empty());
}

TEST(AlbumDirectoryNames, ClashingEntriesGetDistinctDirectories) {
    EXPECT_EQ(makeAlbumDirectoryNames({"a+b", "a2Bb"}), (std::vector<std::string>{"a2Bb", "a2Bb_2"}));
    EXPECT_EQ(makeAlbumDirectoryNames({"Trip", "trip", "trip_2"}),
              (std::vector<std::string>{"Trip", "trip_3", "trip_2"}));
}

TEST(AlbumDirectoryNames, TheOutputFoldersOwnNamesAreNotUsed) {
    EXPECT_EQ(makeAlbumDirectoryNames({"images", "Index.htm", "IMAGES_2", "Images"}),
              (std::vector<std::string>{"images_3", "Index.htm_2", "IMAGES_2", "Images_4"}));
    // Nor the names the program keeps for itself there: the run's lock, the
    // records of earlier versions, a temporary file's.
    const std::string temporary = platform::newTemporaryName();
    EXPECT_EQ(makeAlbumDirectoryNames({".mirofoto-run.lock", ".mirofoto-album.record", temporary}),
              (std::vector<std::string>{".mirofoto-run.lock_2", ".mirofoto-album.record_2", temporary + "_2"}));
}

TEST(AlbumDirectoryNames, LongEntriesAreCut) {
    std::string longName;
    for (int i = 0; i < 50; ++i) longName += "夏";
    const auto names = makeAlbumDirectoryNames({longName, longName + "x"});
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], EncodedName(longName).substr(0, 255));
    EXPECT_EQ(names[1], EncodedName(longName).substr(0, 253) + "_2");
}
