#include "paper/paper_month.h"

#include "model/memo_store.h"
#include "model/year_calendar.h"

namespace paper {

PaperMonth LoadPaperMonth(long long calendarYear, int month, const std::string& memoStore,
                          std::string (*utf8FromCp932)(std::string_view)) {
    const int year = static_cast<int>(calendarYear - 1900);
    if (g_YearCalendar.year != year || g_YearCalendar.cells[0][0].day == 0) {
        g_YearCalendar.year = year;
        g_YearCalendar.Build();
    }
    const auto memos = FindMonthMemos(memoStore, year, month - 1);
    PaperMonth shown;
    shown.calendarYear = calendarYear;
    shown.month = month;
    for (const CDayCell& cell : g_YearCalendar.cells[month - 1]) {
        if (cell.day == 0) break;
        PaperDay day;
        day.weekday = cell.weekday;
        day.weekRow = cell.weekRow;
        day.holiday = cell.flag == 1;
        day.holidayName = utf8FromCp932(cell.text);
        if (const auto& memo = memos[static_cast<std::size_t>(cell.day - 1)]) day.memo = utf8FromCp932(*memo);
        shown.days.push_back(std::move(day));
    }
    return shown;
}

}  // namespace paper
