#pragma once

#include "model/folder_lock.h"

#include <string>

namespace cal {

// The lock of the data folder (the current directory) as a command that writes its files holds
// it: while held, the folder's note names this velmora-cal, so that a calendar started meanwhile
// says what holds the folder.
class CommandLock {
public:
    CommandLock();
    ~CommandLock();
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

    // Returns the lock as taken.
    const FolderLock& Lock() const { return m_lock; }

private:
    FolderLock m_lock;
};

// Returns the one line velmora-cal says when it could not take `lock` (for Busy, the lock's own
// words; the commands say themselves that a calendar runs).
std::string LockRefusal(const FolderLock& lock);

// Returns the one line a command says when another process holds the folder's lock: the
// velmora-cal its note names, else a copy of the calendar; `nothingChanged` ends it so.
std::string BusyRefusal(bool nothingChanged);

}  // namespace cal
