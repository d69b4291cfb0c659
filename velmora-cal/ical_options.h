#pragma once

#include <optional>
#include <string>

// Option reading shared by "export" and "import".
namespace cal {

// Returns the calendar year that `text` spells (one to four digits, 1..9999), or std::nullopt.
std::optional<int> ParseYear(const std::string& text);

// Returns `path` taken from the folder `here`: unchanged when it is absolute, "-", or `here` is empty.
std::string ResolvePath(const std::string& path, const std::string& here);

// Writes the usage problem as one line to stderr, with a pointer to --help; returns the exit status
// of a usage error.
int UsageProblem(const std::string& message);

}  // namespace cal
