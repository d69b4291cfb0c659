#pragma once

#include <string>

namespace cal {

// Takes the kernel lock that a running calendar holds on its data folder (flock on ".velmora.lock"
// in the current directory) without waiting; returns its descriptor, to be closed when the work is
// done, or -1 with the reason in `error` (`busy` true when a copy of the calendar holds it).
int TakeFolderLock(std::string& error, bool& busy);

// Replaces the file at `path` with `bytes` atomically: a temporary file in the same folder, written,
// flushed to disk and renamed over it; a symbolic link is written through, and an existing file keeps
// its permission bits. Returns true on success, else false with the reason in `error`, leaving the old
// file as it was.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace cal
