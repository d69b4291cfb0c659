#pragma once

#include <ctime>
#include <string>

struct CDayCell;

// Texts that the main window formats, in code page 932.
namespace calendar_texts {

inline constexpr std::size_t kTrayTipBytes = 63;  // the tip field holds 63 bytes and a NUL

// Returns "%d月%d日" of the month 1..12 and day, followed by an ideographic space and the holiday
// name when `cell` is a holiday; cut to 63 bytes without splitting a double-byte character.
std::string TrayTip(int month, int day, const CDayCell* cell);
// Returns the clock text "%i月%i日  %d時%d分" of the moment.
std::string ClockText(const std::tm& now);
// Returns the caption "%d年  %d月" of a sheet for the calendar year and month 1..12.
std::string SheetCaption(long long calendarYear, int month);
// Returns the weekday name "日".."土" of weekday 0..6.
std::string WeekdayName(int weekday);

}  // namespace calendar_texts
