#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

namespace cal {

enum class WriteResult {
    Written,
    Refused,  // the name leads through another user's link, or to a file the caller keeps off
    Failed,   // the file could not be written
};

// Returns a reason not to write the file `base` of the folder whose status is `folder` (`file` is
// what stands there now, or null), or "" to write it.
using OutputVeto =
    std::function<std::string(const struct stat& folder, const std::string& base, const struct stat* file)>;

// Replaces the file at `path` with `bytes` atomically: a temporary file beside the file, written,
// flushed to disk and renamed over it. A symbolic link of this user (or of root) is written
// through, so that it stays a link to the file it names; a link of anyone else is refused, as is
// what `veto` keeps off. An existing file keeps its permission bits. On failure or refusal the
// reason is in `error` and the old file is as it was.
WriteResult WriteFileAtomically(const std::string& path, const std::string& bytes, const OutputVeto& veto,
                                std::string& error);

// Returns the exit status of a write (0 when written, 2 refused, 1 failed), telling `error` on
// stderr when the file was not written.
int ExitStatusOfWrite(WriteResult result, const std::string& error);

// Returns the veto that keeps an output off the calendar's data files of the current folder (under
// any name), its reason naming the output as `shownName`.
OutputVeto DataFilesVeto(const std::string& shownName);

}  // namespace cal
