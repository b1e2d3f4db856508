// Whole-file replacement that never leaves half a file behind.
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// Replaces the file at path with bytes: they go to a temporary file in the
/// same folder, which is flushed to disk and then renamed over the path. An
/// existing file keeps its permission bits (and its owner, where the process
/// may set it); a new file gets 0666 less the umask. When the path is a
/// symbolic link to an existing file, that file is replaced and the link
/// stays. False, with nothing left behind, when the folder is missing, the
/// path names something other than a regular file, or any step fails.
bool writeFileAtomically(std::string_view path, std::string_view bytes);

/// The path with a symbolic link at its end followed to the file it names
/// (when that exists); otherwise the path unchanged.
std::string followFileLink(std::string_view path);

}  // namespace platform
