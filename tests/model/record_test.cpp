#include "model/record.h"
#include "tests/model/model_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

struct CutCase {
    const char* name;
    std::string source;
    std::string field;
    std::string rest;
};

// 円 (0x89 0x7E) and 運 (0x89 0x5E) carry a tilde or a caret as their second byte.
const std::string kYen = "\x89\x7e";
const std::string kUn = "\x89\x5e";

std::vector<CutCase> FieldCases() {
    return {
        {"first of several fields", "12^5^x~", "12", "5^x~"},
        {"no delimiter takes all", "abc", "abc", ""},
        {"empty source", "", "", ""},
        {"leading caret gives an empty field", "^x", "", "x"},
        {"tilde ends a field", "ab~rest", "ab", "rest"},
        {"second byte 0x7E is no tilde", kYen + "a^b", kYen + "a", "b"},
        {"second byte 0x5E is no caret", kUn + "^z", kUn, "z"},
        {"lead byte 0xE0 pairs", "\xe0^^x", "\xe0^", "x"},
        {"lead byte 0xFC pairs", "\xfc~^x", "\xfc~", "x"},
        {"lead byte 0x9F pairs", "\x9f^^x", "\x9f^", "x"},
        {"lead byte 0x81 pairs", "\x81~^x", "\x81~", "x"},
        {"0x80 is a single byte", "\x80^x", "\x80", "x"},
        {"0xA0 is a single byte", "\xa0^x", "\xa0", "x"},
        {"half-width katakana 0xB1 is a single byte", "\xb1^x", "\xb1", "x"},
        {"0xDF is a single byte", "\xdf^x", "\xdf", "x"},
        {"0xFD is a single byte", "\xfd^x", "\xfd", "x"},
        {"lead byte as the last byte stands alone", "ab\x81", "ab\x81", ""},
        {"lead byte pairs with a delimiter it precedes", "\x81~", "\x81~", ""},
    };
}

TEST(CutField, CutsTheFirstFieldOfAString) {
    for (const CutCase& c : FieldCases()) {
        SCOPED_TRACE(c.name);
        std::string source = c.source;
        std::string field = "previous";
        CutField(source, field);
        EXPECT_EQ(HexBytes(field), HexBytes(c.field));
        EXPECT_EQ(HexBytes(source), HexBytes(c.rest));
    }
}

TEST(CutField, CutsTheFirstFieldOfAView) {
    for (const CutCase& c : FieldCases()) {
        SCOPED_TRACE(c.name);
        std::string_view source = c.source;
        std::string_view field = "previous";
        CutField(source, field);
        EXPECT_EQ(HexBytes(field), HexBytes(c.field));
        EXPECT_EQ(HexBytes(source), HexBytes(c.rest));
    }
}

std::vector<CutCase> RecordCases() {
    const std::string first = "1^1^" + Sjis("元旦") + "^0~";
    const std::string second = "2^11^" + Sjis("建国記念日") + "^0~";
    return {
        {"first of two built-in records", first + second, first, second},
        {"memo text with 0x7E second bytes", "1^2^3^" + kYen + kYen + "~x~", "1^2^3^" + kYen + kYen + "~", "x~"},
        {"unterminated rest is the last record", "1^1^x^0", "1^1^x^0", ""},
        {"empty store", "", "", ""},
        {"lone tilde", "~", "~", ""},
        {"unterminated rest after a record stays", "a~b", "a~", "b"},
        {"carets do not end a record", "a^b^c~d", "a^b^c~", "d"},
        {"lead byte at the end stands alone", "\x81", "\x81", ""},
    };
}

TEST(CutRecord, CutsTheFirstRecordOfAString) {
    for (const CutCase& c : RecordCases()) {
        SCOPED_TRACE(c.name);
        std::string store = c.source;
        const std::string record = CutRecord(store);
        EXPECT_EQ(HexBytes(record), HexBytes(c.field));
        EXPECT_EQ(HexBytes(store), HexBytes(c.rest));
    }
}

TEST(CutRecord, CutsTheFirstRecordOfAView) {
    for (const CutCase& c : RecordCases()) {
        SCOPED_TRACE(c.name);
        std::string_view store = c.source;
        const std::string_view record = CutRecord(store);
        EXPECT_EQ(HexBytes(record), HexBytes(c.field));
        EXPECT_EQ(HexBytes(store), HexBytes(c.rest));
    }
}

struct WalkCase {
    const char* name;
    std::string store;
    std::vector<std::string> records;
};

