#pragma once

#include <optional>
#include <string>
#include <string_view>

class CWnd;

namespace platform {

// Asks for a file to open, in a dialog modal to `owner` with the caption and a name filter such as
// "CSV (*.csv)" (both code page 932); returns its path in the file system's encoding, or
// std::nullopt when the user cancels.
std::optional<std::string> AskOpenFileName(CWnd& owner, std::string_view captionCp932, std::string_view filterCp932);

}  // namespace platform
