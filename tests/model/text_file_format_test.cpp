#include "model/text_file_format.h"
#include "tests/model/model_test_support.h"

#include <string>

namespace {

using namespace std::string_literals;

struct FormatCase {
    const char* name;
    std::string input;
    std::string output;
};

TEST(EncodeTextFile, WritesLfAsCrLfAndClosesWithOneNul) {
    const FormatCase cases[] = {
        {"empty store is one NUL", "", "\0"s},
        {"record of eleven bytes", "1^1^\x8c\xb3\x92\x55^0~", "1^1^\x8c\xb3\x92\x55^0~\0"s},
        {"CR LF becomes CR CR LF", "a\r\nb", "a\r\r\nb\0"s},
        {"lone LF becomes CR LF", "\n", "\r\n\0"s},
        {"two LFs", "\n\n", "\r\n\r\n\0"s},
        {"lone CR stays", "a\rb", "a\rb\0"s},
        {"other control bytes stay", "\x1a\t", "\x1a\t\0"s},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexBytes(EncodeTextFile(c.input)), HexBytes(c.output));
    }
}

TEST(DecodeTextFile, ReadsCrLfAsLfAndStopsAtNulOrEndOfData) {
    const FormatCase cases[] = {
        {"one NUL is the empty store", "\0"s, ""},
        {"empty file", "", ""},
        {"no NUL reads to the end", "abc", "abc"},
        {"CR LF reads as LF", "a\r\nb\0"s, "a\nb"},
        {"CR CR LF reads as CR LF", "a\r\r\nb\0"s, "a\r\nb"},
        {"old tail behind the NUL is ignored", "ab\0old longer tail~"s, "ab"},
        {"0x1A ends the data",
         "ab\x1a"
         "cd",
         "ab"},
        {"lone CR stays", "a\rb", "a\rb"},
        {"CR at the very end stays", "a\r", "a\r"},
        {"CR before the NUL stays", "a\r\0\n"s, "a\r"},
        {"LF alone stays", "a\nb", "a\nb"},
        {"double-byte characters pass", "\x89\x7e\x89\x5e\x89\x5c", "\x89\x7e\x89\x5e\x89\x5c"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexBytes(DecodeTextFile(c.input)), HexBytes(c.output));
    }
}

TEST(TextFileFormat, EveryByteButNulAndEndOfDataRoundTrips) {
    std::string store;
    for (int b = 1; b < 256; ++b) {
        if (b == 0x1a) continue;
        store += static_cast<char>(b);
        store += "\r\n";
        store += static_cast<char>(b);
    }
    store += "\r";
    EXPECT_EQ(HexBytes(DecodeTextFile(EncodeTextFile(store))), HexBytes(store));
}

}  // namespace
