#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The memo search of velmora-cal.
namespace cal {

// Returns UTF-8 text folded for matching: full-width ASCII forms (Ａ, ０, ！) as ASCII, half-width
// katakana and punctuation (ｶﾞ, ｰ, ｡) as their full-width forms with the sound marks joined, the
// ideographic space as a space, the wave dash and the minus sign as "~" and "-", and Latin capitals
// as small letters. Bytes that are not UTF-8 are kept as they are.
std::string FoldForSearch(std::string_view utf8);

// Returns the words of the search arguments, folded, split at spaces (either width), empty ones
// dropped.
std::vector<std::string> SearchWords(const std::vector<std::string>& arguments);

// One memo found.
struct SearchHit {
    long long calendarYear = 0;
    int month = 0;  // 1..12
    int day = 0;
    int weekday = 0;   // 0 = Sunday
    std::string text;  // the whole memo in UTF-8, line breaks as in the store (CR LF)
};

// Returns every memo record of the code page 932 store whose text holds all `words` (folded as
// SearchWords folds them), newest date first, records of one day in store order; with `year`, only
// memos of that calendar year. Records whose date is no day of the calendar are skipped.
std::vector<SearchHit> SearchMemos(std::string_view store, const std::vector<std::string>& words,
                                   std::optional<long long> year);

// Returns the date as "2026-12-08 (火)" (month 1..12, weekday 0 = Sunday).
std::string DateLabel(long long calendarYear, int month, int day, int weekday);

// Returns the result line "2026-12-08 (火)  first line", with "…" after the first line when the
// memo has more text after it.
std::string SearchHitLine(const SearchHit& hit);

}  // namespace cal
