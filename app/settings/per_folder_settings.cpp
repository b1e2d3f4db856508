#include "app/settings/per_folder_settings.h"

#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "app/settings/settings_write_report.h"
#include "app/util/paths.h"
#include "app/util/storage_location.h"

namespace mirofoto {
namespace {

constexpr std::string_view kTicks = "チェック";
constexpr std::string_view kTurns = "回転";
constexpr std::string_view kMenu = "メニューページ";

// Buffer sizes of the reads, per section and key kind.
constexpr std::int16_t kImageTickBuffer = 255;
constexpr std::int16_t kAlbumTickBuffer = 512;
constexpr std::int16_t kTurnBuffer = 512;
constexpr std::int16_t kMenuBuffer = 512;

}  // namespace

int turnFromStored(std::string_view stored) {
    if (stored == "90") return 90;
    if (stored == "180") return 180;
    if (stored == "270") return 270;
    return 0;
}

namespace {

// 0, 90, 180 or 270; any other angle counts as 0.
int quarterTurn(int degrees) { return degrees == 90 || degrees == 180 || degrees == 270 ? degrees : 0; }

}  // namespace

int turnedRight(int degrees) { return (quarterTurn(degrees) + 90) % 360; }

int turnedLeft(int degrees) { return (quarterTurn(degrees) + 270) % 360; }

PerFolderSettings::PerFolderSettings(std::string_view imageFolder)
    : m_imageFolder(imageFolderPath(imageFolder)),
      m_folder(perFolderSettingsFolder(m_imageFolder)),
      m_file(perFolderSettingsFile(m_imageFolder)) {}

bool PerFolderSettings::ensureFolder() const {
    if (!valid()) return false;
    // Every writer makes the folder first: a value written into a missing
    // folder would be lost without a word.
    if (!FolderExists(m_folder)) {
        ensureSettingsFolder(storageLocation());  // private to the user when it is made here
        if (!EnsureFolder(m_folder)) {
            noteSettingsWriteFailure(m_file, 0);
            return false;
        }
    }
    return true;
}

bool PerFolderSettings::write(std::string_view section, std::string_view key, std::string_view value) const {
    return ensureFolder() && WriteIniValue(section, key, value, m_file) == "1";
}

bool PerFolderSettings::writeMany(std::string_view section,
                                  const std::vector<std::pair<std::string, std::string>>& values) const {
    if (values.empty()) return true;
    return ensureFolder() && WriteIniValues(section, values, m_file) == "1";
}

bool PerFolderSettings::albumTicked(std::string_view treeText) const {
    if (!valid()) return true;
    const std::string v = ReadIniValue(kTicks, treeText, kAlbumTickBuffer, m_file);
    return v.empty() || v == "True";
}

bool PerFolderSettings::setAlbumTicked(std::string_view treeText, bool ticked) const {
    return write(kTicks, treeText, ticked ? "True" : "False");
}

std::string PerFolderSettings::imageKey(std::string_view albumText, std::string_view fileName) {
    std::string key(albumText);
    key += '/';
    key += fileName;
    return key;
}

std::string PerFolderSettings::imageTickValue(std::string_view albumText, std::string_view fileName) const {
    if (!valid()) return {};
    return ReadIniValue(kTicks, imageKey(albumText, fileName), kImageTickBuffer, m_file);
}

bool PerFolderSettings::imageTickedOnPage(std::string_view albumText, std::string_view fileName) const {
    const std::string v = imageTickValue(albumText, fileName);
    return v.empty() || v == "1";
}

bool PerFolderSettings::imageInAlbum(std::string_view albumText, std::string_view fileName) const {
    return imageTickValue(albumText, fileName) != "0";
}

bool PerFolderSettings::setImageTicked(std::string_view albumText, std::string_view fileName, bool ticked) const {
    return write(kTicks, imageKey(albumText, fileName), ticked ? "1" : "0");
}

int PerFolderSettings::turn(std::string_view imagePath) const {
    if (!valid()) return 0;
    return turnFromStored(ReadIniValue(kTurns, imagePath, kTurnBuffer, m_file));
}

std::optional<int> PerFolderSettings::storedTurn(std::string_view imagePath) const {
    if (!valid()) return std::nullopt;
    const std::string stored = ReadIniValue(kTurns, imagePath, kTurnBuffer, m_file);
    if (stored.empty()) return std::nullopt;
    return turnFromStored(stored);
}

bool PerFolderSettings::setTurn(std::string_view imagePath, int degrees) const {
    return write(kTurns, imagePath, std::to_string(quarterTurn(degrees)));
}

std::string PerFolderSettings::storedMenuTitle() const {
    return valid() ? ReadIniValue(kMenu, "タイトル", kMenuBuffer, m_file) : std::string();
}

std::string PerFolderSettings::menuTitle() const {
    std::string title = storedMenuTitle();
    return title.empty() ? GetLastFolderName(m_imageFolder) : title;
}

std::string PerFolderSettings::menuSubtitle() const {
    return valid() ? ReadIniValue(kMenu, "サブタイトル", kMenuBuffer, m_file) : std::string();
}

std::string PerFolderSettings::storedMenuEntry(std::string_view albumKey) const {
    return valid() ? ReadIniValue(kMenu, albumKey, kMenuBuffer, m_file) : std::string();
}

std::string PerFolderSettings::menuEntry(std::string_view albumKey) const {
    std::string text = storedMenuEntry(albumKey);
    return text.empty() ? GetLastFolderName(albumKey) : text;
}

bool PerFolderSettings::setMenuTitle(std::string_view text) const { return write(kMenu, "タイトル", text); }

bool PerFolderSettings::setMenuSubtitle(std::string_view text) const { return write(kMenu, "サブタイトル", text); }

bool PerFolderSettings::setMenuEntry(std::string_view albumKey, std::string_view text) const {
    return write(kMenu, albumKey, text);
}

bool PerFolderSettings::setMenuEntries(const std::vector<std::pair<std::string, std::string>>& entries) const {
    return writeMany(kMenu, entries);
}

}  // namespace mirofoto
