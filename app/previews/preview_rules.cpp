#include "app/previews/preview_rules.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/image_derivation.h"
#include "app/util/date_time.h"
#include "app/util/exif_info.h"
#include "app/util/jpeg_info.h"
#include "app/util/paths.h"

#include <cmath>
#include <cstdio>

namespace mirofoto {
namespace {

// FNV-1a over the bytes, 64 bits, twice with different bases: 128 bits keep
// two folders of one run apart.
std::uint64_t fnv1a(std::string_view bytes, std::uint64_t basis) {
    std::uint64_t h = basis;
    for (const unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

}  // namespace

std::string CacheFolderName(std::string_view folder) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    // The readable part: the folder's last name, ASCII letters, digits, "-"
    // and "_" kept, anything else "_", at most 40 bytes.
    std::string last = GetLastFolderName(path);
    std::string readable;
    for (const unsigned char c : last) {
        if (readable.size() >= 40) break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_';
        readable += plain ? static_cast<char>(c) : '_';
    }
    if (readable.empty()) readable = "folder";
    char hash[40];
    std::snprintf(hash, sizeof hash, "%016llx%016llx",
                  static_cast<unsigned long long>(fnv1a(path, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(fnv1a(path, 0x84222325cbf29ce4ULL) ^ path.size()));
    return readable + "-" + hash;
}

std::vector<ImageEntry> scanImageEntries(std::string_view folderText, std::string_view tempFolder,
                                         const ImageScanHooks& hooks) {
    std::string folder(folderText);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::vector<ImageEntry> entries;
    if (folder.empty()) return entries;
    const std::vector<std::string> names = listPictureFiles(folder);
    if (names.empty()) return entries;
    const std::string cacheFolder = withTrailingSlash(tempFolder) + CacheFolderName(folder) + "/";
    const int count = static_cast<int>(names.size());
    entries.reserve(names.size());
    for (int i = 0; i < count; ++i) {
        ImageEntry e;
        e.folder = folder;
        e.fileName = names[i];
        e.cacheFolder = cacheFolder;
        const std::string stem = RemoveExtension(e.fileName);
        e.thumbnailFileName = stem + std::string(kThumbnailSuffix);
        e.enlargedFileName = stem + std::string(kEnlargedSuffix);
        entries.push_back(std::move(e));
        if (hooks.progress && !hooks.progress(i + 1, count)) break;
    }
    return entries;
}

ImageDetails readImageDetails(const std::string& path,
                              const std::function<std::string(const std::string& path)>& readDate) {
    ImageDetails d;
    d.shootingDate = readDate ? readDate(path) : ReadShootingDate(path);
    d.comment = ReadJpegComment(path);
    return d;
}

std::string dateCaption(std::string_view dateText) {
    const auto date = parseDateText(dateText);
    return date ? formatShootingDate(*date) : std::string();
}

int roundToInt(double value) { return static_cast<int>(std::nearbyint(value)); }

CellTemplate cellTemplate(int thumbWidthPixels, int thumbHeightPixels, double twipsPerPixelX, double twipsPerPixelY) {
    CellTemplate t;
    t.thumbWidth = roundToInt(std::max(0, thumbWidthPixels) * twipsPerPixelX);
    t.thumbHeight = roundToInt(std::max(0, thumbHeightPixels) * twipsPerPixelY);
    t.frameWidth = t.thumbWidth + 400;
    t.frameHeight = t.thumbHeight + 1500;
    t.labelWidth = t.frameWidth - 270;
    return t;
}

CellRows cellRowsInView(const CellTemplate& cell, int vScroll, int pageHeight) {
    const int v = vScroll * 100;
    const int H = std::max(1, cell.frameHeight);
    CellRows rows;
    rows.first = std::max(0, (v - kFirstCellTop - kThumbnailInset - cell.thumbHeight) / H);
    rows.last = (v + pageHeight) / H + 1;
    return rows;
}

CellLayout cellLayout(int index, int columns, const CellTemplate& cell, const CellControlSizes& s, int vScroll,
                      int hScroll, int pictureWidth, int pictureHeight) {
    const int cols = std::max(1, columns);
    const int v = vScroll * 100, h = hScroll * 100;
    const int row = index / cols;
    const int column = index - row * cols;
    const int W = cell.frameWidth, H = cell.frameHeight;
    CellLayout l;
    l.frame = {column * W - h, row * H - v + kFirstCellTop, W, H};
    l.tick = {l.frame.left, l.frame.top, s.tickWidth, s.tickHeight};
    l.number = {l.tick.left + l.tick.width, l.tick.top, s.numberWidth, s.numberHeight};
    l.leftTurn = {l.frame.left + W - (s.turnWidth + s.turnWidth), l.frame.top, s.turnWidth, s.turnHeight};
    l.rightTurn = {l.frame.left + W - s.turnWidth, l.frame.top, s.turnWidth, s.turnHeight};
    const bool picture = pictureWidth > 0 && pictureHeight > 0;
    l.thumbnail = {l.frame.left + kThumbnailInset, l.frame.top + kThumbnailInset,
                   picture ? pictureWidth : cell.thumbWidth, picture ? pictureHeight : cell.thumbHeight};
    const int below = l.thumbnail.top + l.thumbnail.height;
    l.fileName = {l.thumbnail.left, below + 140, cell.labelWidth, s.labelHeight};
    l.date = {l.thumbnail.left, below + 440, cell.labelWidth, s.labelHeight};
    l.comment = {l.thumbnail.left, below + 700, cell.labelWidth, s.commentHeight};
    return l;
}

Rect thumbnailMenuLink(int width, int height, int vScroll, int hScroll) {
    return {180 - hScroll * 100, 120 - vScroll * 100, width, height};
}

ScrollMaxima thumbnailScrollMaxima(int count, int columns, const CellTemplate& cell) {
    const int cols = std::max(1, columns);
    ScrollMaxima m;
    m.horizontal = std::max(0, roundToInt((cols - 1) * static_cast<double>(cell.frameWidth) / 100.0));
    const int rows = count > 0 ? (count - 1) / cols : 0;
    m.vertical = std::max(0, roundToInt(rows * static_cast<double>(cell.frameHeight) / 100.0));
    return m;
}

EnlargedLayout enlargedLayout(int pictureWidth, int pictureHeight, int labelWidth, int labelHeight, int vScroll,
                              int hScroll) {
    const int v = vScroll * 100, h = hScroll * 100;
    EnlargedLayout l;
    l.menuLink = {180 - h, 120 - v, labelWidth, labelHeight};
    l.previous = {180 - h, 420 - v, 1000, labelHeight};
    l.thumbnails = {1260 - h, l.previous.top, 1900, labelHeight};
    l.next = {3240 - h, l.previous.top, 1000, labelHeight};
    l.picture = {180 - h, 720 - v, pictureWidth, pictureHeight};
    l.fileName = {240 - h, l.picture.top + pictureHeight + 200, labelWidth, labelHeight};
    l.date = {l.fileName.left, l.fileName.top + 360, labelWidth, labelHeight};
    l.comment = {l.fileName.left, l.date.top + 360, labelWidth, labelHeight};
    return l;
}

EnlargedScroll enlargedScroll(int pictureWidth, int pictureHeight, int pageWidth, int pageHeight) {
    EnlargedScroll s;
    if (pictureHeight + 2800 > pageHeight) {
        s.vertical = true;
        s.verticalMaximum = (pictureHeight + 2800 - pageHeight) / 100 + 1;
    }
    if (pictureWidth + 800 > pageWidth) {
        s.horizontal = true;
        s.horizontalMaximum = (pictureWidth + 800 - pageWidth) / 100;
    }
    return s;
}

PixelSize exactPreviewSize(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, const CopyTurn& turn) {
    if (pictureWidth <= 0 || pictureHeight <= 0) return {};
    const int quarter = ((turn.turn.turn % 360) + 360) % 360;
    const bool sideways = quarter == 90 || quarter == 270;
    // Turned before the box: the box is fitted to the turned picture.
    if (turn.beforeBox && sideways) std::swap(pictureWidth, pictureHeight);
    const TargetSize fitted =
        ResolvedSize(pictureWidth, pictureHeight, FitBox(pictureWidth, pictureHeight, boxWidth, boxHeight, true));
    PixelSize size{fitted.width, fitted.height};
    if (!turn.beforeBox && sideways) std::swap(size.width, size.height);
    return size;
}

Rect trimBlackBands(int width, int height, const std::function<bool(int x, int y)>& dark) {
    const auto rowDark = [&](int y) {
        for (int x = 0; x < width; ++x)
            if (!dark(x, y)) return false;
        return true;
    };
    const auto columnDark = [&](int x, int top, int bottom) {
        for (int y = top; y < bottom; ++y)
            if (!dark(x, y)) return false;
        return true;
    };
    int top = 0, bottom = height;
    while (top < bottom && rowDark(top)) ++top;
    if (top == bottom) return {0, 0, width, height};
    while (rowDark(bottom - 1)) --bottom;
    int left = 0, right = width;
    while (columnDark(left, top, bottom)) ++left;
    while (columnDark(right - 1, top, bottom)) --right;
    return {left, top, right - left, bottom - top};
}

bool embeddedThumbnailFits(int thumbWidth, int thumbHeight, int pictureWidth, int pictureHeight) {
    if (thumbWidth <= 0 || thumbHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return false;
    const double thumb = double(thumbWidth) / thumbHeight;
    const double picture = double(pictureWidth) / pictureHeight;
    return std::abs(thumb / picture - 1.0) <= 0.02;
}

void warmUpImageLibrary() {
    // A decode of no file starts the library and fails at once.
    const ImgctlLibrary& lib = ImgctlLibrary::instance();
    if (lib.loaded()) lib.deleteDIB(lib.toDIB(""));
}

bool makePreviewFile(const std::string& source, const std::string& destination, int boxWidth, int boxHeight,
                     int quality, const CopyTurn& turn) {
    if (!turn.beforeBox) return makePreviewFile(source, destination, boxWidth, boxHeight, quality, turn.turn.turn);
    AlbumImageRequest request{destination, boxHeight, boxWidth, quality, false};
    if (MakeTurnedAlbumImages(source, {&request, 1}, turn.turn)) return true;
    // A preview of an earlier turn must not be taken for this one later.
    std::remove(destination.c_str());
    return false;
}

CopyTurn previewTurn(const std::string& path, std::optional<int> storedTurn, bool followOrientation,
                     const std::function<int(const std::string& path)>& readOrientation) {
    const int orientation =
        !followOrientation ? 0 : readOrientation ? readOrientation(path) : ReadExifOrientation(path);
    return copyTurn(storedTurn, orientation, followOrientation);
}

bool makePreviewFile(const std::string& source, const std::string& destination, int boxWidth, int boxHeight,
                     int quality, int turn) {
    if (!MakeAlbumImage(source, destination, boxHeight, boxWidth, true, quality, false)) return false;
    if (turn != 90 && turn != 180 && turn != 270) return true;
    if (RotateImageFile(destination, turn)) return true;
    // An unturned copy must not be taken for the turned one later.
    std::remove(destination.c_str());
    return false;
}

}  // namespace mirofoto
