// The shooting date of a picture, read from its EXIF data through the
// Tagora control ("Tagora.ExifCtl") by late binding, as any automation
// client would: only COM objects, BSTRs and result codes cross.
#pragma once

#include <string>
#include <string_view>

struct IDispatch;

namespace mirofoto {

/// The picture's DateTimeOriginal (in any form parseShootingDate accepts)
/// as "yyyy/mm/dd hh:mm:ss", or the empty text when the file is missing,
/// has no EXIF data, its date tag is empty or no valid date, or Tagora cannot be created (said once on standard error).
/// The path may name a file whose name is not UTF-8. When why is given it
/// receives the reason of an empty result (Tagora's own text of a file that
/// does not load, a missing or invalid date tag), and the empty text with a
/// date. Each thread keeps one control for its lifetime, as the main window
/// holds one, so the registry is read once.
std::string ReadShootingDate(std::string_view path, std::string* why = nullptr);

/// The EXIF Orientation (tag 274 of the main directory) of the picture,
/// read through a Tagora control (the given one, else the calling thread's
/// own); 0 when the file has no EXIF data or no such tag.
int ReadExifOrientation(std::string_view path, IDispatch* control = nullptr);

/// What a preview needs of the picture's EXIF header, read once: the
/// Orientation (tag 274 of the main directory; 0 when none) and the
/// thumbnail embedded in it, as the bytes the control's SaveThumbnail gives
/// (empty when there is none, the file has no EXIF data or Tagora cannot be
/// created). The bytes never pass through a file on disk.
struct ExifPreviewHeader {
    int orientation = 0;
    std::string thumbnail;
};
ExifPreviewHeader ReadExifPreviewHeader(std::string_view path, IDispatch* control = nullptr);

/// Lets go of the calling thread's control (the next ReadShootingDate makes
/// a new one), so that the Tagora module may be unloaded.
void ReleaseShootingDateReader();

}  // namespace mirofoto
