#include "model/calendar_math.h"
#include "model/japanese_era.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>

namespace {

struct LeapCase {
    const char* name;
    long long year;
    bool leap;
};

TEST(LeapYear, FollowsTheGregorianRules) {
    const LeapCase cases[] = {
        {"divisible by 400", 2000, true},          {"century not divisible by 400", 2100, false},
        {"1900 is no leap year", 1900, false},     {"divisible by 4", 2024, true},
        {"not divisible by 4", 2026, false},       {"year 0", 0, true},
        {"negative divisible by 4", -4, true},     {"negative century", -100, false},
        {"negative divisible by 400", -400, true}, {"negative odd", -1, false},
    };
    for (const LeapCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
    }
}

struct LengthCase {
    const char* name;
    long long year;
    int month;
    int days;
};

TEST(DaysInMonth, GivesEachMonthItsLength) {
    const LengthCase cases[] = {
        {"January", 2026, 0, 31},
        {"February of a common year", 2026, 1, 28},
        {"February of 2024", 2024, 1, 29},
        {"February of 2000", 2000, 1, 29},
        {"February of 2100", 2100, 1, 28},
        {"March", 2026, 2, 31},
        {"April", 2026, 3, 30},
        {"June", 2026, 5, 30},
        {"July", 2026, 6, 31},
        {"August follows July with 31", 2026, 7, 31},
        {"September", 2026, 8, 30},
        {"November", 2026, 10, 30},
        {"December", 2026, 11, 31},
        {"month before January", 2026, -1, 0},
        {"month after December", 2026, 12, 0},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DaysInMonth(c.year, c.month), c.days);
    }
}

TEST(Weekday, MatchesTheCRuntimeOnEveryFirstOfAMonthFrom1970To2037) {
    for (int year = 1970; year <= 2037; ++year) {
        for (int month = 0; month < 12; ++month) {
            std::tm utc{};
            utc.tm_year = year - 1900;
            utc.tm_mon = month;
            utc.tm_mday = 1;
            utc.tm_hour = 12;
            const std::time_t utcTime = timegm(&utc);
            std::tm utcBack{};
            ASSERT_NE(gmtime_r(&utcTime, &utcBack), nullptr);

            std::tm local{};
            local.tm_year = year - 1900;
            local.tm_mon = month;
            local.tm_mday = 1;
            local.tm_hour = 12;
            local.tm_isdst = -1;
            const std::time_t localTime = std::mktime(&local);
            std::tm localBack{};
            ASSERT_NE(localtime_r(&localTime, &localBack), nullptr);

            EXPECT_EQ(WeekdayOf(year, month, 1), utcBack.tm_wday) << year << "-" << month + 1;
            EXPECT_EQ(WeekdayOf(year, month, 1), localBack.tm_wday) << year << "-" << month + 1;
        }
    }
}

TEST(Weekday, RisesByOneFromEachDayToTheNextFrom1900To2100) {
    int previous = WeekdayOf(1899, 11, 31);
    for (int year = 1900; year <= 2100; ++year) {
        for (int month = 0; month < 12; ++month) {
            for (int day = 1; day <= DaysInMonth(year, month); ++day) {
                const int weekday = WeekdayOf(year, month, day);
                ASSERT_EQ(weekday, (previous + 1) % 7) << year << "-" << month + 1 << "-" << day;
                previous = weekday;
            }
        }
    }
}

struct DateCase {
    const char* name;
    long long year;
    int month;
    int day;
    int weekday;
};

TEST(Weekday, KnowsTheseDates) {
    const DateCase cases[] = {
        {"7 December 2026 is a Monday", 2026, 11, 7, 1},   {"1 February 2026 is a Sunday", 2026, 1, 1, 0},
        {"1 May 2026 is a Friday", 2026, 4, 1, 5},         {"1 August 2026 is a Saturday", 2026, 7, 1, 6},
        {"1 January 1900 is a Monday", 1900, 0, 1, 1},     {"1 January 2000 is a Saturday", 2000, 0, 1, 6},
        {"29 February 2000 is a Tuesday", 2000, 1, 29, 2}, {"15 October 1582 is a Friday", 1582, 9, 15, 5},
        {"1 January of year 1 is a Monday", 1, 0, 1, 1},   {"1 January of year 0 is a Saturday", 0, 0, 1, 6},
    };
    for (const DateCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WeekdayOf(c.year, c.month, c.day), c.weekday);
    }
}

