#include "velmora-cal/view_commands.h"

#include "model/calendar_math.h"
#include "model/data_files.h"
#include "model/memo_store.h"
#include "model/present_time.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/code_page.h"
#include "velmora-cal/holiday_stand_in.h"
#include "velmora-cal/messages.h"
#include "velmora-cal/search.h"
#include "velmora-cal/sheets.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace cal {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoMatch = 1;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr long long kFirstYear = 1;
constexpr long long kLastYear = 9999;

// A refusal of the command line, with the line that says why.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Returns the number that `text` is, all of it decimal digits, when it lies in first..last.
std::optional<long long> Number(const std::string& text, long long first, long long last) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long long value = std::stoll(text);
    if (value < first || value > last) return std::nullopt;
    return value;
}

long long YearArgument(const std::string& text) {
    if (const auto year = Number(text, kFirstYear, kLastYear)) return *year;
    throw UsageError(std::string(Tr("not a year (1..9999): ", "年(1..9999)ではありません: ")) + Quoted(text));
}

int MonthArgument(const std::string& text) {
    if (const auto month = Number(text, 1, 12)) return static_cast<int>(*month);
    throw UsageError(std::string(Tr("not a month (1..12): ", "月(1..12)ではありません: ")) + Quoted(text));
}

struct Date {
    long long year = 0;
    int month = 0;  // 1..12
    int day = 0;
};

// Reads YYYY-MM-DD; returns nothing for any other text or a day the month does not have.
std::optional<Date> ParseDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = Number(text.substr(0, 4), kFirstYear, kLastYear);
    const auto month = Number(text.substr(5, 2), 1, 12);
    const auto day = Number(text.substr(8, 2), 1, 31);
    if (!year || !month || !day || *day > DaysInMonth(*year, static_cast<int>(*month) - 1)) return std::nullopt;
    return Date{*year, static_cast<int>(*month), static_cast<int>(*day)};
}

Date Today() {
    const std::tm now = CurrentLocalTime();
    return {static_cast<long long>(now.tm_year) + 1900, now.tm_mon + 1, now.tm_mday};
}

// The test hook: VELMORA_TODAY=YYYY-MM-DD stands for the present day.
void TakeTodayFromEnvironment() {
    const char* value = std::getenv("VELMORA_TODAY");
    if (value == nullptr || *value == '\0') return;
    const auto date = ParseDate(value);
    if (!date)
        throw UsageError(
            "VELMORA_TODAY: " + std::string(Tr("not a date YYYY-MM-DD: ", "YYYY-MM-DD の日付ではありません: ")) +
            Quoted(value));
    std::tm moment{};
    moment.tm_year = static_cast<int>(date->year - 1900);
    moment.tm_mon = date->month - 1;
    moment.tm_mday = date->day;
    moment.tm_hour = 12;
    moment.tm_wday = WeekdayOf(date->year, date->month - 1, date->day);
    SetPresentTimeForTesting(moment);
}

// Reads the memo store of the folder; throws when the file is there but cannot be read, so that
// an unreadable file is never shown as a folder without memos.
const std::string& MemoStore() {
    LoadMemoData();
    if (IsUnreadableFile(kMemoFile))
        throw std::runtime_error(std::string(Tr("cannot read ", "読めません: ")) + kMemoFile);
    return g_strMemoData;
}

// Returns the memo text with each line break (CR LF, CR or LF) as `mark`.
std::string WithLineBreaks(std::string_view text, std::string_view mark) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += mark;
        } else if (text[i] == '\n') {
            out += mark;
        } else {
            out += text[i];
        }
    }
    return out;
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// The command line of one command: options taken out, the other words in order.
struct CommandLine {
    std::string command;  // "", "day", "list" or "search"
    std::vector<std::string> words;
    bool three = false;
    bool year = false;
    std::string colour = "auto";
    std::optional<long long> searchYear;
};

