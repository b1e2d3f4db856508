#include "app/settings/folder_settings_store.h"

#include "app/util/paths.h"

namespace mirofoto {

int turnForOrientation(int orientation) {
    switch (orientation) {
    case 3: return 180;
    case 6: return 90;
    case 8: return 270;
    default: return 0;
    }
}

FolderSettingsStore::FolderSettingsStore(std::string_view imageFolder) : m_settings(imageFolder) {}

void FolderSettingsStore::setImageFolder(std::string_view imageFolder) {
    PerFolderSettings next(imageFolder);
    std::lock_guard lock(m_mutex);
    m_settings = std::move(next);
}

std::string FolderSettingsStore::imageFolder() const {
    std::lock_guard lock(m_mutex);
    return m_settings.imageFolder();
}

std::string FolderSettingsStore::file() const {
    std::lock_guard lock(m_mutex);
    return m_settings.file();
}

PerFolderSettings FolderSettingsStore::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_settings;
}

bool FolderSettingsStore::albumTicked(std::string_view treeText) const {
    std::lock_guard lock(m_mutex);
    return m_settings.albumTicked(treeText);
}

bool FolderSettingsStore::setAlbumTicked(std::string_view treeText, bool ticked) {
    std::lock_guard lock(m_mutex);
    return m_settings.setAlbumTicked(treeText, ticked);
}

bool FolderSettingsStore::imageTickedOnPage(std::string_view albumText, std::string_view fileName) const {
    std::lock_guard lock(m_mutex);
    return m_settings.imageTickedOnPage(albumText, fileName);
}

bool FolderSettingsStore::imageInAlbum(std::string_view albumText, std::string_view fileName) const {
    std::lock_guard lock(m_mutex);
    return m_settings.imageInAlbum(albumText, fileName);
}

bool FolderSettingsStore::setImageTicked(std::string_view albumText, std::string_view fileName, bool ticked) {
    std::lock_guard lock(m_mutex);
    return m_settings.setImageTicked(albumText, fileName, ticked);
}

int FolderSettingsStore::turn(std::string_view imagePath) const {
    std::lock_guard lock(m_mutex);
    return m_settings.turn(imagePath);
}

bool FolderSettingsStore::setTurn(std::string_view imagePath, int degrees) {
    std::lock_guard lock(m_mutex);
    return m_settings.setTurn(imagePath, degrees);
}

std::optional<int> FolderSettingsStore::storedTurn(std::string_view imagePath) const {
    std::lock_guard lock(m_mutex);
    return m_settings.storedTurn(imagePath);
}

std::optional<int> FolderSettingsStore::turnQuarter(std::string_view imagePath, bool left, int unstoredTurn) {
    std::lock_guard lock(m_mutex);
    const int now = m_settings.storedTurn(imagePath).value_or(unstoredTurn);
    const int next = left ? turnedLeft(now) : turnedRight(now);
    if (!m_settings.setTurn(imagePath, next)) return std::nullopt;
    return next;
}

std::vector<std::string> FolderSettingsStore::storeTurnsFromOrientation(
    std::string_view folderText, const std::vector<std::string>& fileNames,
    const std::function<int(const std::string& path)>& orientation) {
    std::vector<std::string> stored;
    const std::string folder = withTrailingSlash(folderText);
    for (const std::string& name : fileNames) {
        const std::string path = folder + name;
        // The header is read outside the lock: a slow disk holds up no
        // other writer.
        std::unique_lock lock(m_mutex);
        if (!m_settings.valid()) break;
        // A turn the user chose, 0 included, stays.
        if (m_settings.storedTurn(path)) continue;
        lock.unlock();
        const int turn = turnForOrientation(orientation(path));
        if (turn == 0) continue;
        lock.lock();
        if (m_settings.storedTurn(path)) continue;
        if (m_settings.setTurn(path, turn)) stored.push_back(path);
    }
    return stored;
}

std::string FolderSettingsStore::menuTitle() const {
    std::lock_guard lock(m_mutex);
    return m_settings.menuTitle();
}

std::string FolderSettingsStore::menuSubtitle() const {
    std::lock_guard lock(m_mutex);
    return m_settings.menuSubtitle();
}

std::string FolderSettingsStore::menuEntry(std::string_view albumKey) const {
    std::lock_guard lock(m_mutex);
    return m_settings.menuEntry(albumKey);
}

bool FolderSettingsStore::setMenuTitle(std::string_view text) {
    std::lock_guard lock(m_mutex);
    return m_settings.setMenuTitle(text);
}

bool FolderSettingsStore::setMenuSubtitle(std::string_view text) {
    std::lock_guard lock(m_mutex);
    return m_settings.setMenuSubtitle(text);
}

bool FolderSettingsStore::setMenuEntry(std::string_view albumKey, std::string_view text) {
    std::lock_guard lock(m_mutex);
    return m_settings.setMenuEntry(albumKey, text);
}

std::optional<std::unordered_map<std::string, std::string>> FolderSettingsStore::defaultLinkTexts(
    std::string_view imageFolder, const std::vector<DefaultLink>& albums, bool store) {
    std::lock_guard lock(m_mutex);
    if (!m_settings.valid() || m_settings.imageFolder() != imageFolder) return std::nullopt;
    std::unordered_map<std::string, std::string> stored;
    std::vector<std::pair<std::string, std::string>> missing;
    for (const DefaultLink& a : albums) {
        std::string text = m_settings.storedMenuEntry(a.albumKey);
        if (text.empty()) missing.emplace_back(a.albumKey, a.text);
        stored.emplace(a.albumKey, std::move(text));
    }
    if (store && !missing.empty() && m_settings.setMenuEntries(missing))
        for (auto& [key, text] : missing) stored[key] = std::move(text);
    return stored;
}

}  // namespace mirofoto
