#include "app/albumoutput/image_derivation.h"

#include "app/albumoutput/album_run_messages.h"
#include "app/util/decode_budget.h"
#include "app/util/image_size.h"
#include "app/util/jpeg_header.h"
#include "app/util/imgctl.h"
#include "app/util/paths.h"
#include "platform/atomic_file.h"
#include "platform/jpeg_segments.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mirofoto {
namespace {

// Records the first failure only: the later ones follow from it.
void note(ImageFailure* failure, std::string step, std::string_view path, ImgctlFailure reason = {}) {
    if (!failure || !failure->empty()) return;
    failure->step = std::move(step);
    failure->path = std::string(path);
    failure->reason = std::move(reason);
}

std::string mib(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20); }

// Looks at the source's header before the image library does, and holds
// what decoding it will take from the one budget of all decodes. Nothing
// (and the reason noted) for a header the library would take ages over, a
// precision it cannot decode, or a picture that alone needs more than the
// whole budget. Waits while other decodes hold too much of it.
std::optional<DecodeMemoryBudget::Reservation> admitSource(std::string_view path, ImageFailure* failure) {
    const JpegHeader header = readJpegHeader(path);
    if (header.walk == JpegHeader::Walk::TooManySegments) {
        note(failure, "header", path,
             {0, false, runText(RunText::ReasonManySegments, {std::to_string(platform::jpeg::kMaxHeaderSegments)})});
        return std::nullopt;
    }
    if (header.hasFrame && header.precision != 8) {
        note(failure, "header", path, {0, false, runText(RunText::ReasonPrecision, {std::to_string(header.precision)})});
        return std::nullopt;
    }
    DecodeMemoryBudget& budget = decodeMemoryBudget();
    const std::uint64_t needed = header.decodeMemoryEstimate();
    auto reservation = budget.reserve(needed);
    if (!reservation)
        note(failure, "memory", path,
             {0, false, runText(RunText::ReasonDecodeMemory, {mib(needed), mib(budget.total()), kDecodeMemoryVariable})});
    return reservation;
}

}  // namespace

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
    const auto admitted = admitSource(sourcePath, nullptr);
    if (!admitted) return false;
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

TargetSize ResolvedSize(std::int32_t imageWidth, std::int32_t imageHeight, TargetSize target) {
    // The library's own rule, evaluated in the same order.
    auto derive = [](std::int32_t side, std::int32_t mul, std::int32_t div) {
        return static_cast<std::int32_t>(std::max(1LL, std::llround(double(side) * mul / div)));
    };
    if (target.width < 0 && target.height > 0) target.width = derive(target.height, imageWidth, imageHeight);
    if (target.height < 0 && target.width > 0) target.height = derive(target.width, imageHeight, imageWidth);
    return target;
}

std::vector<std::size_t> MakingOrder(std::span<const TargetSize> sizes) {
    std::vector<std::size_t> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::int64_t(sizes[a].width) * sizes[a].height > std::int64_t(sizes[b].width) * sizes[b].height;
    });
    return order;
}

namespace {

// Whether the source can be opened for reading, before anything else looks
// at it: a file we may not read is told apart from one we cannot understand.
// O_NONBLOCK, so that a FIFO in the picture's place never hangs the run.
bool readable(std::string_view path, ImageFailure* failure) {
    const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        note(failure, "open", path, {errno, false, std::strerror(errno)});
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular) note(failure, "open", path, {0, false, "not a regular file"});
    return regular;
}

// A copy that is not wanted is still encoded, into a temporary file that
// goes at once: encoding changes what the library holds (the decoded
// pixels are kept, a later resize no longer decodes at a reduced scale), and
// the copies after it must be resampled from what a run that writes it has.
// The name is taken (created empty, exclusively) before the library writes
// there: the library draws its own temporary names from a counter of its
// own, and would otherwise pick this one for another copy's file.
void encodeAside(const ImgctlLibrary& lib, std::int32_t dib, const std::string& folder, const AlbumImageRequest& r,
                 ImageFailure* failure) {
    const std::string base = (folder.empty() ? std::string(".") : folder) + "/";
    std::string aside;
    for (int attempt = 0; attempt < 100 && aside.empty(); ++attempt) {
        const std::string name = base + platform::newTemporaryName();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            aside = name;
        } else if (errno != EEXIST) {
            note(failure, "DIBtoJPG", name, {errno, false, std::strerror(errno)});
            return;
        }
    }
    if (aside.empty()) return;
    if (!lib.dibToJPG(aside, dib, std::clamp(r.quality, 1, 100), r.encoderFlag))
        note(failure, "DIBtoJPG", aside, lib.lastFailure(dib));
    ::unlink(aside.c_str());
}

}  // namespace

