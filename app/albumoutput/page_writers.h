// The HTML of a generated album: the menu page, one thumbnail page per album
// and one page per picture. Pages are CP932 text with CR LF line ends, one
// element per line; characters CP932 lacks become numeric character
// references. Titles, comments and free blocks are inserted as they are, so
// they may carry markup of their own; names of files and folders are text
// (NameAsPageText).
#pragma once

#include "app/albumoutput/album_image.h"
#include "platform/atomic_file.h"
#include "app/settings/album_settings.h"

#include <array>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirofoto {

/// Per page kind (indexed by PageKind): whether the run copied the kind's
/// background image into the output folder's "images" folder.
using BackgroundCopies = std::array<bool, 3>;

/// The outcome of a page operation: the page concerned and, when it could
/// not be written, why.
struct PageWriteResult {
    std::string path;
    std::error_code error;

    explicit operator bool() const { return !error; }
    /// "<path>: <system's description>" (a path that is not UTF-8 shown
    /// escaped), or the empty text on success.
    std::string message() const;
};

/// A file or folder name as page text: shown as it is, never as markup
/// ("<", ">" and "&" become "&lt;", "&gt;" and "&amp;"), with the bytes of a
/// name that is not UTF-8 shown as "\xNN" rather than dropped. The page's
/// CP932 conversion comes after, so its character references stay single.
std::string NameAsPageText(std::string_view name);

/// The colour as six upper-case hexadecimal digits RRGGBB (the value holds
/// red in its low byte; anything above the low three bytes is dropped).
std::string HtmlColour(Colour colour);

/// The width of one thumbnail cell in percent: 100 divided by the column
/// count, integer part (a count below 1 counts as 1).
int cellWidthPercent(int columns);

/// Appends the head shared by all page kinds to the page text (UTF-8, CR LF
/// line ends): the document start, title, style block, body line, the
/// opening content division and free block 1 of the kind. backgroundCopied
/// says whether the kind's background image was copied for the run.
void WritePageHead(std::string& page, const AlbumSettings& settings, PageKind kind, std::string_view title,
                   bool backgroundCopied);

/// The menu page of a run ("index.htm" in the output folder). It is written
/// to a temporary file and appears under its name only at EndMenuPage().
/// After a failure every later call returns the same failure; destroying an
/// unfinished writer leaves any earlier menu page untouched.
class MenuPageWriter {
public:
    explicit MenuPageWriter(AlbumSettings settings);

    /// Starts the page: head, title, subtitle, free block 2, table start.
    PageWriteResult BeginMenuPage(std::string_view outputFolder, std::string_view menuTitle,
                                  std::string_view subtitle, const BackgroundCopies& copied);
    /// One row linking to the album directory's thumbnail page.
    PageWriteResult AddMenuEntry(std::string_view albumDirectory, std::string_view albumTitle);
    /// Finishes the page and puts it in place.
    PageWriteResult EndMenuPage();

private:
    PageWriteResult append(const std::string& utf8);

    AlbumSettings m_settings;
    platform::AtomicFile m_file;
};

/// The thumbnail page of one album ("index.htm" in the album directory),
/// written like the menu page: complete or not at all.
class ThumbnailPageWriter {
public:
    ThumbnailPageWriter(AlbumSettings settings, const BackgroundCopies& copied);

    /// Starts the page: head, menu link, album title, free block 2, table
    /// start. albumDirectoryPath is the album directory (with or without a
    /// trailing "/").
    PageWriteResult BeginThumbnailPage(std::string_view albumDirectoryPath, std::string_view albumTitle,
                                       int columns);
    /// The cell of picture index (0-based, in album order), opening and
    /// closing table rows as the column count asks. The picture's file name
    /// is written as text; its comment as it is.
    PageWriteResult AddThumbnailCell(int index, const AlbumImage& image);
    /// Finishes the page and puts it in place.
    PageWriteResult EndThumbnailPage();

private:
    PageWriteResult append(const std::string& utf8);

    AlbumSettings m_settings;
    BackgroundCopies m_copied;
    int m_columns = 1;
    platform::AtomicFile m_file;
};

/// Writes the page of picture index of the album (its pageFileName() in the
/// album directory) completely, with links to the neighbouring pictures'
/// pages.
PageWriteResult WriteEnlargedPage(const AlbumSettings& settings, const BackgroundCopies& copied,
                                  std::string_view albumDirectoryPath, std::string_view albumTitle,
                                  const std::vector<AlbumImage>& images, int index);

}  // namespace mirofoto
