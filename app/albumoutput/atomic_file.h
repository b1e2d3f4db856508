// A file that appears under its name only once it is complete.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace mirofoto {

/// Writes a file through a temporary file in the same folder and renames it
/// into place on commit(), so the target is either its old self or the whole
/// new text, never a part of it. Destroying an uncommitted file removes the
/// temporary file and leaves the target untouched.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Starts a new file for the target path (discarding one begun before).
    /// Fails when the folder is missing or not writable.
    std::error_code open(std::string_view targetPath);
    /// Appends bytes. The first failure sticks: later writes and commit()
    /// return it.
    std::error_code write(std::string_view bytes);
    /// Closes the temporary file and renames it over the target. On failure
    /// the temporary file is removed and the target keeps what it held.
    std::error_code commit();
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

}  // namespace mirofoto
