#pragma once

#include <cstddef>
#include <optional>
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
// Returns true when the record's last character is a single-byte "~" (not the second byte of a
// double-byte character).
bool IsClosedRecord(std::string_view record);

// Returns the offset of the first single-byte character of `delimiters` in the code page 932 text,
// or std::string_view::npos. Second bytes of double-byte characters never match.
std::size_t FindDelimiter(std::string_view text, std::string_view delimiters);

// Moves the text before the first "^" or "~" of `source` into `field` and drops it and the
// delimiter from `source`; with no delimiter, `field` takes all of `source`, which becomes empty.
void CutField(std::string& source, std::string& field);
// The same on views: no copy of the remainder is made.
void CutField(std::string_view& source, std::string_view& field);

// Returns the first record of `store` with its closing "~" and removes it from `store`. A rest
// without "~" is returned whole as the last record and leaves `store` empty.
std::string CutRecord(std::string& store);
// The same on a view: a walk over a whole store with this overload is linear in its size.
std::string_view CutRecord(std::string_view& rest);

// Returns "%d^%d^%d^" of the three numbers, then `text`, then "~".
std::string MakeMemoRecord(int year, int month, int day, std::string_view text);
// Splits a memo record into its year, month, day and text.
void ParseMemoRecord(std::string_view record, int& year, int& month, int& day, std::string& text);
// Splits a holiday record into its month, day, name and kind.
void ParseHolidayRecord(std::string_view record, int& month, int& day, std::string& name, int& kind);

// Where a record lies in a store: its offset and its length with the closing "~".
struct RecordSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
};
// Returns where the first memo record of the given year, month and day (as the record stores
// them) lies in the memo store, or std::nullopt when there is none; one linear walk.
std::optional<RecordSpan> FindMemoRecord(std::string_view store, int year, int month, int day);

// Returns the field read as atoi reads it, clamped to INT_MIN..INT_MAX instead of overflowing.
int ReadNumber(std::string_view field);

// Fills g_strStaticHoliday with the 11 built-in fixed-date holidays when it is empty.
void SetDefaultStaticHolidays();
// Fills g_strDynamicHoliday with the 4 built-in rule-based holidays when it is empty.
void SetDefaultDynamicHolidays();
