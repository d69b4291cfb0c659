#pragma once

#include <string>

// The language of velmora-cal's messages (help, errors, notes): Japanese or English.
namespace cal {

// Returns true when the locale asks for Japanese: the first of LC_ALL, LC_MESSAGES and LANG that is
// set and non-empty starts with "ja".
bool JapaneseMessages();

// Returns `japanese` when JapaneseMessages(), else `english`.
const char* Tr(const char* english, const char* japanese);

// Returns `text` in quotation marks: "text" in English, 「text」 in Japanese.
std::string Quoted(const std::string& text);

// Returns the count with the English noun that fits it: "1 event", "2 events".
std::string Counted(long long count, const char* singular, const char* plural);

// Writes "velmora-cal: " and the message, in the locale's language, as one line to stderr.
void Complain(const std::string& message);

// Writes a usage problem as one line to stderr, with a pointer to the help of `command` (the
// words that name it; "" for the whole help); returns the exit status of a usage error.
int UsageProblem(const std::string& message, const std::string& command = "");

}  // namespace cal
