#include "model/memo_store.h"
#include "model/memo_draft.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// 円 (0x89 0x7E) ends in the byte of "~"; 運 (0x89 0x5E) in the byte of "^".
const std::string kYen = "\x89\x7e";
const std::string kUn = "\x89\x5e";

struct TakeCase {
    const char* name;
    std::string store;
    int year, month, day;
    std::optional<std::string> taken;
    std::string kept;
};
void PrintTo(const TakeCase& row, std::ostream* out) { *out << row.name; }

std::vector<TakeCase> TakeCases() {
    return {
        {"empty store", "", 126, 11, 7, std::nullopt, ""},
        {"the day first of two", "126^11^7^abc~126^11^8^x~", 126, 11, 7, "abc", "126^11^8^x~"},
        {"the day last of two", "126^11^8^x~126^11^7^abc~", 126, 11, 7, "abc", "126^11^8^x~"},
        {"only the first of repeated records", "126^11^7^a~126^11^7^b~", 126, 11, 7, "a", "126^11^7^b~"},
        {"another year is never taken", "125^11^7^old~126^11^7^new~", 126, 11, 7, "new", "125^11^7^old~"},
        {"no record of the day", "125^11^7^old~126^10^7^m~", 126, 11, 7, std::nullopt, "125^11^7^old~126^10^7^m~"},
        {"an empty text", "126^11^7^~", 126, 11, 7, "", ""},
        {"line breaks and double-byte text stay", "126^11^7^" + kYen + "\r\n" + kUn + "~1^2^3^z~", 126, 11, 7,
         kYen + "\r\n" + kUn, "1^2^3^z~"},
        {"numbers are read as integers", "+126^011^07^z~", 126, 11, 7, "z", ""},
        {"a first day of the month is no 0th", "126^11^0^z~", 126, 11, 1, std::nullopt, "126^11^0^z~"},
        {"an unterminated rest is closed when kept", "126^11^8^x~126^11^9^tail", 126, 11, 7, std::nullopt,
         "126^11^8^x~126^11^9^tail~"},
        {"an unterminated rest of the day is taken", "126^11^8^x~126^11^7^tail", 126, 11, 7, "tail", "126^11^8^x~"},
        {"an unterminated rest after the day is closed", "126^11^7^a~126^11^9^tail", 126, 11, 7, "a", "126^11^9^tail~"},
        {"a rest ending in the second byte 0x7E is still unterminated", "1^1^1^a~2^2^2^" + kYen, 126, 11, 7,
         std::nullopt, "1^1^1^a~2^2^2^" + kYen + "~"},
        {"a lone rest of no record is closed", "garbage", 126, 11, 7, std::nullopt, "garbage~"},
        {"numbers in a text are no record", "1^2^3^126^11^7^~", 126, 11, 7, std::nullopt, "1^2^3^126^11^7^~"},
        {"a second byte 0x7E inside an earlier text ends no record", "1^1^1^" + kYen + "~126^11^7^z~", 126, 11, 7, "z",
         "1^1^1^" + kYen + "~"},
    };
}

class TakeMemoRecordTest : public ::testing::TestWithParam<TakeCase> {};

TEST_P(TakeMemoRecordTest, TakesTheFirstRecordOfTheDayAndKeepsTheRest) {
    const TakeCase& c = GetParam();
    std::string store = c.store;
    const std::optional<std::string> taken = TakeMemoRecord(store, c.year, c.month, c.day);
    ASSERT_EQ(taken.has_value(), c.taken.has_value());
    if (taken) {
        EXPECT_EQ(HexBytes(*taken), HexBytes(*c.taken));
    }
    EXPECT_EQ(HexBytes(store), HexBytes(c.kept));
}

INSTANTIATE_TEST_SUITE_P(Rows, TakeMemoRecordTest, ::testing::ValuesIn(TakeCases()), RowName());

TEST(TakeMemoRecord, ARecordAppendedAfterADamagedRestStaysWhole) {
    std::string store = "126^11^9^tail";
    EXPECT_FALSE(TakeMemoRecord(store, 126, 11, 7));
    AppendMemoRecord(store, 126, 11, 7, "abc");
    EXPECT_EQ(TakeMemoRecord(store, 126, 11, 7), std::optional<std::string>("abc"));
    EXPECT_EQ(TakeMemoRecord(store, 126, 11, 9), std::optional<std::string>("tail"));
    EXPECT_EQ(store, "");
}

TEST(TakeMemoRecord, ALargeStoreKeepsEveryOtherRecordInOrder) {
    std::string store;
    for (int i = 0; i < 100000; ++i)
        AppendMemoRecord(store, 100 + i % 50, i % 12, 1 + i % 28, "memo" + std::to_string(i));
    const std::string before = store;
    AppendMemoRecord(store, 126, 11, 31, "last");
    EXPECT_EQ(TakeMemoRecord(store, 126, 11, 31), std::optional<std::string>("last"));
    EXPECT_EQ(store, before);
    const auto memos = FindMonthMemos(store, 100, 0);
    EXPECT_EQ(memos[0], std::optional<std::string>("memo0"));
}

