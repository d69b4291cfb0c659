#pragma once

#include <string>
#include <string_view>

// The record the holiday setting dialog is given to add a new holiday.
inline constexpr std::string_view kAddHolidayRecord = "0^0^^0^";

// Returns the records of the three stores one after another, fixed-date first, each closed as
// CloseRecord closes it, so that no store's unterminated tail runs into the next store's first
// record.
std::string JoinHolidayStores(std::string_view fixedStore, std::string_view ruleStore, std::string_view oneYearStore);

// Returns the records of `records` ordered by (month, day) as n + 1 carrying passes over the n
// records leave them, which fixes the order of records with equal dates; each record comes out
// closed as CloseRecord closes it.
std::string SortHolidayRecords(std::string_view records);

// Returns the list line of a holiday: "%2d月 %2d日　" and the name, in code page 932.
std::string HolidayListLine(int month, int day, std::string_view name);

// Returns record `index` (from 0) of `records` as CutRecord cuts them, or "" when there is none.
std::string HolidayRecordAt(std::string_view records, int index);

// Returns the store that a holiday of `kind` is looked for in: 0 the fixed-date store, 1..11 the
// rule-based store, any other kind the one-year store.
std::string& HolidayStoreOfKind(int kind);
// Returns the store a cancelled change puts a record of `kind` back into when its own store is not
// known: 0 the fixed-date store, 100 the one-year store, any other kind the rule-based store.
std::string& HolidayStoreForPutBack(int kind);
// Returns the store a registered holiday goes to by the checked choice: 0 the fixed-date store,
// 1 the rule-based store, anything else (2, or -1 for none) the one-year store.
std::string& HolidayStoreForChoice(int choice);

// Removes the first record of `store` that equals `record` (an unterminated tail counts as
// closed); returns false, leaving the store as it was, when there is none.
bool RemoveHolidayRecord(std::string& store, std::string_view record);

// Removes `record` from the store its kind designates or, when that store does not hold it, from
// the first other holiday store that does; returns that store, or nullptr when none holds it.
std::string* TakeOutHolidayRecord(std::string_view record);

// What the holiday setting dialog shows of a record.
struct HolidayFields {
    std::string month;  // the month in decimal
    std::string day;    // the day in decimal
    std::string name;
    int choice = 0;  // 0 fixed date, 1 "HappyMonday" (any kind but 0 and 100), 2 one year
    int week = 0;    // the kind when choice is 1, else the week the dialog had
};
// Returns the fields of `record` for the setting dialog, keeping `week` unless the choice is 1.
HolidayFields HolidayFieldsOfRecord(std::string_view record, int week);

// Returns month ^ day ^ name ^ kind ~ with "^" and "~" in the three texts replaced by their full
// width forms; the kind is "0" for choice 0, `week` for choice 1 and "100" for any other choice.
std::string MakeHolidayRecord(std::string_view month, std::string_view day, std::string_view name, int choice,
                              int week);
