// The rules behind the main window's thumbnail and enlarged-image pages that
// need no window: the picture list of an album folder with its cache names,
// the cells' places in twips, the scroll ranges, and the turn an EXIF
// orientation asks for. The windows place their controls where these say.
#pragma once

#include "app/albumoutput/picture_orientation.h"
#include "app/settings/folder_settings_store.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// One picture of the album folder the thumbnail page shows.
struct ImageEntry {
    std::string folder;             ///< the album folder, ending with "/"
    std::string fileName;           ///< the file's name (bytes as listed)
    std::string cacheFolder;        ///< temp folder + CacheFolderName(folder) + "/"
    std::string thumbnailFileName;  ///< stem + "_s.jpg"
    std::string enlargedFileName;   ///< stem + "_l.jpg"
    std::string shootingDate;       ///< "yyyy/mm/dd hh:mm:ss" or empty
    std::string comment;            ///< UTF-8, empty when none
    /// Whether shootingDate and comment were read from the file: a scan
    /// lists the names only, and they follow. Until then their empty texts
    /// say nothing about the file.
    bool detailsRead = false;

    std::string path() const { return folder + fileName; }
    std::string thumbnailPath() const { return cacheFolder + thumbnailFileName; }
    std::string enlargedPath() const { return cacheFolder + enlargedFileName; }
};

/// The name of a folder's cache subfolder: the same for the same folder
/// (with or without its final "/"), different for different paths (letter
/// case and separators count), one valid folder name of at most 80 bytes:
/// a readable part of the folder's own name and a hash of the whole path.
std::string CacheFolderName(std::string_view folder);

/// The entries of the JPEG pictures of a folder, in the program's name
/// order: names and cache names only, no file is opened (dates and
/// comments are read afterwards, with readImageDetails). progress (when
/// given) is called with (done, count) after each picture; a false answer
/// stops the scan (the entries listed so far are returned).
struct ImageScanHooks {
    std::function<bool(int done, int count)> progress;
};
std::vector<ImageEntry> scanImageEntries(std::string_view folder, std::string_view tempFolder,
                                         const ImageScanHooks& hooks = {});

/// A picture's shooting date ("yyyy/mm/dd hh:mm:ss") and comment (UTF-8).
struct ImageDetails {
    std::string shootingDate;
    std::string comment;
    bool operator==(const ImageDetails&) const = default;
};
using DetailsReader = std::function<ImageDetails(const std::string& path)>;
/// Reads them from the file's header segments only: both readers stop at
/// the start of the compressed data and decode no pixel. A missing,
/// unreadable or damaged file gives empty texts. readDate reads the date
/// (ReadShootingDate when empty).
ImageDetails readImageDetails(const std::string& path,
                              const std::function<std::string(const std::string& path)>& readDate = {});

/// The date caption: "yyyy年mm月dd日 hh時nn分", empty for no date.
std::string dateCaption(std::string_view dateText);

/// Rounds half to even, as the window's integer conversions do.
int roundToInt(double value);

// ---- the thumbnail page, in twips ----

/// The first row of cells starts this far below the page's top (below the
/// menu link); a cell's thumbnail this far inside its frame.
inline constexpr int kFirstCellTop = 330;
inline constexpr int kThumbnailInset = 200;

/// The fixed sizes of a cell's small controls.
struct CellControlSizes {
    // The tick and the number end where the thumbnail begins (200 below the
    // frame's top).
    int tickWidth = 300, tickHeight = 200;
    int numberWidth = 600, numberHeight = 200;
    int turnWidth = 330, turnHeight = 300;
    int labelHeight = 300;
    int commentHeight = 330;
};

/// The template cell: thumbnail size (pixels turned into twips), frame and
/// label widths.
struct CellTemplate {
    int thumbWidth = 0;
    int thumbHeight = 0;
    int frameWidth = 0;   ///< thumbnail width + 400
    int frameHeight = 0;  ///< thumbnail height + 1500
    int labelWidth = 0;   ///< frame width − 270
};
CellTemplate cellTemplate(int thumbWidthPixels, int thumbHeightPixels, double twipsPerPixelX, double twipsPerPixelY);

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

