#pragma once

#include "velmora-cal/exit_status.h"

#include <string>

// Runs "holidays update" on the data folder that is the current directory (whose absolute path is
// `folder`) with the official list at `listPath`, holding the calendar's lock while it works;
// prints what it changed, naming the folder, to stdout and any refusal or failure to stderr.
// Returns the exit status.
int RunHolidaysUpdate(const std::string& listPath, const std::string& folder);