TEST(Weekday, StaysRightAtBothEndsOfTheIntYearRange) {
    // 400 Gregorian years are exactly 20871 weeks, so every date repeats its weekday 400 years on;
    // and the day after 31 December is the 1st of January.
    const long long lowest = static_cast<long long>(INT_MIN) + 1900;
    const long long highest = static_cast<long long>(INT_MAX) + 1900;
    const long long years[] = {lowest, lowest + 1, lowest + 399, highest - 400, highest - 1, highest};
    for (const long long year : years) {
        SCOPED_TRACE(year);
        for (int month = 0; month < 12; ++month) {
            const int weekday = WeekdayOf(year, month, 1);
            EXPECT_GE(weekday, 0);
            EXPECT_LE(weekday, 6);
            const long long other = year == lowest ? year + 400 : year - 400;
            EXPECT_EQ(weekday, WeekdayOf(other, month, 1)) << "month " << month;
        }
        if (year > lowest) {
            EXPECT_EQ(WeekdayOf(year, 0, 1), (WeekdayOf(year - 1, 11, 31) + 1) % 7);
        }
    }
}

struct EraCase {
    const char* name;
    long long year;
    int month;
    int day;
    const char* written;
};

TEST(JapaneseEra, WritesTheEraYearOnEachSideOfEveryBoundary) {
    const EraCase cases[] = {
        {"the day before the Gregorian calendar has no era year", 1872, 12, 31, ""},
        {"the first Gregorian day is 明治6年", 1873, 1, 1, "明治6年"},
        {"the last day of 明治", 1912, 7, 29, "明治45年"},
        {"大正 begins on 30 July 1912", 1912, 7, 30, "大正元年"},
        {"the last day of 大正", 1926, 12, 24, "大正15年"},
        {"昭和 begins on Christmas Day 1926", 1926, 12, 25, "昭和元年"},
        {"昭和2年 begins on New Year's Day", 1927, 1, 1, "昭和2年"},
        {"the last day of 昭和", 1989, 1, 7, "昭和64年"},
        {"平成 begins on 8 January 1989", 1989, 1, 8, "平成元年"},
        {"平成2年", 1990, 1, 1, "平成2年"},
        {"the last day of 平成", 2019, 4, 30, "平成31年"},
        {"令和 begins on 1 May 2019", 2019, 5, 1, "令和元年"},
        {"令和2年", 2020, 1, 1, "令和2年"},
        {"December 2026", 2026, 12, 1, "令和8年"},
    };
    for (const EraCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EraYearOfDay(c.year, c.month, c.day), c.written);
    }
}

TEST(JapaneseEra, CountsOneYearEachNewYearAndRestartsOnlyWhereTheTableSays) {
    const JapaneseEra* before = EraOfDay(1873, 1, 1);
    long long number = 5;  // 明治6年 begins with the first day
    std::size_t restarts = 0;
    for (long long year = 1873; year <= 2100; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= DaysInMonth(year, month - 1); ++day) {
                const JapaneseEra* era = EraOfDay(year, month, day);
                ASSERT_NE(era, nullptr);
                const bool starts = year == era->startYear && month == era->startMonth && day == era->startDay;
                if (era != before) {
                    ASSERT_TRUE(starts) << year << "-" << month << "-" << day;
                    number = 1;
                    ++restarts;
                } else if (month == 1 && day == 1) {
                    ++number;
                }
                ASSERT_EQ(year - era->firstYear + 1, number) << year << "-" << month << "-" << day;
                before = era;
            }
    EXPECT_EQ(restarts, JapaneseEras().size() - 1);
    EXPECT_EQ(JapaneseEras().back().name, std::string("令和"));
}

TEST(JapaneseEra, NamesBothErasOfAMonthOrYearThatOneBeginsIn) {
    EXPECT_EQ(EraYearsOfDays(1989, 1, 1, 1989, 1, 31), "昭和64年・平成元年");
    EXPECT_EQ(EraYearsOfDays(2019, 1, 1, 2019, 12, 31), "平成31年・令和元年");
    EXPECT_EQ(EraYearsOfDays(2019, 5, 1, 2019, 5, 31), "令和元年");
    EXPECT_EQ(EraYearsOfDays(2019, 4, 1, 2019, 4, 30), "平成31年");
    EXPECT_EQ(EraYearsOfDays(2026, 12, 1, 2026, 12, 31), "令和8年");
    EXPECT_EQ(EraYearsOfDays(1872, 12, 1, 1872, 12, 31), "");
}

}  // namespace
