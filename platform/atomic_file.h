// Writing a whole file so that a crash never leaves half of it: the bytes go
// to a temporary file in the same folder, which is then renamed over the
// target.
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// Replaces (or creates) the file with the bytes. An existing file keeps its
/// permission bits. On failure the target is untouched, no temporary file is
/// left, false is returned and *error (when given) says why.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

/// The whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& bytes);

}  // namespace platform
