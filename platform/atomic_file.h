// Files that appear under their name only once they are complete: the bytes
// go to a temporary file in the same folder, which is then renamed over the
// target, so a crash never leaves half a file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

/// What a symbolic link standing at the target's name means to a write.
enum class AtTargetLink {
    /// The new file replaces the link itself; the file the link names is
    /// never touched. What the program makes (pages, copies of pictures)
    /// is written so: a link in their place must not carry the write into
    /// some other file, a photograph for instance.
    Replace,
    /// The file the link names is replaced and the link stays. Only for a
    /// file the user owns and may have linked on purpose: a settings file,
    /// the user's own photograph.
    Follow,
};

/// How a whole file is written.
struct WriteMode {
    AtTargetLink link = AtTargetLink::Replace;
    /// Flushed to the disk, the file and then its folder's entry, before
    /// the write counts as done: for data that must survive a crash.
    bool durable = false;
};

/// A file of the user's (settings, their photograph): a link is followed and
/// the new bytes are on the disk when the write returns.
inline constexpr WriteMode kUsersFile{AtTargetLink::Follow, true};

/// A file written through a temporary file and renamed into place on
/// commit(), so the target is either its old self or the whole new text.
/// Destroying an uncommitted file removes the temporary file and leaves the
/// target untouched.
///
/// An existing target keeps its permission bits (and its owner, where the
/// process may set it); a new one gets 0666 under the umask, as does a file
/// that replaces a link. A target that is not a regular file (nor a link,
/// see AtTargetLink), or that the user made read-only, is refused.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Starts a new file for the target path (discarding one begun before).
    /// Fails when the folder is missing or not writable, or the target is
    /// refused (above).
    std::error_code open(std::string_view targetPath, AtTargetLink link = AtTargetLink::Replace);
    /// Appends bytes. The first failure sticks: later writes and commit()
    /// return it.
    std::error_code write(std::string_view bytes);
    /// Closes the temporary file and renames it over the target; durable
    /// flushes the file before and the folder after the rename. On failure
    /// the temporary file is removed and the target keeps what it held.
    std::error_code commit(bool durable = false);
    /// Drops what was written; the target stays as it was.
    void discard();

    bool isOpen() const { return m_fd >= 0; }
    /// The first failure since open(), if any.
    std::error_code error() const { return m_error; }
    /// The file that the commit replaces (a followed link's file).
    const std::string& targetPath() const { return m_target; }

private:
    int m_fd = -1;
    std::string m_target;
    std::string m_temp;
    std::error_code m_error;
};

/// Replaces (or creates) the file with the bytes as the mode says. On
/// failure the target is untouched and no temporary file is left.
std::error_code replaceFileContents(std::string_view path, std::string_view bytes, WriteMode mode = {});
/// The same, false on failure with *error (when given) saying why, naming
/// the path.
bool writeFileAtomically(std::string_view path, std::string_view bytes, WriteMode mode, std::string* error = nullptr);
/// The same with the default mode: a link at the path is replaced, no flush.
bool writeFileAtomically(std::string_view path, std::string_view bytes, std::string* error = nullptr);

enum class FileRead { Ok, Missing, Failed };

/// The whole of a regular file. Missing when nothing is there; Failed when
/// something else stands there (a folder, a FIFO, which is never waited on)
/// or the file cannot be read.
FileRead readFileBytes(const std::string& path, std::string& bytes);

/// The path with a symbolic link at its end followed to the file it names
/// (when that exists); otherwise the path unchanged.
std::string followFileLink(std::string_view path);

/// The name of a new temporary file: hidden, always kTemporaryNameLength
/// bytes whatever the name it stands in for, so that a name already at the
/// system's length limit still gets one, and recognisable with its writer
/// (this process) encoded in it. Unique within the process.
std::string newTemporaryName();
inline constexpr std::size_t kTemporaryNameLength = 44;
/// Whether the name (without folder) has the form newTemporaryName() gives.
bool isTemporaryName(std::string_view name);

/// Removes from the folder (not its subfolders) the regular files named by
/// newTemporaryName() whose writer is no longer running: left behind by a
/// process that was killed or crashed. The writer is a process id together
/// with the moment it started, so a new process that got the same id does
/// not keep a stale file alive. A writer the system cannot tell about (no
/// /proc, another user's process) counts as running. Returns how many
/// files went.
std::size_t removeStaleTemporaries(std::string_view folder);

}  // namespace platform
