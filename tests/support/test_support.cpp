#include "tests/support/test_support.h"

#include <atomic>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path p = base / ("mirofoto-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            m_path = p;
            return;
        }
        if (ec) throw std::runtime_error("cannot make a temporary folder: " + ec.message());
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable first.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::string TempDir::str(std::string_view child) const {
    std::string s = m_path.string();
    if (!child.empty()) s += "/" + std::string(child);
    return s;
}

fs::path TempDir::operator/(std::string_view child) const { return m_path / fs::path(std::string(child)); }

FullDisk::FullDisk(std::size_t bytes) {
    // A namespace of its own, so nothing outside sees the mount and nothing
    // stays mounted should the test die; mounts made there must not travel
    // back to the parent namespace.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        m_why = std::string("no mount namespace: ") + std::strerror(errno);
        return;
    }
    const std::string options = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", m_folder.str().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        m_why = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        return;
    }
    m_mounted = true;
}

FullDisk::~FullDisk() {
    if (m_mounted) ::umount2(m_folder.str().c_str(), MNT_DETACH);
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const fs::path& file, std::string_view bytes) {
    if (file.has_parent_path()) fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

fs::path dataPath(std::string_view relative) {
    const char* root = std::getenv("MIROFOTO_TEST_DATA");
    return fs::path(root ? root : "tests/data") / fs::path(std::string(relative));
}

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

platform::MsgResult ScriptedUi::messageBox(platform::WindowRef, std::string_view text, std::string_view caption,
                                           platform::MsgButtons buttons, platform::MsgIcon icon) {
    Call c;
    c.kind = "message";
    c.text = text;
    c.caption = caption;
    c.buttons = buttons;
    c.icon = icon;
    calls.push_back(c);
    // A box with only an OK button asks nothing: it never takes a scripted answer.
    if (buttons == platform::MsgButtons::Ok) return platform::MsgResult::Ok;
    if (!messageAnswers.empty()) {
        auto a = messageAnswers.front();
        messageAnswers.pop_front();
        return a;
    }
    if (defaultMessageAnswer) return *defaultMessageAnswer;
    throw std::logic_error("unscripted message box: " + std::string(text));
}

std::optional<std::string> ScriptedUi::openFileDialog(platform::WindowRef, const platform::FileDialogOptions& o) {
    Call c;
    c.kind = "open";
    c.text = o.title;
    c.fileOptions = o;
    calls.push_back(c);
    if (fileAnswers.empty()) throw std::logic_error("unscripted file-open dialog");
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedUi::saveFileDialog(platform::WindowRef, const platform::FileDialogOptions& o) {
    Call c;
    c.kind = "save";
    c.text = o.title;
    c.fileOptions = o;
    calls.push_back(c);
    if (fileAnswers.empty()) throw std::logic_error("unscripted file-save dialog");
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

std::string ScriptedUi::browseForFolder(platform::WindowRef, std::string_view initialFolder, std::string_view title) {
    Call c;
    c.kind = "folder";
    c.text = title;
    c.initialFolder = initialFolder;
    calls.push_back(c);
    if (folderAnswers.empty()) throw std::logic_error("unscripted folder dialog");
    auto a = folderAnswers.front();
    folderAnswers.pop_front();
    return a;
}

std::optional<std::uint32_t> ScriptedUi::chooseColour(platform::WindowRef, std::uint32_t) {
    Call c;
    c.kind = "colour";
    calls.push_back(c);
    if (colourAnswers.empty()) throw std::logic_error("unscripted colour dialog");
    auto a = colourAnswers.front();
    colourAnswers.pop_front();
    return a;
}

bool ScriptedUi::openDocument(platform::WindowRef, std::string_view pathOrUrl) {
    Call c;
    c.kind = "document";
    c.text = pathOrUrl;
    calls.push_back(c);
    return openDocumentResult;
}

std::vector<std::string> ScriptedUi::messages() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.kind == "message") out.push_back(c.text);
    return out;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace testing_support
