#include "app/util/paths.h"

#include "app/util/storage_location.h"
#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace mirofoto {
namespace {

fs::path native(std::string_view p) { return fs::path(std::string(p)); }

// Position of the extension's dot in the last component, or npos.
std::size_t extensionStart(std::string_view path) {
    std::size_t dot = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '/' || c == ' ') dot = std::string_view::npos;
        else if (c == '.') dot = i;
    }
    return dot;
}

std::string trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

}  // namespace

bool PathExists(std::string_view path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::exists(native(path), ec);
}

bool FolderExists(std::string_view path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::is_directory(native(path), ec);
}

std::string RemoveExtension(std::string_view path) {
    const auto dot = extensionStart(path);
    return std::string(dot == std::string_view::npos ? path : path.substr(0, dot));
}

std::string GetExtension(std::string_view path) {
    const auto dot = extensionStart(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string GetParentPath(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};      // a bare name: nothing left
    if (slash == 0) return path.size() > 1 ? "/" : "";   // "/a" gives "/", "/" gives ""
    return std::string(path.substr(0, slash));
}

std::string GetFileName(std::string_view path) {
    // The component after the last separator that is not the final character.
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < path.size(); ++i)
        if (path[i] == '/' && path[i + 1] != '/') start = i + 1;
    return std::string(path.substr(start));
}

std::string GetLastFolderName(std::string_view folderPath) {
    std::string p = trimBlanks(folderPath);
    if (p.empty()) return {};
    if (p.back() == '/') p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos) return {};
    return p.substr(slash + 1);
}

bool EnsureFolder(std::string_view folderPath) {
    if (folderPath.empty()) return false;
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto slash = folderPath.find('/', start);
        parts.emplace_back(folderPath.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    std::error_code ec;
    std::string current = parts.front();
    // On this system the first component is a folder of the working directory
    // (or empty for "/"), never a drive, so it may need creating too.
    if (!current.empty() && !fs::exists(native(current), ec)) fs::create_directory(native(current), ec);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        current += "/" + parts[i];
        if (parts[i].empty()) continue;
        if (!fs::exists(native(current), ec)) fs::create_directory(native(current), ec);
    }
    return FolderExists(folderPath);
}

std::string BrowseForFolder(platform::WindowRef owner, std::string_view initialFolder, std::string_view title) {
    return platform::ui().browseForFolder(owner, initialFolder, title);
}

std::string GetSpecialFolderPath(int folderNumber) {
    constexpr int kPersonal = 5;  // the user's documents folder
    if (folderNumber != kPersonal) return {};
    return platform::ui().documentsFolder();
}

void OpenWithShell(std::string_view path, platform::WindowRef owner) {
    platform::ui().openDocument(owner, path);
}

void RemoveTempFolder() {
    std::string temp = storageLocation().tempFolder;
    temp.pop_back();  // the trailing "/"
    if (FolderExists(temp)) removeTreeBestEffort(temp);
}

std::string ProgramFolder() {
    if (const char* home = std::getenv("MIROFOTO_HOME"); home && *home) return withTrailingSlash(home);
    return withTrailingSlash(platform::executableFolder());
}

std::string withTrailingSlash(std::string_view path) {
    std::string p(path);
    if (p.empty() || p.back() != '/') p += '/';
    return p;
}

bool removeTreeBestEffort(std::string_view path) {
    const fs::path root = native(path);
    std::error_code ec;
    const auto status = fs::symlink_status(root, ec);
    if (ec || !fs::exists(status)) return !fs::exists(status);
    if (fs::is_directory(status)) {
        std::vector<fs::path> children;
        for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            children.push_back(it->path());
        for (const auto& child : children) removeTreeBestEffort(child.string());
    }
    fs::remove(root, ec);
    return !fs::exists(fs::symlink_status(root, ec));
}

}  // namespace mirofoto
