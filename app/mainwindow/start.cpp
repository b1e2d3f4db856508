#include "app/mainwindow/start.h"

#include "app/albumoutput/ui/frm_html_output.h"
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/enlarged_page.h"
#include "app/mainwindow/thumbnail_page.h"
#include "app/mainwindow/qt_translations.h"
#include "app/mainwindow/qt_ui_services.h"
#include "app/settings/settings_files.h"
#include "app/settings/settings_write_report.h"
#include "app/settings/ui/frm_options.h"
#include "app/util/imgctl.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace mirofoto::mainwindow {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// Connects to a local X server's socket, by its file or in the abstract
// namespace where servers listen too.
bool localXServerAnswers(const std::string& number) {
    const std::string path = "/tmp/.X11-unix/X" + number;
    for (bool abstract : {false, true}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0;
        std::memcpy(addr.sun_path + offset, path.c_str(), std::min(path.size(), sizeof addr.sun_path - 1 - offset));
        const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
        ::close(fd);
        if (ok) return true;
    }
    return false;
}

}  // namespace

void installForms(Frm_Main& window) {
    window.setOptionsCommand([](Frm_Main& main) {
        settings_ui::showOptionsDialog(
            main.settings(), [&main](bool redraw) { main.thumbnailPage()->setRedrawThumbnails(redraw); }, &main);
    });
    window.setAlbumOutputCommand([](Frm_Main& main) { albumoutput_ui::showAlbumOutputForm(main); });
}

bool windowsAvailable(std::string* why) {
    const std::string hint = "ウインドウなしでアルバムを作るには mirofoto generate を使ってください（mirofoto generate --help）。";
    if (!env("QT_QPA_PLATFORM").empty() || !env("WAYLAND_DISPLAY").empty()) return true;
    const std::string display = env("DISPLAY");
    if (display.empty()) {
        if (why) *why = "画面がないためウインドウを開けません（DISPLAY が設定されていません）。" + hint;
        return false;
    }
    std::smatch m;
    static const std::regex local(R"(^(?:unix)?:(\d+)(?:\.\d+)?$)");
    if (std::regex_match(display, m, local) && !localXServerAnswers(m[1].str())) {
        if (why) *why = "画面 " + display + " に接続できないためウインドウを開けません。" + hint;
        return false;
    }
    return true;
}

int runMainWindow(int argc, char** argv, const std::optional<std::string>& imageFolder) {
    // Loaded before Qt or the window start any thread: the library prepares
    // the environment of libvips when it is loaded.
    ImgctlLibrary::instance();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirofoto"));
    installQtJapanese(app);
    QtUiServices services;
    platform::ScopedUi installed(services);
    Frm_Main window;
    installForms(window);
    // The first settings write that fails is told once; it may happen on
    // the folder scan's worker, so the message is queued to this thread.
    QPointer<Frm_Main> owner(&window);
    setSettingsWriteFailureHandler([owner](const SettingsWriteFailure& failure) {
        const std::string text = settingsWriteFailureMessage(failure);
        QMetaObject::invokeMethod(
            qApp,
            [owner, text] {
                platform::ui().messageBox(owner.data(), text, kApplicationTitle, platform::MsgButtons::Ok,
                                          platform::MsgIcon::Exclamation);
            },
            Qt::QueuedConnection);
    });
    if (const auto problem = settingsFolderProblem()) noteSettingsWriteFailure(*problem);
    window.load(imageFolder);
    const int code = app.exec();
    setSettingsWriteFailureHandler(nullptr);
    return code;
}

}  // namespace mirofoto::mainwindow
