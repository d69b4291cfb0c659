#pragma once

#include "model/memo_draft.h"

#include <optional>
#include <string>
#include <string_view>

// The draft file of the current data folder, in ${XDG_STATE_HOME:-$HOME/.local/state}/velmora:
// a folder of this user's own with mode 0700 (made so when missing or looser), the file 0600.

// Returns the folder that holds the drafts, or "" when neither XDG_STATE_HOME nor HOME is set.
std::string DraftFolder();
// Returns the absolute path of the data folder (the current directory), or "".
std::string CurrentDataFolderPath();
// Replaces the current data folder's draft with the day's `text`, atomically (a temporary file
// beside it, flushed, renamed over it); returns false when it could not be written.
bool WriteMemoDraft(int year, int month, int day, std::string_view text);
// Removes the current data folder's draft; returns false when one is left that could not go.
bool RemoveMemoDraft();
// Returns the draft found under the current data folder's name, or std::nullopt; first removes
// the temporary files that killed writes of this folder's draft left. Call it only while no other
// copy runs in the folder.
std::optional<MemoDraft> ReadMemoDraft();
