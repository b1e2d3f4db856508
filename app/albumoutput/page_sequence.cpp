#include "app/albumoutput/page_sequence.h"

namespace mirofoto {

void MenuSequence::addAlbum(std::string_view directory, std::string_view title) {
    const PageWriteResult r = m_modern ? m_modernWriter.addAlbum(directory, title)
                                       : m_writer.AddMenuEntry(directory, title);
    if (!r) m_problems.push_back(r.message());
}

void MenuSequence::end() {
    const PageWriteResult r = m_modern ? m_modernWriter.end() : m_writer.EndMenuPage();
    if (!r) m_problems.push_back(r.message());
}

AlbumPageSequence::AlbumPageSequence(const AlbumSettings& settings, const BackgroundCopies& copied,
                                     std::string albumFolder, std::string title, std::vector<std::string>& problems)
    : m_settings(settings),
      m_copied(copied),
      m_folder(std::move(albumFolder)),
      m_title(std::move(title)),
      m_problems(problems),
      m_modern(settings.pageStyle == kModernPages),
      m_thumbnails(settings, copied),
      m_modernThumbnails(settings, copied) {}

bool AlbumPageSequence::record(const PageWriteResult& r) {
    if (!r) m_problems.push_back(r.message());
    return static_cast<bool>(r);
}

void AlbumPageSequence::begin() {
    m_thumbnailsOk = record(m_modern ? m_modernThumbnails.begin(m_folder, m_title, m_settings.columns)
                                     : m_thumbnails.BeginThumbnailPage(m_folder, m_title, m_settings.columns));
}

void AlbumPageSequence::addPicture(const std::vector<AlbumImage>& images, int index) {
    if (m_thumbnailsOk)
        m_thumbnailsOk = record(m_modern ? m_modernThumbnails.addCell(index, images[index])
                                         : m_thumbnails.AddThumbnailCell(index, images[index]));
    record(writePicturePage(images, index));
}

PageWriteResult AlbumPageSequence::writePicturePage(const std::vector<AlbumImage>& images, int index) {
    return m_modern ? WriteModernEnlargedPage(m_settings, m_copied, m_folder, m_title, images, index)
                    : WriteEnlargedPage(m_settings, m_copied, m_folder, m_title, images, index);
}

void AlbumPageSequence::stopAfter(const std::vector<AlbumImage>& images, std::size_t made) {
    if (made == 0 || made >= images.size()) return;
    const std::vector<AlbumImage> shown(images.begin(), images.begin() + static_cast<std::ptrdiff_t>(made));
    record(writePicturePage(shown, static_cast<int>(made) - 1));
}

void AlbumPageSequence::end() {
    if (m_thumbnailsOk) record(m_modern ? m_modernThumbnails.end() : m_thumbnails.EndThumbnailPage());
}

}  // namespace mirofoto