namespace {

// Makes the copies, the largest first; with a turn, the picture is mirrored
// and turned once, right after its first resampling (where it is smallest
// before the copies, so the turn costs little), and the boxes are fitted to
// the turned picture.
bool makeImages(const ImgctlLibrary& lib, std::string_view sourcePath, std::span<AlbumImageRequest> requests,
                bool keepAspect, PictureTurn turn, ImageFailure* failure) {
    for (auto& r : requests) r.made = false;
    if (requests.empty() || !readable(sourcePath, failure)) return false;
    // Held until the picture's decode is gone (the handle below goes first).
    const auto admitted = admitSource(sourcePath, failure);
    if (!admitted) return false;
    const ImageSizeInfo info = GetImageSize(sourcePath, DetectionMode::ByContent);
    if (info.width <= 0 || info.height <= 0) {
        note(failure, "header", sourcePath, {0, true, "no picture size in the file's header"});
        return false;
    }

    // Sizes from the source's own proportions, so that resampling from a
    // larger copy gives exactly the size a separate call would.
    const TargetSize shown = TurnedSides(info.width, info.height, turn.turn);
    std::vector<TargetSize> sizes;
    for (const auto& r : requests)
        sizes.push_back(ResolvedSize(shown.width, shown.height,
                                     FitBox(shown.width, shown.height, r.boxWidth, r.boxHeight, keepAspect)));
    std::vector<std::size_t> order = MakingOrder(sizes);
    // Copies after the last one written need no resampling.
    while (!order.empty() && !requests[order.back()].write) order.pop_back();
    if (order.empty()) return true;

    const DibHandle dib(lib, sourcePath);
    if (!dib) {
        note(failure, "ToDIB", sourcePath, lib.lastFailure(0));
        return false;
    }
    bool turned = !turn.mirror && turn.turn == 0;
    // Resamples to the copy's size; the first time, in the file's
    // orientation and then mirrored and turned.
    const auto resize = [&](TargetSize size) {
        if (turned) {
            if (lib.resizeDIB(dib.get(), size.width, size.height)) return true;
            note(failure, "ResizeDIB", sourcePath, dib.lastFailure());
            return false;
        }
        const TargetSize unturned = TurnedSides(size.width, size.height, turn.turn);
        if (!lib.resizeDIB(dib.get(), unturned.width, unturned.height)) {
            note(failure, "ResizeDIB", sourcePath, dib.lastFailure());
            return false;
        }
        if (turn.mirror && !lib.mirrorDIB(dib.get())) {
            note(failure, "MirrorDIB", sourcePath,
                 lib.canMirror() ? dib.lastFailure() : ImgctlFailure{0, false, "the image library cannot mirror"});
            return false;
        }
        if (turn.turn != 0 && !lib.turnDIB(dib.get(), turn.turn)) {
            note(failure, "TurnDIB", sourcePath, dib.lastFailure());
            return false;
        }
        turned = true;
        return true;
    };
    bool all = true;
    for (const std::size_t i : order) {
        auto& r = requests[i];
        std::string destination = r.destination;
        if (destination.empty()) destination = RemoveExtension(sourcePath) + "_s" + GetExtension(sourcePath);
        const std::string folder = GetParentPath(destination);
        if (!folder.empty() && !FolderExists(folder) && !EnsureFolder(folder))
            note(failure, "folder", folder, {0, false, "the folder could not be made"});
        else if (!resize(sizes[i])) {
            // noted by resize
        } else if (!r.write)
            encodeAside(lib, dib.get(), folder, r, failure);
        else if (!lib.dibToJPG(destination, dib.get(), std::clamp(r.quality, 1, 100), r.encoderFlag))
            note(failure, "DIBtoJPG", destination, dib.lastFailure());
        else
            r.made = true;
        if (r.write) all = all && r.made;
    }
    return all;
}

}  // namespace

TargetSize TurnedSides(std::int32_t width, std::int32_t height, int turn) {
    if (turn == 90 || turn == 270) return {height, width};
    return {width, height};
}

bool MakeAlbumImages(const ImgctlLibrary& lib, std::string_view sourcePath, std::span<AlbumImageRequest> requests,
                     bool keepAspect, ImageFailure* failure) {
    return makeImages(lib, sourcePath, requests, keepAspect, {}, failure);
}

bool MakeTurnedAlbumImages(const ImgctlLibrary& lib, std::string_view sourcePath,
                           std::span<AlbumImageRequest> requests, PictureTurn turn, ImageFailure* failure) {
    return makeImages(lib, sourcePath, requests, true, turn, failure);
}

bool MakeTurnedAlbumImages(std::string_view sourcePath, std::span<AlbumImageRequest> requests, PictureTurn turn,
                           ImageFailure* failure) {
    return makeImages(ImgctlLibrary::instance(), sourcePath, requests, true, turn, failure);
}

bool MakeAlbumImages(std::string_view sourcePath, std::span<AlbumImageRequest> requests, bool keepAspect,
                     ImageFailure* failure) {
    return MakeAlbumImages(ImgctlLibrary::instance(), sourcePath, requests, keepAspect, failure);
}

bool RotateImageFile(const ImgctlLibrary& lib, std::string_view path, std::int32_t angle, ImageFailure* failure) {
    if (!readable(path, failure)) return false;
    const DibHandle dib(lib, path);
    if (!dib) {
        note(failure, "ToDIB", path, lib.lastFailure(0));
        return false;
    }
    if (!lib.turnDIB(dib.get(), angle)) {
        note(failure, "TurnDIB", path, dib.lastFailure());
        return false;
    }
    // Always quality 90 and the fast encoder, whatever the album's settings.
    if (!lib.dibToJPG(path, dib.get(), 90, false)) {
        note(failure, "DIBtoJPG", path, dib.lastFailure());
        return false;
    }
    return true;
}

bool RotateImageFile(std::string_view path, std::int32_t angle, ImageFailure* failure) {
    return RotateImageFile(ImgctlLibrary::instance(), path, angle, failure);
}

}  // namespace mirofoto
