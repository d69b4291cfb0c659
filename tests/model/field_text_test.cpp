#include "model/field_text.h"
#include "model/record.h"

#include <gtest/gtest.h>

namespace {

struct FieldCase {
    const char* name;
    std::string typed;
    std::string stored;
};

TEST(FieldText, ReplacesOnlySingleByteDelimiters) {
    const FieldCase cases[] = {
        {"caret and tilde become full-width", "a^b~c",
         "a\x81\x4F"
         "b\x81\x60"
         "c"},
        {"second bytes 0x5E and 0x7E stay (un, en)", "\x89\x5E\x89\x7E", "\x89\x5E\x89\x7E"},
        {"a kanji followed by a real tilde", "\x89\x7E~", "\x89\x7E\x81\x60"},
        {"a lead byte that ends the text", "ab\x81", "ab\x81\xAC"},
        {"plain text", "abc 123", "abc 123"},
        {"empty", "", ""},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReplaceRecordDelimiters(c.typed), c.stored);
    }
}

TEST(FieldText, AReplacedMemoParsesBackWhole) {
    const std::string typed = "meet ^ 10~11 \x89\x7E\x81";
    std::string store = MakeMemoRecord(126, 11, 7, ReplaceRecordDelimiters(typed)) + "126^11^8^next~";
    std::string_view rest = store;
    int year = 0, month = 0, day = 0;
    std::string text;
    ParseMemoRecord(CutRecord(rest), year, month, day, text);
    EXPECT_EQ(text, ReplaceRecordDelimiters(typed));
    ParseMemoRecord(CutRecord(rest), year, month, day, text);
    EXPECT_EQ(day, 8);
    EXPECT_EQ(text, "next");
    EXPECT_TRUE(rest.empty());
}

}  // namespace
