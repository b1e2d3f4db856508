#include "app/albumoutput/album_image.h"

#include "app/util/image_size.h"
#include "app/util/imgctl.h"
#include "app/util/paths.h"

#include <algorithm>
#include <string>

namespace mirofoto {

TargetSize FitBox(std::int32_t imageWidth, std::int32_t imageHeight, std::int32_t boxWidth,
                  std::int32_t boxHeight, bool keepAspect) {
    const bool widthFree = boxWidth <= 0;
    const bool heightFree = boxHeight <= 0;
    if (widthFree && heightFree) return {imageWidth, imageHeight};
    if (heightFree) return {std::min(imageWidth, boxWidth), -1};
    if (widthFree) return {-1, std::min(imageHeight, boxHeight)};
    if (!keepAspect) return {std::min(imageWidth, boxWidth), std::min(imageHeight, boxHeight)};
    const double widthRatio = double(boxWidth) / imageWidth;
    const double heightRatio = double(boxHeight) / imageHeight;
    if (heightRatio > widthRatio) return {std::min(imageWidth, boxWidth), -1};
    return {-1, std::min(imageHeight, boxHeight)};
}

bool MakeAlbumImage(const ImgctlLibrary& lib, std::string_view sourcePath, std::string_view destinationPath,
                    std::int32_t boxHeight, std::int32_t boxWidth, bool keepAspect, std::int32_t quality,
                    bool encoderFlag) {
    if (!PathExists(sourcePath)) return false;
    // A file whose header we do not understand never reaches the library.
    const ImageSizeInfo info = GetImageSize(sourcePath, DetectionMode::ByContent);
    if (info.width <= 0 || info.height <= 0) return false;

    std::string destination(destinationPath);
    if (destination.empty()) destination = RemoveExtension(sourcePath) + "_s" + GetExtension(sourcePath);
    const std::string folder = GetParentPath(destination);
    if (!folder.empty() && !FolderExists(folder) && !EnsureFolder(folder)) return false;

    const TargetSize target = FitBox(info.width, info.height, boxWidth, boxHeight, keepAspect);
    quality = std::clamp(quality, 1, 100);

    const DibHandle dib(lib, sourcePath);
    if (!dib) return false;
    if (!lib.resizeDIB(dib.get(), target.width, target.height)) return false;
    return lib.dibToJPG(destination, dib.get(), quality, encoderFlag);
}

bool MakeAlbumImage(std::string_view sourcePath, std::string_view destinationPath, std::int32_t boxHeight,
                    std::int32_t boxWidth, bool keepAspect, std::int32_t quality, bool encoderFlag) {
    return MakeAlbumImage(ImgctlLibrary::instance(), sourcePath, destinationPath, boxHeight, boxWidth, keepAspect,
                          quality, encoderFlag);
}

bool RotateImageFile(const ImgctlLibrary& lib, std::string_view path, std::int32_t angle) {
    if (!PathExists(path)) return false;
    const DibHandle dib(lib, path);
    if (!dib) return false;
    if (!lib.turnDIB(dib.get(), angle)) return false;
    // Always quality 90 and the fast encoder, whatever the album's settings.
    return lib.dibToJPG(path, dib.get(), 90, false);
}

bool RotateImageFile(std::string_view path, std::int32_t angle) {
    return RotateImageFile(ImgctlLibrary::instance(), path, angle);
}

}  // namespace mirofoto
