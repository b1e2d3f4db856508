// The names of everything an album run writes: album directories, derived
// pictures and pages. All are ASCII, made from the pictures' and folders'
// own names.
#pragma once

#include "app/albumoutput/album_image.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// UrlEncodeUtf8 of the text with every "%" removed: ASCII letters, digits
/// and the few characters the encoder keeps or produces ("IMG 0001.JPG" gives
/// "IMG+0001.JPG", "写真" gives "E58699E79C9F"). A byte of a name that is not
/// UTF-8 is encoded by its escape U+DC80 + byte ("\x8E" gives "EDB28E").
std::string EncodedName(std::string_view text);

/// The page stem of an encoded picture name: the name without its last four
/// characters ("photo.jpeg" gives "photo."); the empty text for a shorter name.
std::string pageStemOf(std::string_view encodedName);

/// What a picture's stem is followed by in its thumbnail's and its enlarged
/// copy's file names.
inline constexpr std::string_view kThumbnailSuffix = "_s.jpg";
inline constexpr std::string_view kEnlargedSuffix = "_l.jpg";
/// And in the names of their twice-as-large companions (twiceSizeName()).
inline constexpr std::string_view kThumbnail2xSuffix = "_s2x.jpg";
inline constexpr std::string_view kEnlarged2xSuffix = "_l2x.jpg";

/// The name of a copy's twice-as-large companion: "2x" before the ".jpg"
/// ("IMG_s.jpg" gives "IMG_s2x.jpg"). The companions' suffixes differ from
/// every other name the album writes, so they clash with none.
std::string twiceSizeName(std::string_view copyName);

/// The longest file name the album writes (bytes of one path component).
inline constexpr std::size_t kMaxAlbumFileName = 255;

/// The pictures of one album, in processing order, with the names of their
/// thumbnail, enlarged file and page. Each picture keeps the names derived
/// from its encoded name (thumbnail and enlarged file from the encoded name
/// without extension, page from the encoded name without its last four
/// characters) unless they would clash, letters compared without case, with
/// a name an earlier picture keeps, or its page would be the album's
/// "index.htm", or a name would be too long for the file system. Such a
/// picture gets one stem for all three: its name without extension (cut to
/// fit), or that followed by "_2", "_3", ..., the first that clashes with
/// nothing. Dates and comments are left empty.
std::vector<AlbumImage> makeAlbumImages(const std::vector<std::string>& listedNames);

/// The album directory names of the album folder entries of a run, in run
/// order: EncodedName of each entry (a subfolder's name, or the image root's
/// full path with its trailing "/"), unless it clashes, letters compared
/// without case, with an earlier album's directory or with "images" or
/// "index.htm" of the output folder, or is too long; then the name (cut to
/// fit) followed by "_2", "_3", ..., the first that is free.
/// With ownNameIndex set, that entry (the image root's full path) is named
/// from its last folder name instead, and only after every other entry has
/// its name, so that no other album's directory changes because of it.
std::vector<std::string> makeAlbumDirectoryNames(const std::vector<std::string>& entries,
                                                 std::size_t ownNameIndex = static_cast<std::size_t>(-1));

}  // namespace mirofoto
