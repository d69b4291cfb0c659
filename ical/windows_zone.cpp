#include "ical/windows_zone.h"

#include <unicode/ucal.h>

#include <array>
#include <vector>

namespace ics {

std::string ZoneOfWindowsName(std::string_view windowsName) {
    // Windows zone names are ASCII: anything else names no Windows zone.
    std::vector<UChar> name;
    name.reserve(windowsName.size());
    for (const char c : windowsName) {
        if (static_cast<unsigned char>(c) >= 0x80) return "";
        name.push_back(static_cast<UChar>(c));
    }
    std::array<UChar, 128> zone{};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucal_getTimeZoneIDForWindowsID(name.data(), static_cast<int32_t>(name.size()), nullptr,
                                                          zone.data(), static_cast<int32_t>(zone.size()), &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(zone.size())) return "";
    std::string text;
    for (int32_t i = 0; i < length; ++i) text += static_cast<char>(zone[static_cast<std::size_t>(i)]);
    return text;
}

}  // namespace ics
