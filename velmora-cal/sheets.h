#pragma once

#include <array>
#include <string>
#include <vector>

// The month sheets of velmora-cal: the months as the calendar window draws them, as terminal text.
namespace cal {

// One month of the calendar, as a sheet shows it.
struct MonthSheet {
    long long calendarYear = 0;  // 2026, not 126
    int month = 0;               // 1..12
    struct Day {
        int weekday = 0;  // 0 = Sunday .. 6 = Saturday
        int weekRow = 0;  // row of the sheet, from 1
        bool holiday = false;
        bool memo = false;
        bool today = false;
    };
    std::vector<Day> days;  // day 1 first
};

// Returns the sheet of month 1..12 of the calendar year from the data folder that is the current
// directory: holidays from the holiday pass over its holiday files, memo days from `memoStore`
// (the memo store's code page 932 records), and today from the model's present moment.
MonthSheet LoadMonthSheet(long long calendarYear, int month, const std::string& memoStore);

// Returns the text of the sheets side by side, each 21 columns wide with 2 between them: the caption
// ("2026年  12月"), the weekday header from Sunday, then the week rows (as many as the longest
// sheet has). With `colour`, Sundays and holidays are red, Saturdays blue, memo days underlined and
// today in reverse video (ANSI escapes); without it, a memo day has "*" after its number. Lines end
// with "\n" and carry no trailing spaces.
std::string RenderSheets(const std::vector<MonthSheet>& sheets, bool colour);

}  // namespace cal