CommandLine Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool first = line.command.empty() && line.words.empty();
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "-3") {
            line.three = true;
        } else if (!optionsEnded && argument == "-y") {
            line.year = true;
        } else if (!optionsEnded && (argument == "--color" || argument.starts_with("--color="))) {
            line.colour = argument == "--color" ? "always" : argument.substr(8);
            if (line.colour != "always" && line.colour != "never" && line.colour != "auto")
                throw UsageError(std::string(Tr("--color takes always, never or auto, not ",
                                                "--color の値は always, never, auto のどれかです: ")) +
                                 Quoted(line.colour));
        } else if (!optionsEnded && (argument == "--year" || argument.starts_with("--year="))) {
            if (argument == "--year" && i + 1 >= arguments.size())
                throw UsageError(Tr("--year needs a year", "--year には年が要ります"));
            line.searchYear = YearArgument(argument == "--year" ? arguments[++i] : argument.substr(7));
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            throw UsageError(std::string(Tr("unknown option ", "知らないオプションです: ")) + argument);
        } else if (first && (argument == "day" || argument == "list" || argument == "search")) {
            line.command = argument;
        } else {
            line.words.push_back(argument);
        }
    }
    const bool sheetOptions = line.three || line.year || line.colour != "auto";
    if (!line.command.empty() && sheetOptions)
        throw UsageError(
            line.command + ": " +
            Tr("-3, -y and --color are for the month sheets", "-3, -y, --color は月の表示のためのオプションです"));
    if (line.command != "search" && line.searchYear)
        throw UsageError(Tr("--year is for search", "--year は search のためのオプションです"));
    return line;
}

bool UseColour(const std::string& colour) {
    if (colour == "always") return true;
    if (colour == "never") return false;
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && (term == nullptr || std::string_view(term) != "dumb");
}

int RunSheets(const CommandLine& line) {
    if (line.three && line.year) throw UsageError(Tr("-3 and -y cannot go together", "-3 と -y は一緒に使えません"));
    if (line.words.size() > 2)
        throw UsageError(std::string(Tr("too many words: ", "語が多すぎます: ")) + Quoted(line.words[2]));
    const Date today = Today();
    long long year = today.year;
    int month = today.month;
    bool wholeYear = line.year;
    if (line.words.size() == 2) {
        if (line.year) throw UsageError(Tr("-y takes a year only", "-y には年だけを指定します"));
        month = MonthArgument(line.words[0]);
        year = YearArgument(line.words[1]);
    } else if (line.words.size() == 1) {
        if (line.three)
            throw UsageError(
                Tr("-3 takes a month and a year, or nothing", "-3 には月と年を指定するか、何も指定しません"));
        year = YearArgument(line.words[0]);
        wholeYear = true;
    }
    const std::string& store = MemoStore();
    const HolidayStandIn holidays;
    const bool colour = UseColour(line.colour);
    std::vector<MonthSheet> row;
    if (wholeYear) {
        std::string text;
        for (int first = 1; first <= 12; first += 3) {
            row.clear();
            for (int m = first; m < first + 3; ++m) row.push_back(LoadMonthSheet(year, m, store));
            if (first > 1) text += "\n";
            text += RenderSheets(row, colour);
        }
        Print(text);
        return kExitOk;
    }
    if (line.three) {
        // The months before and after, across the turn of the year but not beyond the years shown.
        if (!(year == kFirstYear && month == 1))
            row.push_back(month == 1 ? LoadMonthSheet(year - 1, 12, store) : LoadMonthSheet(year, month - 1, store));
        row.push_back(LoadMonthSheet(year, month, store));
        if (!(year == kLastYear && month == 12))
            row.push_back(month == 12 ? LoadMonthSheet(year + 1, 1, store) : LoadMonthSheet(year, month + 1, store));
    } else {
        row.push_back(LoadMonthSheet(year, month, store));
    }
    Print(RenderSheets(row, colour));
    return kExitOk;
}

