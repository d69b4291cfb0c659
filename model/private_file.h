#pragma once

#include <optional>
#include <string>
#include <string_view>

// Small files of the user's own (the reminders' memory and settings, the sync's set-up and state)
// under the user's folders.

// Returns "${name:-$HOME/fallback}/velmora", or "" when neither is an absolute path.
std::string UserFolder(const char* name, const char* fallback);
// Returns the file `name` of the folder `folder` when it is this user's and at most 1 MiB.
std::optional<std::string> ReadUserFile(const std::string& folder, const std::string& name);
// Replaces the file `name` of `folder` (made, mode 0700, when missing) by `bytes`, atomically: a
// temporary file, flushed, renamed over it. `privateFolder`: the folder must be 0700. Returns
// false when a step fails; the old file then stays as it was.
bool WriteUserFile(const std::string& folder, const std::string& name, std::string_view bytes, bool privateFolder);
