// The per-folder settings of the image folder being worked on, behind one
// lock. The window, its workers, `generate` and `tick` all read and write
// ticks, turns and menu texts through a store, so that a read-modify-write
// (a quarter turn, "store this link text unless one is stored") can never
// interleave with another write to the same file.
#pragma once

#include "app/settings/per_folder_settings.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace mirofoto {

/// The turn (degrees to the right) that an EXIF Orientation value asks for:
/// 3 → 180, 6 → 90, 8 → 270; 0 for every other value (mirrored ones too).
int turnForOrientation(int orientation);

class FolderSettingsStore {
public:
    /// No image folder: every read gives its default, every write fails.
    FolderSettingsStore() = default;
    explicit FolderSettingsStore(std::string_view imageFolder);
    FolderSettingsStore(const FolderSettingsStore&) = delete;
    FolderSettingsStore& operator=(const FolderSettingsStore&) = delete;

    /// Works on another image folder (an image-folder box text) from now on.
    void setImageFolder(std::string_view imageFolder);
    /// The image folder, trimmed and ending with "/"; empty for none.
    std::string imageFolder() const;
    /// The settings file and its folder, for messages.
    std::string file() const;
    /// A copy of the folder's settings, for a reader that holds no lock
    /// (a scan that only reads).
    PerFolderSettings snapshot() const;

    // ---- ticks ----
    bool albumTicked(std::string_view treeText) const;
    bool setAlbumTicked(std::string_view treeText, bool ticked);
    bool imageTickedOnPage(std::string_view albumText, std::string_view fileName) const;
    bool imageInAlbum(std::string_view albumText, std::string_view fileName) const;
    bool setImageTicked(std::string_view albumText, std::string_view fileName, bool ticked);

    // ---- turns ----
    int turn(std::string_view imagePath) const;
    /// The stored turn, or nothing when none is stored (see
    /// PerFolderSettings::storedTurn).
    std::optional<int> storedTurn(std::string_view imagePath) const;
    bool setTurn(std::string_view imagePath, int degrees);
    /// A quarter turn to the left or right of what is stored, read and
    /// written under one lock; a picture without a stored turn starts from
    /// unstoredTurn (the turn it is shown with). The new turn, or nothing
    /// when it was not stored.
    std::optional<int> turnQuarter(std::string_view imagePath, bool left, int unstoredTurn = 0);
    /// For every picture of the album folder (the names given) that has no
    /// stored turn, stores the turn its orientation asks for (see
    /// turnForOrientation), when that is not 0; a turn the user chose, 0
    /// included, stays. Returns the paths whose turn was stored.
    std::vector<std::string> storeTurnsFromOrientation(std::string_view folder,
                                                       const std::vector<std::string>& fileNames,
                                                       const std::function<int(const std::string& path)>& orientation);

    // ---- menu texts ----
    std::string menuTitle() const;
    std::string menuSubtitle() const;
    std::string menuEntry(std::string_view albumKey) const;
    bool setMenuTitle(std::string_view text);
    bool setMenuSubtitle(std::string_view text);
    bool setMenuEntry(std::string_view albumKey, std::string_view text);

    /// An album and the link text it shows when none is stored.
    struct DefaultLink {
        std::string albumKey;
        std::string text;
    };
    /// What the settings hold for each album listed (the empty text when
    /// nothing). With store set, first stores the default of every album
    /// that has none, in one rewrite of the file; a text stored meanwhile is
    /// never replaced. Nothing is read or stored when the store works on
    /// another image folder than the one named (a scan that was overtaken).
    std::optional<std::unordered_map<std::string, std::string>> defaultLinkTexts(
        std::string_view imageFolder, const std::vector<DefaultLink>& albums, bool store);

private:
    mutable std::mutex m_mutex;
    PerFolderSettings m_settings;
};

}  // namespace mirofoto
