// The albums of an image folder as the folder tree and the album run see
// them: the folder itself and each of its immediate subfolders, whether they
// hold pictures, whether they are ticked, and the menu page's texts. Reading
// never writes.
#pragma once

#include "app/settings/per_folder_settings.h"

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirofoto {

/// A picture file's name: its lower-cased name ends in ".jpg", ".jpe" or
/// ".jpeg". Hidden files (a leading ".") never count.
bool isPictureFileName(std::string_view fileName);

/// The picture files of a folder (regular files, hidden ones left out), in
/// the program's name order. When error is given it receives why the folder
/// or one of its picture files could not be looked at (permission, a folder
/// that went away), or nothing.
std::vector<std::string> listPictureFiles(std::string_view folder, std::error_code* error = nullptr);

/// One album: the image folder itself or one of its immediate subfolders.
struct AlbumFolder {
    std::string treeText;  ///< the image folder's full path ending in "/", or the subfolder's name
    std::string key;       ///< the album folder's full path ending in "/"
    bool hasPictures = false;  ///< shown black (true) or grey
    bool ticked = false;       ///< takes part in the album: never when grey
    bool unreadable = false;   ///< the folder could not be read (so it shows grey)
    /// Its entry on the menu page as page text: the stored text as it is,
    /// or the folder's name escaped as text (NameAsPageText).
    std::string linkText;
    /// The tree texts of the other albums whose tick or menu entry the
    /// settings file stores under the same key as this album's ("a=b" and
    /// "a:b"): changing one changes the others.
    std::vector<std::string> sharesSettingsWith;
};

/// Everything the menu page and the album run need to know of an image folder.
struct ImageFolderAlbums {
    std::string imageFolder;         ///< trimmed, ending in "/"; empty for none
    PerFolderSettings settings;      ///< its per-folder settings
    std::vector<AlbumFolder> albums;  ///< the folder itself, then its subfolders in name order
    std::string menuTitle;  ///< page text, like AlbumFolder::linkText
    std::string menuSubtitle;

    /// The ticked albums in the order the run processes them (by tree text).
    std::vector<AlbumFolder> tickedInRunOrder() const;
    /// The keys of the albums that could not be read, for the run to name.
    std::vector<std::string> unreadableFolders() const;
};

/// For each picture of the album (its tree text and folder, ending in "/"),
/// the names of the other pictures of the list whose tick or turn the
/// settings file stores under the same key.
std::vector<std::vector<std::string>> picturesSharingSettings(std::string_view albumText, std::string_view folder,
                                                              const std::vector<std::string>& fileNames);

/// Reads the image folder named by an image-folder box text. A folder that
/// does not exist gives the folder alone, without pictures. A subfolder that
/// is the output folder (outputFolder, by real path: a link to it too) and
/// holds no pictures is no album: it holds the album being made.
ImageFolderAlbums readImageFolderAlbums(std::string_view imageFolderText, std::string_view outputFolder = {});

/// The same albums with only the folders among the keys (AlbumFolder::key):
/// the albums the user saw, whatever came on the disk since.
ImageFolderAlbums onlyAlbumsAmong(ImageFolderAlbums albums, const std::vector<std::string>& keys);

}  // namespace mirofoto