struct AppendCase {
    const char* name;
    std::string text;
    std::string record;
};
void PrintTo(const AppendCase& row, std::ostream* out) { *out << row.name; }

std::vector<AppendCase> AppendCases() {
    return {
        {"plain text", "abc", "126^11^7^abc~"},
        {"empty text", "", "126^11^7^~"},
        {"caret and tilde become full-width", "a^b~c", "126^11^7^a" + Sjis("＾") + "b" + Sjis("～") + "c~"},
        {"second bytes 0x5E and 0x7E are left alone", kUn + kYen, "126^11^7^" + kUn + kYen + "~"},
        {"a lead byte that ends the text becomes a geta mark", "a\x81", "126^11^7^a" + Sjis("〓") + "~"},
        {"line breaks stay", "a\r\nb", "126^11^7^a\r\nb~"},
    };
}

class AppendMemoRecordTest : public ::testing::TestWithParam<AppendCase> {};

TEST_P(AppendMemoRecordTest, ReplacesTheDelimitersSoTheRecordParsesBackWhole) {
    const AppendCase& c = GetParam();
    std::string store = "126^11^8^x~";
    AppendMemoRecord(store, 126, 11, 7, c.text);
    EXPECT_EQ(HexBytes(store), HexBytes("126^11^8^x~" + c.record));
    const std::optional<std::string> back = TakeMemoRecord(store, 126, 11, 7);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(store, "126^11^8^x~") << "the record stayed one record";
}

INSTANTIATE_TEST_SUITE_P(Rows, AppendMemoRecordTest, ::testing::ValuesIn(AppendCases()), RowName());

std::vector<std::string> RecordsOf(std::string_view store) {
    std::vector<std::string> records;
    while (!store.empty()) records.emplace_back(CutRecord(store));
    return records;
}

struct DamagedTailCase {
    const char* name;
    std::string store;
};
void PrintTo(const DamagedTailCase& row, std::ostream* out) { *out << row.name; }

class DamagedTailTest : public ::testing::TestWithParam<DamagedTailCase> {};

// Found by the fuzzer: a damaged last record that ends in a lead byte took the first "~" added to
// close it as its second byte, so the next appended record ran into it.
TEST_P(DamagedTailTest, TailEndingInALeadByteStaysApartFromTheNextAppendedRecord) {
    std::string store = GetParam().store;
    EXPECT_FALSE(TakeMemoRecord(store, 126, 11, 7).has_value());
    AppendMemoRecord(store, 126, 11, 7, "new");

    const std::vector<std::string> records = RecordsOf(store);
    ASSERT_EQ(records.size(), 2u) << HexBytes(store);
    EXPECT_EQ(records[1], "126^11^7^new~");
    EXPECT_EQ(TakeMemoRecord(store, 126, 11, 7), "new");
}

INSTANTIATE_TEST_SUITE_P(Rows, DamagedTailTest,
                         ::testing::Values(DamagedTailCase{"lead byte alone at the end", "126^11^8^abc\x81"},
                                           DamagedTailCase{"lead byte after a double-byte character",
                                                           "126^11^8^\x89\x7e\x82"},
                                           DamagedTailCase{"nothing but a lead byte", "\xe0"}),
                         RowName());

TEST(FindMonthMemos, FirstRecordOfADayWinsAndStrayRecordsAreSkipped) {
    const std::string store =
        "126^1^3^dentist~126^1^3^other~125^1^3^old~126^2^3^march~"
        "126^1^0^zero~126^1^32^big~126^1^-1^neg~126^1^31^end~126^1^5^~126^1^9^tail";
    const auto memos = FindMonthMemos(store, 126, 1);
    for (int day = 1; day <= 31; ++day) {
        SCOPED_TRACE(day);
        const std::optional<std::string>& memo = memos[static_cast<std::size_t>(day - 1)];
        switch (day) {
        case 3:
            EXPECT_EQ(memo, std::optional<std::string>("dentist"));
            break;
        case 5:
            EXPECT_EQ(memo, std::optional<std::string>(""));
            break;
        case 9:
            EXPECT_EQ(memo, std::optional<std::string>("tail"));
            break;
        case 31:
            EXPECT_EQ(memo, std::optional<std::string>("end"));
            break;
        default:
            EXPECT_FALSE(memo.has_value());
        }
    }
}

using MonthListLinesTest = ModelTest;

std::vector<std::string> LinesOf(int year, int month, const std::string& store) {
    CYearCalendar calendar;
    calendar.year = year;
    calendar.Build();
    calendar.month = month;
    return MonthListLines(store, calendar);
}

