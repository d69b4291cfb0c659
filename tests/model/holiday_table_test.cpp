#include "model/holiday_table.h"
#include "model/record.h"
#include "tests/model/model_test_support.h"

#include <random>
#include <string>
#include <vector>

namespace {

using HolidayTableTest = ModelTest;

std::vector<std::string> NamesOf(std::string_view records) {
    std::vector<std::string> names;
    while (!records.empty()) {
        int month = 0;
        int day = 0;
        int kind = 0;
        std::string name;
        ParseHolidayRecord(CutRecord(records), month, day, name, kind);
        names.push_back(name);
    }
    return names;
}

// The carrying passes written out on whole texts, as plainly as they can be said.
std::string SortByPassesOnText(std::string list) {
    std::size_t n = 0;
    for (std::string copy = list; !copy.empty(); CutRecord(copy)) ++n;
    for (std::size_t pass = 0; pass < n + 1; ++pass) {
        if (list.empty()) continue;
        std::string next;
        std::string rest = list;
        std::string carried = CutRecord(rest);
        while (!rest.empty()) {
            std::string candidate = CutRecord(rest);
            int cm = 0, cd = 0, ck = 0, m = 0, d = 0, k = 0;
            std::string cn, name;
            ParseHolidayRecord(carried, cm, cd, cn, ck);
            ParseHolidayRecord(candidate, m, d, name, k);
            if (cm < m || (cm == m && cd < d)) {
                next += carried;
                carried = candidate;
            } else {
                next += candidate;
            }
        }
        next += carried;
        list = next;
    }
    return list;
}

TEST(HolidaySortTest, EqualDatesTakeTheOrderThePassesLeave) {
    struct Case {
        const char* name;
        const char* fixed;
        const char* ruleBased;
        std::vector<std::string> expected;
    } cases[] = {
        {"two records of one date, three passes", "5^5^A^0~", "5^5^B^2~", {"B", "A"}},
        {"an earlier date before a pair", "5^5^A^0~1^1^C^0~", "5^5^B^2~", {"C", "A", "B"}},
        {"four of one date turn one place", "5^5^A^0~5^5^B^0~5^5^C^0~5^5^D^0~", "", {"B", "C", "D", "A"}},
        {"records that are no numbers sort as month 0 and day 0", "1^1^A^0~x^y^Z^0~", "", {"Z", "A"}},
        {"nothing to sort", "", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NamesOf(SortHolidayRecords(JoinHolidayStores(c.fixed, c.ruleBased, ""))), c.expected);
    }
}

TEST(HolidaySortTest, GivesWhatEveryPassOverTheWholeTextGives) {
    // Few dates make many equal ones; the shortcut for runs of equal dates must match exactly.
    std::mt19937 random(20260107);
    for (int trial = 0; trial < 400; ++trial) {
        const int n = static_cast<int>(random() % 14);
        std::string list;
        for (int i = 0; i < n; ++i) {
            list += std::to_string(1 + random() % 3) + "^" + std::to_string(1 + random() % 3) + "^r" +
                    std::to_string(i) + "^0~";
        }
        SCOPED_TRACE(list);
        EXPECT_EQ(SortHolidayRecords(list), SortByPassesOnText(list));
    }
}

TEST(HolidaySortTest, AStoreWithoutItsLastTildeDoesNotRunIntoTheNext) {
    const std::string joined = JoinHolidayStores("5^5^A^0~1^1^B^0", "2^2^C^2~", "");
    EXPECT_EQ(joined, "5^5^A^0~1^1^B^0~2^2^C^2~");
    EXPECT_EQ(SortHolidayRecords("3^3^X^0~1^1^Y"), "1^1^Y~3^3^X^0~");
    // A lead byte at the end would pair with one tilde into a double-byte character.
    EXPECT_EQ(JoinHolidayStores("1^1^\x89", "2^2^B^2~", ""), "1^1^\x89~~2^2^B^2~");
}

TEST_F(HolidayTableTest, BuiltInTableGivesFifteenSortedLines) {
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    const std::string sorted = SortHolidayRecords(JoinHolidayStores(g_strStaticHoliday, g_strDynamicHoliday, ""));
    std::vector<std::string> lines;
    for (std::string_view rest = sorted; !rest.empty();) {
        int month = 0;
        int day = 0;
        int kind = 0;
        std::string name;
        ParseHolidayRecord(CutRecord(rest), month, day, name, kind);
        lines.push_back(HolidayListLine(month, day, name));
    }
    const char* expected[] = {
        " 1月  1日　元旦",     " 1月 15日　成人の日",     " 2月 11日　建国記念日", " 3月 20日　春分の日",
        " 4月 29日　緑の日",   " 5月  3日　憲法記念日",   " 5月  4日　国民の休日", " 5月  5日　子供の日",
        " 7月 20日　海の日",   " 9月 15日　敬老の日",     " 9月 23日　秋分の日",   "10月 10日　体育の日",
        "11月  3日　分化の日", "11月 23日　勤労感謝の日", "12月 23日　天皇誕生日",
    };
    ASSERT_EQ(lines.size(), 15u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(HexBytes(lines[i]), HexBytes(Sjis(expected[i]))) << "line " << i;
    EXPECT_EQ(HexBytes(lines[0]), "20 31 8C 8E 20 20 31 93 FA 81 40 8C B3 92 55");
    EXPECT_EQ(HexBytes(lines[11]), "31 30 8C 8E 20 31 30 93 FA 81 40 91 CC 88 E7 82 CC 93 FA");
}

TEST(HolidayListLineTest, WidthTwoIsOnlyAMinimum) {
    EXPECT_EQ(HolidayListLine(123, 4567, "x"), "123\x8C\x8E 4567\x93\xFA\x81\x40x");
    EXPECT_EQ(HolidayListLine(-1, 0, ""), "-1\x8C\x8E  0\x93\xFA\x81\x40");
}

TEST(HolidayListLineTest, RecordAtCountsFromZeroAndGivesNothingPastTheEnd) {
    const std::string list = "1^1^A^0~2^2^B^0~";
    EXPECT_EQ(HolidayRecordAt(list, 0), "1^1^A^0~");
    EXPECT_EQ(HolidayRecordAt(list, 1), "2^2^B^0~");
    EXPECT_EQ(HolidayRecordAt(list, 2), "");
    EXPECT_EQ(HolidayRecordAt(list, -1), "");
}

TEST(HolidayStoreTest, KindsAndChoicesChooseTheirStores) {
    struct Case {
        const char* name;
        int value;
        const std::string* lookedIn;  // take-out, by kind
        const std::string* putBack;   // cancelled change, by kind
        const std::string* chosen;    // register, by choice
    } cases[] = {
        {"0", 0, &g_strStaticHoliday, &g_strStaticHoliday, &g_strStaticHoliday},
        {"1", 1, &g_strDynamicHoliday, &g_strDynamicHoliday, &g_strDynamicHoliday},
        {"2", 2, &g_strDynamicHoliday, &g_strDynamicHoliday, &g_strYearHoliday},
        {"5", 5, &g_strDynamicHoliday, &g_strDynamicHoliday, &g_strYearHoliday},
        {"7, a kind that marks nothing", 7, &g_strDynamicHoliday, &g_strDynamicHoliday, &g_strYearHoliday},
        {"10", 10, &g_strDynamicHoliday, &g_strDynamicHoliday, &g_strYearHoliday},
        {"11", 11, &g_strDynamicHoliday, &g_strDynamicHoliday, &g_strYearHoliday},
        {"12", 12, &g_strYearHoliday, &g_strDynamicHoliday, &g_strYearHoliday},
        {"100", 100, &g_strYearHoliday, &g_strYearHoliday, &g_strYearHoliday},
        {"-1, no choice checked", -1, &g_strYearHoliday, &g_strDynamicHoliday, &g_strYearHoliday},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(&HolidayStoreOfKind(c.value), c.lookedIn);
        EXPECT_EQ(&HolidayStoreForPutBack(c.value), c.putBack);
        EXPECT_EQ(&HolidayStoreForChoice(c.value), c.chosen);
    }
}

TEST_F(HolidayTableTest, TakeOutRemovesExactlyThatRecordFromItsStore) {
    g_strStaticHoliday = "11^3^A^0~1^3^A^0~1^3^A^0~";
    g_strDynamicHoliday = "1^3^A^0~";
    EXPECT_EQ(TakeOutHolidayRecord("1^3^A^0~"), &g_strStaticHoliday);
    EXPECT_EQ(g_strStaticHoliday, "11^3^A^0~1^3^A^0~") << "the first equal record, never a record ending alike";
    EXPECT_EQ(g_strDynamicHoliday, "1^3^A^0~") << "the designated store comes first";
}

TEST_F(HolidayTableTest, RecordsWhoseKindDoesNotMatchTheirStoreAreTakenFromTheirOwn) {
    struct Case {
        const char* name;
        const char* record;
        std::string* holder;
    } cases[] = {
        {"a HappyMonday week of 0 in the rule-based store", "1^6^W0^0~", &g_strDynamicHoliday},
        {"a HappyMonday week of 12 in the rule-based store", "1^6^W12^12~", &g_strDynamicHoliday},
        {"a HappyMonday week of 100 in the rule-based store", "1^6^W100^100~", &g_strDynamicHoliday},
        {"a rule-based kind in the one-year store", "9^9^Y^2~", &g_strYearHoliday},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_strStaticHoliday = "1^1^S^0~";
        g_strDynamicHoliday = "3^20^D^10~";
        g_strYearHoliday = "5^5^Y^100~";
        const std::string before = *c.holder;
        *c.holder += c.record;
        EXPECT_EQ(TakeOutHolidayRecord(c.record), c.holder);
        EXPECT_EQ(*c.holder, before);
        EXPECT_EQ(g_strStaticHoliday + g_strDynamicHoliday + g_strYearHoliday, "1^1^S^0~3^20^D^10~5^5^Y^100~");
    }
}

TEST_F(HolidayTableTest, TakeOutOfARecordNoStoreHoldsChangesNothing) {
    g_strStaticHoliday = "1^1^S^0~";
    g_strDynamicHoliday = "3^20^D^10~";
    g_strYearHoliday = "5^5^Y^100~";
    EXPECT_EQ(TakeOutHolidayRecord("1^1^S^1~"), nullptr);
    EXPECT_EQ(g_strStaticHoliday + g_strDynamicHoliday + g_strYearHoliday, "1^1^S^0~3^20^D^10~5^5^Y^100~");
}

TEST_F(HolidayTableTest, AnUnterminatedTailIsTakenOutAsTheClosedRecordTheListShows) {
    g_strStaticHoliday = "1^1^S^0~5^5^T^0";
    const std::string shown = HolidayRecordAt(SortHolidayRecords(JoinHolidayStores(g_strStaticHoliday, "", "")), 1);
    ASSERT_EQ(shown, "5^5^T^0~");
    EXPECT_EQ(TakeOutHolidayRecord(shown), &g_strStaticHoliday);
    EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~");
}

TEST(HolidayFieldsTest, ARecordShowsAsTheDialogFields) {
    struct Case {
        const char* name;
        std::string record;
        int weekBefore;
        const char* month;
        const char* day;
        std::string text;
        int choice;
        int week;
    } cases[] = {
        {"the add placeholder", std::string(kAddHolidayRecord), 0, "0", "0", "", 0, 0},
        {"an equinox is a HappyMonday choice", Sjis("3^20^春分の日^10~"), 0, "3", "20", Sjis("春分の日"), 1, 10},
        {"a one-year holiday keeps the week", "5^3^K^100~", 4, "5", "3", "K", 2, 4},
        {"a kind that marks nothing is a HappyMonday choice", "5^3^K^-7~", 0, "5", "3", "K", 1, -7},
        {"fields that are no numbers show as 0", "abc^x^N^0~", 0, "0", "0", "N", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HolidayFields fields = HolidayFieldsOfRecord(c.record, c.weekBefore);
        EXPECT_EQ(fields.month, c.month);
        EXPECT_EQ(fields.day, c.day);
        EXPECT_EQ(fields.name, c.text);
        EXPECT_EQ(fields.choice, c.choice);
        EXPECT_EQ(fields.week, c.week);
    }
}

TEST(HolidayFieldsTest, TheDialogFieldsMakeARecord) {
    struct Case {
        const char* name;
        const char* month;
        const char* day;
        std::string text;
        int choice;
        int week;
        std::string record;
    } cases[] = {
        {"an untouched add", "0", "0", "", 0, 0, "0^0^^0~"},
        {"HappyMonday writes the week", "1", "15", Sjis("成人の日"), 1, 2, Sjis("1^15^成人の日^2~")},
        {"a negative week is kept", "1", "1", "N", 1, -3, "1^1^N^-3~"},
        {"one year writes 100", "5", "3", "K", 2, 9, "5^3^K^100~"},
        {"no choice checked is one year", "5", "3", "K", -1, 9, "5^3^K^100~"},
        {"a month of 13 is kept as typed", "13", "1", "N", 0, 0, "13^1^N^0~"},
        {"a month of abc is kept as typed", "abc", "1", "N", 0, 0, "abc^1^N^0~"},
        {"delimiters become full width", "1^", "2~", "a^b~c", 0, 0, Sjis("1＾^2～^a＾b～c^0~")},
        {"a kanji holding a delimiter byte stays", "1", "1", Sjis("円運"), 0, 0, Sjis("1^1^円運^0~")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexBytes(MakeHolidayRecord(c.month, c.day, c.text, c.choice, c.week)), HexBytes(c.record));
    }
}

}  // namespace
