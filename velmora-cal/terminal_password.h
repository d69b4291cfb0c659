#pragma once

#include <optional>
#include <string>

namespace cal {

// Asks for a password on the controlling terminal with `prompt`, its typing not echoed; returns
// the line typed, std::nullopt and a one-line `error` when there is no terminal or it closed.
std::optional<std::string> AskPassword(const std::string& prompt, std::string& error);

}  // namespace cal
