// The folding and matching of velmora-cal's memo search.
#include "velmora-cal/search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cal::FoldForSearch;

TEST(FoldForSearch, MapsTheFormsAUserTypesOrStoresToOne) {
    const struct {
        const char* text;
        const char* folded;
    } cases[] = {
        {"ABC xyz", "abc xyz"},
        {"ＡＢＣ ｘｙｚ", "abc xyz"},
        {"０１２３４５６７８９", "0123456789"},
        {"１０：００！？（）", "10:00!?()"},
        {"ｶﾀｶﾅ", "カタカナ"},
        {"ｶﾞｷﾞｸﾞｹﾞｺﾞ", "ガギグゲゴ"},
        {"ｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", "ザジズゼゾダヂヅデド"},
        {"ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "バビブベボパピプペポ"},
        {"ｳﾞ ﾜﾞ ｦﾞ", "ヴ ヷ ヺ"},
        {"ﾃﾞｰﾄ｡｢ｱ｣､･ｯｬ", "デート。「ア」、・ッャ"},
        {"ﾝﾞ", "ン゛"},  // a mark after a kana that takes none stays a mark
        {"ﾞｶ", "゛カ"},  // a mark with nothing before it
        {"ａﾞ", "a゛"},
        {"カﾞ", "カ゛"},  // only a half-width kana joins with a half-width mark
        {"全角　空白", "全角 空白"},
        {"〜−", "~-"},
        {"ＡＢＣ漢字ｶﾅ", "abc漢字カナ"},
        {"\xff\xfe"
         "A",
         "\xff\xfe"
         "a"},                     // bytes that are no UTF-8 are kept
        {"\xe3\x81", "\xe3\x81"},  // a character cut short
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FoldForSearch(c.text), c.folded);
    }
}

TEST(SearchWords, SplitsAtSpacesOfEitherWidthAndFolds) {
    EXPECT_EQ(cal::SearchWords({"ＡＢ  cd", "ｶﾅ　ｶﾞ", " ", ""}), (std::vector<std::string>{"ab", "cd", "カナ", "ガ"}));
    EXPECT_TRUE(cal::SearchWords({" \t", "　"}).empty());
}

// A store in code page 932: the search reads it as the data file holds it.
TEST(SearchMemos, KeepsEveryMatchingRecordNewestFirstAndSkipsDatesNoCalendarHolds) {
    const std::string store =
        "126^0^5^b first\nmore~"  // 2026-01-05
        "126^11^31^a last~"       // 2026-12-31
        "125^11^31^a earlier~"    // 2025-12-31
        "126^0^5^a second of the day~"
        "126^1^29^a 29 February~"  // 2026 is no leap year
        "124^1^29^a leap~"         // 2024 is
        "126^12^1^a month 13~"
        "126^0^0^a day 0~"
        "126^0^5^\x83\x4a\x83\x5e\x83\x4a\x83\x69~";  // カタカナ
    const auto dates = [](const std::vector<cal::SearchHit>& hits) {
        std::vector<std::string> out;
        for (const auto& hit : hits)
            out.push_back(cal::DateLabel(hit.calendarYear, hit.month, hit.day, hit.weekday) + " " + hit.text);
        return out;
    };
    EXPECT_EQ(dates(cal::SearchMemos(store, {"a"}, std::nullopt)),
              (std::vector<std::string>{"2026-12-31 (木) a last", "2026-01-05 (月) a second of the day",
                                        "2025-12-31 (水) a earlier", "2024-02-29 (木) a leap"}));
    EXPECT_EQ(dates(cal::SearchMemos(store, {"a"}, 2025)), (std::vector<std::string>{"2025-12-31 (水) a earlier"}));
    EXPECT_EQ(dates(cal::SearchMemos(store, {"more", "first"}, std::nullopt)),
              (std::vector<std::string>{"2026-01-05 (月) b first\nmore"}));
    EXPECT_EQ(dates(cal::SearchMemos(store, cal::SearchWords({"ｶﾀｶﾅ"}), std::nullopt)),
              (std::vector<std::string>{"2026-01-05 (月) カタカナ"}));
    EXPECT_TRUE(cal::SearchMemos(store, {"first", "last"}, std::nullopt).empty());
}

TEST(SearchHitLine, ShowsTheFirstLineAndMarksMore) {
    const struct {
        const char* text;
        const char* line;
    } cases[] = {
        {"one line", "2026-12-08 (火)  one line"},
        {"first\nsecond", "2026-12-08 (火)  first…"},
        {"first\r\nsecond", "2026-12-08 (火)  first…"},
        {"first\n\r\n", "2026-12-08 (火)  first"},
        {"\nsecond", "2026-12-08 (火)  …"},
        {"", "2026-12-08 (火)  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(cal::SearchHitLine({2026, 12, 8, 2, c.text}), c.line);
    }
}

}  // namespace
