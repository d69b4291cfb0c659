#pragma once

#include <string>

// The text of "velmora-cal --help" and of each command's --help.
namespace cal {

struct Command;

// Returns the help of `command` (its synopses, what it does, the options it takes), or of every
// command and the options they share when it is nullptr, in the locale's language.
std::string HelpText(const Command* command);

}  // namespace cal