int RunDay(const CommandLine& line) {
    if (line.words.size() > 1)
        throw UsageError(std::string(Tr("too many words: ", "語が多すぎます: ")) + Quoted(line.words[1]));
    Date date = Today();
    if (!line.words.empty()) {
        const auto given = ParseDate(line.words[0]);
        if (!given)
            throw UsageError(std::string(Tr("not a date YYYY-MM-DD: ", "YYYY-MM-DD の日付ではありません: ")) +
                             Quoted(line.words[0]));
        date = *given;
    }
    const std::string& store = MemoStore();
    const HolidayStandIn holidays;
    g_YearCalendar.year = static_cast<int>(date.year - 1900);
    g_YearCalendar.month = date.month - 1;
    g_YearCalendar.Build();
    const CDayCell& cell = *g_YearCalendar.Cell(date.month - 1, date.day);
    std::string text = DateLabel(date.year, date.month, date.day, cell.weekday);
    if (!cell.text.empty())
        text += "  " + platform::Utf8FromCp932(cell.text);
    else if (cell.flag == 1)
        text += std::string("  ") + Tr("(day off)", "(休日)");
    text += "\n";
    const auto memo =
        FindMonthMemos(store, g_YearCalendar.year, date.month - 1)[static_cast<std::size_t>(date.day - 1)];
    if (memo && !memo->empty()) {
        text += WithLineBreaks(platform::Utf8FromCp932(*memo), "\n");
        if (text.back() != '\n') text += "\n";
    }
    Print(text);
    return kExitOk;
}

int RunList(const CommandLine& line) {
    if (line.words.size() > 2)
        throw UsageError(std::string(Tr("too many words: ", "語が多すぎます: ")) + Quoted(line.words[2]));
    const Date today = Today();
    const int month = line.words.empty() ? today.month : MonthArgument(line.words[0]);
    const long long year = line.words.size() == 2 ? YearArgument(line.words[1]) : today.year;
    const std::string& store = MemoStore();
    const HolidayStandIn holidays;
    g_YearCalendar.year = static_cast<int>(year - 1900);
    g_YearCalendar.month = month - 1;
    g_YearCalendar.Build();
    std::string text = std::to_string(year) + "年  " + std::to_string(month) + "月\n";
    // The list box shows each row as one line, every line break of a memo as "↵".
    for (const std::string& row : MonthListLines(store, g_YearCalendar))
        text += WithLineBreaks(platform::Utf8FromCp932(row), "\xE2\x86\xB5") + "\n";
    Print(text);
    return kExitOk;
}

int RunSearch(const CommandLine& line) {
    const std::vector<std::string> words = SearchWords(line.words);
    if (words.empty()) throw UsageError(Tr("search needs at least one word", "search には語が一つ以上要ります"));
    const std::vector<SearchHit> hits = SearchMemos(MemoStore(), words, line.searchYear);
    if (hits.empty()) return kExitNoMatch;
    std::string text;
    for (const SearchHit& hit : hits) text += SearchHitLine(hit) + "\n";
    Print(text);
    return kExitOk;
}

}  // namespace

bool IsViewCommand(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") return true;
        if (argument.starts_with("-")) continue;
        return argument == "day" || argument == "list" || argument == "search" ||
               argument.find_first_not_of("0123456789") == std::string::npos;
    }
    return true;
}

int RunViewCommand(const std::vector<std::string>& arguments) {
    try {
        TakeTodayFromEnvironment();
        const CommandLine line = Parse(arguments);
        if (line.command == "day") return RunDay(line);
        if (line.command == "list") return RunList(line);
        if (line.command == "search") return RunSearch(line);
        return RunSheets(line);
    } catch (const UsageError& error) {
        Complain(error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        Complain(error.what());
        return kExitFailed;
    }
}

}  // namespace cal
