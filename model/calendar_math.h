#pragma once

// Gregorian calendar arithmetic on plain integers; defined, with no overflow, for every calendar
// year that the year model can show (an int of years since 1900, plus 1900).

// Returns true when the calendar year (2026, not 126) is a leap year.
bool IsLeapYear(long long calendarYear);
// Returns the number of days (28..31) of month 0..11 of the calendar year, or 0 for any other month.
int DaysInMonth(long long calendarYear, int monthIndex);
// Returns the weekday (0 = Sunday .. 6 = Saturday) of day 1..31 of month 0..11 of the calendar year.
int WeekdayOf(long long calendarYear, int monthIndex, int dayOfMonth);
