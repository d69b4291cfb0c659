#pragma once

#include <ctime>
#include <string>

// One day of the shown year.
struct CDayCell {
    int day = 0;       // 1..31; 0 = the cell is no day of its month
    int weekRow = 0;   // row of the month sheet, from 1
    int weekday = 0;   // 0 = Sunday .. 6 = Saturday
    int flag = 0;      // 1 = holiday, else 0
    std::string text;  // holiday name in code page 932, or empty
};

// The shown year: all twelve months of day cells, the shown year and the shown month.
class CYearCalendar {
public:
    CDayCell cells[12][31];  // [month 0..11][day - 1], month-major
    int year = 0;            // years since 1900 (2026 is 126)
    int month = 0;           // 0 = January .. 11 = December

    // Returns `year` as a calendar year (2026 for 126), in a type that holds it for every int year.
    long long CalendarYear() const { return static_cast<long long>(year) + 1900; }

    // Rebuilds every month of `year` from scratch, then runs the holiday pass.
    void Build();
    // Re-reads the holiday files and marks the holidays of `year` on the cells.
    void ApplyHolidays();

    // Returns the cell of day 1..31 of month 0..11, or nullptr for any value outside those ranges.
    CDayCell* Cell(int monthIndex, int dayOfMonth);
    const CDayCell* Cell(int monthIndex, int dayOfMonth) const;
};

extern CYearCalendar g_YearCalendar;

// Returns the broken-down local time of the present moment (or the moment a test fixed).
std::tm CurrentLocalTime();
// Returns "YYYYMMDD-HHMMSS" of CurrentLocalTime(), for the names of copies kept of the data files.
std::string FileTimeStamp();

// Sets `year` and `month` from the present moment and builds.
void GoToday();
// Steps the shown month back; builds when that crosses into the previous year. Stays at January
// of year INT_MIN.
void PrevMonth();
// Steps the shown month forward; builds when that crosses into the next year. Stays at December
// of year INT_MAX.
void NextMonth();
// Steps the shown year back (not below INT_MIN), keeping the month, and builds.
void PrevYear();
// Steps the shown year forward (not above INT_MAX), keeping the month, and builds.
void NextYear();
