// The temp folder of cached previews is shared by every window of every
// running program that uses the same program folder. Each window holds a
// shared lock on "temp.lock" beside it while it is open; only a window that
// can take the lock alone removes the folder, so a second window never
// deletes the previews the first is drawing.
#pragma once

namespace mirofoto {

class TempFolderLock {
public:
    TempFolderLock() = default;
    ~TempFolderLock() { close(); }
    TempFolderLock(const TempFolderLock&) = delete;
    TempFolderLock& operator=(const TempFolderLock&) = delete;

    /// Takes the shared lock, removing the temp folder first when no other
    /// window holds it. True when it was removed (or there was none to
    /// remove). Without a lock file (a folder we cannot write) the folder is
    /// removed as far as it can be.
    bool open();
    /// Removes the temp folder when no other window holds the lock, then
    /// lets the lock go. True when this window removed it. Nothing happens
    /// when the lock was never opened.
    bool close();

    bool isOpen() const { return m_opened; }

private:
    bool removeIfAlone();

    int m_fd = -1;
    bool m_opened = false;
};

}  // namespace mirofoto
