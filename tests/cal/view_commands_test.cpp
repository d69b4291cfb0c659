// The month sheets, "day", "list" and "search" of velmora-cal, run as the real program on data
// folders copied from tests/cal/data, with today fixed through VELMORA_TODAY.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include "tests/cal/cal_run.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path Fixture(const std::string& name) { return fs::path(VELMORA_CAL_TEST_DATA) / name; }

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class ViewCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::path(::testing::TempDir()) / ("velmora-cal-view-" + std::to_string(::getpid()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(Data());
        fs::create_directories(Scratch());
        // A copy with no official list installed beside it, whose first start writes the built-in
        // tables: the sheets below show those.
        fs::create_directories(m_root / "bin");
        fs::copy_file(VELMORA_CAL, WithoutList());
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path Data() const { return m_root / "data"; }
    fs::path Scratch() const { return m_root / "tmp"; }
    fs::path WithoutList() const { return m_root / "bin" / "velmora-cal"; }

    void CopyFixture(const std::string& folder) const {
        for (const auto& entry : fs::directory_iterator(Fixture("data") / folder))
            fs::copy_file(entry.path(), Data() / entry.path().filename());
    }

    // Runs velmora-cal in the data folder, named its data folder by VELMORA_DIR, with `arguments`
    // (shell words), today 2026-12-08, messages in English unless `environment` (shell assignments)
    // says otherwise, and temporary files kept in the test's own folder.
    // `program` is the build's own, beside the installed official list, when named "".
    CalRun Cal(const std::string& arguments, const std::string& environment = "",
               std::optional<fs::path> program = std::nullopt) const {
        return RunCal(Data(),
                      "-u LC_ALL -u LC_MESSAGES LANG=C VELMORA_TODAY=2026-12-08 TMPDIR='" + Scratch().string() +
                          "' VELMORA_DIR='" + Data().string() + "' " + environment,
                      arguments, m_root, "", program.value_or(WithoutList()));
    }

    std::map<std::string, std::string> DataFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(Data()))
            files[entry.path().filename().string()] = Bytes(entry.path());
        return files;
    }

    fs::path m_root;
};

