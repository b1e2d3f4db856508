#include "app/albumoutput/album_folders.h"

#include "app/albumoutput/album_run_checks.h"
#include "app/albumoutput/page_writers.h"
#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "app/util/name_order.h"
#include "app/util/paths.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>

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

// Visits the folder's entries; the error of opening or reading the folder.
template <typename Visit>
std::error_code forEachEntry(std::string_view folder, Visit visit) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(fs::path(std::string(folder)), ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        visit(*it);
    return ec;
}

// Visits the picture files of the folder; the first error of the folder or
// of an entry with a picture's name whose kind cannot be told because the
// folder may be listed but not searched. A link with a picture's name that
// leads nowhere (dangling, a loop) is visited: it is a picture that cannot
// be opened, which the run reports with its reason, not a folder failure.
template <typename Visit>
std::error_code forEachPictureFile(std::string_view folder, Visit visit) {
    std::error_code entryError;
    const std::error_code folderError = forEachEntry(folder, [&](const fs::directory_entry& e) {
        std::error_code ec;
        std::string name = e.path().filename().string();
        if (!isPictureFileName(name)) return;
        if (e.is_regular_file(ec)) {
            visit(std::move(name));
            return;
        }
        if (!ec) return;  // a folder, a device: no picture
        std::error_code linkError;
        if (e.is_symlink(linkError) && !linkError && ec.value() != EACCES) visit(std::move(name));
        else if (!entryError) entryError = ec;
    });
    return folderError ? folderError : entryError;
}

}  // namespace

bool isPictureFileName(std::string_view fileName) {
    if (fileName.empty() || fileName.front() == '.') return false;
    return endsWithLower(fileName, ".jpg") || endsWithLower(fileName, ".jpe") || endsWithLower(fileName, ".jpeg");
}

std::vector<std::string> listPictureFiles(std::string_view folder, std::error_code* error) {
    std::vector<std::string> names;
    const std::error_code ec = forEachPictureFile(folder, [&](std::string name) { names.push_back(std::move(name)); });
    if (error) *error = ec;
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

std::vector<std::string> ImageFolderAlbums::unreadableFolders() const {
    std::vector<std::string> keys;
    for (const AlbumFolder& a : albums)
        if (a.unreadable) keys.push_back(a.key);
    return keys;
}

namespace {

// The names at the positions of either list, each once, in list order.
std::vector<std::string> namesAt(const std::vector<std::string>& names, const std::vector<std::size_t>& a,
                                 const std::vector<std::size_t>& b) {
    std::vector<std::size_t> positions = a;
    positions.insert(positions.end(), b.begin(), b.end());
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    std::vector<std::string> out;
    for (const std::size_t p : positions) out.push_back(names[p]);
    return out;
}

}  // namespace

ImageFolderAlbums readImageFolderAlbums(std::string_view imageFolderText, std::string_view outputFolder) {
    ImageFolderAlbums result;
    result.imageFolder = imageFolderPath(imageFolderText);
    if (result.imageFolder.empty()) return result;
    result.settings = PerFolderSettings(result.imageFolder);
    // A stored text is page text as the user typed it; the folder name that
    // stands in for a missing one is a name, written as text.
    const std::string storedTitle = result.settings.storedMenuTitle();
    result.menuTitle = storedTitle.empty() ? NameAsPageText(GetLastFolderName(result.imageFolder)) : storedTitle;
    result.menuSubtitle = result.settings.menuSubtitle();

    const std::string output = realFolderPath(trimSpaces(outputFolder));
    std::vector<std::string> subfolders;
    forEachEntry(result.imageFolder, [&](const fs::directory_entry& e) {
        std::error_code ec;
        if (!e.is_directory(ec)) return;
        // Holding pictures, it stays an album, and the run refuses to write there.
        if (!output.empty() && realFolderPath(e.path().string()) == output && listPictureFiles(e.path().string()).empty())
            return;
        subfolders.push_back(e.path().filename().string());
    });
    sortNames(subfolders);

    auto add = [&](std::string treeText, std::string key) {
        AlbumFolder a;
        a.treeText = std::move(treeText);
        a.key = std::move(key);
        std::error_code ec;
        a.hasPictures = !listPictureFiles(a.key, &ec).empty();
        // A folder that is not there is no album; one we may not read is
        // named by the run, never left out without a word.
        a.unreadable = ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory;
        // A grey folder never takes part, whatever is stored for it.
        a.ticked = a.hasPictures && result.settings.albumTicked(a.treeText);
        const std::string stored = result.settings.storedMenuEntry(a.key);
        a.linkText = stored.empty() ? NameAsPageText(GetLastFolderName(a.key)) : stored;
        result.albums.push_back(std::move(a));
    };
    add(result.imageFolder, result.imageFolder);
    for (const std::string& name : subfolders) add(name, result.imageFolder + name + "/");

    std::vector<std::string> tickKeys, entryKeys;
    for (const AlbumFolder& a : result.albums) {
        tickKeys.push_back(a.treeText);
        entryKeys.push_back(a.key);
    }
    const auto byTick = keysSharingStorage(tickKeys);
    const auto byEntry = keysSharingStorage(entryKeys);
    for (std::size_t i = 0; i < result.albums.size(); ++i)
        result.albums[i].sharesSettingsWith = namesAt(tickKeys, byTick[i], byEntry[i]);
    return result;
}

ImageFolderAlbums onlyAlbumsAmong(ImageFolderAlbums albums, const std::vector<std::string>& keys) {
    const std::set<std::string> shown(keys.begin(), keys.end());
    std::erase_if(albums.albums, [&](const AlbumFolder& a) { return !shown.count(a.key); });
    return albums;
}

std::vector<std::vector<std::string>> picturesSharingSettings(std::string_view albumText, std::string_view folder,
                                                              const std::vector<std::string>& fileNames) {
    std::vector<std::string> tickKeys, turnKeys;
    for (const std::string& name : fileNames) {
        tickKeys.push_back(PerFolderSettings::imageKey(albumText, name));
        turnKeys.push_back(std::string(folder) + name);
    }
    const auto byTick = keysSharingStorage(tickKeys);
    const auto byTurn = keysSharingStorage(turnKeys);
    std::vector<std::vector<std::string>> shared(fileNames.size());
    for (std::size_t i = 0; i < fileNames.size(); ++i) shared[i] = namesAt(fileNames, byTick[i], byTurn[i]);
    return shared;
}

}  // namespace mirofoto
