#include "model/field_text.h"
#include "model/record.h"
#include "model/text_file_format.h"

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
        {"a pasted 0x1A ends no file",
         "a\x1A"
         "b",
         "a\x81\xAC"
         "b"},
        {"a pasted NUL ends no file", std::string("a\0b", 3),
         "a\x81\xAC"
         "b"},
        {"a lead byte before a NUL does not swallow it", std::string("\x81\0", 2), "\x81\xAC\x81\xAC"},
        {"a lead byte before a line break keeps the break", "\x81\r\n", "\x81\xAC\r\n"},
        {"plain text", "abc 123", "abc 123"},
        {"empty", "", ""},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReplaceRecordDelimiters(c.typed), c.stored);
    }
}

// The record goes through the file layout too: a control byte left in it would end the file there.
TEST(FieldText, AReplacedMemoSurvivesTheFileAndTheNextRecordToo) {
    const std::string typed = std::string("meet ^ 10~11 \x1A pasted \0 \x89\x7E\x81", 27);
    const std::string store =
        DecodeTextFile(EncodeTextFile(MakeMemoRecord(126, 11, 7, ReplaceRecordDelimiters(typed)) + "126^11^8^next~"));
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