struct MonthCase {
    const char* name;
    int year, month;
    std::size_t count;
    std::string first;
    std::string last;
};
void PrintTo(const MonthCase& row, std::ostream* out) { *out << row.name; }

std::vector<MonthCase> MonthCases() {
    return {
        {"February 2026", 126, 1, 28, Sjis(" 1日(日)    "), Sjis("28日(土)    ")},
        {"leap February 2024", 124, 1, 29, Sjis(" 1日(木)    "), Sjis("29日(木)    ")},
        {"January 2026 has 31 days", 126, 0, 31, Sjis(" 1日(木)    "), Sjis("31日(土)    ")},
        {"April 2026 has 30 days", 126, 3, 30, Sjis(" 1日(水)    "), Sjis("30日(木)    ")},
    };
}

class MonthListLinesRowsTest : public ModelTest, public ::testing::WithParamInterface<MonthCase> {};

TEST_P(MonthListLinesRowsTest, EveryDayOfTheMonthHasALineInDayOrder) {
    const MonthCase& c = GetParam();
    const std::vector<std::string> lines = LinesOf(c.year, c.month, "");
    ASSERT_EQ(lines.size(), c.count);
    EXPECT_EQ(HexBytes(lines.front()), HexBytes(c.first));
    EXPECT_EQ(HexBytes(lines.back()), HexBytes(c.last));
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_LT(lines[i - 1], lines[i]) << "a sorted list keeps line " << i << " after the one before";
}

INSTANTIATE_TEST_SUITE_P(Rows, MonthListLinesRowsTest, ::testing::ValuesIn(MonthCases()), RowName());

TEST_F(MonthListLinesTest, ALineCarriesItsDaysMemoUnchanged) {
    const std::vector<std::string> lines =
        LinesOf(126, 1, "126^1^3^dentist~126^1^3^other~125^1^3^old~126^1^6^a\r\n" + kYen + "~");
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(HexBytes(lines[2]), HexBytes(Sjis(" 3日(火)    dentist")));
    EXPECT_EQ(HexBytes(lines[5]), HexBytes(Sjis(" 6日(金)    a\r\n") + kYen));
    EXPECT_EQ(HexBytes(lines[3]), HexBytes(Sjis(" 4日(水)    ")));
}

TEST(MemoDraft, FileHoldsAnyBytesAndNothingButOneWholeDraftParses) {
    const MemoDraft draft{"/home/u/odd\nfolder", 126, 11, 7, "a^b~\r\n" + kYen + std::string(1, '\0') + "\n"};
    const std::string bytes = DraftFileBytes(draft);
    const std::optional<MemoDraft> back = ParseDraftFile(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->folder + "|" + std::to_string(back->month) + "|" + HexBytes(back->text),
              draft.folder + "|11|" + HexBytes(draft.text));
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(ParseDraftFile(bytes.substr(0, length))) << "cut at " << length;
    EXPECT_FALSE(ParseDraftFile(bytes + "x"));
    EXPECT_FALSE(ParseDraftFile(std::string(bytes).replace(bytes.find(" 11 7\n"), 5, " 12 7"))) << "month 12";
    EXPECT_NE(DraftFileName("/a/cal"), DraftFileName("/a/cal2"));
}

TEST(MemoDraft, IsOfferedOnlyInItsFolderWhenItsDayLacksItAndThenAddsItsNewLines) {
    struct Case {
        const char* name;
        std::string text;
        std::string store;
        DraftFate fate;
        std::string afterYes;
    } cases[] = {
        {"an empty box", "", "126^11^7^old~", DraftFate::NothingNew, ""},
        {"the text registered", "a^b", "126^11^8^x~126^11^7^" + Sjis("a＾b") + "~", DraftFate::NothingNew, ""},
        {"the text put in at an earlier start", "abc", "126^11^7^old\r\nabc~", DraftFate::NothingNew, ""},
        {"a day without a memo", "a~c", "126^11^8^x~125^11^7^old~", DraftFate::Offer,
         "126^11^8^x~125^11^7^old~126^11^7^" + Sjis("a～c") + "~"},
        {"lines typed below the memo are added once", "old\r\nnew", "126^11^7^old~126^11^8^x~", DraftFate::Offer,
         "126^11^8^x~126^11^7^old\r\nnew~"},
        {"a memo changed on its own line is added whole", "olden", "126^11^7^old~", DraftFate::Offer,
         "126^11^7^old\r\nolden~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MemoDraft draft{"/cal", 126, 11, 7, c.text};
        EXPECT_EQ(JudgeDraft({"/other", 126, 11, 7, c.text}, "/cal", c.store), DraftFate::NotThisFolder);
        EXPECT_EQ(JudgeDraft(draft, "/cal", c.store), c.fate);
        std::string store = c.store;
        PutDraftIntoStore(store, draft);
        if (c.fate == DraftFate::Offer) {
            EXPECT_EQ(HexBytes(store), HexBytes(c.afterYes));
        }
    }
}

}  // namespace
