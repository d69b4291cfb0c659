#include "velmora-cal/folder_lock.h"

#include <cstring>
#include <optional>

namespace cal {

std::string LockRefusal(const FolderLock& lock) {
    const std::string why = std::strerror(lock.Error());
    switch (lock.GetState()) {
    case FolderLock::State::CannotOpen: {
        const std::optional<uid_t> owner = lock.ForeignOwner();
        return std::string("cannot open the lock file ") + kFolderLockFile +
               (owner ? " of user id " + std::to_string(*owner) : std::string()) + " (" + why + "); nothing changed";
    }
    case FolderLock::State::NotAFile:
        return std::string("the lock file ") + kFolderLockFile + " is not a regular file; nothing changed";
    case FolderLock::State::Busy:
    case FolderLock::State::CannotLock:
        return std::string("cannot lock ") + kFolderLockFile + ": " + why;
    case FolderLock::State::Held:
        break;
    }
    return {};
}

}  // namespace cal
