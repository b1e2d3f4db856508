// EXIF JPEG files for the tests of the Tagora control and its clients,
// built with the fixture writer of the EXIF model's tests.
#pragma once

#include "exif_fixture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tagora_files {

/// The JPEG thumbnail every full file carries: 24 × 16 pixels.
const std::string& thumbnailJpeg();
/// The strip data of the thumbnail directory of a full file.
inline const std::string kStrip = "RGBRGBRGBRGB";

/// A JFIF + EXIF file with every directory: IFD0 (Make, XResolution 72/1,
/// pointers), IFD Sub (ExifVersion, DateTimeOriginal "2004:05:06 12:34:56",
/// ExposureTime, a SHORT pair 2,2, UserComment "UNICODE" "AB", interop
/// pointer), interoperability (index "R98"), GPS (version, "N", latitude),
/// IFD1 with the JPEG thumbnail and strip tags.
std::string fullFile(bool littleEndian);
/// Like fullFile but IFD1 has only strip data (no JPEG thumbnail).
std::string stripOnlyFile(bool littleEndian);
/// A JFIF file without EXIF data.
std::string jfifOnlyFile();
/// A file whose IFD Sub holds exactly these fields (and IFD0 a pointer to it).
std::string fileWithSubFields(const std::vector<exif_fixture::Field>& sub, bool littleEndian = true,
                              bool jfif = true);

/// The width and height in the first SOFn segment of JPEG bytes; {0, 0}
/// when there is none.
std::pair<int, int> jpegSize(const std::string& jpeg);

}  // namespace tagora_files
