// The start routine of ミロフォト: without a command it opens the main
// window (on an image folder given as the argument). "generate" makes an
// album without a window; "tick" shows and changes which albums and
// pictures take part; "publish" sends what changed in an output folder to
// a server; "info" reports where the program keeps its settings and why.
#include "app/albumoutput/generate_command.h"
#include "app/albumoutput/tick_command.h"
#include "app/mainwindow/start.h"
#include "app/publish/publish_command.h"
#include "app/settings/album_settings.h"
#include "app/settings/settings_files.h"
#include "app/util/imgctl.h"
#include "app/util/paths.h"
#include "app/util/storage_location.h"
#include "platform/com/registry.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kTitle = "ミロフォト";
constexpr int kMajor = 1;
constexpr int kMinor = 1;

void printUsage(std::ostream& out) {
    out << "使い方: mirofoto [画像フォルダ | --version | --help | info | generate ... | tick ...]\n"
           "  （なし）   メインウインドウを開きます\n"
           "  画像フォルダ そのフォルダを画像フォルダにしてメインウインドウを開きます\n"
           "  generate   画像フォルダから HTML アルバムを作成します（mirofoto generate --help）\n"
           "  tick       アルバムと画像を載せるかどうかを表示・変更します（mirofoto tick --help）\n"
           "  publish    出力フォルダの変わったファイルだけをサーバーに送ります（mirofoto publish --help）\n"
           "  info       設定ファイルの場所とアルバム設定を表示します\n";
}

// The window, when the screen allows one; otherwise one line on what to use.
int openWindow(int argc, char** argv, const std::optional<std::string>& imageFolder) {
    std::string why;
    if (!mirofoto::mainwindow::windowsAvailable(&why)) {
        std::cerr << "mirofoto: " << why << "\n";
        return 1;
    }
    return mirofoto::mainwindow::runMainWindow(argc, argv, imageFolder);
}

// An argument names an image folder when it is a path: it holds "/" or
// names something that exists. A relative one is made absolute, since the
// box's text keys the folder's settings.
std::optional<std::string> imageFolderArgument(const std::string& arg) {
    std::error_code ec;
    if (arg.empty() || arg[0] == '-') return std::nullopt;
    if (arg.find('/') == std::string::npos && !std::filesystem::exists(arg, ec)) return std::nullopt;
    const std::filesystem::path abs = std::filesystem::absolute(arg, ec);
    return ec ? arg : abs.lexically_normal().string();
}

// Prints the album settings as the base settings file holds them. Reading
// only: info never writes a settings file.
void printAlbumSettings(std::ostream& out) {
    mirofoto::AlbumSettings s;
    mirofoto::WindowPlacement placement;
    mirofoto::基本設定読込(mirofoto::baseSettingsFile(), s, placement);
    static const char* pageNames[] = {"menu page", "thumbnail pages", "enlarged pages"};
    const auto oneLine = [](const std::string& html) {
        std::string shown;
        for (char c : html) shown += c == '\r' ? std::string() : c == '\n' ? std::string("\\n") : std::string(1, c);
        return shown;
    };
    out << "image folder:        " << s.imageFolder << "\n"
        << "output folder:       " << s.outputFolder << "\n"
        << "columns:             " << s.columns << "\n"
        << "thumbnails:          " << s.thumbWidth << " x " << s.thumbHeight << " quality " << s.thumbQuality << "\n"
        << "enlarged images:     " << s.largeWidth << " x " << s.largeHeight << " quality " << s.largeQuality << "\n"
        << "thumbnail captions:  file name " << s.thumbShowFileName << ", date " << s.thumbShowDate
        << ", comment " << s.thumbShowComment << "\n"
        << "enlarged captions:   file name " << s.largeShowFileName << ", date " << s.largeShowDate
        << ", comment " << s.largeShowComment << "\n"
        << "follow EXIF orientation: " << s.followOrientation << "\n";
    for (int p = 0; p < 3; ++p) {
        const mirofoto::PageStyle& page = s.pages[p];
        out << pageNames[p] << ":\n"
            << "  text " << page.textColor << ", link " << page.linkColor << ", active link "
            << page.activeLinkColor << ", visited link " << page.visitedLinkColor << "\n"
            << "  background " << (page.useBackgroundColor ? "colour " + std::to_string(page.backgroundColor)
                                                         : "image " + page.backgroundImage)
            << "\n"
            << "  HTML after body start: " << oneLine(page.htmlAfterBodyStart) << "\n"
            << "  HTML middle:           " << oneLine(page.htmlMiddle) << "\n"
            << "  HTML before body end:  " << oneLine(page.htmlBeforeBodyEnd) << "\n";
    }
    out << "window:              state " << placement.windowState << ", top " << placement.top << ", left "
        << placement.left << ", height " << placement.height << ", width " << placement.width << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return openWindow(argc, argv, std::nullopt);
    const std::string command = argv[1];
    if (command == "--version") {
        std::cout << kTitle << "\u3000Ver" << kMajor << "." << kMinor << "\n";
        return 0;
    }
    if (command == "--help" || command == "-h") {
        printUsage(std::cout);
        return 0;
    }
    if (command == "info") {
        const std::string folder = mirofoto::ProgramFolder();
        const mirofoto::StorageLocation at = mirofoto::storageLocation();
        std::cout << kTitle << "\u3000Ver" << kMajor << "." << kMinor << "\n"
                  << "program folder:      " << folder << "\n"
                  << "settings folder:     " << at.settingsFolder << "\n"
                  << "temp folder:         " << at.tempFolder << "\n"
                  << "chosen because:      " << at.why << "\n"
                  << "registry file:       " << platform::com::registryPath() << "\n"
                  << "base settings file:  " << mirofoto::baseSettingsFile() << "\n"
                  << "program state file:  " << mirofoto::programStateFile() << "\n";
        printAlbumSettings(std::cout);
        return 0;
    }
    if (command == "generate") {
        // Loaded before the run starts its threads: the library prepares
        // the environment of libvips when it is loaded.
        mirofoto::ImgctlLibrary::instance();
        const std::vector<std::string> args(argv + 2, argv + argc);
        return mirofoto::runGenerateCommand(args, std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) != 0);
    }
    if (command == "publish") return mirofoto::publish::runPublishCommand({argv + 2, argv + argc}, std::cout, std::cerr);
    if (command == "tick") return mirofoto::runTickCommand({argv + 2, argv + argc}, std::cout, std::cerr);
    if (const auto folder = imageFolderArgument(command)) return openWindow(argc, argv, folder);
    std::cerr << "mirofoto: unknown command: " << command << "\n";
    printUsage(std::cerr);
    return 2;
}
