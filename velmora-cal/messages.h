#pragma once

#include <string>

// The language of velmora-cal's messages (help, errors, notes): Japanese or English.
namespace cal {

// Returns true when the locale asks for Japanese: the first of LC_ALL, LC_MESSAGES and LANG that is
// set and non-empty starts with "ja".
bool JapaneseMessages();

// Returns `japanese` when JapaneseMessages(), else `english`.
const char* Tr(const char* english, const char* japanese);

// Writes "velmora-cal: " and the message, in the locale's language, as one line to stderr.
void Complain(const std::string& message);

}  // namespace cal
