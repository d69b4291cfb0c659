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
// Returns what a screen reader says of a day: "2026年12月9日 水曜日", then "祝日" and the name
// of a holiday, then "メモあり" and the first line of `memo` when the day has one.
std::string DayCellName(long long calendarYear, int month, const CDayCell& cell, const std::string* memo);
// Returns a month sheet's name for screen readers, "2026年1月".
std::string SheetName(long long calendarYear, int month);

}  // namespace calendar_texts
