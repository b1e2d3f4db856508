// The album run's page sequence: the menu page across the whole run, and
// for each album its thumbnail page with one cell and one page per picture.
// Every page that cannot be written is listed among the run's problems; a
// thumbnail page stops taking cells at its first failure.
#pragma once

#include "app/albumoutput/modern_pages.h"
#include "app/albumoutput/page_writers.h"

#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// The menu page of the run: begun once, one row per album, ended once. The
/// settings' page style chooses the writer.
class MenuSequence {
public:
    MenuSequence(const AlbumSettings& settings, std::vector<std::string>& problems)
        : m_modern(settings.pageStyle == kModernPages), m_writer(settings), m_modernWriter(settings),
          m_problems(problems) {}

    /// Starts the page; its failure stops the run, so it is returned rather
    /// than listed.
    PageWriteResult begin(const std::string& outputFolder, std::string_view title, std::string_view subtitle,
                          const BackgroundCopies& copied) {
        return m_modern ? m_modernWriter.begin(outputFolder, title, subtitle, copied)
                        : m_writer.BeginMenuPage(outputFolder, title, subtitle, copied);
    }
    void addAlbum(std::string_view directory, std::string_view title);
    void end();

private:
    bool m_modern;
    MenuPageWriter m_writer;
    ModernMenuPage m_modernWriter;
    std::vector<std::string>& m_problems;
};

/// The pages of one album.
class AlbumPageSequence {
public:
    AlbumPageSequence(const AlbumSettings& settings, const BackgroundCopies& copied, std::string albumFolder,
                      std::string title, std::vector<std::string>& problems);

    void begin();
    /// The cell and the page of picture index of the images (whose date and
    /// comment are filled in by then).
    void addPicture(const std::vector<AlbumImage>& images, int index);
    void end();
    /// The run stops after the first made pictures: the last one's page is
    /// written again without the link to a next page that never comes.
    void stopAfter(const std::vector<AlbumImage>& images, std::size_t made);

private:
    bool record(const PageWriteResult& r);

    const AlbumSettings& m_settings;
    const BackgroundCopies& m_copied;
    std::string m_folder;
    std::string m_title;
    std::vector<std::string>& m_problems;
    PageWriteResult writePicturePage(const std::vector<AlbumImage>& images, int index);

    bool m_modern;
    ThumbnailPageWriter m_thumbnails;
    ModernThumbnailPage m_modernThumbnails;
    bool m_thumbnailsOk = true;
};

}  // namespace mirofoto
