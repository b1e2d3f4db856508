// Where the running program and its modules live, and whether two paths
// name the same file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

/// The folder of the running executable, without a trailing "/"; the
/// working directory when the system does not tell.
std::string executableFolder();

/// The folder of the shared library (or executable) that holds the given
/// address, without a trailing "/": pass the address of one of its own
/// functions. The working directory's "." when the system does not tell.
std::string moduleFolder(const void* addressInModule);

/// The path made absolute, with every link, "." and ".." resolved as far as
/// the path exists (the rest taken as written).
std::filesystem::path resolvedPath(std::string_view path);

/// Whether the two paths reach the same file or folder: one file through
/// links, ".", "..", or a second hard link; for paths that do not exist
/// (yet), whether they resolve to the same place. False when either is empty.
bool sameFile(std::string_view a, std::string_view b);

}  // namespace platform
