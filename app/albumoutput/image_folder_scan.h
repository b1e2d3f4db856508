// The scan behind the folder tree: the albums of an image folder, and why
// its listing failed when it did. A path that names no folder is no failure
// (the tree then holds the folder alone); a folder that exists but cannot be
// listed is one, and the window reports it.
#pragma once

#include "app/albumoutput/album_folders.h"

#include <string>
#include <string_view>

namespace mirofoto {

struct ImageFolderScan {
    ImageFolderAlbums albums;
    int error = 0;  ///< the errno of a failed listing of the image folder; 0 when listed or absent
};

/// The albums of the image folder named by an image-folder box text, with
/// the error of listing the folder itself; a subfolder that is the output
/// folder is none (readImageFolderAlbums). Safe to call on any thread.
ImageFolderScan scanImageFolder(std::string_view imageFolderText, std::string_view outputFolder = {});

/// The message of a failed listing: the error number, a CR, and the
/// operating system's text for it about the path ("13\r/a/: Permission
/// denied").
std::string folderFailureMessage(int error, std::string_view path);

}  // namespace mirofoto
