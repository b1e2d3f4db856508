#include "app/util/temp_folder_lock.h"

#include "app/util/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace mirofoto {
namespace {

// flock with the calls an interrupting signal cut off repeated.
bool lockFile(int fd, int operation) {
    int r;
    do r = ::flock(fd, operation);
    while (r != 0 && errno == EINTR);
    return r == 0;
}

}  // namespace

bool TempFolderLock::removeIfAlone() {
    if (m_fd < 0) {
        // Without a lock file no other window can be asked.
        RemoveTempFolder();
        return true;
    }
    if (!lockFile(m_fd, LOCK_EX | LOCK_NB)) return false;
    RemoveTempFolder();
    return true;
}

bool TempFolderLock::open() {
    if (m_opened) return false;
    m_opened = true;
    const std::string lockPath = ProgramFolder() + "temp.lock";
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    const bool removed = removeIfAlone();
    // Turning the exclusive lock into a shared one (or waiting for a window
    // that is removing the folder right now) keeps others from removing it.
    if (m_fd >= 0) lockFile(m_fd, LOCK_SH);
    return removed;
}

bool TempFolderLock::close() {
    if (!m_opened) return false;
    m_opened = false;
    // The conversion may drop the shared lock before it fails; this window
    // is going anyway.
    const bool removed = removeIfAlone();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    return removed;
}

}  // namespace mirofoto
