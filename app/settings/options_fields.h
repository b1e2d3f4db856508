// What the options dialog shows and takes back, without the dialog: the
// record spread over the dialog's fields, the rules of its quality boxes,
// its recommended values and the checks that keep every number it hands
// back inside the ranges of the album settings.
#pragma once

#include "app/settings/album_settings.h"
#include "app/settings/settings_fields.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mirofoto {

/// The seven number boxes, in the order 設定反映 takes them.
enum class OptionsNumber { Columns, ThumbWidth, ThumbHeight, ThumbQuality, LargeWidth, LargeHeight, LargeQuality };
inline constexpr int kOptionsNumberCount = 7;

struct OptionsNumberBox {
    OptionsNumber number;
    const char* objectName;  ///< the box's control name
    const char* label;       ///< how the user knows it, for a message
    int maxLength;           ///< characters the box takes
    /// The record's field behind the box, with its limits.
    const AlbumNumberField& setting() const { return kAlbumNumberFields[int(number)]; }
};

/// One row per number box, in 設定反映 order.
extern const std::array<OptionsNumberBox, kOptionsNumberCount> kOptionsNumberBoxes;
const OptionsNumberBox& optionsNumberBox(OptionsNumber number);

/// The dialog's fields: text boxes hold text, swatches colours.
struct OptionsFields {
    std::array<std::string, kOptionsNumberCount> numbers;  ///< indexed by OptionsNumber
    struct Page {
        Colour text = 0;
        Colour link = 0;
        Colour visited = 0;
        bool useBackgroundColor = true;
        Colour background = 0;
        std::string backgroundImage;
        std::array<std::string, 3> html;  ///< after <BODY>, middle, before </BODY>
        bool operator==(const Page&) const = default;
    };
    std::array<Page, 3> pages;  ///< indexed by PageKind
    /// Thumbnail file name, date, comment; enlarged file name, date, comment.
    std::array<bool, 6> captions{};
    bool followOrientation = true;  ///< EXIFの向きに従う
    bool modernPages = false;  ///< "ページ形式": the HTML5 pages

    bool operator==(const OptionsFields&) const = default;
};

/// The fields as the dialog opens on the record.
OptionsFields fieldsFromSettings(const AlbumSettings& settings);

/// The text without blanks (spaces) at either end.
std::string trimBlanks(std::string_view text);

/// A quality box after its text changed: the text it then shows and the
/// slider's value. Trimmed; not a number gives the fallback (60 for the
/// thumbnail box, 90 for the enlarged image's); below 1 gives "1", above
/// 100 "100". A number inside the range keeps its text as typed (trimmed).
struct QualityBox {
    std::string text;
    int value = 0;
    bool operator==(const QualityBox&) const = default;
};
QualityBox qualityBoxRule(std::string_view text, OptionsNumber box);

/// The recommended values of the four お勧め設定 buttons: the defaults.
struct Recommended {
    OptionsNumber box;
    std::int16_t value;
};
inline constexpr std::array<Recommended, 2> kRecommendedThumbnailSize{
    {{OptionsNumber::ThumbWidth, album_limits::thumbWidth.fallback},
     {OptionsNumber::ThumbHeight, album_limits::thumbHeight.fallback}}};
inline constexpr std::array<Recommended, 2> kRecommendedLargeSize{
    {{OptionsNumber::LargeWidth, album_limits::largeWidth.fallback},
     {OptionsNumber::LargeHeight, album_limits::largeHeight.fallback}}};
inline constexpr Recommended kRecommendedThumbQuality{OptionsNumber::ThumbQuality, album_limits::thumbQuality.fallback};
inline constexpr Recommended kRecommendedLargeQuality{OptionsNumber::LargeQuality, album_limits::largeQuality.fallback};

/// The outcome of 設定反映 over the fields.
struct ApplyOutcome {
    /// The first box (in 設定反映 order) holding a number outside its range:
    /// then nothing at all was stored.
    std::optional<OptionsNumber> outOfRange;
    /// The number boxes' texts, trimmed, as the dialog shows them afterwards.
    std::array<std::string, kOptionsNumberCount> trimmed;
};

/// 設定反映: the fields into the record. A number box that does not read as
/// a number leaves its field as it was; a number is rounded to a whole one.
/// When any number lies outside its field's range the record is left
/// untouched and outOfRange names the box. The link colour is stored as the
/// active-link colour too; HTML blocks and background paths as typed.
ApplyOutcome applyFields(const OptionsFields& fields, AlbumSettings& settings);

/// An HTML block of the record (CR LF line breaks) as a text box holds it
/// (LF), and back.
std::string htmlBlockForBox(std::string_view block);
std::string htmlBlockFromBox(std::string_view text);

/// The message for a box whose number is outside its range.
std::string outOfRangeMessage(OptionsNumber box);

}  // namespace mirofoto
