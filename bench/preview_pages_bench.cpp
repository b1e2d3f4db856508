// The preview pages' speed (not a test):
//   thumbnails FOLDER   the thumbnail page opened on FOLDER with an empty
//                       cache. One line, from the click on the tab:
//                         first screen shown X s; exact Y s; jump shown Z s; longest block W ms
//                       shown: every cell in view shows a picture (a
//                       stand-in or its preview); exact: every cell in view
//                       has its preview; jump: from setting the scroll bar
//                       to its maximum until every cell then in view shows a
//                       picture; longest block: the largest gap between two
//                       ticks of a 10 ms timer, from the click to the end.
//                       Then the details: scan time, cells, peak memory;
//   thumbnails FOLDER scroll   the same, then the page scrolled through from
//                       top to bottom (each screen shown before the next
//                       step), which the block and memory include;
//   enlarged FOLDER [N] the enlarged page's display of the first N pictures
//                       (default 5), link click to picture shown, and to
//                       its stand-in shown when it had one.
// MIROFOTO_HOME should name a fresh program folder (an empty cache), and
// MIROFOTO_PREVIEW_THREADS=ui makes the previews one by one on the
// user-interface thread, as the one-by-one drawing does.
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/preview_maker.h"
#include "app/mainwindow/enlarged_page.h"
#include "app/mainwindow/thumbnail_page.h"
#include "app/mainwindow/qt_ui_services.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using mirofoto::mainwindow::EnlargedPage;
using mirofoto::mainwindow::Frm_Main;
using mirofoto::mainwindow::ThumbnailPage;

namespace {

// Runs the event loop until the condition holds (checked every turn).
bool runUntil(const std::function<bool()>& done, int timeoutMs = 600000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

long peakMegabytes() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode != "thumbnails" && mode != "enlarged") {
        std::fprintf(stderr, "usage: preview_pages_bench thumbnails FOLDER [scroll] | enlarged FOLDER [N]\n");
        return 2;
    }
    QApplication app(argc, argv);
    mirofoto::mainwindow::QtUiServices services;
    platform::ScopedUi installed(services);
    Frm_Main w;
    w.load(std::string(argv[2]));
    runUntil([&] { return !w.scanPending(); });
    ThumbnailPage* page = w.thumbnailPage();
    const char* how = qEnvironmentVariableIsSet("MIROFOTO_PREVIEW_THREADS") &&
                              qgetenv("MIROFOTO_PREVIEW_THREADS") == "ui"
                          ? "one by one on the UI thread"
                          : "worker pool";

