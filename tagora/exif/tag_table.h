// The tag-name tables of the four kinds of directory, the tag ID and field
// type constants, and the element sizes of the TIFF field types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>

namespace tagora {

/// Tag IDs ("ExifタグID定数"). The GPS and interoperability constants share
/// small values; the directory they are used with decides their meaning.
enum EXIFTAG : std::int32_t {
    etImageWidth = 256,
    etImageLength = 257,
    etBitsPerSample = 258,
    etCompression = 259,
    etPhotometricInterpretation = 262,
    etImageDescription = 270,
    etMake = 271,
    etModel = 272,
    etStripOffsets = 273,
    etOrientation = 274,
    etSamplesPerPixel = 277,
    etRowsPerStrip = 278,
    etStripByteCounts = 279,
    etXResolution = 282,
    etYResolution = 283,
    etPlanarConfiguration = 284,
    etResolutionUnit = 296,
    etTransferFunction = 301,
    etSoftware = 305,
    etDateTime = 306,
    etArtist = 315,
    etWhitePoint = 318,
    etPrimaryChromaticities = 319,
    etJPEGInterchangeFormat = 513,
    etJPEGInterchangeFormatLength = 514,
    etYCbCrCoefficients = 529,
    etYCbCrSubSampling = 530,
    etYCbCrPositioning = 531,
    etReferenceBlackWhite = 532,
    etCopyright = 33432,
    etExifIFDPointer = 34665,
    etGPSInfoIFDPointer = 34853,
    etExposureTime = 33434,
    etFNumber = 33437,
    etExposureProgram = 34850,
    etSpectralSensitivity = 34852,
    etISOSpeedRatings = 34855,
    etOECF = 34856,
    etExifVersion = 36864,
    etDateTimeOriginal = 36867,
    etDateTimeDigitized = 36868,
    etComponentsConfiguration = 37121,
    etCompressedBitsPerPixel = 37122,
    etShutterSpeedValue = 37377,
    etApertureValue = 37378,
    etBrightnessValue = 37379,
    etExposureBiasValue = 37380,
    etMaxApertureValue = 37381,
    etSubjectDistance = 37382,
    etMeteringMode = 37383,
    etLightSource = 37384,
    etFlash = 37385,
    etFocalLength = 37386,
    etMakerNote = 37500,
    etUserComment = 37510,
    etSubSecTime = 37520,
    etSubSecTimeOriginal = 37521,
    etSubSecTimeDigitized = 37522,
    etFlashPixVersion = 40960,
    etColorSpace = 40961,
    etPixelXDimension = 40962,
    etPixelYDimension = 40963,
    etRelatedSoundFile = 40964,
    etInteroperabilityIFDPointer = 40965,
    etFlashEnergy = 41483,
    etSpatialFrequencyResponse = 41484,
    etFocalPlaneXResolution = 41486,
    etFocalPlaneYResolution = 41487,
    etFocalPlaneResolutionUnit = 41488,
    etSubjectLocation = 41492,
    etExposureIndex = 41493,
    etSensingMethod = 41495,
    etFileSource = 41728,
    etSceneType = 41729,
    etCFAPattern = 41730,
    etGPSVersionID = 0,
    etGPSLatitudeRef = 1,
    etGPSLatitude = 2,
    etGPSLongitudeRef = 3,
    etGPSLongitude = 4,
    etGPSAltitudeRef = 5,
    etGPSAltitude = 6,
    etGPSTimeStamp = 7,
    etGPSSatellites = 8,
    etGPSStatus = 9,
    etGPSMeasureMode = 10,
    etGPSDOP = 11,
    etGPSSpeedRef = 12,
    etGPSSpeed = 13,
    etGPSTrackRef = 14,
    etGPSTrack = 15,
    etGPSImgDirectionRef = 16,
    etGPSImgDirection = 17,
    etGPSMapDatum = 18,
    etGPSDestLatitudeRef = 19,
    etGPSDestLatitude = 20,
    etGPSDestLongitudeRef = 21,
    etGPSDestLongitude = 22,
    etGPSDestBearingRef = 23,
    etGPSDestBearing = 24,
    etGPSDestDistanceRef = 25,
    etGPSDestDistance = 26,
    etInteroperabilityIndex = 1,
    etInteroperabilityVersion = 2,
};

/// Field types ("タグ値種別定数"). SBYTE (6), SSHORT (8), FLOAT (11) and
/// DOUBLE (12) have no constant but are read, held and converted too.
enum TAGTYPE : std::int32_t {
    ttBYTE = 1,
    ttASCII = 2,
    ttSHORT = 3,
    ttLONG = 4,
    ttRATIONAL = 5,
    ttUNDEFINED = 7,
    ttSLONG = 9,
    ttSRATIONAL = 10,
};

/// Field type numbers, with the ones that have no constant.
namespace fieldtype {
inline constexpr std::uint16_t kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSByte = 6,
                               kUndefined = 7, kSShort = 8, kSLong = 9, kSRational = 10, kFloat = 11,
                               kDouble = 12;
}

/// Bytes per element of a field type; 0 for types outside 1 to 12.
constexpr std::uint32_t elementSize(std::uint16_t type) {
    constexpr std::uint8_t sizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? sizes[type] : 0;
}

/// One row of a tag-name table. The meaning is UTF-8 text (the COM layer
/// converts it to UTF-16 at its boundary).
struct TagRow {
    std::uint32_t id;
    const char* name;
    const char* mean;
};

/// A tag-name table and its map from tag ID to row, built once.
class TagTable {
public:
    explicit TagTable(std::span<const TagRow> rows);
    std::span<const TagRow> rows() const { return m_rows; }
    /// The row of the ID, or nullptr when the table has none.
    const TagRow* find(std::uint16_t id) const;

private:
    std::span<const TagRow> m_rows;
    std::map<std::uint16_t, std::size_t> m_index;
};

/// The four tables: main (IFD Main and IFD Thumbnail), EXIF (IFD Sub), GPS
/// and interoperability.
const TagTable& mainTable();
const TagTable& exifTable();
const TagTable& gpsTable();
const TagTable& interoperabilityTable();

/// A named constant of the two enumerations, for the type library.
struct EnumConstant {
    const char* name;
    std::int32_t value;
};
/// The EXIFTAG constants in table order.
std::span<const EnumConstant> exifTagConstants();
/// The TAGTYPE constants.
std::span<const EnumConstant> tagTypeConstants();

}  // namespace tagora
