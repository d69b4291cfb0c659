#pragma once

#include <string>
#include <string_view>
#include <vector>

// Returns the folder that recovery copies go to: ${XDG_STATE_HOME:-$HOME/.local/state}/velmora/recovery.
std::string RecoveryFolder();
// Writes `store` in the data-file layout to a new recovery copy of the data file `name` of the
// current folder, named after that folder, the file and the time; logs one line to stderr and
// notes the copy for the next start. Returns the copy's path, or "" when it could not be written.
std::string WriteRecoveryCopy(const std::string& name, std::string_view store);
// Returns the recovery copies that earlier runs wrote and the user has not been told of, oldest
// first, and forgets them.
std::vector<std::string> TakeUntoldRecoveryCopies();
