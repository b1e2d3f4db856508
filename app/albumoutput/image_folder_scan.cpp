#include "app/albumoutput/image_folder_scan.h"

#include "app/settings/settings_files.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace mirofoto {

ImageFolderScan scanImageFolder(std::string_view imageFolderText, std::string_view outputFolder) {
    ImageFolderScan scan;
    const std::string folder = imageFolderPath(imageFolderText);
    if (!folder.empty()) {
        std::error_code ec;
        fs::directory_iterator probe(fs::path(folder), ec);
        // A path typed halfway, or one that names a file, is no folder yet.
        if (ec && ec.value() != ENOENT && ec.value() != ENOTDIR) scan.error = ec.value();
    }
    scan.albums = readImageFolderAlbums(imageFolderText, outputFolder);
    return scan;
}

std::string folderFailureMessage(int error, std::string_view path) {
    return std::to_string(error) + "\r" + std::string(path) + ": " + std::generic_category().message(error);
}

}  // namespace mirofoto
