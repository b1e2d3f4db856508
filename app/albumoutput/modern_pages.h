// The HTML5 pages of an album (page style 1): the same pages, links, texts
// and files as the classic ones, written as UTF-8 HTML5 that reflows from a
// phone to a 4K screen. User texts (titles, link texts, comments, free HTML)
// go in as they are stored, exactly as on the classic pages; names of files
// and folders are text. Every page is written to a temporary file and appears
// under its name only when it is complete.
#pragma once

#include "app/albumoutput/page_writers.h"

#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// The text of a picture's alt attribute: its comment with the markup taken
/// out, else its file name; quotes and stray "&" written so that the
/// attribute holds exactly that text.
std::string pictureAltText(const AlbumImage& image);

/// How many thumbnails of a page are loaded at once rather than lazily: as
/// many rows as a tall first screen shows, of the given columns.
int eagerThumbnails(const AlbumSettings& settings, int columns);

/// The menu page in the HTML5 style.
class ModernMenuPage {
public:
    explicit ModernMenuPage(AlbumSettings settings) : m_settings(std::move(settings)) {}

    PageWriteResult begin(std::string_view outputFolder, std::string_view menuTitle, std::string_view subtitle,
                          const BackgroundCopies& copied);
    PageWriteResult addAlbum(std::string_view albumDirectory, std::string_view albumTitle);
    PageWriteResult end();

private:
    AlbumSettings m_settings;
    platform::AtomicFile m_file;
};

/// The thumbnail page of one album in the HTML5 style.
class ModernThumbnailPage {
public:
    ModernThumbnailPage(AlbumSettings settings, const BackgroundCopies& copied)
        : m_settings(std::move(settings)), m_copied(copied) {}

    PageWriteResult begin(std::string_view albumDirectoryPath, std::string_view albumTitle, int columns);
    /// The cell of picture index; its copies' sizes come from the image.
    PageWriteResult addCell(int index, const AlbumImage& image);
    PageWriteResult end();

private:
    AlbumSettings m_settings;
    BackgroundCopies m_copied;
    int m_columns = 1;
    platform::AtomicFile m_file;
};

/// The page of picture index in the HTML5 style, with the keys and swipes
/// that lead to the neighbouring pages.
PageWriteResult WriteModernEnlargedPage(const AlbumSettings& settings, const BackgroundCopies& copied,
                                        std::string_view albumDirectoryPath, std::string_view albumTitle,
                                        const std::vector<AlbumImage>& images, int index);

}  // namespace mirofoto
