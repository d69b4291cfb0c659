#include "model/record.h"
#include "tests/model/model_test_support.h"

#include <string>

namespace {

struct BuiltinRow {
    int month;
    int day;
    const char* name;  // UTF-8; the store holds it in code page 932
    int kind;
};

const BuiltinRow kStaticRows[] = {
    {1, 1, "元旦", 0},       {2, 11, "建国記念日", 0},    {4, 29, "緑の日", 0},      {5, 3, "憲法記念日", 0},
    {5, 4, "国民の休日", 0}, {5, 5, "子供の日", 0},       {7, 20, "海の日", 0},      {9, 15, "敬老の日", 0},
    {11, 3, "分化の日", 0},  {11, 23, "勤労感謝の日", 0}, {12, 23, "天皇誕生日", 0},
};

const BuiltinRow kDynamicRows[] = {
    {1, 15, "成人の日", 2},
    {3, 20, "春分の日", 10},
    {9, 23, "秋分の日", 11},
    {10, 10, "体育の日", 2},
};

template <std::size_t N>
std::string ExpectedStore(const BuiltinRow (&rows)[N]) {
    std::string store;
    for (const BuiltinRow& row : rows)
        store += std::to_string(row.month) + "^" + std::to_string(row.day) + "^" + Sjis(row.name) + "^" +
                 std::to_string(row.kind) + "~";
    return store;
}

using BuiltinHolidaysTest = ModelTest;

TEST_F(BuiltinHolidaysTest, FixedDateTableIsByteForByteTheCodePage932Records) {
    SetDefaultStaticHolidays();
    EXPECT_EQ(HexBytes(g_strStaticHoliday), HexBytes(ExpectedStore(kStaticRows)));
    EXPECT_TRUE(g_strDynamicHoliday.empty());
}

TEST_F(BuiltinHolidaysTest, RuleBasedTableIsByteForByteTheCodePage932Records) {
    SetDefaultDynamicHolidays();
    EXPECT_EQ(HexBytes(g_strDynamicHoliday), HexBytes(ExpectedStore(kDynamicRows)));
    EXPECT_TRUE(g_strStaticHoliday.empty());
}

TEST_F(BuiltinHolidaysTest, FirstFixedDateRecordIsElevenBytes) {
    SetDefaultStaticHolidays();
    std::string store = g_strStaticHoliday;
    EXPECT_EQ(CutRecord(store), "1^1^\x8c\xb3\x92\x55^0~");
}

struct KeepCase {
    const char* name;
    std::string content;
};

TEST_F(BuiltinHolidaysTest, FillersLeaveAStoreWithAnyContentUntouched) {
    const KeepCase cases[] = {
        {"one record", "8^8^x^0~"},
        {"unterminated text", "x"},
        {"a lone tilde", "~"},
    };
    for (const KeepCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_strStaticHoliday = c.content;
        g_strDynamicHoliday = c.content;
        SetDefaultStaticHolidays();
        SetDefaultDynamicHolidays();
        EXPECT_EQ(g_strStaticHoliday, c.content);
        EXPECT_EQ(g_strDynamicHoliday, c.content);
    }
}

}  // namespace
