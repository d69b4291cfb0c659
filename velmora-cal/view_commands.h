#pragma once

#include <string>
#include <vector>

// The commands of velmora-cal that only read the data folder: the month sheets, "day", "list" and
// "search".
namespace cal {

// Returns true when `arguments` (the command line after the program's own options) name one of
// these commands: no word, a number, "day", "list" or "search" first, or a sheet option.
bool IsViewCommand(const std::vector<std::string>& arguments);

// Runs the command that `arguments` name on the data folder that is the current directory; writes
// the result to stdout, and one line to stderr when it refuses or fails. Returns the exit status:
// 0 done, 1 nothing matched (search) or a data file could not be read, 2 bad usage.
// VELMORA_TODAY=YYYY-MM-DD in the environment fixes today's date (a hook for the tests).
int RunViewCommand(const std::vector<std::string>& arguments);

}  // namespace cal
