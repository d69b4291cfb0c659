#pragma once

#include <optional>
#include <string_view>

// The time a memo line begins with, in code page 932: after any leading spaces (half- or
// full-width, tabs), an hour of one or two digits and a colon, then two digits of minutes,
// digits and colon half- or full-width ("10:00", "9:05", "１０：００").
struct LineTime {
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    bool operator==(const LineTime&) const = default;
};

// Returns the time `line` begins with, or std::nullopt when it begins with none: an hour past 23
// or minutes past 59, no colon ("1000"), a digit right after the minutes ("10:001"), or anything
// but spaces before the time (a time inside a sentence).
std::optional<LineTime> ParseLineTime(std::string_view line);

// Returns `line` without its leading spaces, half- or full-width, and tabs.
std::string_view WithoutLeadingSpaces(std::string_view line);