TEST(CutRecord, EveryWalkOfAStoreEndsAndYieldsItsRecordsInOrder) {
    const WalkCase cases[] = {
        {"terminated records", "a~b~c~", {"a~", "b~", "c~"}},
        {"unterminated last part", "a~b~c", {"a~", "b~", "c"}},
        {"only an unterminated part", "abc", {"abc"}},
        {"lone lead byte after a record", "a~\x81", {"a~", "\x81"}},
        {"lead byte swallowing the last tilde", "a~b\x81~", {"a~", "b\x81~"}},
        {"empty records", "~~", {"~", "~"}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> viewRecords;
        std::string_view rest = c.store;
        while (!rest.empty() && viewRecords.size() <= c.records.size()) viewRecords.emplace_back(CutRecord(rest));
        EXPECT_EQ(viewRecords, c.records);

        std::vector<std::string> stringRecords;
        std::string store = c.store;
        while (!store.empty() && stringRecords.size() <= c.records.size()) stringRecords.push_back(CutRecord(store));
        EXPECT_EQ(stringRecords, c.records);
    }
}

struct CloseCase {
    const char* name;
    std::string record;
    std::string closed;
};

TEST(CloseRecord, EndsEveryRecordInASingleByteTilde) {
    const CloseCase cases[] = {
        {"a closed record stays as it is", "1^1^x^0~", "1^1^x^0~"},
        {"a record closed after a double-byte character stays", "1^1^" + kYen + "^0~", "1^1^" + kYen + "^0~"},
        {"an unterminated record gets one tilde", "1^1^x^0", "1^1^x^0~"},
        {"the empty record becomes a lone tilde", "", "~"},
        {"a second byte 0x7E is no closing tilde", "1^1^" + kYen, "1^1^" + kYen + "~"},
        {"a lead byte at the end takes one tilde as its second byte", "1^1^\x89", "1^1^\x89~~"},
        {"a lead byte before a last tilde pairs with it", "a\x81~", "a\x81~~"},
        {"a lone lead byte", "\xe0", "\xe0~~"},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexBytes(CloseRecord(c.record)), HexBytes(c.closed));
    }
}

struct NumberCase {
    const char* name;
    std::string field;
    int value;
};

TEST(ReadNumber, ReadsAsAtoiAndClampsBeyondTheIntRange) {
    const NumberCase cases[] = {
        {"zero", "0", 0},
        {"plain", "126", 126},
        {"negative", "-5", -5},
        {"explicit plus", "+7", 7},
        {"leading blanks", "  42", 42},
        {"every C white space", "\t\n\v\f\r 9", 9},
        {"digits up to the first other character", "12abc", 12},
        {"decimal point ends the number", "3.9", 3},
        {"hex prefix reads as 0", "0x10", 0},
        {"no digits", "abc", 0},
        {"empty", "", 0},
        {"sign alone", "-", 0},
        {"two signs", "+-3", 0},
        {"blank between sign and digits", "- 3", 0},
        {"many leading zeros", "000000000000000000000042", 42},
        {"highest int", "2147483647", INT_MAX},
        {"one above the highest int", "2147483648", INT_MAX},
        {"far above the highest int", "99999999999999999999999", INT_MAX},
        {"lowest int", "-2147483648", INT_MIN},
        {"one below the lowest int", "-2147483649", INT_MIN},
        {"far below the lowest int", "-99999999999999999999999", INT_MIN},
        {"blank inside stops", "1 2", 1},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadNumber(c.field), c.value);
    }
}

struct MakeCase {
    const char* name;
    int year;
    int month;
    int day;
    std::string text;
    std::string record;
};

TEST(MakeMemoRecord, WritesThreeNumbersTheTextAndATilde) {
    const MakeCase cases[] = {
        {"7 December 2026", 126, 11, 7, Sjis("会議"), "126^11^7^" + Sjis("会議") + "~"},
        {"empty text", 126, 11, 7, "", "126^11^7^~"},
        {"zeros", 0, 0, 0, "x", "0^0^0^x~"},
        {"numbers exactly as passed", -1, INT_MIN, INT_MAX, "x", "-1^-2147483648^2147483647^x~"},
        {"line break kept", 126, 0, 1, "a\r\nb", "126^0^1^a\r\nb~"},
    };
    for (const MakeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexBytes(MakeMemoRecord(c.year, c.month, c.day, c.text)), HexBytes(c.record));
    }
}

struct MemoRoundTripCase {
    const char* name;
    std::string text;
    std::string parsedText;
};

