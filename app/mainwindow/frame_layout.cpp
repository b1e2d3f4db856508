#include "app/mainwindow/frame_layout.h"

#include <algorithm>
#include <cmath>

namespace mirofoto::mainwindow {

FrameLayout sizeControls(const FrameMetrics& m, int x) {
    // The upper bound wins when the window is too narrow for both.
    if (x < kSplitterMargin) x = kSplitterMargin;
    if (x > m.windowWidth - 1500) x = m.windowWidth - 1500;

    FrameLayout l;
    l.splitter = x;
    const int statusBar = m.statusBarVisible ? m.statusBarHeight : 0;
    l.tree.left = 0;
    l.tree.top = m.treeTop;
    l.tree.width = x - 40;
    l.tree.height = std::max(500, m.innerHeight - m.treeTop - statusBar - 100);

    l.imgSplitter.left = x;
    l.imgSplitter.top = m.tabStripTop;
    l.imgSplitter.height = m.innerHeight - (m.tabStripTop + m.statusBarHeight);

    l.tabStripLeft = x + 100;
    l.tabStripWidth = m.windowWidth - (l.tree.width + 300);
    l.framesWidth = m.windowWidth;
    l.progressBarTop = m.statusBarTop + 95;

    l.page.left = x + 100;
    l.page.top = m.tabStripTop + m.tabStripHeight;
    l.page.width = m.windowWidth - (l.tree.width + 300);
    l.page.height = m.innerHeight - (l.page.top + m.statusBarHeight);
    return l;
}

int splitterDragLeft(int gripLeft, int mouseX, int windowWidth) {
    const int position = gripLeft + mouseX;
    if (position < kSplitterMargin) return kSplitterMargin;
    if (position > windowWidth - kSplitterMargin) return windowWidth - kSplitterMargin;
    return position;
}

TwipsSize minimumWindowSize(TwipsSize s) {
    return {std::max(s.width, kMinimumWindowWidth), std::max(s.height, kMinimumWindowHeight)};
}

int menuScrollMaximum(int entryCount, int pageHeight) {
    if (entryCount <= 0) return 0;
    const int lastTop = (entryCount - 1) * MenuPageDesign::scrollStep + 1500;
    const double k = std::nearbyint(double(lastTop + 500 - pageHeight) / MenuPageDesign::scrollStep);
    return k < 0 ? 0 : static_cast<int>(k) + 1;
}

MenuPageLayout menuPageLayout(int pageWidth, int pageHeight, int entryCount, int scrollValue, int scrollBarWidth) {
    using D = MenuPageDesign;
    MenuPageLayout l;
    const int m = scrollValue * D::scrollStep;
    l.scroll = m;

    const int titleWidth = pageWidth - 2775 > 500 ? pageWidth - 2775 : 500;
    const int buttonLeft = D::titleLeft + titleWidth + 50;
    l.title = {D::titleLeft, 180 - m, titleWidth, D::titleHeight};
    l.titleButton = {buttonLeft, 180 - m, D::titleButtonWidth, D::buttonHeight};
    l.subtitle = {D::titleLeft, 720 - m, titleWidth, D::subtitleHeight};
    l.subtitleButton = {buttonLeft, 720 - m, D::titleButtonWidth, D::buttonHeight};
    l.ruleTop = 1260 - m;
    l.ruleLeft = D::ruleLeft;
    l.ruleRight = D::ruleLeft + pageWidth - 555;

    const int linkWidth = pageWidth - 3075 > 500 ? pageWidth - 3075 : 500;
    for (int i = 0; i < entryCount; ++i) {
        const int top = i * D::scrollStep + 1500 - m;
        MenuPageLayout::Entry e;
        e.bullet = {D::bulletLeft, top, D::bulletWidth, D::linkHeight};
        e.link = {D::linkLeft, top, linkWidth, D::linkHeight};
        e.button = {D::linkLeft + linkWidth + 50, top, D::entryButtonWidth, D::buttonHeight};
        l.entries.push_back(e);
    }

    l.scrollBar = {pageWidth - scrollBarWidth - 50, 0, scrollBarWidth, pageHeight - 50};
    l.scrollMaximum = menuScrollMaximum(entryCount, pageHeight);
    return l;
}

}  // namespace mirofoto::mainwindow
