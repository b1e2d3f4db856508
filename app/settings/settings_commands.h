// The two commands of the main window's menu and toolbar that open and save
// album settings files (extension "mfs"). They ask the user through the
// user-interface services and never touch a window themselves.
#pragma once

#include "app/settings/album_settings.h"
#include "platform/ui_services.h"

#include <string>

namespace mirofoto {

enum class CommandResult {
    Done,       ///< the command ran to its end
    Cancelled,  ///< the user stopped it (dialog cancelled, overwrite declined)
    Refused,    ///< the file may not be used (saving over the per-folder settings file)
    Failed,     ///< a folder or file could not be made or written
};

/// What the commands work on, all owned by the main window.
struct SettingsCommandContext {
    /// The program's album settings record; imageFolder holds the text of the
    /// image-folder box.
    AlbumSettings* settings = nullptr;
    WindowPlacement* placement = nullptr;
    /// The folder the file dialogs open in; set to the chosen file's folder
    /// after a choice, as the platform's dialog moves the current directory.
    std::string* currentDirectory = nullptr;
    platform::WindowRef owner = nullptr;
    /// When given: the file the user chose (set once a file was chosen).
    std::string* chosenFile = nullptr;
};

/// Opens an album settings file: saves the record to the base settings
/// file, lets the user choose a file, makes its image folder and that
/// folder's per-folder settings folder, copies the chosen file in as the
/// per-folder settings file, and loads the record (and placement) from it.
/// On Done, settings->imageFolder names the image folder to show.
CommandResult openAlbumSettingsFile(const SettingsCommandContext& context);

/// Saves an album settings file: lets the user choose a file, asks before
/// replacing one, refuses the current image folder's own per-folder settings
/// file (however its path is spelled), copies that per-folder settings file
/// to the chosen path (or starts an empty file when there is none yet) and
/// writes the record into it.
CommandResult saveAlbumSettingsFile(const SettingsCommandContext& context);

/// The options of both file dialogs.
platform::FileDialogOptions albumSettingsDialogOptions(const std::string& initialFolder);

}  // namespace mirofoto