/// Every control of cell i for the scroll values (steps of 100 twips). The
/// thumbnail control takes the size of the picture it shows (twips; 0 × 0
/// while it shows none, when it keeps the template's box), and the captions
/// follow its bottom: a wide picture leaves no gap above its name, and one
/// made larger than the template (the options changed) is not cut off.
struct CellLayout {
    Rect frame, tick, number, leftTurn, rightTurn, thumbnail, fileName, date, comment;
};
CellLayout cellLayout(int index, int columns, const CellTemplate& cell, const CellControlSizes& sizes,
                      int vScroll, int hScroll, int pictureWidth = 0, int pictureHeight = 0);
/// The rows of cells that may be in view for the vertical scroll value (steps
/// of 100 twips) and the page's height: from the first row whose thumbnail
/// can still reach into the page to one row past the page's bottom.
struct CellRows {
    int first = 0;
    int last = 0;
};
CellRows cellRowsInView(const CellTemplate& cell, int vScroll, int pageHeight);
/// The page's menu link: left 180 − h, top 120 − v.
Rect thumbnailMenuLink(int width, int height, int vScroll, int hScroll);

/// The two scroll maxima of the thumbnail page. A column count below 1 is
/// taken as 1 and no cells give 0, so neither is ever negative.
struct ScrollMaxima {
    int horizontal = 0;
    int vertical = 0;
};
ScrollMaxima thumbnailScrollMaxima(int count, int columns, const CellTemplate& cell);

/// Whether a thumbnail at top with height stands in a page of pageHeight.
inline bool thumbnailInView(int top, int height, int pageHeight) { return top < pageHeight && top + height > 0; }

// ---- the enlarged-image page, in twips ----

struct EnlargedLayout {
    Rect menuLink, previous, thumbnails, next, picture, fileName, date, comment;
};
/// labelWidth/labelHeight: the links' and captions' sizes.
EnlargedLayout enlargedLayout(int pictureWidth, int pictureHeight, int labelWidth, int labelHeight, int vScroll,
                              int hScroll);

/// 拡大画像スクロールバー調整: a bar is shown only when the picture and the
/// page's margins overflow; the vertical maximum has one step more.
struct EnlargedScroll {
    bool vertical = false;
    int verticalMaximum = 0;
    bool horizontal = false;
    int horizontalMaximum = 0;
};
EnlargedScroll enlargedScroll(int pictureWidth, int pictureHeight, int pageWidth, int pageHeight);

// ---- the placeholder shown while a preview is made ----

/// The pixel size the cached preview of a width x height picture will have
/// in the box, turned as given: what a placeholder takes so that nothing
/// moves when the preview replaces it. 0 x 0 for a picture of no size.
struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};
PixelSize exactPreviewSize(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, const CopyTurn& turn);

/// The part of a width x height image left when whole rows and columns that
/// are black (dark(x, y) for every pixel of them) are cut from its four
/// edges, as cameras pad a thumbnail to a fixed shape. An image that is
/// black throughout keeps its whole size (nothing to tell its shape by).
Rect trimBlackBands(int width, int height, const std::function<bool(int x, int y)>& dark);

/// Whether an embedded thumbnail of that size (after its black bands are
/// cut) shows the picture's proportions, within 2%: one that does not was
/// left behind by an editor that cropped the picture, and must not be
/// shown in its place.
bool embeddedThumbnailFits(int thumbWidth, int thumbHeight, int pictureWidth, int pictureHeight);

/// Loads and starts the image library, so that the first preview does not
/// wait for it. Safe on any thread; does nothing the second time.
void warmUpImageLibrary();

/// Makes a cached preview: the picture fitted into the box at the quality
/// (the fast encoder), then turned by the angle. True when the file was made
/// (and turned).
bool makePreviewFile(const std::string& source, const std::string& destination, int boxWidth, int boxHeight,
                     int quality, int turn);
/// The same, turned as the album's copies are (after the box, or mirrored
/// and turned before it, in one decode and one encode).
bool makePreviewFile(const std::string& source, const std::string& destination, int boxWidth, int boxHeight,
                     int quality, const CopyTurn& turn);

/// How a picture's previews and copies are turned, by the settings: the
/// stored turn (nothing when none), and the EXIF Orientation read with
/// readOrientation (ReadExifOrientation when empty) only when the settings
/// follow it.
CopyTurn previewTurn(const std::string& path, std::optional<int> storedTurn, bool followOrientation,
                     const std::function<int(const std::string& path)>& readOrientation = {});

}  // namespace mirofoto
