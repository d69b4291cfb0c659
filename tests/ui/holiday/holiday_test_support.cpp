#include "tests/ui/holiday/holiday_test_support.h"

#include "model/year_calendar.h"

void HolidayDialogTest::SetUp() {
    WindowTest::SetUp();
    g_YearCalendar.year = 126;
}

std::vector<std::string> HolidayFiles() {
    return {FileBytes("Static_holi.txt"), FileBytes("Dynamic_holi.txt"), FileBytes("126_holi.txt")};
}
