#pragma once

#include <string>
#include <string_view>

namespace ics {

// Returns the zone database name (as "Asia/Tokyo") that a Windows zone name (as "Tokyo Standard
// Time") stands for in the Unicode consortium's table the system's ICU holds, or "" for none.
std::string ZoneOfWindowsName(std::string_view windowsName);

}  // namespace ics
