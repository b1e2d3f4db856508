// Files that appear under their name only once they are complete: the bytes
// go to a temporary file in the same folder, which is then renamed over the
// target, so a crash never leaves half a file.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace platform {

/// A file written through a temporary file and renamed into place on
/// commit(), so the target is either its old self or the whole new text.
/// Destroying an uncommitted file removes the temporary file and leaves the
/// target untouched.
///
/// An existing target keeps its permission bits (and its owner, where the
/// process may set it); a new one gets 0666 under the umask. A symbolic link
/// to an existing file replaces that file and stays a link. A target that is
/// not a regular file, or that the user made read-only, is refused.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Starts a new file for the target path (discarding one begun before).
    /// Fails when the folder is missing or not writable, or the target is
    /// refused (above).
    std::error_code open(std::string_view targetPath);
    /// Appends bytes. The first failure sticks: later writes and commit()
    /// return it.
    std::error_code write(std::string_view bytes);
    /// Closes the temporary file (flushing it to the disk first when durable)
    /// and renames it over the target. On failure the temporary file is
    /// removed and the target keeps what it held.
    std::error_code commit(bool durable = false);
    /// Drops what was written; the target stays as it was.
    void discard();

    bool isOpen() const { return m_fd >= 0; }
    const std::string& targetPath() const { return m_target; }

private:
    int m_fd = -1;
    std::string m_target;
    std::string m_temp;
    std::error_code m_error;
};

/// Replaces (or creates) the file with the bytes, flushed to the disk before
/// the rename: for files whose loss would hurt (settings, a user's photo).
/// On failure the target is untouched, no temporary file is left, false is
/// returned and *error (when given) says why.
bool writeFileAtomically(std::string_view path, std::string_view bytes, std::string* error = nullptr);

enum class FileRead { Ok, Missing, Failed };

/// The whole of a regular file. Missing when nothing is there; Failed when
/// something else stands there (a folder, a FIFO, which is never waited on)
/// or the file cannot be read.
FileRead readFileBytes(const std::string& path, std::string& bytes);

/// The path with a symbolic link at its end followed to the file it names
/// (when that exists); otherwise the path unchanged.
std::string followFileLink(std::string_view path);

}  // namespace platform
