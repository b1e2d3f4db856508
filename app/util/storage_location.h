// Where the program keeps its own files: the settings ("ミロフォト.ini",
// "設定.ini", "設定/") and the temp folder. A program unpacked into a folder
// of its own keeps them there; an installed program, whose folder the user
// cannot write, keeps them in the user's XDG folders. Every reader and writer
// of those files asks here.
#pragma once

#include <string>

namespace mirofoto {

enum class StorageReason {
    HomeVariable,   ///< MIROFOTO_HOME names the folder
    ProgramFolder,  ///< the program's folder is writable for this user
    UserFolders,    ///< it is not: the user's configuration and cache folders
};

struct StorageLocation {
    std::string settingsFolder;  ///< ends with "/"
    std::string tempFolder;      ///< ends with "/"
    StorageReason reason = StorageReason::ProgramFolder;
    std::string why;  ///< the reason as one line of text
};

/// What the decision looks at.
struct StorageFacts {
    std::string homeVariable;     ///< MIROFOTO_HOME; empty when unset
    std::string programFolder;    ///< the folder of the executable
    bool programFolderWritable = false;
    std::string xdgConfigHome;    ///< XDG_CONFIG_HOME; empty when unset
    std::string xdgCacheHome;     ///< XDG_CACHE_HOME; empty when unset
    std::string userHome;         ///< HOME, else the account's home folder

    /// The facts of this process now. The program folder counts as writable
    /// when access(W_OK) says so; nothing is created there to find out.
    static StorageFacts ofThisProcess();
};

/// MIROFOTO_HOME when set; else the program folder when it is writable;
/// else $XDG_CONFIG_HOME/mirofoto for the settings and
/// $XDG_CACHE_HOME/mirofoto/temp for the temp folder, where an unset or
/// relative variable means ~/.config and ~/.cache.
StorageLocation decideStorageLocation(const StorageFacts& facts);

/// The decision for this process, made afresh at each call (the
/// environment may change between tests).
StorageLocation storageLocation();

/// The folder where the program keeps its own state about one output folder
/// (the update run's records, the publish manifests), so that nothing of it
/// stands in the folder a web server publishes. It lies under the settings
/// folder, named from the output folder's real path (links resolved, so two
/// spellings of one folder share it): a readable part and a 128-bit hash.
/// Ends with "/"; it is not created here.
std::string outputStateFolder(const StorageLocation& location, const std::string& outputFolder);

/// Creates the settings folder of a user-folders decision (mode 0700 for
/// the levels it makes) when it is missing; the program folder and
/// MIROFOTO_HOME are never created. True when the folder exists afterwards.
bool ensureSettingsFolder(const StorageLocation& location);

}  // namespace mirofoto