// The sheets of the memo fixture with the built-in holidays, byte for byte: colours, the memo
// marks, today, the layout of one, three and twelve months.
TEST_F(ViewCommandsTest, SheetsMatchTheGoldenFiles) {
    CopyFixture("memos");
    const struct {
        const char* arguments;
        const char* golden;
    } cases[] = {
        {"--color=never 12 2026", "month_never.txt"},
        {"--color=always 12 2026", "month_always.txt"},
        {"--color=never", "month_never.txt"},
        {"--color=auto", "month_never.txt"},  // stdout is a file
        {"--color", "month_always.txt"},
        {"-3 --color=never", "three_never.txt"},
        {"-3 --color=always", "three_always.txt"},
        {"--color=never -3 12 2026", "three_never.txt"},
        {"-y 2026 --color=never", "year_never.txt"},
        {"-y --color=always", "year_always.txt"},
        {"2026 --color=never", "year_never.txt"},
        {"list 12 2026", "list_2026_12.txt"},
        {"list", "list_2026_12.txt"},
        {"list 12", "list_2026_12.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CalRun run = Cal(c.arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, Bytes(Fixture("golden") / c.golden));
    }
}

// A folder without holiday files shows the holidays the calendar saves at its first start, and is
// left as it was: nothing written to it, no temporary folder left behind. With the official list
// installed, that start writes today's holidays (23 December no holiday, 6 May and 山の日 are),
// without it the built-in tables.
TEST_F(ViewCommandsTest, AFolderWithoutHolidayFilesShowsWhatAFirstStartWritesAndStaysUntouched) {
    CopyFixture("memos");
    const auto before = DataFiles();
    const struct {
        const char* arguments;
        bool installedList;
        const char* expected;
    } cases[] = {
        {"day 2026-11-23", false, "2026-11-23 (月)  勤労感謝の日\n"},
        {"day 2026-12-23", false, "2026-12-23 (水)  天皇誕生日\n"},
        {"day 2026-11-23", true, "2026-11-23 (月)  勤労感謝の日\n"},
        {"day 2026-12-23", true, "2026-12-23 (水)\n"},
        {"day 2026-05-06", true, "2026-05-06 (水)  休日\n"},
        {"day 2026-08-11", true, "2026-08-11 (火)  山の日\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + (c.installedList ? " with the list" : " without the list"));
        const CalRun run = Cal(c.arguments, "", c.installedList ? std::optional<fs::path>(fs::path()) : std::nullopt);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.expected);
        EXPECT_EQ(DataFiles(), before);
        EXPECT_TRUE(fs::is_empty(Scratch()));
    }
}

// The holidays are those the folder's own files give, through the holiday pass: fixed dates, an
// n-th Monday, a one-year record only in its year, a Sunday holiday's next day, and no built-in
// holiday the files do not hold.
TEST_F(ViewCommandsTest, DayShowsTheHolidaysOfTheFolderFiles) {
    CopyFixture("holidays");
    const auto before = DataFiles();
    const struct {
        const char* date;
        const char* expected;
    } cases[] = {
        {"2026-06-15", "2026-06-15 (月)  創立記念日\n"},
        {"2026-07-20", "2026-07-20 (月)  海の日\n"},
        {"2026-09-25", "2026-09-25 (金)  一年だけの休み\n"},
        {"2027-09-25", "2027-09-25 (土)\n"},
        {"2026-08-09", "2026-08-09 (日)  テスト休日\n"},
        {"2026-08-10", "2026-08-10 (月)  (day off)\n"},
        {"2026-01-12", "2026-01-12 (月)\n"},
        {"2026-11-23", "2026-11-23 (月)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        const CalRun run = Cal(std::string("day ") + c.date);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.expected);
    }
    // The same holidays colour the sheet: 15 June red on a Monday.
    const CalRun sheet = Cal("--color=always 6 2026");
    EXPECT_NE(sheet.out.find("\x1b[31m15\x1b[0m"), std::string::npos) << sheet.out;
    EXPECT_EQ(DataFiles(), before);
}

TEST_F(ViewCommandsTest, DayShowsTheFirstMemoOfTheDayWithItsLineBreaks) {
    CopyFixture("memos");
    const struct {
        const char* arguments;
        const char* expected;
    } cases[] = {
        {"day", "2026-12-08 (火)\n10:00 歯医者\n保険証を持つ\n"},
        {"day 2026-12-24", "2026-12-24 (木)\nクリスマス・イブ ＰＡＲＴＹ\n"},
        // The built-in record's name, spelt as the calendar has always saved it.
        {"day 2026-11-03", "2026-11-03 (火)  分化の日\n文化の日 パレード\n"},
        {"day 2026-12-27", "2026-12-27 (日)\n日曜日\n\n"},
        {"day 2026-12-03", "2026-12-03 (木)\n"},
        {"day 2026-12-01", "2026-12-01 (火)\n"},
        {"day 2024-02-29", "2024-02-29 (木)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CalRun run = Cal(c.arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.expected);
    }
}

TEST_F(ViewCommandsTest, SearchFindsEveryMemoHoldingAllTheWordsNewestFirst) {
    CopyFixture("memos");
    const std::string party2026 = "2026-12-24 (木)  クリスマス・イブ ＰＡＲＴＹ\n";
    const std::string party2025 = "2025-07-20 (日)  Ｐａｒｔｙ at 7\n";
    const std::string karaoke = "2026-12-26 (土)  土曜 ｶﾗｵｹ\n";
    const struct {
        const char* arguments;
        std::string expected;
        int status;
    } cases[] = {
        {"search party", party2026 + party2025, 0},
        {"search ＰＡＲＴＹ", party2026 + party2025, 0},  // full-width query, full-width and half-width memos
        {"search pArTy --year 2025", party2025, 0},
        {"search --year=2026 party", party2026, 0},
        {"search カラオケ", karaoke, 0},  // half-width katakana in the memo; the bad month's record is no day
        {"search ｶﾗｵｹ 土曜", karaoke, 0},
        {"search 'カラオケ　土曜'", karaoke, 0},  // words split at an ideographic space
        {"search カラオケ 日曜", "", 1},
        {"search 歯医者", "2026-12-08 (火)  10:00 歯医者…\n", 0},
        {"search １０：００", "2026-12-08 (火)  10:00 歯医者…\n", 0},
        {"search 保険証", "2026-12-08 (火)  10:00 歯医者…\n", 0},  // a later line of the memo
        {"search 日曜日", "2026-12-27 (日)  日曜日\n", 0},         // only line breaks after: no "…"
        {"search 'second record'", "2026-12-24 (木)  second record of the day\n", 0},
        {"search party --year 2024", "", 1},
        {"search nothing-like-this", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CalRun run = Cal(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.expected);
        EXPECT_EQ(run.err, "");
    }
}

// From now (VELMORA_TODAY stands at noon) to the end of the DAYS-th day, soonest first, of
// every record; lines that only mention a time are left out.
TEST_F(ViewCommandsTest, AgendaListsTheComingTimedLinesSoonestFirst) {
    std::ofstream(Data() / "MemoData.txt", std::ios::binary)
        << "126^11^9^18:00 \x89\xef\x8b\x63\r\n9:30 b~126^11^8^11:59 past\r\n12:00 now\r\nat 13:00 no~"
           "126^11^10^8:00 third day~"
        << '\0';
    const CalRun run = Cal("agenda 2");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "2026-12-08 (火)  12:00 now\n2026-12-09 (水)  9:30 b\n2026-12-09 (水)  18:00 会議\n");
}

TEST_F(ViewCommandsTest, UsageErrorsExitTwoWithOneLine) {
    CopyFixture("memos");
    const char* cases[] = {
        "13 2026",
        "0 2026",
        "12 10000",
        "12 20x6",
        "1 2 3",
        "-3 2026",
        "-y 12 2026",
        "-3 -y",
        "--color=sometimes",
        "--bogus",
        "day 2026-02-30",
        "day 2026-2-3",
        "day today",
        "day 2026-12-01 x",
        "list 13",
        "list 1 0",
        "list 1 2026 x",
        "search",
        "search ' '",
        "search x --year",
        "search x --year 0",
        "day --color=never",
        "list --year 2026",
        "agenda 0",
        "agenda 367",
        "agenda 7 x",
    };
    for (const char* arguments : cases) {
        SCOPED_TRACE(arguments);
        const CalRun run = Cal(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(LineCount(run.err), 1U) << run.err;
        EXPECT_TRUE(run.err.starts_with("velmora-cal: ")) << run.err;
    }
}

TEST_F(ViewCommandsTest, MessagesFollowTheLocale) {
    const struct {
        const char* environment;
        const char* expected;
    } cases[] = {
        {"", "velmora-cal: not a month (1..12): \"13\"\n"},
        {"LANG=ja_JP.UTF-8", "velmora-cal: 月は 1〜12 で指定してください: 「13」\n"},
        {"LANG=ja_JP.UTF-8 LC_ALL=C", "velmora-cal: not a month (1..12): \"13\"\n"},
        {"LC_MESSAGES=ja_JP.UTF-8", "velmora-cal: 月は 1〜12 で指定してください: 「13」\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.environment);
        const CalRun run = Cal("list 13", c.environment);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, c.expected);
    }
}

// A memo file that cannot be read is a failure, never shown as a folder without memos.
TEST_F(ViewCommandsTest, AnUnreadableMemoFileFails) {
    fs::create_directory(Data() / "MemoData.txt");
    for (const char* arguments : {"--color=never", "day", "list", "search x"}) {
        SCOPED_TRACE(arguments);
        const CalRun run = Cal(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("MemoData.txt"), std::string::npos) << run.err;
    }
}

TEST_F(ViewCommandsTest, DirOptionNamesTheDataFolder) {
    const fs::path elsewhere = m_root / "elsewhere";
    fs::create_directory(elsewhere);
    for (const auto& entry : fs::directory_iterator(Fixture("data") / "memos"))
        fs::copy_file(entry.path(), elsewhere / entry.path().filename());
    const CalRun here = Cal("search party");
    EXPECT_EQ(here.status, 1);
    const CalRun there = Cal("--dir '" + elsewhere.string() + "' search party --year 2025");
    EXPECT_EQ(there.status, 0);
    EXPECT_EQ(there.out, "2025-07-20 (日)  Ｐａｒｔｙ at 7\n");
}

}  // namespace
