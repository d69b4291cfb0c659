#include "model/year_calendar.h"
#include "model/present_time.h"
#include "tests/model/model_test_support.h"

#include <climits>
#include <ctime>
#include <string>

namespace {

using namespace std::string_literals;
using YearCalendarTest = ModelTest;

void BuildYear(int yearsSince1900) {
    g_YearCalendar.year = yearsSince1900;
    g_YearCalendar.Build();
}

struct MonthLengthCase {
    const char* name;
    int year;  // since 1900
    int month;
    int length;
};

TEST_F(YearCalendarTest, EachMonthHasItsDaysAndZeroCellsAfterThem) {
    const MonthLengthCase cases[] = {
        {"February 2000 has 29 days", 100, 1, 29},
        {"February 2024 has 29 days", 124, 1, 29},
        {"February 2026 has 28 days", 126, 1, 28},
        {"February 2100 has 28 days", 200, 1, 28},
        {"April 2026 has 30 days", 126, 3, 30},
        {"June 2026 has 30 days", 126, 5, 30},
        {"September 2026 has 30 days", 126, 8, 30},
        {"November 2026 has 30 days", 126, 10, 30},
        {"December 2026 has 31 days", 126, 11, 31},
        {"February of the lowest int year is a leap February", INT_MIN, 1, 29},
        {"February of the highest int year has 28 days", INT_MAX, 1, 28},
    };
    for (const MonthLengthCase& c : cases) {
        SCOPED_TRACE(c.name);
        BuildYear(c.year);
        for (int d = 1; d <= 31; ++d)
            EXPECT_EQ(g_YearCalendar.cells[c.month][d - 1].day, d <= c.length ? d : 0) << "cell of day " << d;
    }
}

TEST(CalendarYear, IsTheYearSince1900Plus1900WithoutOverflowAtEitherEnd) {
    const struct {
        int year;
        long long calendarYear;
    } cases[] = {
        {126, 2026}, {0, 1900}, {-1900, 0}, {-1901, -1}, {INT_MAX, 2147485547LL}, {INT_MIN, -2147481748LL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.year);
        CYearCalendar calendar;
        calendar.year = c.year;
        EXPECT_EQ(calendar.CalendarYear(), c.calendarYear);
    }
}

TEST_F(YearCalendarTest, ShorterMonthClearsTheDaysThatALongerBuildLeft) {
    BuildYear(124);  // 29 February 2024
    BuildYear(126);
    EXPECT_EQ(g_YearCalendar.cells[1][28].day, 0);
}

// Found by the fuzzer: the cell of 29 February kept the holiday mark and name of a leap year's
// build after a build of a common year.
TEST_F(YearCalendarTest, BuildOfAShorterFebruaryClearsTheMarkOfTheTwentyNinth) {
    // 2024 has a one-year holiday on 29 February; 2025 has no such day.
    PutFileBytes("124_holi.txt", "2^29^leap day^100~\0"s);
    BuildYear(124);
    ASSERT_EQ(g_YearCalendar.cells[1][28].flag, 1);

    BuildYear(125);
    const CDayCell& cell = g_YearCalendar.cells[1][28];
    EXPECT_EQ(cell.day, 0);
    EXPECT_EQ(cell.flag, 0);
    EXPECT_EQ(cell.text, "");
}

struct SheetCase {
    const char* name;
    int month;
    int day;
    int weekRow;
    int weekday;
};

TEST_F(YearCalendarTest, PlacesDaysOnTheRowsAndWeekdaysOf2026) {
    BuildYear(126);
    const SheetCase cases[] = {
        {"February 2026 opens on Sunday in row 1", 1, 1, 1, 0},
        {"7 February closes row 1", 1, 7, 1, 6},
        {"8 February opens row 2", 1, 8, 2, 0},
        {"22 February is in row 4", 1, 22, 4, 0},
        {"28 February, last of four rows", 1, 28, 4, 6},
        {"May 2026 opens on Friday", 4, 1, 1, 5},
        {"2 May is the last of row 1", 4, 2, 1, 6},
        {"3 May opens row 2", 4, 3, 2, 0},
        {"31 May stands alone in row 6", 4, 31, 6, 0},
        {"August 2026 opens on Saturday alone in row 1", 7, 1, 1, 6},
        {"2 August opens row 2", 7, 2, 2, 0},
        {"30 August is in row 6", 7, 30, 6, 0},
        {"31 August is in row 6", 7, 31, 6, 1},
        {"7 December 2026 is a Monday", 11, 7, 2, 1},
    };
    for (const SheetCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CDayCell& cell = g_YearCalendar.cells[c.month][c.day - 1];
        EXPECT_EQ(cell.day, c.day);
        EXPECT_EQ(cell.weekRow, c.weekRow);
        EXPECT_EQ(cell.weekday, c.weekday);
    }
}

TEST_F(YearCalendarTest, FirstOfEveryMonthFrom1970To2037HasTheCRuntimeWeekday) {
    for (int year = 1970; year <= 2037; ++year) {
        BuildYear(year - 1900);
        for (int month = 0; month < 12; ++month) {
            std::tm local{};
            local.tm_year = year - 1900;
            local.tm_mon = month;
            local.tm_mday = 1;
            local.tm_hour = 12;
            local.tm_isdst = -1;
            const std::time_t moment = std::mktime(&local);
            std::tm back{};
            ASSERT_NE(localtime_r(&moment, &back), nullptr);
            EXPECT_EQ(g_YearCalendar.cells[month][0].weekday, back.tm_wday) << year << "-" << month + 1;
        }
    }
}

TEST_F(YearCalendarTest, RowsRiseOnlyAfterSaturdayAndMonthsCoverFourToSixRows) {
    for (const int year : {0, 99, 100, 124, 126, 200, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(year);
        BuildYear(year);
        for (int m = 0; m < 12; ++m) {
            const CDayCell* month = g_YearCalendar.cells[m];
            EXPECT_EQ(month[0].weekRow, 1);
            int d = 1;
            for (; d < 31 && month[d].day != 0; ++d) {
                EXPECT_EQ(month[d].weekday, (month[d - 1].weekday + 1) % 7) << "month " << m << " day " << d + 1;
                EXPECT_EQ(month[d].weekRow, month[d - 1].weekRow + (month[d - 1].weekday == 6 ? 1 : 0));
            }
            EXPECT_GE(month[d - 1].weekRow, 4) << "month " << m;
            EXPECT_LE(month[d - 1].weekRow, 6) << "month " << m;
        }
    }
}

TEST_F(YearCalendarTest, BuildClearsEveryEarlierMarkOnExistingDays) {
    BuildYear(126);
    for (auto& month : g_YearCalendar.cells) {
        for (CDayCell& cell : month) {
            cell.flag = 1;
            cell.text = "old";
        }
    }
    g_YearCalendar.Build();
    for (int m = 0; m < 12; ++m) {
        for (int d = 0; d < 31; ++d) {
            const CDayCell& cell = g_YearCalendar.cells[m][d];
            if (cell.day == 0) continue;
            EXPECT_EQ(cell.flag, 0) << m << "/" << d + 1;
            EXPECT_EQ(cell.text, "") << m << "/" << d + 1;
        }
    }
}

struct CellCase {
    const char* name;
    int month;
    int day;
    bool inside;
};

TEST_F(YearCalendarTest, CellGivesOnlyCellsOfTheModel) {
    const CellCase cases[] = {
        {"first cell", 0, 1, true},
        {"last cell", 11, 31, true},
        {"31st of a 30-day month is still a cell", 3, 31, true},
        {"month -1", -1, 1, false},
        {"month 12", 12, 1, false},
        {"day 0", 0, 0, false},
        {"day 32", 0, 32, false},
        {"lowest month", INT_MIN, 1, false},
        {"highest month", INT_MAX, 1, false},
        {"lowest day", 5, INT_MIN, false},
        {"highest day", 5, INT_MAX, false},
    };
    const CYearCalendar& constModel = g_YearCalendar;
    for (const CellCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDayCell* cell = g_YearCalendar.Cell(c.month, c.day);
        EXPECT_EQ(constModel.Cell(c.month, c.day), cell);
        if (c.inside) {
            EXPECT_EQ(cell, &g_YearCalendar.cells[c.month][c.day - 1]);
        } else {
            EXPECT_EQ(cell, nullptr);
        }
    }
}

enum class Step { PrevMonth, NextMonth, PrevYear, NextYear };

struct NavigationCase {
    const char* name;
    int year;
    int month;
    Step step;
    int expectedYear;
    int expectedMonth;
    bool builds;
};

TEST_F(YearCalendarTest, NavigationStepsMonthAndYearAndBuildsOnlyOnAYearChange) {
    const NavigationCase cases[] = {
        {"next month inside the year", 126, 10, Step::NextMonth, 126, 11, false},
        {"next month from December", 126, 11, Step::NextMonth, 127, 0, true},
        {"previous month inside the year", 126, 5, Step::PrevMonth, 126, 4, false},
        {"previous month from January", 126, 0, Step::PrevMonth, 125, 11, true},
        {"previous year keeps the month", 126, 7, Step::PrevYear, 125, 7, true},
        {"next year keeps the month", 126, 7, Step::NextYear, 127, 7, true},
        {"next month stops at December of the highest year", INT_MAX, 11, Step::NextMonth, INT_MAX, 11, false},
        {"previous month stops at January of the lowest year", INT_MIN, 0, Step::PrevMonth, INT_MIN, 0, false},
        {"next year stops at the highest year", INT_MAX, 3, Step::NextYear, INT_MAX, 3, true},
        {"previous year stops at the lowest year", INT_MIN, 3, Step::PrevYear, INT_MIN, 3, true},
        {"previous month from a month far above December", 126, INT_MAX, Step::PrevMonth, 126, 11, false},
        {"next month from a month far below January", 126, INT_MIN, Step::NextMonth, 126, 0, false},
        {"previous month from a month far below January", 126, INT_MIN, Step::PrevMonth, 125, 11, true},
        {"next month from a month far above December", 126, INT_MAX, Step::NextMonth, 127, 0, true},
    };
    for (const NavigationCase& c : cases) {
        SCOPED_TRACE(c.name);
        BuildYear(c.year);
        g_YearCalendar.month = c.month;
        // A build clears the text of every existing day, so a planted text shows whether one ran.
        g_YearCalendar.cells[0][0].text = "planted";
        switch (c.step) {
        case Step::PrevMonth:
            PrevMonth();
            break;
        case Step::NextMonth:
            NextMonth();
            break;
        case Step::PrevYear:
            PrevYear();
            break;
        case Step::NextYear:
            NextYear();
            break;
        }
        EXPECT_EQ(g_YearCalendar.year, c.expectedYear);
        EXPECT_EQ(g_YearCalendar.month, c.expectedMonth);
        EXPECT_EQ(g_YearCalendar.cells[0][0].text.empty(), c.builds);
    }
}

TEST_F(YearCalendarTest, NextMonthFromDecemberBuildsTheNextYearsCells) {
    BuildYear(126);
    g_YearCalendar.month = 11;
    NextMonth();
    // 1 January 2027 is a Friday, 1 January 2026 a Thursday.
    EXPECT_EQ(g_YearCalendar.cells[0][0].weekday, 5);
}

TEST_F(YearCalendarTest, GoTodayShowsThePresentMonthAndBuildsItsYear) {
    std::tm present{};
    present.tm_year = 126;
    present.tm_mon = 11;
    present.tm_mday = 7;
    present.tm_hour = 9;
    present.tm_min = 5;
    present.tm_wday = 1;
    SetPresentTimeForTesting(present);
    BuildYear(90);
    g_YearCalendar.month = 2;

    GoToday();

    EXPECT_EQ(g_YearCalendar.year, 126);
    EXPECT_EQ(g_YearCalendar.month, 11);
    EXPECT_EQ(g_YearCalendar.cells[11][6].weekday, 1);  // 7 December 2026, a Monday
    EXPECT_EQ(g_YearCalendar.cells[1][28].day, 0);      // 2026 has no 29 February
    const std::tm now = CurrentLocalTime();
    EXPECT_EQ(now.tm_hour, 9);
    EXPECT_EQ(now.tm_min, 5);
}

TEST_F(YearCalendarTest, WithoutAFixedMomentThePresentIsTheRealLocalTime) {
    std::tm fixed{};
    fixed.tm_year = 50;
    SetPresentTimeForTesting(fixed);
    ClearPresentTimeForTesting();

    const std::time_t before = std::time(nullptr);
    const std::tm present = CurrentLocalTime();
    const std::time_t after = std::time(nullptr);
    std::tm localBefore{};
    std::tm localAfter{};
    localtime_r(&before, &localBefore);
    localtime_r(&after, &localAfter);
    EXPECT_TRUE(present.tm_year == localBefore.tm_year || present.tm_year == localAfter.tm_year);
    EXPECT_TRUE(present.tm_yday == localBefore.tm_yday || present.tm_yday == localAfter.tm_yday);
}

}  // namespace
