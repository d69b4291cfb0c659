#pragma once

#include <string>
#include <string_view>
#include <vector>

// Returns the folder that recovery copies go to: ${XDG_STATE_HOME:-$HOME/.local/state}/velmora/recovery.
std::string RecoveryFolder();
// Writes `store` in the data-file layout to a new recovery copy of the data file `name` of the
// current folder: in the recovery folder, named after that folder (shortened, with a hash of its
// path, when too long for a file name), the file and the time, when that folder and every folder
// above it are this user's or root's alone; else as "<name>.recovery-<time>" in the data folder,
// else as "velmora-recovery-<that name>" in the home folder, each only when it is this user's and
// nobody else may write it. Logs one line to stderr and notes the copy for the next start in the
// folder that took it. Returns the copy's path, or "" when no place took it.
std::string WriteRecoveryCopy(const std::string& name, std::string_view store);
// Returns the recovery copies that earlier runs wrote and the user has not been told of (noted in
// the recovery folder, the current folder or the home folder), oldest first, and forgets them.
std::vector<std::string> TakeUntoldRecoveryCopies();
