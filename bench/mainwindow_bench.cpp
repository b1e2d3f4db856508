// The main window's two speed targets:
//   open     the window shown and its tree built for an image folder,
//            measured from the start of the process (target < 0.5 s);
//   rebuild  the tree and the menu page rebuilt for a folder with many
//            ticked subfolders (target < 0.2 s): the first time (every link
//            text is stored then) and again (nothing left to store).
// Usage: mainwindow_bench open FOLDER | rebuild [SUBFOLDERS]
// MIROFOTO_HOME should name a fresh program folder.
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/menu_page.h"
#include "app/mainwindow/qt_ui_services.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <QWindow>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mirofoto::mainwindow::Frm_Main;

namespace {

const auto g_start = std::chrono::steady_clock::now();

double sinceStart() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - g_start).count();
}

// Runs the event loop until the window shows the latest scan.
void waitShown(Frm_Main& w) {
    if (!w.scanPending()) return;
    QEventLoop loop;
    QObject::connect(&w, &Frm_Main::imageFolderShown, &loop, [&] {
        if (!w.scanPending()) loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
}

// The CPU time of the whole process (all threads), which a busy machine
// disturbs less than the elapsed time.
double cpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void waitExposed(QWidget& w) {
    QElapsedTimer t;
    t.start();
    while (!(w.windowHandle() && w.windowHandle()->isExposed()) && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "open" && mode != "rebuild") {
        std::fprintf(stderr, "usage: mainwindow_bench open FOLDER | rebuild [SUBFOLDERS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    mirofoto::mainwindow::QtUiServices services;
    platform::ScopedUi installed(services);
    Frm_Main w;

    if (mode == "open") {
        w.load(std::string(argc > 2 ? argv[2] : "."));
        const double shown = sinceStart();
        waitExposed(w);
        const double exposed = sinceStart();
        waitShown(w);
        const double tree = sinceStart();
        std::printf("open: load returned %.3f s, window exposed %.3f s, tree and menu page shown %.3f s "
                    "(from process start; %.3f s CPU; %d albums)\n",
                    shown, exposed, tree, cpuSeconds(), w.menuPage()->entryCount());
        w.close();
        return 0;
    }

    const int count = argc > 2 ? std::atoi(argv[2]) : 300;
    const fs::path folder = fs::temp_directory_path() / ("mirofoto-bench-" + std::to_string(::getpid()));
    for (int i = 0; i < count; ++i) {
        const fs::path sub = folder / ("アルバム " + std::to_string(1000 + i));
        fs::create_directories(sub);
        std::ofstream(sub / "写真.jpg") << "x";
    }
    w.load(std::string("/nonexistent"));
    waitShown(w);
    std::vector<double> runs, cpu;
    for (int i = 0; i < 11; ++i) {
        // Alternate two spellings of the one folder: each is a change.
        QElapsedTimer t;
        t.start();
        const double c = cpuSeconds();
        w.imageFolderBox()->setText(QString::fromStdString(folder.string() + (i % 2 ? "/" : "")));
        waitShown(w);
        runs.push_back(t.nsecsElapsed() / 1e9);
        cpu.push_back(cpuSeconds() - c);
    }
    const auto median = [](std::vector<double> v) {
        v.erase(v.begin());
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("rebuild of %d subfolders (%d menu entries): first %.3f s (%.3f s CPU; stores every link text), "
                "again median %.3f s (%.3f s CPU), max %.3f s\n",
                count, w.menuPage()->entryCount(), runs.front(), cpu.front(), median(runs), median(cpu),
                *std::max_element(runs.begin() + 1, runs.end()));
    w.close();
    fs::remove_all(folder);
    return 0;
}
