// The album settings record: everything that shapes a generated album.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mirofoto {

/// A colour with red in the low byte, then green, then blue; top byte zero.
using Colour = std::uint32_t;

/// The three page kinds of an album; their index (pageIndex) is the index of
/// AlbumSettings::pages and the digit appended to the page keys of the
/// settings files. The window's page widgets have names of their own.
enum class PageKind : int {
    Menu = 0,       ///< the album's index page
    Thumbnail = 1,  ///< one per album folder
    Enlarged = 2,   ///< one per picture
};
constexpr std::size_t pageIndex(PageKind kind) { return static_cast<std::size_t>(kind); }

/// The value a number field of the record takes when nothing usable is
/// stored, and the range a loaded value is held to (outside it, the
/// fallback). The one place these numbers are spelled out.
struct NumberLimits {
    std::int16_t fallback;
    std::int16_t low;
    std::int16_t high;
};

namespace album_limits {
inline constexpr NumberLimits columns{4, 1, 999};
inline constexpr NumberLimits thumbWidth{120, 1, 800};
inline constexpr NumberLimits thumbHeight{90, 1, 600};
inline constexpr NumberLimits thumbQuality{60, 1, 100};
inline constexpr NumberLimits largeWidth{480, 1, 1024};
inline constexpr NumberLimits largeHeight{360, 1, 768};
inline constexpr NumberLimits largeQuality{90, 1, 100};
}  // namespace album_limits

/// The values of AlbumSettings::pageStyle.
inline constexpr std::int16_t kClassicPages = 0;
inline constexpr std::int16_t kModernPages = 1;

/// The colours of every page kind when none is stored.
inline constexpr Colour kDefaultTextColour = 8388608;   // 0x800000: blue 128
inline constexpr Colour kDefaultLinkColour = 16711680;  // 0xFF0000: blue 255
inline constexpr Colour kDefaultVisitedColour = 255;    // red 255
inline constexpr Colour kDefaultBackground = 12648384;  // 0xC0FFC0

/// The look of one page kind.
struct PageStyle {
    Colour textColor = 0;
    Colour linkColor = 0;
    Colour activeLinkColor = 0;  ///< never stored: always equal to linkColor
    Colour visitedLinkColor = 0;
    bool useBackgroundColor = true;  ///< false: tile backgroundImage instead
    Colour backgroundColor = 0;
    std::string backgroundImage;     ///< full path of the background image
    std::string htmlAfterBodyStart;  ///< free HTML blocks, with real CR LF line breaks
    std::string htmlMiddle;
    std::string htmlBeforeBodyEnd;

    bool operator==(const PageStyle&) const = default;
};

/// The album settings of a run. A default-constructed record holds zeros, as
/// the program's record does before its first load; defaults() gives the
/// values a missing settings file yields.
struct AlbumSettings {
    std::string imageFolder;   ///< the main window's image folder, stored with the record
    std::string outputFolder;  ///< "HTML出力先"
    std::int16_t columns = 0;
    std::int16_t thumbWidth = 0;
    std::int16_t thumbHeight = 0;
    std::int16_t thumbQuality = 0;
    std::int16_t largeWidth = 0;
    std::int16_t largeHeight = 0;
    std::int16_t largeQuality = 0;
    std::int16_t thumbShowFileName = 0;  ///< caption flags: 0 or 1
    std::int16_t thumbShowDate = 0;
    std::int16_t thumbShowComment = 0;
    std::int16_t largeShowFileName = 0;
    std::int16_t largeShowDate = 0;
    std::int16_t largeShowComment = 0;
    /// "EXIFの向きに従う" (0 or 1): a picture without a stored turn comes out
    /// upright as its EXIF orientation says, and every turn is applied
    /// before the picture is fitted into its box. 0: the copies are fitted
    /// first and then turned by the stored turn only.
    std::int16_t followOrientation = 0;
    /// "ページ形式": 0 the classic pages (Shift_JIS, tables), 1 the HTML5 pages
    /// that fit a phone and a 4K screen (UTF-8, a reflowing grid, 2x copies).
    std::int16_t pageStyle = 0;
    std::array<PageStyle, 3> pages;  ///< indexed by pageIndex(PageKind)
    PageStyle& page(PageKind kind) { return pages[pageIndex(kind)]; }
    const PageStyle& page(PageKind kind) const { return pages[pageIndex(kind)]; }

    bool operator==(const AlbumSettings&) const = default;

    /// The record a start without any settings file yields (the image folder
    /// left empty: it comes from the documents folder).
    static AlbumSettings defaults();
};

/// The main window's placement, stored in the program state file.
struct WindowPlacement {
    int windowState = 0;  ///< 0 normal, 1 minimized, 2 maximized
    float top = 0;        ///< twips
    float left = 0;
    float height = 0;
    float width = 0;

    bool operator==(const WindowPlacement&) const = default;
};

}  // namespace mirofoto
