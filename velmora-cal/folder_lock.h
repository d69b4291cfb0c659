#pragma once

#include "model/folder_lock.h"

#include <string>

namespace cal {

// Returns the one line velmora-cal says when it could not take `lock` (for Busy, the lock's own
// words; the commands say themselves that a calendar runs).
std::string LockRefusal(const FolderLock& lock);

}  // namespace cal
