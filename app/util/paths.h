// Path, folder and shell helpers. Paths are native UTF-8 paths with "/" as
// the separator; rules about a drive root apply to "/".
#pragma once

#include "platform/ui_services.h"

#include <string>
#include <string_view>

namespace mirofoto {

/// A file or a folder exists at the path.
bool PathExists(std::string_view path);
/// The path is an existing folder (a symbolic link to one counts).
bool FolderExists(std::string_view path);
/// The path without the extension of its last component. The extension
/// starts at the last "." of that component; a space after it means the
/// component has none ("Mr. Smith").
std::string RemoveExtension(std::string_view path);
/// The extension of the last component with its dot, or the empty text.
std::string GetExtension(std::string_view path);
/// The path without its last component: "/a/b.jpg" gives "/a", "/a" gives
/// "/", and "/" (nothing to remove) the empty text.
std::string GetParentPath(std::string_view path);
/// The last component of the path ("/a/b/" gives "b/", as the shell does).
std::string GetFileName(std::string_view path);
/// The name of the last folder of a folder path, with or without a trailing
/// "/"; the empty text for "/" or a bare name.
std::string GetLastFolderName(std::string_view folderPath);
/// Creates every missing level of the folder path. True when the folder
/// exists afterwards; never throws.
bool EnsureFolder(std::string_view folderPath);
/// The folder browse dialog; the chosen folder or the empty text.
std::string BrowseForFolder(platform::WindowRef owner, std::string_view initialFolder, std::string_view title);
/// The path of a special folder; only 5 (the user's documents) is known.
/// The empty text for any other number or when there is none.
std::string GetSpecialFolderPath(int folderNumber);
/// Opens the path with the desktop's associated program; the outcome is
/// ignored.
void OpenWithShell(std::string_view path, platform::WindowRef owner);
/// Removes the program's temp folder (see storage_location.h) with
/// everything it can.
void RemoveTempFolder();

/// The program's folder with a trailing "/": MIROFOTO_HOME when set, else the
/// folder of the running executable.
std::string ProgramFolder();
/// The text with "/" appended unless it already ends with one.
std::string withTrailingSlash(std::string_view path);
/// Deletes a file or folder tree, going on past entries it cannot delete.
/// True when nothing is left.
bool removeTreeBestEffort(std::string_view path);

}  // namespace mirofoto
