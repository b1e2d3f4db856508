#include "app/util/imgctl.h"

#include "platform/paths.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <system_error>

namespace mirofoto {
namespace {

constexpr const char* kLibraryName = "libimgctl.so";

template <class Fn>
bool resolve(void* module, const char* name, Fn& fn, std::string& missing) {
    fn = reinterpret_cast<Fn>(::dlsym(module, name));
    if (!fn) missing += missing.empty() ? name : std::string(", ") + name;
    return fn != nullptr;
}

}  // namespace

ImgctlLibrary::ImgctlLibrary(const std::vector<std::string>& candidates) {
    for (const auto& file : candidates) {
        // The module stays loaded for the life of the process: libvips and
        // GLib register types that cannot be unloaded.
        void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* why = ::dlerror();
            m_error += "「" + file + "」を読み込めません: " + (why ? why : "?") + "\r";
            continue;
        }
        ToDibFn toDib = nullptr;
        std::string missing;
        resolve(module, "ToDIB", toDib, missing);
        resolve(module, "ResizeDIB", m_resizeDib, missing);
        resolve(module, "TurnDIB", m_turnDib, missing);
        resolve(module, "DIBtoJPG", m_dibToJpg, missing);
        resolve(module, "DeleteDIB", m_deleteDib, missing);
        if (missing.empty()) {
            m_lastFailure = reinterpret_cast<LastFailureFn>(::dlsym(module, "GetLastFailure"));
            m_mirrorDib = reinterpret_cast<MirrorDibFn>(::dlsym(module, "MirrorDIB"));
            m_toDib = toDib;  // set last: it marks the library as usable
            m_error.clear();
            return;
        }
        m_error += "「" + file + "」に関数がありません: " + missing + "\r";
        ::dlclose(module);
        m_resizeDib = nullptr;
        m_turnDib = nullptr;
        m_dibToJpg = nullptr;
        m_deleteDib = nullptr;
    }
    if (m_error.empty()) m_error = "画像ライブラリのファイルが指定されていません。\r";
    m_error = "画像ライブラリ（" + std::string(kLibraryName) + "）を読み込めませんでした。画像は作成されません。\r" + m_error;
    m_error.pop_back();  // the last CR
}

std::vector<std::string> ImgctlLibrary::defaultCandidates() {
    if (const char* named = std::getenv("MIROFOTO_IMGCTL"); named && *named) return {named};
    std::vector<std::string> files;
    files.push_back(platform::executableFolder() + "/" + kLibraryName);
    files.emplace_back(kLibraryName);
    return files;
}

ImgctlLibrary& ImgctlLibrary::instance() {
    // The first image operation may run on any thread; a message box there
    // is not possible, and one per picture would flood the user. The reason
    // goes to standard error once; the window reads loadError() to show it.
    static ImgctlLibrary* lib = [] {
        auto* l = new ImgctlLibrary(defaultCandidates());
        if (!l->loaded()) {
            std::string text = l->loadError();
            for (char& c : text)
                if (c == '\r') c = '\n';
            std::fprintf(stderr, "ミロフォト: %s\n", text.c_str());
        }
        return l;
    }();
    return *lib;
}

std::int32_t ImgctlLibrary::toDIB(std::string_view path) const {
    return m_toDib ? m_toDib(std::string(path).c_str()) : 0;
}

bool ImgctlLibrary::resizeDIB(std::int32_t handle, std::int32_t width, std::int32_t height) const {
    return m_toDib && m_resizeDib(handle, width, height) != 0;
}

bool ImgctlLibrary::turnDIB(std::int32_t handle, std::int32_t angle) const {
    return m_toDib && m_turnDib(handle, angle) != 0;
}

bool ImgctlLibrary::mirrorDIB(std::int32_t handle) const { return canMirror() && m_mirrorDib(handle) != 0; }

bool ImgctlLibrary::dibToJPG(std::string_view path, std::int32_t handle, std::int32_t quality,
                             bool encoderFlag) const {
    return m_toDib && m_dibToJpg(std::string(path).c_str(), handle, quality, encoderFlag ? 1 : 0) != 0;
}

void ImgctlLibrary::deleteDIB(std::int32_t handle) const {
    if (m_toDib) m_deleteDib(handle);
}

ImgctlFailure ImgctlLibrary::lastFailure(std::int32_t handle) const {
    ImgctlFailure f;
    if (!m_toDib) {
        f.text = m_error;
        return f;
    }
    if (!m_lastFailure) return f;
    std::int32_t code = 0, corrupt = 0;
    std::string text(256, '\0');
    std::int32_t needed = m_lastFailure(handle, &code, &corrupt, text.data(), std::int32_t(text.size()));
    if (needed > std::int32_t(text.size())) {
        text.assign(std::size_t(needed), '\0');
        needed = m_lastFailure(handle, &code, &corrupt, text.data(), needed);
    }
    if (needed <= 0) return f;
    text.resize(std::min(std::size_t(needed) - 1, text.size() - 1));
    f.code = code;
    f.corrupt = corrupt != 0;
    f.text = std::move(text);
    return f;
}

}  // namespace mirofoto
