#include "tests/ui/schedule/schedule_fixture.h"

#include "model/year_calendar.h"
#include "ui/globals.h"

void ScheduleTest::SetUp() {
    WindowTest::SetUp();
    SetPresentMoment(2026, 12, 7);
    ShowDate(126, 11, 7);
}

void ScheduleTest::ShowDate(int year, int month, int day) {
    g_YearCalendar = CYearCalendar{};
    g_YearCalendar.year = year;
    g_YearCalendar.Build();
    g_YearCalendar.month = month;
    g_nSelDay = day;
}
