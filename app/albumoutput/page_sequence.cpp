#include "app/albumoutput/page_sequence.h"

namespace mirofoto {

void MenuSequence::addAlbum(std::string_view directory, std::string_view title) {
    if (const PageWriteResult r = m_writer.AddMenuEntry(directory, title); !r) m_problems.push_back(r.message());
}

void MenuSequence::end() {
    if (const PageWriteResult r = m_writer.EndMenuPage(); !r) m_problems.push_back(r.message());
}

AlbumPageSequence::AlbumPageSequence(const AlbumSettings& settings, const BackgroundCopies& copied,
                                     std::string albumFolder, std::string title, std::vector<std::string>& problems)
    : m_settings(settings),
      m_copied(copied),
      m_folder(std::move(albumFolder)),
      m_title(std::move(title)),
      m_problems(problems),
      m_thumbnails(settings, copied) {}

bool AlbumPageSequence::record(const PageWriteResult& r) {
    if (!r) m_problems.push_back(r.message());
    return static_cast<bool>(r);
}

void AlbumPageSequence::begin() {
    m_thumbnailsOk = record(m_thumbnails.BeginThumbnailPage(m_folder, m_title, m_settings.columns));
}

void AlbumPageSequence::addPicture(const std::vector<AlbumImage>& images, int index) {
    if (m_thumbnailsOk) m_thumbnailsOk = record(m_thumbnails.AddThumbnailCell(index, images[index]));
    record(WriteEnlargedPage(m_settings, m_copied, m_folder, m_title, images, index));
}

void AlbumPageSequence::stopAfter(const std::vector<AlbumImage>& images, std::size_t made) {
    if (made == 0 || made >= images.size()) return;
    const std::vector<AlbumImage> shown(images.begin(), images.begin() + static_cast<std::ptrdiff_t>(made));
    record(WriteEnlargedPage(m_settings, m_copied, m_folder, m_title, shown, static_cast<int>(made) - 1));
}

void AlbumPageSequence::end() {
    if (m_thumbnailsOk) record(m_thumbnails.EndThumbnailPage());
}

}  // namespace mirofoto