    // The event loop's pulse: the largest gap between two ticks of a 10 ms timer.
    QElapsedTimer pulse;
    qint64 lastTick = 0, worstGap = 0, worstAt = 0;
    bool measuring = false;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = pulse.nsecsElapsed();
        if (measuring && now - lastTick > worstGap) {
            worstGap = now - lastTick;
            worstAt = now;
        }
        lastTick = now;
    });

    QElapsedTimer clock;
    double scanned = -1;
    QObject::connect(page, &ThumbnailPage::listed, [&](int) { scanned = clock.nsecsElapsed() / 1e9; });
    // Whether every cell in view shows a picture (any, or its preview). The
    // view counts only once the cells down to its bottom exist.
    const auto screen = [&](bool exact) {
        const std::vector<int> cells = page->cellsInView();
        if (cells.empty() || (!page->ready() && cells.back() >= page->cellCount() - 1)) return false;
        return std::all_of(cells.begin(), cells.end(),
                           [&](int i) { return exact ? page->cellHasPicture(i) : page->cellShowsPicture(i); });
    };
    pulse.start();
    tick.start();
    clock.start();
    measuring = true;
    lastTick = pulse.nsecsElapsed();
    w.selectTab(QStringLiteral("Tab_サムネイルページ"));
    if (mode == "thumbnails") {
        if (!runUntil([&] { return scanned >= 0 && screen(false); })) {
            std::fprintf(stderr, "preview_pages_bench: the first screen was never shown\n");
            return 1;
        }
        const double shownAt = clock.nsecsElapsed() / 1e9;
        const int firstCells = static_cast<int>(page->cellsInView().size());
        runUntil([&] { return screen(true); });
        const double exactAt = clock.nsecsElapsed() / 1e9;
        // The jump, once the page can take it (every cell listed).
        runUntil([&] { return page->ready() && page->previewsSettled(); });
        QScrollBar* bar = w.findChild<QScrollBar*>(QStringLiteral("VScroll_サムネイル"));
        QElapsedTimer jump;
        jump.start();
        bar->setValue(bar->maximum());
        runUntil([&] { return screen(false); });
        const double jumpShown = jump.nsecsElapsed() / 1e9;
        runUntil([&] { return screen(true) && page->previewsSettled(); });
        const double jumpExact = jump.nsecsElapsed() / 1e9;
        const int last = page->cellCount() - 1;
        // With "scroll": back to the top, then down by the scroll bar's page step (about a row) to the
        // end, each screen shown before the next step, as a user pages
        // through the folder (what the widgets and pictures then cost).
        int steps = 0;
        double scrolled = 0;
        if (argc > 3 && std::string(argv[3]) == "scroll") {
            QElapsedTimer through;
            through.start();
            bar->setValue(0);
            runUntil([&] { return screen(false); });
            while (bar->value() < bar->maximum()) {
                bar->setValue(std::min(bar->maximum(), bar->value() + bar->pageStep()));
                ++steps;
                runUntil([&] { return screen(false); }, 10000);
            }
            scrolled = through.nsecsElapsed() / 1e9;
        }
        // A few more pulses, so a gap at the very end is seen too.
        QElapsedTimer settle;
        settle.start();
        runUntil([&] { return settle.elapsed() > 200; });
        std::printf("first screen shown %.3f s; exact %.3f s; jump shown %.3f s; longest block %.1f ms\n", shownAt,
                    exactAt, jumpShown, worstGap / 1e6);
        std::printf("  (%s, %u workers: %d pictures; scan %.3f s; %d cells in the first screen; jump exact %.3f s; "
                    "longest block ending at %.3f s after the click; last cell %s; peak memory %ld MB)\n",
                    how, page->maker()->threads(), page->cellCount(), scanned, firstCells, jumpExact,
                    worstAt / 1e9, page->cellHasPicture(last) ? "shown" : "NOT shown", peakMegabytes());
        if (steps > 0)
            std::printf("  (scrolled from top to bottom by the scroll bar's page step: %d steps, %.1f s; the peak memory above "
                        "includes it)\n",
                        steps, scrolled);
        std::fflush(stdout);
        return page->cellHasPicture(last) ? 0 : 1;
    }
    if (!runUntil([&] { return scanned >= 0 && page->cellCount() > 0 && page->previewsSettled(); })) {
        std::fprintf(stderr, "preview_pages_bench: the first screen never settled\n");
        return 1;
    }

    const int n = std::min(argc > 3 ? std::atoi(argv[3]) : 5, page->cellCount());
    std::vector<double> times, standIns;
    EnlargedPage* enlarged = w.enlargedPage();
    for (int i = 0; i < n; ++i) {
        bool shown = false;
        QElapsedTimer t;
        const auto c = QObject::connect(enlarged, &EnlargedPage::pictureShown, [&](int) { shown = true; });
        const auto s = QObject::connect(enlarged, &EnlargedPage::placeholderShown,
                                        [&](int) { standIns.push_back(t.nsecsElapsed() / 1e6); });
        t.start();
        w.setCurrentImage(i);
        w.selectTab(QStringLiteral("Tab_拡大画像ページ"));
        runUntil([&] { return shown; });
        times.push_back(t.nsecsElapsed() / 1e6);
        QObject::disconnect(c);
        QObject::disconnect(s);
    }
    std::sort(times.begin(), times.end());
    std::sort(standIns.begin(), standIns.end());
    std::printf("enlarged (%s): %d displays, link click to picture shown: median %.1f ms, max %.1f ms; "
                "%zu stand-ins shown: median %.1f ms\n",
                how, n, times[times.size() / 2], times.back(), standIns.size(),
                standIns.empty() ? 0.0 : standIns[standIns.size() / 2]);
    return 0;
}
