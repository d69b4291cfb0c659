#include "model/calendar_math.h"

namespace {

// Days from 1970-01-01 to the given Gregorian date (days_from_civil). With a year that comes from
// an int plus 1900 every intermediate value stays far inside long long.
long long DaysFromCivil(long long year, long long month, long long day)  // month 1..12
{
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;                                          // 0..399
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;  // March-based
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

bool IsLeapYear(long long calendarYear) {
    return calendarYear % 4 == 0 && (calendarYear % 100 != 0 || calendarYear % 400 == 0);
}

int DaysInMonth(long long calendarYear, int monthIndex) {
    static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (monthIndex < 0 || monthIndex > 11) return 0;
    if (monthIndex == 1 && IsLeapYear(calendarYear)) return 29;
    return kLengths[monthIndex];
}

int WeekdayOf(long long calendarYear, int monthIndex, int dayOfMonth) {
    const long long days = DaysFromCivil(calendarYear, static_cast<long long>(monthIndex) + 1, dayOfMonth);
    // 1970-01-01 was a Thursday (4).
    return static_cast<int>((days % 7 + 7 + 4) % 7);
}
