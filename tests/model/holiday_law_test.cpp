#include "model/holiday_law.h"
#include "tests/model/model_test_support.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct LawRow {
    const char* name;
    int year;
    int month;
    int day;
    const char* holiday;  // UTF-8; "" when the day must be no holiday
};

bool Before(const DatedHoliday& a, const DatedHoliday& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

class LawDayTest : public ::testing::TestWithParam<LawRow> {};

// Days worked out by hand from the calendar and the equinox approximation.
const LawRow kLawRows[] = {
    {"substitute_after_Sunday_2_11_2029", 2029, 2, 12, "休日"},
    {"citizens_day_between_Keiro_and_Shubun_2032", 2032, 9, 21, "休日"},
    {"substitute_after_Sunday_equinox_2033", 2033, 3, 21, "休日"},
    {"spring_equinox_Sunday_2033", 2033, 3, 20, "春分の日"},
    {"May_3_Sunday_substitute_is_May_6_2026", 2026, 5, 6, "休日"},
    {"May_4_Sunday_substitute_is_May_6_2036", 2036, 5, 6, "休日"},
    {"citizens_day_2026_09_22", 2026, 9, 22, "休日"},
    {"Keiro_third_Monday_2026", 2026, 9, 21, "敬老の日"},
    {"Sports_second_Monday_2028", 2028, 10, 9, "スポーツの日"},
    {"Umi_third_Monday_2028", 2028, 7, 17, "海の日"},
    {"Seijin_second_Monday_2099", 2099, 1, 12, "成人の日"},
    {"spring_equinox_March_19_2092", 2092, 3, 19, "春分の日"},
    {"no_spring_holiday_on_March_20_2092", 2092, 3, 20, ""},
    {"autumn_equinox_September_22_2044", 2044, 9, 22, "秋分の日"},
    {"emperor_birthday_February_23", 2050, 2, 23, "天皇誕生日"},
    {"no_holiday_December_23", 2050, 12, 23, ""},
    {"Yama_no_hi_Sunday_2030_substitute", 2030, 8, 12, "休日"},
    {"Monday_after_Saturday_holiday_is_no_day_off", 2029, 11, 5, ""},
};

TEST_P(LawDayTest, GivesTheDayItsNameOrNone) {
    const LawRow& row = GetParam();
    const std::vector<DatedHoliday> days = LawHolidays(row.year);
    const auto it = std::find_if(days.begin(), days.end(),
                                 [&](const DatedHoliday& day) { return day.month == row.month && day.day == row.day; });
    if (row.holiday[0] == '\0') {
        EXPECT_EQ(it, days.end()) << HexBytes(it == days.end() ? "" : it->name);
    } else {
        ASSERT_NE(it, days.end());
        EXPECT_EQ(it->name, Sjis(row.holiday));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, LawDayTest, ::testing::ValuesIn(kLawRows), RowName());

TEST(HolidayLawTest, EveryYearHasItsSixteenHolidaysInDateOrderAndNothingOutsideItsRange) {
    for (int year = kFirstLawYear; year <= kLastLawYear; ++year) {
        const std::vector<DatedHoliday> days = LawHolidays(year);
        const auto proper =
            std::count_if(days.begin(), days.end(), [](const DatedHoliday& day) { return day.name != Sjis("休日"); });
        EXPECT_EQ(proper, 16) << year;
        EXPECT_TRUE(std::is_sorted(days.begin(), days.end(), Before)) << year;
        EXPECT_TRUE(std::adjacent_find(days.begin(), days.end(),
                                       [](const auto& a, const auto& b) { return !Before(a, b); }) == days.end())
            << year;
    }
    EXPECT_TRUE(LawHolidays(kFirstLawYear - 1).empty());
    EXPECT_TRUE(LawHolidays(kLastLawYear + 1).empty());
}

struct EquinoxRow {
    int year;
    int spring;
    int autumn;
};

// Worked out by hand from floor(20.8431 + 0.242194 (Y - 1980)) - floor((Y - 1980) / 4) and the
// same with 23.2488.
TEST(HolidayLawTest, EquinoxApproximation) {
    const EquinoxRow rows[] = {{1980, 20, 23}, {2026, 20, 23}, {2027, 21, 23}, {2044, 20, 22},
                               {2092, 19, 22}, {2099, 20, 23}, {2033, 20, 23}};
    for (const EquinoxRow& row : rows) {
        EXPECT_EQ(PredictedSpringEquinoxDay(row.year), row.spring) << row.year;
        EXPECT_EQ(PredictedAutumnEquinoxDay(row.year), row.autumn) << row.year;
    }
}

}  // namespace
