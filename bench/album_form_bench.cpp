// The album run started from the album output form (not a test):
//
//   album_form_bench IMAGE_FOLDER OUTPUT_FOLDER
//
// opens the main window on the image folder, then the form, chooses
// "すべて上書きする" and presses "HTML出力"; every question is answered as a
// user would (create the folder: OK; show the album: No). Prints the run's
// time from the press to the form's end, and the largest gap between the
// ticks of a 10 ms timer on the user-interface thread during the run (how
// long the event loop was kept from running at most).
// MIROFOTO_HOME should name a fresh program folder; QT_QPA_PLATFORM=offscreen
// runs it without a screen.
#include "app/albumoutput/ui/frm_html_output.h"
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/start.h"
#include "app/util/imgctl.h"
#include "platform/ui_services.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <chrono>
#include <cstdio>

using mirofoto::albumoutput_ui::Frm_HTMLOutput;
using mirofoto::mainwindow::Frm_Main;

namespace {

// Answers as the user of the benchmark would, and counts the messages.
class Answers final : public platform::UiServices {
public:
    int messages = 0;
    platform::MsgResult messageBox(platform::WindowRef, std::string_view text, std::string_view,
                                   platform::MsgButtons buttons, platform::MsgIcon) override {
        ++messages;
        std::fprintf(stderr, "message: %.*s\n", int(text.size()), text.data());
        if (buttons == platform::MsgButtons::OkCancel) return platform::MsgResult::Ok;
        if (buttons == platform::MsgButtons::YesNo) return platform::MsgResult::No;
        return platform::MsgResult::Ok;
    }
    std::optional<std::string> openFileDialog(platform::WindowRef, const platform::FileDialogOptions&) override {
        return std::nullopt;
    }
    std::optional<std::string> saveFileDialog(platform::WindowRef, const platform::FileDialogOptions&) override {
        return std::nullopt;
    }
    std::string browseForFolder(platform::WindowRef, std::string_view, std::string_view) override { return {}; }
    std::optional<std::uint32_t> chooseColour(platform::WindowRef, std::uint32_t) override { return std::nullopt; }
    bool openDocument(platform::WindowRef, std::string_view) override { return true; }
    std::string documentsFolder() override { return {}; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: album_form_bench IMAGE_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    mirofoto::ImgctlLibrary::instance();
    QApplication app(argc, argv);
    Answers answers;
    platform::ScopedUi installed(answers);
    Frm_Main window;
    mirofoto::mainwindow::installForms(window);
    window.load(std::string(argv[1]));
    {  // the tree shows the folder
        QEventLoop loop;
        QObject::connect(&window, &Frm_Main::imageFolderShown, &loop, [&] {
            if (!window.scanPending()) loop.quit();
        });
        if (window.scanPending()) loop.exec();
    }

    Frm_HTMLOutput form(window);
    form.show();
    form.findChild<QLineEdit*>(QStringLiteral("Txt_HTML出力先"))->setText(QString::fromUtf8(argv[2]));
    form.findChild<QRadioButton*>(QStringLiteral("Opt_上書きする"))->setChecked(true);

    using Clock = std::chrono::steady_clock;
    Clock::time_point lastTick = Clock::now();
    double largestGap = 0;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        largestGap = std::max(largestGap, std::chrono::duration<double, std::milli>(now - lastTick).count());
        lastTick = now;
    });
    bool finished = false;
    QEventLoop loop;
    QObject::connect(&form, &Frm_HTMLOutput::runEnded, &loop, [&](bool f) {
        finished = f;
        loop.quit();
    });
    const Clock::time_point start = Clock::now();
    ticks.start();
    lastTick = Clock::now();
    QTimer::singleShot(0, &form, [&] { form.findChild<QPushButton*>(QStringLiteral("Cmd_HTML出力"))->click(); });
    loop.exec();
    ticks.stop();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("form run %.3f s, largest event-loop gap %.1f ms, %s\n", seconds, largestGap,
                finished ? "finished" : "NOT finished");
    window.close();
    return finished ? 0 : 1;
}
