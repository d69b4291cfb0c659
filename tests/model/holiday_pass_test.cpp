#include "model/data_files.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <climits>
#include <string>
#include <vector>

namespace {

using HolidayPassTest = ModelTest;

struct Mark {
    int month;  // 1..12
    int day;
    std::string name;  // code page 932

    bool operator==(const Mark&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Mark& mark) {
    return out << mark.month << "/" << mark.day << " [" << HexBytes(mark.name) << "]";
}

// Every marked day of the built year in calendar order, checking that no cell past a month's end
// and no unmarked day carries anything.
std::vector<Mark> MarkedDays() {
    std::vector<Mark> marks;
    for (int m = 0; m < 12; ++m) {
        for (int d = 1; d <= 31; ++d) {
            const CDayCell& cell = g_YearCalendar.cells[m][d - 1];
            EXPECT_TRUE(cell.flag == 0 || cell.flag == 1) << m + 1 << "/" << d;
            if (cell.day == 0) continue;
            if (cell.flag == 1) {
                marks.push_back({m + 1, d, cell.text});
            } else {
                EXPECT_EQ(cell.text, "") << m + 1 << "/" << d;
            }
        }
    }
    return marks;
}

void BuildCalendarYear(int calendarYear) {
    g_YearCalendar.year = calendarYear - 1900;
    g_YearCalendar.Build();
}

void InstallBuiltinHolidays() {
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    ASSERT_EQ(SaveHolidayData(), 1);
}

Mark Named(int month, int day, const char* utf8Name) { return {month, day, Sjis(utf8Name)}; }

Mark Unnamed(int month, int day) { return {month, day, ""}; }

struct YearSetCase {
    const char* name;
    int calendarYear;
    std::vector<Mark> marks;
};
void PrintTo(const YearSetCase& row, std::ostream* out) { *out << row.name; }

std::vector<YearSetCase> YearSetCases() {
    return {
        {"1999: rule-based holidays on their fixed dates, two Sundays moved on",
         1999,
         {Named(1, 1, "元旦"), Named(1, 15, "成人の日"), Named(2, 11, "建国記念日"), Named(3, 21, "春分の日"),
          Unnamed(3, 22), Named(4, 29, "緑の日"), Named(5, 3, "憲法記念日"), Named(5, 4, "国民の休日"),
          Named(5, 5, "子供の日"), Named(7, 20, "海の日"), Named(9, 15, "敬老の日"), Named(9, 23, "秋分の日"),
          Named(10, 10, "体育の日"), Unnamed(10, 11), Named(11, 3, "分化の日"), Named(11, 23, "勤労感謝の日"),
          Named(12, 23, "天皇誕生日")}},
        {"2000: second Mondays of January and October",
         2000,
         {Named(1, 1, "元旦"), Named(1, 10, "成人の日"), Named(2, 11, "建国記念日"), Named(3, 20, "春分の日"),
          Named(4, 29, "緑の日"), Named(5, 3, "憲法記念日"), Named(5, 4, "国民の休日"), Named(5, 5, "子供の日"),
          Named(7, 20, "海の日"), Named(9, 15, "敬老の日"), Named(9, 23, "秋分の日"), Named(10, 9, "体育の日"),
          Named(11, 3, "分化の日"), Named(11, 23, "勤労感謝の日"), Named(12, 23, "天皇誕生日")}},
        {"2024: twenty days, five of them following a Sunday",
         2024,
         {Named(1, 1, "元旦"),
          Named(1, 8, "成人の日"),
          Named(2, 11, "建国記念日"),
          Unnamed(2, 12),
          Named(3, 20, "春分の日"),
          Named(4, 29, "緑の日"),
          Named(5, 3, "憲法記念日"),
          Named(5, 4, "国民の休日"),
          Named(5, 5, "子供の日"),
          Unnamed(5, 6),
          Named(7, 20, "海の日"),
          Named(9, 15, "敬老の日"),
          Unnamed(9, 16),
          Named(9, 22, "秋分の日"),
          Unnamed(9, 23),
          Named(10, 14, "体育の日"),
          Named(11, 3, "分化の日"),
          Unnamed(11, 4),
          Named(11, 23, "勤労感謝の日"),
          Named(12, 23, "天皇誕生日")}},
        {"2026: fifteen days, the Sunday of 3 May moves onto a holiday",
         2026,
         {Named(1, 1, "元旦"), Named(1, 12, "成人の日"), Named(2, 11, "建国記念日"), Named(3, 20, "春分の日"),
          Named(4, 29, "緑の日"), Named(5, 3, "憲法記念日"), Named(5, 4, "国民の休日"), Named(5, 5, "子供の日"),
          Named(7, 20, "海の日"), Named(9, 15, "敬老の日"), Named(9, 23, "秋分の日"), Named(10, 12, "体育の日"),
          Named(11, 3, "分化の日"), Named(11, 23, "勤労感謝の日"), Named(12, 23, "天皇誕生日")}},
    };
}

class BuiltinYearTest : public ModelTest, public ::testing::WithParamInterface<YearSetCase> {};

TEST_P(BuiltinYearTest, BuiltinTableGivesTheHolidaysOfEachYear) {
    const YearSetCase& c = GetParam();
    g_YearCalendar.year = c.calendarYear - 1900;
    InstallBuiltinHolidays();
    BuildCalendarYear(c.calendarYear);
    EXPECT_EQ(MarkedDays(), c.marks);
}

INSTANTIATE_TEST_SUITE_P(Rows, BuiltinYearTest, ::testing::ValuesIn(YearSetCases()), RowName());

struct EquinoxCase {
    const char* name;
    int calendarYear;
    int spring;  // day of March
    int autumn;  // day of September
};

TEST_F(HolidayPassTest, EquinoxDaysFollowTheTablesOfYears) {
    PutFileBytes("Dynamic_holi.txt", "3^1^S^10~9^1^A^11~");
    const EquinoxCase cases[] = {
        {"1948, before both tables, r = 0", 1948, 20, 22},
        {"1949, r = 1", 1949, 20, 23},
        {"1950, first of the old autumn table", 1950, 20, 23},
        {"1951, old autumn table, r = 3", 1951, 21, 24},
        {"1959, before the spring tables, r = 3", 1959, 21, 24},
        {"1960, first of the old spring table, r = 0", 1960, 20, 23},
        {"1961, old spring table, r = 1", 1961, 21, 23},
        {"1979, old autumn table, r = 3", 1979, 21, 24},
        {"1980", 1980, 20, 23},
        {"1982, last of the old autumn table", 1982, 21, 23},
        {"1983, first of the middle autumn table, r = 3", 1983, 21, 23},
        {"1991", 1991, 21, 23},
        {"1992, last of the old spring table", 1992, 20, 23},
        {"1993, first of the middle spring table, r = 1", 1993, 20, 23},
        {"1994, r = 2", 1994, 21, 23},
        {"2011, last of the middle autumn table", 2011, 21, 23},
        {"2012, r = 0", 2012, 20, 22},
        {"2024", 2024, 20, 22},
        {"2025, last of the middle spring table, r = 1", 2025, 20, 23},
        {"2026", 2026, 20, 23},
        {"2027, r = 3", 2027, 21, 23},
        {"2028, r = 0", 2028, 20, 22},
    };
    for (const EquinoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        BuildCalendarYear(c.calendarYear);
        for (int d = 19; d <= 25; ++d) {
            EXPECT_EQ(g_YearCalendar.cells[2][d - 1].text, d == c.spring ? "S" : "") << "March " << d;
            EXPECT_EQ(g_YearCalendar.cells[8][d - 1].text, d == c.autumn ? "A" : "") << "September " << d;
        }
    }
}

struct PlacementCase {
    const char* name;
    int calendarYear;
    std::string fixedDate;
    std::string ruleBased;
    std::string oneYear;
    std::vector<Mark> marks;
};

std::vector<PlacementCase> PlacementCases() {
    const std::string yen = "\x89\x7e";
    const std::string i = std::to_string(INT_MIN);
    const std::string a = std::to_string(INT_MAX);
    return {
        {"fifth Monday in a February with four marks nothing", 2026, "", "2^1^x^5~", "", {}},
        {"fifth Monday in a month that has one", 2026, "", "3^1^x^5~", "", {{3, 30, "x"}}},
        {"first Monday ignores the written day and writes the name", 2026, "", "6^25^x^1~", "", {{6, 1, "x"}}},
        {"fourth Monday", 2026, "", "6^1^x^4~", "", {{6, 22, "x"}}},
        {"n-th Monday before 2000 keeps the fixed date and the Sunday rule",
         1999,
         "",
         "10^10^x^2~",
         "",
         {{10, 10, "x"}, {10, 11, ""}}},
        {"Sunday 31 May marks 1 June", 2026, "5^31^x^0~", "", "", {{5, 31, "x"}, {6, 1, ""}}},
        {"Sunday 30 June marks nothing in July", 2024, "6^30^x^0~", "", "", {{6, 30, "x"}}},
        {"Sunday 30 August marks the 31st", 2026, "8^30^x^0~", "", "", {{8, 30, "x"}, {8, 31, ""}}},
        {"Sunday 28 February of a common year marks nothing in March", 2027, "2^28^x^0~", "", "", {{2, 28, "x"}}},
        {"Sunday 31 January marks 1 February", 2021, "1^31^x^0~", "", "", {{1, 31, "x"}, {2, 1, ""}}},
        {"Sunday 31 December stops at the end of the year", 2023, "12^31^x^0~", "", "", {{12, 31, "x"}}},
        {"Sunday 31 December of a one-year holiday", 2023, "", "", "12^31^x^100~", {{12, 31, "x"}}},
        {"29 February outside leap years marks nothing", 2026, "2^29^x^0~", "", "", {}},
        {"29 February of a leap year", 2024, "2^29^x^0~", "", "", {{2, 29, "x"}}},
        {"31 April marks nothing", 2026, "4^31^x^0~", "", "", {}},
        {"one-year record wins over a fixed date", 2026, "5^5^A^0~", "", "5^5^B^100~", {{5, 5, "B"}}},
        {"later record of a store wins", 2026, "5^5^A^0~5^5^B^0~", "", "", {{5, 5, "B"}}},
        {"Sunday rule keeps the name already on the next day",
         2026,
         "5^4^B^0~5^3^A^0~",
         "",
         "",
         {{5, 3, "A"}, {5, 4, "B"}}},
        {"Sunday rule moves no further than one day", 2026, "5^3^A^0~5^4^B^0~", "", "", {{5, 3, "A"}, {5, 4, "B"}}},
        {"equinox written with another month", 2026, "", "4^1^x^10~", "", {{4, 20, "x"}}},
        {"kind decides, not the store", 2026, "7^7^r^2~", "", "8^8^f^0~", {{7, 13, "r"}, {8, 8, "f"}}},
        {"name with a 0x7E second byte", 2026, "1^2^" + yen + "^0~", "", "", {{1, 2, yen}}},
        {"unterminated last record stays in its own file", 2026, "1^2^A^0", "2^2^B^0~", "", {{1, 2, "A"}, {2, 2, "B"}}},
        {"memos mark nothing", 2026, "", "", "", {}},
        {"kind 7", 2026, "1^2^x^7~", "", "", {}},
        {"kind 6", 2026, "1^2^x^6~", "", "", {}},
        {"kind -1", 2026, "1^2^x^-1~", "", "", {}},
        {"kind 12", 2026, "1^2^x^12~", "", "", {}},
        {"kind 101", 2026, "1^2^x^101~", "", "", {}},
        {"untouched setting dialog: month 0, day 0", 2026, "0^0^x^0~", "", "", {}},
        {"month 13", 2026, "13^1^x^0~", "13^1^x^1~13^1^x^10~", "", {}},
        {"day 0", 2026, "1^0^x^0~", "", "", {}},
        {"day 32", 2026, "1^32^x^0~", "", "", {}},
        {"lowest month", 2026, i + "^1^x^0~", i + "^1^x^1~" + i + "^1^x^11~", "", {}},
        {"highest month", 2026, a + "^1^x^0~", a + "^1^x^5~" + a + "^1^x^10~", "", {}},
        {"month beyond int", 2026, "99999999999^1^x^0~", "-99999999999^1^x^3~", "", {}},
        {"lowest day", 2026, "1^" + i + "^x^0~", "", "1^" + i + "^x^100~", {}},
        {"highest day", 2026, "1^" + a + "^x^0~", "", "1^" + a + "^x^100~", {}},
        {"lowest kind", 2026, "1^2^x^" + i + "~", "", "", {}},
        {"highest kind", 2026, "1^2^x^" + a + "~", "", "", {}},
    };
}

TEST_F(HolidayPassTest, PlacesEachRecordByItsKindAndNeverOutsideTheCells) {
    for (const PlacementCase& c : PlacementCases()) {
        SCOPED_TRACE(c.name);
        PutFileBytes("Static_holi.txt", c.fixedDate);
        PutFileBytes("Dynamic_holi.txt", c.ruleBased);
        PutFileBytes(YearHolidayFileName(c.calendarYear - 1900), c.oneYear);
        g_strMemoData = "126^4^3^memo~";
        BuildCalendarYear(c.calendarYear);
        EXPECT_EQ(MarkedDays(), c.marks);
    }
}

TEST_F(HolidayPassTest, EveryBuildReadsTheFilesAgain) {
    g_YearCalendar.year = 126;
    PutFileBytes("Static_holi.txt", "7^7^A^0~");
    BuildCalendarYear(2026);
    EXPECT_EQ(MarkedDays(), (std::vector<Mark>{{7, 7, "A"}}));

    // A change held only in memory does not reach the cells; a change in the file does.
    g_strStaticHoliday = "8^8^B^0~";
    g_YearCalendar.Build();
    EXPECT_EQ(MarkedDays(), (std::vector<Mark>{{7, 7, "A"}}));
    EXPECT_EQ(g_strStaticHoliday, "7^7^A^0~");

    PutFileBytes("Static_holi.txt", "9^9^C^0~");
    g_YearCalendar.Build();
    EXPECT_EQ(MarkedDays(), (std::vector<Mark>{{9, 9, "C"}}));
}

TEST_F(HolidayPassTest, OneYearHolidaysFollowTheShownYear) {
    PutFileBytes("126_holi.txt", "7^7^A^100~");
    PutFileBytes("127_holi.txt", "8^10^B^100~");
    BuildCalendarYear(2026);
    EXPECT_EQ(MarkedDays(), (std::vector<Mark>{{7, 7, "A"}}));

    g_YearCalendar.month = 11;
    NextMonth();
    EXPECT_EQ(g_YearCalendar.year, 127);
    EXPECT_EQ(g_strYearHoliday, "8^10^B^100~");
    EXPECT_EQ(MarkedDays(), (std::vector<Mark>{{8, 10, "B"}}));

    NextYear();
    EXPECT_EQ(g_strYearHoliday, "");
    EXPECT_EQ(MarkedDays(), std::vector<Mark>{});
}

TEST_F(HolidayPassTest, MarksOfAnEarlierYearNeverSurvive) {
    g_YearCalendar.year = 126;
    InstallBuiltinHolidays();
    BuildCalendarYear(2026);
    BuildCalendarYear(2027);
    // 12 January 2026 was the second Monday; in 2027 it is 11 January.
    EXPECT_EQ(g_YearCalendar.cells[0][11].flag, 0);
    EXPECT_EQ(g_YearCalendar.cells[0][10].text, Sjis("成人の日"));
}

struct EndYearCase {
    const char* name;
    int year;  // since 1900
};
void PrintTo(const EndYearCase& row, std::ostream* out) { *out << row.name; }

class EndYearTest : public ModelTest, public ::testing::WithParamInterface<EndYearCase> {};

TEST_P(EndYearTest, YearsAtTheEndsOfTheIntRangeBuildAndMarkTheirHolidays) {
    const int year = GetParam().year;
    g_YearCalendar.year = year;
    InstallBuiltinHolidays();
    g_YearCalendar.Build();
    EXPECT_EQ(g_YearCalendar.cells[0][0].text, Sjis("元旦"));
    // Before 2000 成人の日 keeps its written date; from 2000 on it is the second Monday.
    int adultsDay = 15;
    if (year > 99) {
        for (int d = 8; d <= 14; ++d) {
            if (g_YearCalendar.cells[0][d - 1].weekday == 1) adultsDay = d;
        }
    }
    EXPECT_EQ(g_YearCalendar.cells[0][adultsDay - 1].text, Sjis("成人の日"));
    EXPECT_EQ(g_YearCalendar.cells[11][22].text, Sjis("天皇誕生日"));
}

INSTANTIATE_TEST_SUITE_P(Rows, EndYearTest,
                         ::testing::Values(EndYearCase{"lowest int year", INT_MIN},
                                           EndYearCase{"highest int year", INT_MAX}),
                         RowName());

}  // namespace
