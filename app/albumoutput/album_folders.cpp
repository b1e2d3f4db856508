#include "app/albumoutput/album_folders.h"

#include "app/albumoutput/page_writers.h"
#include "app/settings/settings_files.h"
#include "app/util/name_order.h"
#include "app/util/paths.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace mirofoto {
namespace {

bool endsWithLower(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
    });
}

template <typename Visit>
void forEachEntry(std::string_view folder, Visit visit) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(fs::path(std::string(folder)), ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        visit(*it);
}

bool holdsPictures(std::string_view folder) {
    bool found = false;
    forEachEntry(folder, [&](const fs::directory_entry& e) {
        std::error_code ec;
        if (!found && e.is_regular_file(ec) && isPictureFileName(e.path().filename().string())) found = true;
    });
    return found;
}

}  // namespace

bool isPictureFileName(std::string_view fileName) {
    if (fileName.empty() || fileName.front() == '.') return false;
    return endsWithLower(fileName, ".jpg") || endsWithLower(fileName, ".jpe") || endsWithLower(fileName, ".jpeg");
}

std::vector<std::string> listPictureFiles(std::string_view folder) {
    std::vector<std::string> names;
    forEachEntry(folder, [&](const fs::directory_entry& e) {
        std::error_code ec;
        const std::string name = e.path().filename().string();
        if (e.is_regular_file(ec) && isPictureFileName(name)) names.push_back(name);
    });
    sortNames(names);
    return names;
}

std::vector<AlbumFolder> ImageFolderAlbums::tickedInRunOrder() const {
    std::vector<AlbumFolder> ticked;
    for (const AlbumFolder& a : albums)
        if (a.ticked) ticked.push_back(a);
    std::sort(ticked.begin(), ticked.end(),
              [](const AlbumFolder& a, const AlbumFolder& b) { return nameLess(a.treeText, b.treeText); });
    return ticked;
}

ImageFolderAlbums readImageFolderAlbums(std::string_view imageFolderText) {
    ImageFolderAlbums result;
    result.imageFolder = imageFolderPath(imageFolderText);
    if (result.imageFolder.empty()) return result;
    result.settings = PerFolderSettings(result.imageFolder);
    // A stored text is page text as the user typed it; the folder name that
    // stands in for a missing one is a name, written as text.
    const std::string storedTitle = result.settings.storedMenuTitle();
    result.menuTitle = storedTitle.empty() ? NameAsPageText(GetLastFolderName(result.imageFolder)) : storedTitle;
    result.menuSubtitle = result.settings.menuSubtitle();

    std::vector<std::string> subfolders;
    forEachEntry(result.imageFolder, [&](const fs::directory_entry& e) {
        std::error_code ec;
        if (e.is_directory(ec)) subfolders.push_back(e.path().filename().string());
    });
    sortNames(subfolders);

    auto add = [&](std::string treeText, std::string key) {
        AlbumFolder a;
        a.treeText = std::move(treeText);
        a.key = std::move(key);
        a.hasPictures = holdsPictures(a.key);
        // A grey folder never takes part, whatever is stored for it.
        a.ticked = a.hasPictures && result.settings.albumTicked(a.treeText);
        const std::string stored = result.settings.storedMenuEntry(a.key);
        a.linkText = stored.empty() ? NameAsPageText(GetLastFolderName(a.key)) : stored;
        result.albums.push_back(std::move(a));
    };
    add(result.imageFolder, result.imageFolder);
    for (const std::string& name : subfolders) add(name, result.imageFolder + name + "/");
    return result;
}

}  // namespace mirofoto
