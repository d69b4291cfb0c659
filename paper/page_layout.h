#pragma once

#include <string>
#include <string_view>
#include <vector>

// The calendar on paper: a month page or a year page laid out as frames and texts on a page of any
// size and unit, before anything is painted. Text is measured as the fixed-pitch IPA Gothic sets it:
// a half-width character (ASCII, half-width katakana) half the font size wide, any other one the
// font size.
namespace paper {

// One day of a month as the page shows it; texts in UTF-8.
struct PaperDay {
    int weekday = 0;  // 0 = Sunday .. 6 = Saturday
    int weekRow = 0;  // row of the month, from 1
    bool holiday = false;
    std::string holidayName;  // may be empty on a holiday (a day off)
    std::string memo;         // lines broken by CR LF, CR or LF
};

// One month: day 1 first.
struct PaperMonth {
    long long calendarYear = 0;  // 2026
    int month = 0;               // 1..12
    std::vector<PaperDay> days;
};

enum class Ink { Black, Red, Blue, Grey };

// One thing to draw. A frame is the outline of its box; a text stands in its box, from its left
// edge (or centred), its top at the box's top, in a font of `size` (its line height).
struct PaperItem {
    enum class Kind { Frame, Text } kind = Kind::Text;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double size = 0;  // the font size of a text
    std::string text;
    Ink ink = Ink::Black;
    bool centred = false;
};

// Returns how wide `text` (UTF-8) is set in a font of `size`.
double TextWidth(std::string_view text, double size);

// Returns the lines of `text` (UTF-8, lines broken by CR LF, CR or LF) wrapped to `width` in a font
// of `size`, whole characters only, at most `maxLines` of them; what does not fit is left out, and
// only as much of `text` is read as those lines need. Control characters are left out too.
std::vector<std::string> FitLines(std::string_view text, double width, double size, int maxLines);

// Returns the caption of a month: "2026年（令和8年）12月", or "1800年12月" before the first era.
std::string MonthCaption(long long calendarYear, int month);

// Returns the caption of a year: "2026年（令和8年）", "2019年（平成31年・令和元年）".
std::string YearCaption(long long calendarYear);

// Returns the month page on a page `width` by `height`: the caption, the weekday names 日..土, and a
// box for each day holding its number, its holiday's name and the first lines of its memo that fit.
// Sundays and holidays are red, Saturdays blue.
std::vector<PaperItem> MonthPage(const PaperMonth& month, double width, double height);

// Returns the year page: its caption and the twelve months, three across and four down, each with
// its month, weekday names and day numbers (no memos).
std::vector<PaperItem> YearPage(const std::vector<PaperMonth>& months, double width, double height);

}  // namespace paper
