#pragma once

// The text of "velmora-cal --help".
namespace cal {

// Returns the help text describing every command and option, in the locale's language.
const char* HelpText();

}  // namespace cal
