#pragma once

#include <optional>
#include <string>
#include <string_view>

// The backslash escapes of the tab-separated lines the program's own small files and answers
// hold: a backslash, a tab, a line feed and a carriage return each written as two characters.

// Appends `text` to `out` with those four characters escaped.
void AppendFieldEscaped(std::string& out, std::string_view text);
// Returns `text` with its escapes undone, or std::nullopt when a backslash starts no escape.
std::optional<std::string> FieldUnescaped(std::string_view text);
