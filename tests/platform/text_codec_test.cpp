#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace {

struct CodecCase {
    const char* name;
    std::string cp932;
    std::string utf8;
};

TEST(TextCodec, ConvertsBothWays) {
    const CodecCase cases[] = {
        {"ascii backslash and tilde stay single-byte", "a\\b~c^", "a\\b~c^"},
        {"kanji with a 0x7E second byte (en)", "\x89\x7E", "円"},
        {"kanji with a 0x5E second byte (un)", "\x89\x5E", "運"},
        {"kanji with a 0x5C second byte (so)", "\x83\x5C", "ソ"},
        {"ideographic space", "\x81\x40", "\u3000"},
        {"half-width katakana", "\xCA\xDE", "ﾊﾞ"},
        {"full-width tilde", "\x81\x60", "～"},
        {"empty", "", ""},
    };
    for (const CodecCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::Utf8FromCp932(c.cp932), c.utf8);
        EXPECT_EQ(platform::Cp932FromUtf8(c.utf8), c.cp932);
    }
}

TEST(TextCodec, InvalidBytesBecomeReplacementCharacters) {
    // A lead byte with a bad second byte, a lone lead byte at the end, and an undefined byte.
    EXPECT_EQ(platform::Utf8FromCp932("\x81\x20x"), "\xEF\xBF\xBD x");
    EXPECT_EQ(platform::Utf8FromCp932("ab\x81"), "ab\xEF\xBF\xBD");
    EXPECT_EQ(platform::Utf8FromCp932("\xFF~"), "\xEF\xBF\xBD~");
}

TEST(TextCodec, CharactersTheCodePageLacksBecomeGetaMarks) {
    EXPECT_EQ(platform::Cp932FromUtf8("a😀b"),
              "a\x81\xAC"
              "b");
    EXPECT_EQ(platform::FromQString(QStringLiteral("한")), "\x81\xAC");
}

TEST(TextCodec, LineBreaksBetweenStoreAndEditor) {
    EXPECT_EQ(platform::WithCrLf(QStringLiteral("a\nb\r\nc\n")), QStringLiteral("a\r\nb\r\nc\r\n"));
    EXPECT_EQ(platform::WithoutCr(QStringLiteral("a\r\nb\r\n")), QStringLiteral("a\nb\n"));
}

}  // namespace
