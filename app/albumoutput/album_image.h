// One picture of an album as the page writers see it.
#pragma once

#include "app/util/date_time.h"

#include <optional>
#include <string>

namespace mirofoto {

/// The pixel size of a copy as it stands in the album directory, and whether
/// its twice-as-large companion stands beside it. A width of 0: not known
/// (the copy could not be made or read).
struct CopySize {
    int width = 0;
    int height = 0;
    bool twice = false;

    bool operator==(const CopySize&) const = default;
};

/// A picture of an album: its names in the album directory, and the date and
/// comment its captions show. makeAlbumImages() fills the names; the album
/// run adds date and comment as it reaches the picture.
struct AlbumImage {
    std::string listedName;         ///< the file name as listed in its folder (UTF-8)
    std::string encodedName;        ///< EncodedName(listedName)
    std::string thumbnailFileName;  ///< "<stem>_s.jpg"
    std::string enlargedFileName;   ///< "<stem>_l.jpg"
    std::string pageStem;           ///< the picture's page is pageStem + ".htm"
    std::optional<DateTime> shootingDate;
    std::string comment;  ///< the JPEG comment, possibly empty (UTF-8)
    CopySize thumbnailSize;  ///< filled by the run for the HTML5 pages only
    CopySize enlargedSize;

    /// The file name of the picture's own page.
    std::string pageFileName() const { return pageStem + ".htm"; }

    bool operator==(const AlbumImage&) const = default;
};

}  // namespace mirofoto
