#pragma once

#include <string>

// Exit statuses of velmora-cal.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // a file could not be read or written
inline constexpr int kExitRefused = 2;  // bad usage, a bad list, or a copy of the calendar holds the folder

// Runs "holidays update" on the data folder that is the current directory with the official list at
// `listPath`, holding the calendar's lock while it works; prints what it changed to stdout and any
// refusal or failure to stderr. Returns the exit status.
int RunHolidaysUpdate(const std::string& listPath);
