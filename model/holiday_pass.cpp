#include "model/data_files.h"
#include "model/record.h"
#include "model/year_calendar.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr int kMonday = 1;
constexpr int kSunday = 0;

int YearModFour(long long calendarYear) { return static_cast<int>((calendarYear % 4 + 4) % 4); }

int SpringEquinoxDay(long long calendarYear)  // in March
{
    const int r = YearModFour(calendarYear);
    if (calendarYear >= 1960 && calendarYear <= 1992) return r == 0 ? 20 : 21;
    if (calendarYear >= 1993 && calendarYear <= 2025) return r == 0 || r == 1 ? 20 : 21;
    return r == 3 ? 21 : 20;
}

int AutumnEquinoxDay(long long calendarYear)  // in September
{
    const int r = YearModFour(calendarYear);
    if (calendarYear >= 1950 && calendarYear <= 1982) return r == 3 ? 24 : 23;
    if (calendarYear >= 1983 && calendarYear <= 2011) return 23;
    return r == 0 ? 22 : 23;
}

class HolidayMarker {
public:
    explicit HolidayMarker(CYearCalendar& calendar) : m_calendar(calendar) {}

    void Place(int month, int day, std::string_view name, int kind) {
        // Months and days come unchecked from the files: a month outside 1..12 marks nothing, and
        // ExistingDay refuses any day that the month does not have.
        if (month < 1 || month > 12) return;
        const int monthIndex = month - 1;
        const long long calendarYear = m_calendar.CalendarYear();
        const bool nthMonday = kind >= kFirstNthMondayKind && kind <= kLastNthMondayKind;
        // Up to 1999 an n-th Monday record stands on its fixed date.
        if (kind == kFixedDateKind || kind == kOneYearKind || (nthMonday && calendarYear < 2000))
            MarkWithSundayRule(monthIndex, day, name);
        else if (nthMonday)
            MarkNthMonday(monthIndex, kind, name);
        else if (kind == kSpringEquinoxKind)
            MarkWithSundayRule(monthIndex, SpringEquinoxDay(calendarYear), name);
        else if (kind == kAutumnEquinoxKind)
            MarkWithSundayRule(monthIndex, AutumnEquinoxDay(calendarYear), name);
    }

private:
    CDayCell* ExistingDay(int monthIndex, int day) {
        CDayCell* cell = m_calendar.Cell(monthIndex, day);
        return cell != nullptr && cell->day != 0 ? cell : nullptr;
    }

    static void Mark(CDayCell& cell, std::string_view name) {
        cell.flag = 1;
        cell.text = name;
    }

    void MarkWithSundayRule(int monthIndex, int day, std::string_view name) {
        CDayCell* cell = ExistingDay(monthIndex, day);
        if (cell == nullptr) return;
        Mark(*cell, name);
        if (cell->weekday != kSunday) return;
        // The next cell of the run: the next day of the month, or the 1st of the next month after a
        // 31st. Nothing lies after 31 December in this year's cells.
        CDayCell* next = day < 31 ? ExistingDay(monthIndex, day + 1) : ExistingDay(monthIndex + 1, 1);
        if (next != nullptr) next->flag = 1;
    }

    void MarkNthMonday(int monthIndex, int nth, std::string_view name)  // nth 1..5
    {
        const int first = (nth - 1) * 7 + 1;
        const int last = std::min(nth * 7, 31);
        for (int day = first; day <= last; ++day) {
            CDayCell* cell = ExistingDay(monthIndex, day);
            if (cell != nullptr && cell->weekday == kMonday) {
                Mark(*cell, name);
                return;
            }
        }
    }

    CYearCalendar& m_calendar;
};

}  // namespace

void CYearCalendar::ApplyHolidays() {
    LoadHolidayData();
    HolidayMarker marker(*this);
    // Each store is walked on its own, so an unterminated last record of one file never swallows
    // the first record of the next.
    for (const std::string* store : {&g_strStaticHoliday, &g_strDynamicHoliday, &g_strYearHoliday}) {
        std::string_view rest = *store;
        while (!rest.empty()) {
            const HolidayRecordFields record = SplitHolidayRecord(CutRecord(rest));
            marker.Place(record.month, record.day, record.name, record.kind);
        }
    }
}
