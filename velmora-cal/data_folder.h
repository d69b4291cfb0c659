#pragma once

#include "velmora-cal/options.h"

#include <string>

// The data folder velmora-cal works on: the one --dir names, else the calendar's own.
namespace cal {

// Returns the folder velmora-cal works on when --dir names none, the one the calendar's launcher
// starts it in: $VELMORA_DIR when set, else ${XDG_DATA_HOME:-$HOME/.local/share}/velmora (an
// XDG_DATA_HOME or HOME that is not absolute counts as unset); "" when none of them is set.
std::string DefaultDataFolder();

// Notes the working directory in `options.here`, then enters the data folder (--dir, else the
// default one) and sets `options.folder` to its absolute path. A default folder that is missing is
// made when `create` (its parents as `mkdir -p` makes them, the folder itself with mode 0700, as
// the launcher does); a missing folder is otherwise refused. Returns false with the reason, in one
// line, in `problem`.
bool EnterDataFolder(Options& options, bool create, std::string& problem);

}  // namespace cal
