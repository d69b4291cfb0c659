#include "model/japanese_era.h"

#include <array>

namespace {

// 明治 is counted from the first day of the Gregorian calendar in Japan (明治6年1月1日): earlier days
// had a lunisolar calendar that a Gregorian date does not map to by its year alone.
constexpr std::array kEras = {
    JapaneseEra{"明治", 1868, 1873, 1, 1},   JapaneseEra{"大正", 1912, 1912, 7, 30},
    JapaneseEra{"昭和", 1926, 1926, 12, 25}, JapaneseEra{"平成", 1989, 1989, 1, 8},
    JapaneseEra{"令和", 2019, 2019, 5, 1},
};

// Orders days as one number: year, month and day each in their own digits.
long long DayKey(long long year, int month, int day) { return (year * 100 + month) * 100 + day; }

std::string EraYearText(const JapaneseEra& era, long long calendarYear) {
    const long long number = calendarYear - era.firstYear + 1;
    return std::string(era.name) + (number == 1 ? std::string("元") : std::to_string(number)) + "年";
}

}  // namespace

std::span<const JapaneseEra> JapaneseEras() { return kEras; }

const JapaneseEra* EraOfDay(long long calendarYear, int month, int day) {
    const long long key = DayKey(calendarYear, month, day);
    const JapaneseEra* found = nullptr;
    for (const JapaneseEra& era : kEras)
        if (key >= DayKey(era.startYear, era.startMonth, era.startDay)) found = &era;
    return found;
}

std::string EraYearOfDay(long long calendarYear, int month, int day) {
    const JapaneseEra* era = EraOfDay(calendarYear, month, day);
    return era != nullptr ? EraYearText(*era, calendarYear) : std::string();
}

std::string EraYearsOfDays(long long firstYear, int firstMonth, int firstDay, long long lastYear, int lastMonth,
                           int lastDay) {
    const JapaneseEra* last = EraOfDay(lastYear, lastMonth, lastDay);
    if (last == nullptr) return {};
    const JapaneseEra* first = EraOfDay(firstYear, firstMonth, firstDay);
    // Days before the table's first era are written from the day that era begins.
    if (first == nullptr) {
        first = kEras.data();
        firstYear = first->startYear;
    }
    std::string text = EraYearText(*first, firstYear);
    for (const JapaneseEra* era = first + 1; era <= last; ++era) text += "・" + EraYearText(*era, era->startYear);
    return text;
}
