// The fields of the album settings record that more than one place walks
// (the settings files, the options dialog), each listed once.
#pragma once

#include "app/settings/album_settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirofoto {

/// A number of the record: its key in the settings files (section
/// "オプション"), its place in the record and its limits.
struct AlbumNumberField {
    std::string_view key;
    std::int16_t AlbumSettings::*field;
    NumberLimits limits;
};
/// The sizes and qualities, in the order the options dialog takes them.
inline constexpr std::array<AlbumNumberField, 7> kAlbumNumberFields{{
    {"列数", &AlbumSettings::columns, album_limits::columns},
    {"サムネイル横", &AlbumSettings::thumbWidth, album_limits::thumbWidth},
    {"サムネイル縦", &AlbumSettings::thumbHeight, album_limits::thumbHeight},
    {"サムネイル画質", &AlbumSettings::thumbQuality, album_limits::thumbQuality},
    {"拡大画像横", &AlbumSettings::largeWidth, album_limits::largeWidth},
    {"拡大画像縦", &AlbumSettings::largeHeight, album_limits::largeHeight},
    {"拡大画像画質", &AlbumSettings::largeQuality, album_limits::largeQuality},
}};

struct AlbumFlagField {
    std::string_view key;
    std::int16_t AlbumSettings::*field;
};
/// The captions: thumbnail file name, date, comment; enlarged image file
/// name, date, comment.
inline constexpr std::array<AlbumFlagField, 6> kAlbumCaptionFields{{
    {"サムネイルファイル名", &AlbumSettings::thumbShowFileName},
    {"サムネイル撮影日時", &AlbumSettings::thumbShowDate},
    {"サムネイルコメント", &AlbumSettings::thumbShowComment},
    {"拡大画像ファイル名", &AlbumSettings::largeShowFileName},
    {"拡大画像撮影日時", &AlbumSettings::largeShowDate},
    {"拡大画像コメント", &AlbumSettings::largeShowComment},
}};

/// The picture options: stored as "1" or "0" after the captions, read as
/// they are (anything but "0" is 1).
inline constexpr std::array<AlbumFlagField, 1> kAlbumPictureFlagFields{{
    {"EXIF回転", &AlbumSettings::followOrientation},
}};

struct PageHtmlField {
    std::string_view keyBase;  ///< followed by the page kind's digit
    std::string PageStyle::*field;
};
/// A page kind's free HTML blocks: after <BODY>, middle, before </BODY>.
inline constexpr std::array<PageHtmlField, 3> kPageHtmlFields{{
    {"HTML1", &PageStyle::htmlAfterBodyStart},
    {"HTML2", &PageStyle::htmlMiddle},
    {"HTML3", &PageStyle::htmlBeforeBodyEnd},
}};

/// The page style (AlbumSettings::pageStyle), section "オプション".
inline constexpr std::string_view kPageStyleKey = "ページ形式";

}  // namespace mirofoto
