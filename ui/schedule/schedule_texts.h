#pragma once

#include <string>

// Texts of the schedule dialogs, in code page 932.
namespace schedule_texts {

// Returns the date band "%d年  %d月  %d日" of the calendar year, month 1..12 and day.
std::string DateBand(long long calendarYear, int month, int day);

}  // namespace schedule_texts
