// The JPEG copies an album shows: a picture fitted into a box, and a picture
// turned in place. The pixel work is the image library's (app/util/imgctl.h).
#pragma once

#include "app/albumoutput/picture_orientation.h"
#include "app/util/imgctl.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// Why a copy or a turn could not be made: the step that failed, the file
/// it concerned and what the system or the image library said.
struct ImageFailure {
    std::string step;      ///< "open", "header", "memory", "folder", "ToDIB", "ResizeDIB", "TurnDIB" or "DIBtoJPG"
    std::string path;      ///< the source or destination concerned
    ImgctlFailure reason;  ///< errno, damaged data, the library's text

    bool empty() const { return step.empty(); }
};

/// The size handed to the image library; -1 for a side means "derive it from
/// the other side and the picture's proportions".
struct TargetSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const TargetSize&, const TargetSize&) = default;
};

/// Fits a picture of imageWidth x imageHeight into a box of boxWidth x
/// boxHeight (a side of 0 or less is free). The binding side is never made
/// larger than the picture; with keepAspect the other side is -1. With equal
/// ratios the height binds.
TargetSize FitBox(std::int32_t imageWidth, std::int32_t imageHeight, std::int32_t boxWidth,
                  std::int32_t boxHeight, bool keepAspect);

/// Writes the picture at sourcePath, fitted into the box, as a JPEG file of
/// the quality (clamped to 1..100) at destinationPath. An empty destination
/// means the source's name with "_s" before its extension. A missing
/// destination folder is created. The encoder flag asks for the smallest file
/// (album) rather than the fastest encoding (previews). True when the
/// destination was written; on failure it is left as it was.
bool MakeAlbumImage(std::string_view sourcePath, std::string_view destinationPath, std::int32_t boxHeight,
                    std::int32_t boxWidth, bool keepAspect, std::int32_t quality, bool encoderFlag);
/// The same with a given image library (tests).
bool MakeAlbumImage(const ImgctlLibrary& lib, std::string_view sourcePath, std::string_view destinationPath,
                    std::int32_t boxHeight, std::int32_t boxWidth, bool keepAspect, std::int32_t quality,
                    bool encoderFlag);

/// One copy of a picture for MakeAlbumImages.
struct AlbumImageRequest {
    std::string destination;
    std::int32_t boxHeight = 0;
    std::int32_t boxWidth = 0;
    std::int32_t quality = 90;
    bool encoderFlag = true;
    /// False: the copy is made only as the step the smaller copies after it
    /// are resampled from, and not kept (an update that re-makes only the
    /// thumbnail gives it the bytes a full run gives it).
    bool write = true;
    bool made = false;  ///< set by MakeAlbumImages
};

/// The order in which MakeAlbumImages makes copies of these sizes: the
/// largest first (by area; equal areas in their given order).
std::vector<std::size_t> MakingOrder(std::span<const TargetSize> sizes);

/// Makes several copies of one picture from a single decode: the largest copy
/// first, each smaller one resampled from the copy before it. Each copy has
/// the size MakeAlbumImage would give it; the largest has the same bytes, the
/// smaller ones differ slightly in their pixels (resampled twice). Sets each
/// request's made flag; true when all were made. When failure is given, the
/// first failure is recorded there.
bool MakeAlbumImages(const ImgctlLibrary& lib, std::string_view sourcePath, std::span<AlbumImageRequest> requests,
                     bool keepAspect = true, ImageFailure* failure = nullptr);
bool MakeAlbumImages(std::string_view sourcePath, std::span<AlbumImageRequest> requests, bool keepAspect = true,
                     ImageFailure* failure = nullptr);

/// MakeAlbumImages for a picture that is mirrored and turned before it is
/// fitted: each box is fitted to the picture as it is shown (a turn of 90
/// or 270 swaps its sides), so a turned picture fills its box like any
/// other. Still one decode and one encode per copy at its own quality: the
/// largest copy is resampled in the file's orientation, then mirrored and
/// turned, and every smaller one is resampled from it. With nothing to
/// mirror or turn, the same files as MakeAlbumImages.
bool MakeTurnedAlbumImages(const ImgctlLibrary& lib, std::string_view sourcePath,
                           std::span<AlbumImageRequest> requests, PictureTurn turn, ImageFailure* failure = nullptr);
bool MakeTurnedAlbumImages(std::string_view sourcePath, std::span<AlbumImageRequest> requests, PictureTurn turn,
                           ImageFailure* failure = nullptr);

/// The sides of a picture of width x height as it is shown after the turn.
TargetSize TurnedSides(std::int32_t width, std::int32_t height, int turn);

/// The size the image library makes for the target: a side of -1 derived
/// from the other and the picture's proportions, rounded to nearest, at
/// least 1.
TargetSize ResolvedSize(std::int32_t imageWidth, std::int32_t imageHeight, TargetSize target);

/// Turns the JPEG file right by 90, 180 or 270 degrees in place, re-encoded
/// at quality 90 for speed. True when the file was turned; on failure it is
/// left as it was, and failure (when given) says why.
bool RotateImageFile(std::string_view path, std::int32_t angle, ImageFailure* failure = nullptr);
bool RotateImageFile(const ImgctlLibrary& lib, std::string_view path, std::int32_t angle,
                     ImageFailure* failure = nullptr);

}  // namespace mirofoto
