// The per-folder settings of one image folder: album and image ticks, image
// turns and the menu page's texts, each read from and written to its file at
// once (nothing is held back).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirofoto {

/// The stored turn text as an angle: "90", "180" or "270", anything else 0.
int turnFromStored(std::string_view stored);
/// A quarter turn to the right (270 becomes 0) and to the left (0 becomes 270).
int turnedRight(int degrees);
int turnedLeft(int degrees);

class PerFolderSettings {
public:
    /// No image folder: every read gives its default, every write fails.
    PerFolderSettings() = default;
    /// The settings of the image folder in an image-folder box text.
    explicit PerFolderSettings(std::string_view imageFolder);

    /// The image folder, trimmed and ending with "/"; empty for none.
    const std::string& imageFolder() const { return m_imageFolder; }
    /// The per-folder settings folder (ending with "/") and its "設定.ini".
    const std::string& folder() const { return m_folder; }
    const std::string& file() const { return m_file; }
    bool valid() const { return !m_file.empty(); }

    /// Album ticks ("チェック", key = the album's tree text): ticked when
    /// "True" or nothing is stored.
    bool albumTicked(std::string_view treeText) const;
    bool setAlbumTicked(std::string_view treeText, bool ticked) const;

    /// The key of an image tick: the album's tree text, "/", the file name.
    static std::string imageKey(std::string_view albumText, std::string_view fileName);
    /// The stored image tick ("1", "0", or empty when none).
    std::string imageTickValue(std::string_view albumText, std::string_view fileName) const;
    /// The thumbnail page's reading: ticked when empty or "1".
    bool imageTickedOnPage(std::string_view albumText, std::string_view fileName) const;
    /// The album run's reading: left out only when exactly "0".
    bool imageInAlbum(std::string_view albumText, std::string_view fileName) const;
    bool setImageTicked(std::string_view albumText, std::string_view fileName, bool ticked) const;

    /// The stored turn of an image (key = its full path): 0, 90, 180 or 270.
    int turn(std::string_view imagePath) const;
    /// The same, or nothing when no turn is stored for the image (a stored
    /// text that is no quarter turn reads as 0: something was stored).
    std::optional<int> storedTurn(std::string_view imagePath) const;
    bool setTurn(std::string_view imagePath, int degrees) const;

    /// Menu page texts ("メニューページ"). The title defaults to the image
    /// folder's own name, the subtitle to nothing, an album's entry (key =
    /// the album's tree key, its full path ending with "/") to the album's
    /// folder name; an empty stored text counts as nothing stored.
    std::string storedMenuTitle() const;
    std::string menuTitle() const;
    std::string menuSubtitle() const;
    std::string storedMenuEntry(std::string_view albumKey) const;
    std::string menuEntry(std::string_view albumKey) const;
    bool setMenuTitle(std::string_view text) const;
    bool setMenuSubtitle(std::string_view text) const;
    bool setMenuEntry(std::string_view albumKey, std::string_view text) const;
    /// Several albums' entries (album key, text) with one rewrite of the file.
    bool setMenuEntries(const std::vector<std::pair<std::string, std::string>>& entries) const;

private:
    bool write(std::string_view section, std::string_view key, std::string_view value) const;
    bool writeMany(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values) const;
    bool ensureFolder() const;

    std::string m_imageFolder;
    std::string m_folder;
    std::string m_file;
};

}  // namespace mirofoto
