#include "tagora/exif/tag_table.h"

namespace tagora {
namespace {

const TagRow kMainRows[] = {
    {256, "ImageWidth", "画像の幅"},
    {257, "ImageLength", "画像の高さ"},
    {258, "BitsPerSample", "画像のビットの深さ"},
    {259, "Compression", "圧縮の種類"},
    {262, "PhotometricInterpretation", "画素構成"},
    {270, "ImageDescription", "画像タイトル"},
    {271, "Make", "画像入力機器のメーカー名"},
    {272, "Model", "画像入力機器のモデル名"},
    {273, "StripOffsets", "画像データのロケーション"},
    {274, "Orientation", "画像方向"},
    {277, "SamplesPerPixel", "コンポーネント数"},
    {278, "RowsPerStrip", "ストリップ中のライン数"},
    {279, "StripByteCounts", "ストリップのデータ量"},
    {282, "XResolution", "画像の幅の解像度"},
    {283, "YResolution", "画像の高さの解像度"},
    {284, "PlanarConfiguration", "画像データの並び"},
    {296, "ResolutionUnit", "画像の幅と高さの解像度の単位"},
    {301, "TransferFunction", "再生階調カーブ特性"},
    {305, "Software", "使用ソフトウェア名"},
    {306, "DateTime", "ファイル変更日時"},
    {315, "Artist", "作者名"},
    {318, "WhitePoint", "参照白色点の色度座標値"},
    {319, "PrimaryChromaticities", "原色の色度座標値"},
    {513, "JPEGInterchangeFormat", "JPEG の SOI へのオフセット"},
    {514, "JPEGInterchangeFormatLength", "JPEG データのバイト数"},
    {529, "YCbCrCoefficients", "色変換マトリクス係数"},
    {530, "YCbCrSubSampling", "YCC の画素構成（C の間引き率）"},
    {531, "YCbCrPositioning", "YCC の画素構成（Y と C の位置）"},
    {532, "ReferenceBlackWhite", "参照黒色点値と参照白色点値"},
    {33432, "Copyright", "撮影著作権者/編集著作権者"},
    {34665, "ExifIFDPointer", "Exif タグ"},
    {34853, "GPSInfoIFDPointer", "GPS タグ"},
};

const TagRow kExifRows[] = {
    {33434, "ExposureTime", "露出時間"},
    {33437, "FNumber", "F ナンバー"},
    {34850, "ExposureProgram", "露出プログラム"},
    {34852, "SpectralSensitivity", "スペクトル感度"},
    {34855, "ISOSpeedRatings", "ISO スピードレート"},
    {34856, "OECF", "光電変換関数"},
    {36864, "ExifVersion", "Exif バージョン"},
    {36867, "DateTimeOriginal", "原画像データの生成日時"},
    {36868, "DateTimeDigitized", "ディジタルデータの作成日時"},
    {37121, "ComponentsConfiguration", "各コンポーネントの意味"},
    {37122, "CompressedBitsPerPixel", "画像圧縮モード"},
    {37377, "ShutterSpeedValue", "シャッタースピード"},
    {37378, "ApertureValue", "絞り値"},
    {37379, "BrightnessValue", "輝度値"},
    {37380, "ExposureBiasValue", "露光補正値"},
    {37381, "MaxApertureValue", "レンズ最小Ｆ値"},
    {37382, "SubjectDistance", "被写体距離"},
    {37383, "MeteringMode", "測光方式"},
    {37384, "LightSource", "光源"},
    {37385, "Flash", "フラッシュ"},
    {37386, "FocalLength", "レンズ焦点距離"},
    {37500, "MakerNote", "メーカーノート"},
    {37510, "UserComment", "ユーザーコメント"},
    {37520, "SubSecTime", "DateTime のサブセック"},
    {37521, "SubSecTimeOriginal", "DateTimeOriginal のサブセック"},
    {37522, "SubSecTimeDigitized", "DateTimeDigitized のサブセック"},
    {40960, "FlashPixVersion", "対応フラッシュピックスバージョン"},
    {40961, "ColorSpace", "色空間情報"},
    {40962, "PixelXDimension", "実効画像幅"},
    {40963, "PixelYDimension", "実効画像高さ"},
    {40964, "RelatedSoundFile", "関連音声ファイル"},
    {40965, "InteroperabilityIFDPointer", "互換性 IFD へのポインタ"},
    {41483, "FlashEnergy", "フラッシュ強度"},
    {41484, "SpatialFrequencyResponse", "空間周波数応答"},
    {41486, "FocalPlaneXResolution", "焦点面の幅の解像度"},
    {41487, "FocalPlaneYResolution", "焦点面の高さの解像度"},
    {41488, "FocalPlaneResolutionUnit", "焦点面解像度単位"},
    {41492, "SubjectLocation", "被写体位置"},
    {41493, "ExposureIndex", "露出インデックス"},
    {41495, "SensingMethod", "センサー方式"},
    {41728, "FileSource", "ファイルソース"},
    {41729, "SceneType", "シーンタイプ"},
    {41730, "CFAPattern", "CFA パターン"},
};

const TagRow kGpsRows[] = {
    {0, "GPSVersionID", "GPS タグのバージョン"},
    {1, "GPSLatitudeRef", "北緯(N)or 南緯(S)"},
    {2, "GPSLatitude", "緯度（数値）"},
    {3, "GPSLongitudeRef", "東経(E)or 西経(W)"},
    {4, "GPSLongitude", "経度（数値）"},
    {5, "GPSAltitudeRef", "高度の単位"},
    {6, "GPSAltitude", "高度（数値）"},
    {7, "GPSTimeStamp", "GPS 時間（原子時計の時間）"},
    {8, "GPSSatellites", "測位につかった衛星信号"},
    {9, "GPSStatus", "GPS 受信機の状態"},
    {10, "GPSMeasureMode", "GPS の測位方法"},
    {11, "GPSDOP", "測位の信頼性"},
    {12, "GPSSpeedRef", "速度の単位"},
    {13, "GPSSpeed", "速度（数値）"},
    {14, "GPSTrackRef", "進行方向の単位"},
    {15, "GPSTrack", "進行方向（数値）"},
    {16, "GPSImgDirectionRef", "撮影した画像の方向の単位"},
    {17, "GPSImgDirection", "撮影した画像の方向（数値）"},
    {18, "GPSMapDatum", "測位に用いた地図データ"},
    {19, "GPSDestLatitudeRef", "目的地の北緯(N)or 南緯(S)"},
    {20, "GPSDestLatitude", "目的地の緯度（数値）"},
    {21, "GPSDestLongitudeRef", "目的地の東経(E)or 西経(W)"},
    {22, "GPSDestLongitude", "目的地の経度（数値）"},
    {23, "GPSDestBearingRef", "目的地の方角の単位"},
    {24, "GPSDestBearing", "目的の方角（数値）"},
    {25, "GPSDestDistanceRef", "目的地までの距離の単位"},
    {26, "GPSDestDistance", "目的地までの距離（数値）"},
};

const TagRow kInteropRows[] = {
    {1, "InteroperabilityIndex", "互換性識別子"},
    {2, "InteroperabilityValue", "互換性バージョン"},
};

const EnumConstant kExifTagConstants[] = {
    {"etImageWidth", 256},
    {"etImageLength", 257},
    {"etBitsPerSample", 258},
    {"etCompression", 259},
    {"etPhotometricInterpretation", 262},
    {"etImageDescription", 270},
    {"etMake", 271},
    {"etModel", 272},
    {"etStripOffsets", 273},
    {"etOrientation", 274},
    {"etSamplesPerPixel", 277},
    {"etRowsPerStrip", 278},
    {"etStripByteCounts", 279},
    {"etXResolution", 282},
    {"etYResolution", 283},
    {"etPlanarConfiguration", 284},
    {"etResolutionUnit", 296},
    {"etTransferFunction", 301},
    {"etSoftware", 305},
    {"etDateTime", 306},
    {"etArtist", 315},
    {"etWhitePoint", 318},
    {"etPrimaryChromaticities", 319},
    {"etJPEGInterchangeFormat", 513},
    {"etJPEGInterchangeFormatLength", 514},
    {"etYCbCrCoefficients", 529},
    {"etYCbCrSubSampling", 530},
    {"etYCbCrPositioning", 531},
    {"etReferenceBlackWhite", 532},
    {"etCopyright", 33432},
    {"etExifIFDPointer", 34665},
    {"etGPSInfoIFDPointer", 34853},
    {"etExposureTime", 33434},
    {"etFNumber", 33437},
    {"etExposureProgram", 34850},
    {"etSpectralSensitivity", 34852},
    {"etISOSpeedRatings", 34855},
    {"etOECF", 34856},
    {"etExifVersion", 36864},
    {"etDateTimeOriginal", 36867},
    {"etDateTimeDigitized", 36868},
    {"etComponentsConfiguration", 37121},
    {"etCompressedBitsPerPixel", 37122},
    {"etShutterSpeedValue", 37377},
    {"etApertureValue", 37378},
    {"etBrightnessValue", 37379},
    {"etExposureBiasValue", 37380},
    {"etMaxApertureValue", 37381},
    {"etSubjectDistance", 37382},
    {"etMeteringMode", 37383},
    {"etLightSource", 37384},
    {"etFlash", 37385},
    {"etFocalLength", 37386},
    {"etMakerNote", 37500},
    {"etUserComment", 37510},
    {"etSubSecTime", 37520},
    {"etSubSecTimeOriginal", 37521},
    {"etSubSecTimeDigitized", 37522},
    {"etFlashPixVersion", 40960},
    {"etColorSpace", 40961},
    {"etPixelXDimension", 40962},
    {"etPixelYDimension", 40963},
    {"etRelatedSoundFile", 40964},
    {"etInteroperabilityIFDPointer", 40965},
    {"etFlashEnergy", 41483},
    {"etSpatialFrequencyResponse", 41484},
    {"etFocalPlaneXResolution", 41486},
    {"etFocalPlaneYResolution", 41487},
    {"etFocalPlaneResolutionUnit", 41488},
    {"etSubjectLocation", 41492},
    {"etExposureIndex", 41493},
    {"etSensingMethod", 41495},
    {"etFileSource", 41728},
    {"etSceneType", 41729},
    {"etCFAPattern", 41730},
    {"etGPSVersionID", 0},
    {"etGPSLatitudeRef", 1},
    {"etGPSLatitude", 2},
    {"etGPSLongitudeRef", 3},
    {"etGPSLongitude", 4},
    {"etGPSAltitudeRef", 5},
    {"etGPSAltitude", 6},
    {"etGPSTimeStamp", 7},
    {"etGPSSatellites", 8},
    {"etGPSStatus", 9},
    {"etGPSMeasureMode", 10},
    {"etGPSDOP", 11},
    {"etGPSSpeedRef", 12},
    {"etGPSSpeed", 13},
    {"etGPSTrackRef", 14},
    {"etGPSTrack", 15},
    {"etGPSImgDirectionRef", 16},
    {"etGPSImgDirection", 17},
    {"etGPSMapDatum", 18},
    {"etGPSDestLatitudeRef", 19},
    {"etGPSDestLatitude", 20},
    {"etGPSDestLongitudeRef", 21},
    {"etGPSDestLongitude", 22},
    {"etGPSDestBearingRef", 23},
    {"etGPSDestBearing", 24},
    {"etGPSDestDistanceRef", 25},
    {"etGPSDestDistance", 26},
    {"etInteroperabilityIndex", 1},
    {"etInteroperabilityVersion", 2},
};

const EnumConstant kTagTypeConstants[] = {
    {"ttBYTE", 1}, {"ttASCII", 2}, {"ttSHORT", 3}, {"ttLONG", 4},
    {"ttRATIONAL", 5}, {"ttUNDEFINED", 7}, {"ttSLONG", 9}, {"ttSRATIONAL", 10},
};

}  // namespace

TagTable::TagTable(std::span<const TagRow> rows) : m_rows(rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        m_index.emplace(static_cast<std::uint16_t>(rows[i].id), i);
}

const TagRow* TagTable::find(std::uint16_t id) const {
    const auto it = m_index.find(id);
    return it == m_index.end() ? nullptr : &m_rows[it->second];
}

// Built on first use and only read afterwards; the initialisation of a
// function-local static is thread-safe.
const TagTable& mainTable() {
    static const TagTable table(kMainRows);
    return table;
}
const TagTable& exifTable() {
    static const TagTable table(kExifRows);
    return table;
}
const TagTable& gpsTable() {
    static const TagTable table(kGpsRows);
    return table;
}
const TagTable& interoperabilityTable() {
    static const TagTable table(kInteropRows);
    return table;
}

std::span<const EnumConstant> exifTagConstants() { return kExifTagConstants; }
std::span<const EnumConstant> tagTypeConstants() { return kTagTypeConstants; }

}  // namespace tagora
