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

bool TempFolderLock::open() {
    if (m_opened) return false;
    m_opened = true;
    const std::string lockPath = ProgramFolder() + "temp.lock";
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        RemoveTempFolder();
        return true;
    }
    bool removed = false;
    if (lockFile(m_fd, LOCK_EX | LOCK_NB)) {
        RemoveTempFolder();
        removed = true;
    }
    // Turning the exclusive lock into a shared one (or waiting for a window
    // that is removing the folder right now) keeps others from removing it.
    lockFile(m_fd, LOCK_SH);
    return removed;
}

bool TempFolderLock::close() {
    if (!m_opened) return false;
    m_opened = false;
    if (m_fd < 0) {
        RemoveTempFolder();
        return true;
    }
    bool removed = false;
    // The conversion may drop the shared lock before it fails; this window
    // is going anyway.
    if (lockFile(m_fd, LOCK_EX | LOCK_NB)) {
        RemoveTempFolder();
        removed = true;
    }
    ::close(m_fd);
    m_fd = -1;
    return removed;
}

}  // namespace mirofoto
