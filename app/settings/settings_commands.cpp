#include "app/settings/settings_commands.h"

#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "app/settings/settings_write_report.h"
#include "app/util/paths.h"
#include "app/util/storage_location.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace mirofoto {
namespace {

using platform::FileRead;
using platform::readFileBytes;

bool contextComplete(const SettingsCommandContext& c) {
    return c.settings && c.placement && c.currentDirectory;
}

}  // namespace

platform::FileDialogOptions albumSettingsDialogOptions(const std::string& initialFolder) {
    platform::FileDialogOptions o;
    o.initialFolder = initialFolder;
    o.defaultExtension = "mfs";
    o.filter = "ミロフォト設定ファイル|*.mfs";
    o.fileName.clear();
    o.hideReadOnly = true;
    return o;
}

CommandResult openAlbumSettingsFile(const SettingsCommandContext& c) {
    if (!contextComplete(c)) return CommandResult::Failed;
    基本設定保存(baseSettingsFile(), *c.settings, *c.placement);

    const auto chosen = platform::ui().openFileDialog(c.owner, albumSettingsDialogOptions(*c.currentDirectory));
    if (!chosen || chosen->empty()) return CommandResult::Cancelled;
    *c.currentDirectory = GetParentPath(*chosen);

    // The image folder the file was saved for must exist, even on another
    // machine, before its ticks and turns can be shown.
    const std::string imageFolder = imageFolderPath(readWholeIniValue("設定", "画像フォルダ", *chosen));
    if (imageFolder.empty() || !EnsureFolder(imageFolder)) return CommandResult::Failed;
    // The whole file becomes the folder's per-folder settings file; its
    // "設定" and "オプション" sections do no harm there.
    const std::string perFolderFile = perFolderSettingsFile(imageFolder);
    ensureSettingsFolder(storageLocation());
    if (!EnsureFolder(perFolderSettingsFolder(imageFolder))) {
        noteSettingsWriteFailure(perFolderFile, 0);
        return CommandResult::Failed;
    }
    if (!platform::sameFile(*chosen, perFolderFile)) {
        std::string bytes;
        if (readFileBytes(*chosen, bytes) != FileRead::Ok) return CommandResult::Failed;
        errno = 0;
        if (!platform::writeFileAtomically(perFolderFile, bytes, platform::kUsersFile)) {
            noteSettingsWriteFailure(perFolderFile, errno);
            return CommandResult::Failed;
        }
    }
    基本設定読込(*chosen, *c.settings, *c.placement);
    return CommandResult::Done;
}

CommandResult saveAlbumSettingsFile(const SettingsCommandContext& c) {
    if (!contextComplete(c)) return CommandResult::Failed;
    const auto chosen = platform::ui().saveFileDialog(c.owner, albumSettingsDialogOptions(*c.currentDirectory));
    if (!chosen || chosen->empty()) return CommandResult::Cancelled;
    *c.currentDirectory = GetParentPath(*chosen);
    if (c.chosenFile) *c.chosenFile = *chosen;

    if (PathExists(*chosen)) {
        const std::string question = *chosen + "\r\r" + "は存在します。上書きしますか";
        if (platform::ui().messageBox(c.owner, question, kApplicationTitle, platform::MsgButtons::YesNo,
                                      platform::MsgIcon::Exclamation) != platform::MsgResult::Yes)
            return CommandResult::Cancelled;
    }

    // Any spelling of the per-folder settings file itself ("..", a link, a
    // second hard link) would copy the file onto itself and then mix the
    // album settings into it.
    const std::string perFolderFile = perFolderSettingsFile(c.settings->imageFolder);
    if (platform::sameFile(*chosen, perFolderFile)) {
        platform::ui().messageBox(c.owner, "このファイルには保存できません。", kApplicationTitle,
                                  platform::MsgButtons::Ok, platform::MsgIcon::Critical);
        return CommandResult::Refused;
    }

    // Without a per-folder settings file (a folder never ticked, or no image
    // folder) the album settings alone make the file.
    std::string bytes;
    const FileRead source = perFolderFile.empty() ? FileRead::Missing : readFileBytes(perFolderFile, bytes);
    if (source == FileRead::Failed) return CommandResult::Failed;
    if (!platform::writeFileAtomically(*chosen, source == FileRead::Ok ? bytes : std::string(), platform::kUsersFile))
        return CommandResult::Failed;
    return 基本設定保存(*chosen, *c.settings, *c.placement) ? CommandResult::Done : CommandResult::Failed;
}

}  // namespace mirofoto
