#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace cal {

// Returns the whole of the file `path` ("-": standard input). Refuses anything but a regular file,
// and a file larger than `maxBytes`: by its size before a byte is read, and again while reading
// (it may grow meanwhile). On failure `error` says why in one line, in the locale's language.
std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes, std::string& error);

}  // namespace cal
