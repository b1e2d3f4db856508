#include "platform/ui_services.h"

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace platform {
namespace {

// Without a host: texts go to standard error, dialogs are cancelled, a
// question is answered with its safe choice (Cancel or No).
class ConsoleUi final : public UiServices {
public:
    MsgResult messageBox(WindowRef, std::string_view text, std::string_view caption, MsgButtons buttons,
                         MsgIcon) override {
        std::string shown(text);
        for (char& c : shown)
            if (c == '\r') c = '\n';
        std::cerr << (caption.empty() ? "" : std::string(caption) + ": ") << shown << std::endl;
        switch (buttons) {
        case MsgButtons::Ok: return MsgResult::Ok;
        case MsgButtons::OkCancel:
        case MsgButtons::RetryCancel: return MsgResult::Cancel;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel: return MsgResult::No;
        }
        return MsgResult::Cancel;
    }
    std::optional<std::string> openFileDialog(WindowRef, const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> saveFileDialog(WindowRef, const FileDialogOptions&) override { return std::nullopt; }
    std::string browseForFolder(WindowRef, std::string_view, std::string_view) override { return {}; }
    std::optional<std::uint32_t> chooseColour(WindowRef, std::uint32_t) override { return std::nullopt; }
    bool openDocument(WindowRef, std::string_view pathOrUrl) override {
        std::cerr << "open: " << pathOrUrl << std::endl;
        return false;
    }
    std::string documentsFolder() override { return xdgDocumentsFolder(); }
};

ConsoleUi g_console;
std::atomic<UiServices*> g_installed{nullptr};

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

// Expands "$HOME" at the start of a user-dirs.dirs value.
std::string expandHome(std::string v, const std::string& home) {
    if (v.rfind("$HOME", 0) == 0) v = home + v.substr(5);
    return v;
}

}  // namespace

}  // namespace platform

// The services the host program installed, for the libraries it loads: each
// in-process module links its own copy of this code, and asks the host's
// copy through this symbol, which every executable exports.
extern "C" __attribute__((visibility("default"))) platform::UiServices* mirofoto_host_ui() {
    return platform::g_installed.load();
}

namespace platform {

UiServices& ui() {
    if (UiServices* s = g_installed.load()) return *s;
    using HostUi = UiServices* (*)();
    static const auto host = reinterpret_cast<HostUi>(::dlsym(RTLD_DEFAULT, "mirofoto_host_ui"));
    if (host && host != &mirofoto_host_ui)
        if (UiServices* s = host()) return *s;
    return g_console;
}

UiServices* installUi(UiServices* services) { return g_installed.exchange(services); }

std::string xdgDocumentsFolder() {
    namespace fs = std::filesystem;
    const std::string home = envOr("HOME", "");
    std::string dir = envOr("XDG_DOCUMENTS_DIR", "");
    if (dir.empty()) {
        const std::string config = envOr("XDG_CONFIG_HOME", home.empty() ? "" : home + "/.config");
        std::ifstream in(config + "/user-dirs.dirs");
        std::string line;
        while (std::getline(in, line)) {
            const std::string key = "XDG_DOCUMENTS_DIR=";
            if (line.rfind(key, 0) != 0) continue;
            std::string v = line.substr(key.size());
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            dir = expandHome(v, home);
        }
    }
    std::error_code ec;
    if (!dir.empty() && fs::is_directory(dir, ec)) return dir;
    if (!home.empty() && fs::is_directory(home + "/Documents", ec)) return home + "/Documents";
    return home;
}

}  // namespace platform
