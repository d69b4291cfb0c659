#include "model/year_calendar.h"

#include "model/calendar_math.h"

#include <algorithm>
#include <climits>

CYearCalendar g_YearCalendar;

void CYearCalendar::Build() {
    const long long calendarYear = CalendarYear();
    for (int m = 0; m < 12; ++m) {
        const int length = DaysInMonth(calendarYear, m);
        int weekday = WeekdayOf(calendarYear, m, 1);
        int row = 1;
        for (int d = 1; d <= length; ++d) {
            CDayCell& cell = cells[m][d - 1];
            cell.day = d;
            cell.weekRow = row;
            cell.weekday = weekday;
            cell.flag = 0;
            cell.text.clear();
            if (weekday == 6) {
                weekday = 0;
                ++row;
            } else {
                ++weekday;
            }
        }
        // Cells past the month's end are no days: nothing of an earlier year's build (a 29
        // February's holiday mark and name) may stay in them.
        for (int d = length + 1; d <= 31; ++d) cells[m][d - 1] = CDayCell{};
    }
    ApplyHolidays();
}

CDayCell* CYearCalendar::Cell(int monthIndex, int dayOfMonth) {
    if (monthIndex < 0 || monthIndex > 11 || dayOfMonth < 1 || dayOfMonth > 31) return nullptr;
    return &cells[monthIndex][dayOfMonth - 1];
}

const CDayCell* CYearCalendar::Cell(int monthIndex, int dayOfMonth) const {
    if (monthIndex < 0 || monthIndex > 11 || dayOfMonth < 1 || dayOfMonth > 31) return nullptr;
    return &cells[monthIndex][dayOfMonth - 1];
}

void GoToday() {
    const std::tm now = CurrentLocalTime();
    g_YearCalendar.year = now.tm_year;
    g_YearCalendar.month = now.tm_mon;
    g_YearCalendar.Build();
}

// The window code may set `month` directly; a value outside 0..11 steps into the nearest month
// instead of running further out.
void PrevMonth() {
    CYearCalendar& model = g_YearCalendar;
    if (model.month > 0) {
        model.month = std::min(model.month, 12) - 1;
        return;
    }
    if (model.year == INT_MIN) {
        model.month = 0;
        return;
    }
    model.month = 11;
    --model.year;
    model.Build();
}

void NextMonth() {
    CYearCalendar& model = g_YearCalendar;
    if (model.month < 11) {
        model.month = std::max(model.month, -1) + 1;
        return;
    }
    if (model.year == INT_MAX) {
        model.month = 11;
        return;
    }
    model.month = 0;
    ++model.year;
    model.Build();
}

void PrevYear() {
    if (g_YearCalendar.year > INT_MIN) --g_YearCalendar.year;
    g_YearCalendar.Build();
}

void NextYear() {
    if (g_YearCalendar.year < INT_MAX) ++g_YearCalendar.year;
    g_YearCalendar.Build();
}
