// The layout rules of the main window and its menu page, in twips. Pure
// arithmetic: the window measures itself, asks these functions where every
// control goes, and converts the answer to pixels in one place.
#pragma once

#include <vector>

namespace mirofoto::mainwindow {

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const TwipsRect&) const = default;
};

/// The splitter never comes nearer to either edge than this.
inline constexpr int kSplitterMargin = 500;
/// The smallest window: width and height in twips.
inline constexpr int kMinimumWindowWidth = 7590;
inline constexpr int kMinimumWindowHeight = 5925;

/// What the frame's layout depends on, measured from the window.
struct FrameMetrics {
    int windowWidth = 0;
    int innerHeight = 0;      ///< the client area below the menu bar
    int treeTop = 0;
    int tabStripTop = 0;
    int tabStripHeight = 0;
    int statusBarTop = 0;
    int statusBarHeight = 0;
    bool statusBarVisible = true;
};

/// Where SizeControls puts the frame's controls for a splitter position.
struct FrameLayout {
    int splitter = 0;  ///< the position after its clamp
    TwipsRect tree;
    TwipsRect imgSplitter;  ///< left and height set, top as given by treeTop
    int tabStripLeft = 0;
    int tabStripWidth = 0;
    int framesWidth = 0;  ///< Frame1 and Frame2
    int progressBarTop = 0;
    TwipsRect page;  ///< the visible page area
};

/// SizeControls: the splitter clamped to 500 … window width − 1500, then
/// every control placed for it. The tree is never lower than 500 twips.
FrameLayout sizeControls(const FrameMetrics& metrics, int splitterX);

/// The drag bar's left while the splitter is dragged: the grip's left plus
/// the mouse position, kept within 500 … window width − 500.
int splitterDragLeft(int gripLeft, int mouseX, int windowWidth);

/// The size a resized window is grown to (at least 7590 × 5925).
struct TwipsSize {
    int width = 0;
    int height = 0;
    bool operator==(const TwipsSize&) const = default;
};
TwipsSize minimumWindowSize(TwipsSize size);

// ---- menu page ----

/// The design places of the menu page's controls that the code never moves.
struct MenuPageDesign {
    static constexpr int titleLeft = 240;
    static constexpr int titleHeight = 495;
    static constexpr int subtitleHeight = 435;
    static constexpr int titleButtonWidth = 2175;
    static constexpr int buttonHeight = 375;
    static constexpr int ruleLeft = 240;
    static constexpr int bulletLeft = 480;
    static constexpr int bulletWidth = 300;
    static constexpr int linkLeft = 840;
    static constexpr int linkHeight = 375;
    static constexpr int entryButtonWidth = 1815;
    static constexpr int scrollStep = 500;  ///< twips per step of VScroll_メニュー
};

/// The menu page's controls for a page size, a number of entries and the
/// scroll bar's value.
struct MenuPageLayout {
    int scroll = 0;  ///< vertical scroll value × 500
    TwipsRect title, titleButton, subtitle, subtitleButton;
    int ruleTop = 0, ruleLeft = 0, ruleRight = 0;
    struct Entry {
        TwipsRect bullet, link, button;
    };
    std::vector<Entry> entries;
    TwipsRect scrollBar;
    int scrollMaximum = 0;
};

MenuPageLayout menuPageLayout(int pageWidth, int pageHeight, int entryCount, int scrollValue, int scrollBarWidth);

/// VScroll_メニュー's maximum: k = (top of the last entry + 500 − page
/// height) ÷ 500 rounded; 0 when k is negative, else k + 1. The top is the
/// entry's unscrolled place, so scrolling never shrinks the range.
int menuScrollMaximum(int entryCount, int pageHeight);

}  // namespace mirofoto::mainwindow
