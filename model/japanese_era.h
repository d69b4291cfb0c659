#pragma once

#include <span>
#include <string>

// Japanese era years (和暦): which era a Gregorian day falls in, and the era year as written.

// One era: its name (UTF-8) and the first Gregorian day it is counted from.
struct JapaneseEra {
    const char* name;  // "令和"
    int firstYear;     // the calendar year of its year 1 (元年)
    int startYear;     // the first day counted in it: startYear-startMonth-startDay
    int startMonth;    // 1..12
    int startDay;      // 1..31
};

// Returns the eras in the order they began, the latest last; a new era is one more row.
std::span<const JapaneseEra> JapaneseEras();

// Returns the era of the day (month 1..12, day 1..31), or nullptr before the first era of the table.
const JapaneseEra* EraOfDay(long long calendarYear, int month, int day);

// Returns the era year of the day as written: "令和8年", "平成元年"; "" before the first era.
std::string EraYearOfDay(long long calendarYear, int month, int day);

// Returns the era years that the days from first to last (inclusive, first <= last) fall in, joined
// by "・" when an era begins among them: "令和8年", "昭和64年・平成元年"; "" before the first era.
std::string EraYearsOfDays(long long firstYear, int firstMonth, int firstDay, long long lastYear, int lastMonth,
                           int lastDay);