TEST(ParseMemoRecord, GivesBackWhatMakeMemoRecordWrote) {
    const MemoRoundTripCase cases[] = {
        {"kanji", Sjis("会議"), Sjis("会議")},
        {"円 at the end of the text", Sjis("千円"), Sjis("千円")},
        {"運 at the start of the text", Sjis("運動会"), Sjis("運動会")},
        {"empty text", "", ""},
        {"line breaks", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"single-byte caret cuts the text", "a^b", "a"},
        {"single-byte tilde cuts the text", "a~b", "a"},
    };
    for (const MemoRoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        int year = -99;
        int month = -99;
        int day = -99;
        std::string text = "previous";
        ParseMemoRecord(MakeMemoRecord(126, 11, 7, c.text), year, month, day, text);
        EXPECT_EQ(year, 126);
        EXPECT_EQ(month, 11);
        EXPECT_EQ(day, 7);
        EXPECT_EQ(HexBytes(text), HexBytes(c.parsedText));
    }
}

struct ParseMemoCase {
    const char* name;
    std::string record;
    int year;
    int month;
    int day;
    std::string text;
};

TEST(SplitMemoRecord, ReadsShortLongAndOddRecordsAsParseMemoRecordDoes) {
    const ParseMemoCase cases[] = {
        {"extreme numbers", "-2147483648^2147483647^0^t~", INT_MIN, INT_MAX, 0, "t"},
        {"numbers beyond int clamp", "99999999999^-99999999999^5^t~", INT_MAX, INT_MIN, 5, "t"},
        {"one field", "5^", 5, 0, 0, ""},
        {"empty record", "", 0, 0, 0, ""},
        {"unterminated record", "1^2^3^text", 1, 2, 3, "text"},
        {"extra fields are dropped", "1^2^3^t^extra^more~", 1, 2, 3, "t"},
        {"numbers with blanks and signs", " +1^ -2^\t3^t~", 1, -2, 3, "t"},
    };
    for (const ParseMemoCase& c : cases) {
        SCOPED_TRACE(c.name);
        const MemoRecordFields fields = SplitMemoRecord(c.record);
        EXPECT_EQ(fields.year, c.year);
        EXPECT_EQ(fields.month, c.month);
        EXPECT_EQ(fields.day, c.day);
        EXPECT_EQ(fields.text, c.text);

        int year = -99;
        int month = -99;
        int day = -99;
        std::string text = "previous";
        ParseMemoRecord(c.record, year, month, day, text);
        EXPECT_EQ(year, c.year);
        EXPECT_EQ(month, c.month);
        EXPECT_EQ(day, c.day);
        EXPECT_EQ(text, c.text);
    }
}

struct ParseHolidayCase {
    const char* name;
    std::string record;
    int month;
    int day;
    std::string holidayName;
    int kind;
};

TEST(SplitHolidayRecord, ReadsMonthDayNameAndKindAsParseHolidayRecordDoes) {
    const ParseHolidayCase cases[] = {
        {"spring equinox", "3^20^" + Sjis("春分の日") + "^10~", 3, 20, Sjis("春分の日"), 10},
        {"one-year holiday", "5^6^x^100~", 5, 6, "x", 100},
        {"name with 0x7E second byte", "1^2^" + kYen + "^0~", 1, 2, kYen, 0},
        {"untouched setting dialog", "0^0^^0~", 0, 0, "", 0},
        {"missing kind", "3^20^x", 3, 20, "x", 0},
        {"only carets", "^^^~", 0, 0, "", 0},
        {"kind beyond int clamps", "1^1^x^99999999999~", 1, 1, "x", INT_MAX},
        {"unterminated kind", "1^1^x^7", 1, 1, "x", 7},
    };
    for (const ParseHolidayCase& c : cases) {
        SCOPED_TRACE(c.name);
        const HolidayRecordFields fields = SplitHolidayRecord(c.record);
        EXPECT_EQ(fields.month, c.month);
        EXPECT_EQ(fields.day, c.day);
        EXPECT_EQ(HexBytes(fields.name), HexBytes(c.holidayName));
        EXPECT_EQ(fields.kind, c.kind);

        int month = -99;
        int day = -99;
        int kind = -99;
        std::string holidayName = "previous";
        ParseHolidayRecord(c.record, month, day, holidayName, kind);
        EXPECT_EQ(month, c.month);
        EXPECT_EQ(day, c.day);
        EXPECT_EQ(HexBytes(holidayName), HexBytes(c.holidayName));
        EXPECT_EQ(kind, c.kind);
    }
}

}  // namespace
