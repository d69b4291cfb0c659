#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The four text stores, each a run of caret/tilde records in code page 932.
extern std::string g_strMemoData;        // memo records: year ^ month ^ day ^ text ~
extern std::string g_strStaticHoliday;   // fixed-date holidays: month ^ day ^ name ^ kind ~
extern std::string g_strDynamicHoliday;  // rule-based holidays
extern std::string g_strYearHoliday;     // one-year holidays of the shown year

// Returns true when the byte starts a double-byte code page 932 character.
constexpr bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Moves the text before the first "^" or "~" of `source` into `field` and drops it and the
// delimiter from `source`; with no delimiter, `field` takes all of `source`, which becomes empty.
// Second bytes of double-byte characters are never taken for a delimiter.
void CutField(std::string& source, std::string& field);
// The same on views: no copy of the remainder is made.
void CutField(std::string_view& source, std::string_view& field);

// Returns the first record of `store` with its closing "~" and removes it from `store`. A rest
// without "~" is returned whole as the last record and leaves `store` empty.
std::string CutRecord(std::string& store);
// The same on a view: a walk over a whole store with this overload is linear in its size.
std::string_view CutRecord(std::string_view& rest);

// Returns the record closed by a single-byte "~": unchanged when it has one, else with one "~"
// added, or two when it ends in a lead byte (which takes the first "~" as its second byte).
std::string CloseRecord(std::string_view record);

// Returns the field read as atoi reads it, clamped to INT_MIN..INT_MAX instead of overflowing.
int ReadNumber(std::string_view field);

// The fields of a memo record; `text` is a view into the record that was split.
struct MemoRecordFields {
    int year = 0;  // years since 1900
    int month = 0;
    int day = 0;
    std::string_view text;
};
// Splits a memo record (year ^ month ^ day ^ text, with or without its "~"): the first three fields
// are read with ReadNumber, the fourth is the text. A missing field reads as 0 or "", and fields
// after the fourth are dropped.
MemoRecordFields SplitMemoRecord(std::string_view record);

// The kinds of holiday record: a fixed date, the n-th Monday (1..5) of the month, the spring and
// autumn equinox days, and a holiday of the shown year only.
inline constexpr int kFixedDateKind = 0;
inline constexpr int kFirstNthMondayKind = 1;
inline constexpr int kLastNthMondayKind = 5;
inline constexpr int kSpringEquinoxKind = 10;
inline constexpr int kAutumnEquinoxKind = 11;
inline constexpr int kOneYearKind = 100;

// The fields of a holiday record; `name` is a view into the record that was split.
struct HolidayRecordFields {
    int month = 0;
    int day = 0;
    std::string_view name;
    int kind = 0;
};
// Splits a holiday record (month ^ day ^ name ^ kind) as SplitMemoRecord splits a memo record.
HolidayRecordFields SplitHolidayRecord(std::string_view record);

// Returns "%d^%d^%d^" of the three numbers, then `text`, then "~".
std::string MakeMemoRecord(int year, int month, int day, std::string_view text);
// Splits a memo record into its year, month, day and text, as SplitMemoRecord does.
void ParseMemoRecord(std::string_view record, int& year, int& month, int& day, std::string& text);
// Splits a holiday record into its month, day, name and kind, as SplitHolidayRecord does.
void ParseHolidayRecord(std::string_view record, int& month, int& day, std::string& name, int& kind);

// Fills g_strStaticHoliday with the 11 built-in fixed-date holidays when it is empty.
void SetDefaultStaticHolidays();
// Fills g_strDynamicHoliday with the 4 built-in rule-based holidays when it is empty.
void SetDefaultDynamicHolidays();
