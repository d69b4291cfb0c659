#pragma once

#include "model/year_calendar.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Edits and reads of the memo store (a run of "year^month^day^text~" records in code page 932)
// as the schedule dialogs make them. A function that reads the store walks it once.

// Removes the first record of the day (numbers as the record stores them: years since 1900,
// month 0..11, day) from `store` and returns its text, or std::nullopt when there is none. The
// other records keep their bytes and order; an unterminated rest at the end is kept closed as
// CloseRecord closes it, so that a record appended later stays a record of its own.
std::optional<std::string> TakeMemoRecord(std::string& store, int year, int month, int day);

// Appends the day's record with `text` to the end of `store`; each single-byte "^" and "~" of the
// text becomes its full-width form, so the record always parses back whole.
void AppendMemoRecord(std::string& store, int year, int month, int day, std::string_view text);

// Returns the memo text of each day 1..31 (index day - 1) of the month, std::nullopt for a day
// without a record; when a day has several records the first one wins. Other years, months and
// days outside 1..31 are skipped.
std::array<std::optional<std::string>, 31> FindMonthMemos(std::string_view store, int year, int month);

// Returns the list line of a day: "%2d日(%s)    " with the weekday name of 0..6, then the memo.
std::string MonthListLine(int day, int weekday, std::string_view memo);

// Returns the list lines of the calendar's shown month in day order, one per day of the month,
// each with the day's memo from `store`.
std::vector<std::string> MonthListLines(std::string_view store, const CYearCalendar& calendar);
