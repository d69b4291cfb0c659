#include "velmora-cal/view_commands.h"

#include "model/calendar_math.h"
#include "model/data_files.h"
#include "model/memo_store.h"
#include "model/present_time.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/code_page.h"
#include "reminders/reminder_list.h"
#include "velmora-cal/exit_status.h"
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

constexpr int kExitNoMatch = 1;

constexpr long long kFirstYear = 1;
constexpr long long kLastYear = 9999;
constexpr long long kMaxAgendaDays = 366;

// A refusal of the command line, with the line that says why.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Returns the number that `text` is, all of it decimal digits, when it lies in first..last.
std::optional<long long> Number(const std::string& text, long long first, long long last) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long long value = std::stoll(text);
    if (value < first || value > last) return std::nullopt;
    return value;
}

long long YearArgument(const std::string& text) {
    if (const auto year = ParseYear(text)) return *year;
    throw UsageError(NotAYear(text));
}

int MonthArgument(const std::string& text) {
    if (const auto month = Number(text, 1, 12)) return static_cast<int>(*month);
    throw UsageError(Tr("not a month (1..12): ", "月は 1〜12 で指定してください: ") + Quoted(text));
}

UsageError TooManyWords(const std::string& extra) {
    return UsageError(Tr("too many words: ", "余分な語があります: ") + Quoted(extra));
}

std::string NotADate(const std::string& text) {
    return Tr("not a date YYYY-MM-DD: ", "日付は YYYY-MM-DD の形で指定してください: ") + Quoted(text);
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
    if (!date) throw UsageError("VELMORA_TODAY: " + NotADate(value));
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
        throw std::runtime_error(Tr("cannot read ", "") + std::string(kMemoFile) + Tr("", " を読み込めません"));
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

bool UseColour(Colour colour) {
    if (colour != Colour::Auto) return colour == Colour::Always;
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && (term == nullptr || std::string_view(term) != "dumb");
}

int Sheets(const Options& options) {
    const std::vector<std::string>& words = options.operands;
    const bool three = options.Has(kOptionThree);
    if (three && options.Has(kOptionWholeYear))
        throw UsageError(Tr("-3 and -y cannot go together", "-3 と -y は同時に指定できません"));
    if (words.size() > 2) throw TooManyWords(words[2]);
    const Date today = Today();
    long long year = today.year;
    int month = today.month;
    bool wholeYear = options.Has(kOptionWholeYear);
    if (words.size() == 2) {
        if (wholeYear) throw UsageError(Tr("-y takes a year only", "-y には年だけを指定してください"));
        month = MonthArgument(words[0]);
        year = YearArgument(words[1]);
    } else if (words.size() == 1) {
        if (three)
            throw UsageError(
                Tr("-3 takes a month and a year, or nothing", "-3 には月と年を指定するか、何も指定しないでください"));
        year = YearArgument(words[0]);
        wholeYear = true;
    }
    const std::string& store = MemoStore();
    const HolidayStandIn holidays;
    const bool colour = UseColour(options.colour);
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
    if (three) {
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

int Day(const Options& options) {
    const std::vector<std::string>& words = options.operands;
    if (words.size() > 1) throw TooManyWords(words[1]);
    Date date = Today();
    if (!words.empty()) {
        const auto given = ParseDate(words[0]);
        if (!given) throw UsageError(NotADate(words[0]));
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

int List(const Options& options) {
    const std::vector<std::string>& words = options.operands;
    if (words.size() > 2) throw TooManyWords(words[2]);
    const Date today = Today();
    const int month = words.empty() ? today.month : MonthArgument(words[0]);
    const long long year = words.size() == 2 ? YearArgument(words[1]) : today.year;
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

int Search(const Options& options) {
    const std::vector<std::string> words = SearchWords(options.operands);
    if (words.empty())
        throw UsageError(Tr("search needs at least one word", "search には探す語を一つ以上指定してください"));
    std::optional<long long> year;
    if (options.searchYear) year = *options.searchYear;
    const std::vector<SearchHit> hits = SearchMemos(MemoStore(), words, year);
    if (hits.empty()) return kExitNoMatch;
    std::string text;
    for (const SearchHit& hit : hits) text += SearchHitLine(hit) + "\n";
    Print(text);
    return kExitOk;
}

// The coming reminders: from now to the end of the DAYS-th day, today the first.
int Agenda(const Options& options) {
    const std::vector<std::string>& words = options.operands;
    if (words.size() > 1) throw TooManyWords(words[1]);
    long long days = 7;
    if (!words.empty()) {
        const auto given = Number(words[0], 1, kMaxAgendaDays);
        if (!given)
            throw UsageError(Tr("not a number of days (1..366): ", "日数は 1〜366 で指定してください: ") +
                             Quoted(words[0]));
        days = *given;
    }
    const std::vector<Reminder> all = FindReminders(MemoStore());
    std::tm now = CurrentLocalTime();
    std::tm end = now;
    end.tm_mday += static_cast<int>(days);
    end.tm_hour = 0;
    end.tm_min = 0;
    end.tm_sec = 0;
    end.tm_isdst = -1;
    now.tm_isdst = -1;
    // The minute now is still coming: a reminder of this minute is told within it.
    now.tm_sec = 0;
    std::string text;
    for (const Reminder& reminder : RemindersBetween(all, std::mktime(&now), std::mktime(&end))) {
        text += DateLabel(reminder.year, reminder.month, reminder.day,
                          WeekdayOf(reminder.year, reminder.month - 1, reminder.day)) +
                "  " + platform::Utf8FromCp932(reminder.line) + "\n";
    }
    Print(text);
    return kExitOk;
}

// Runs one of the commands, VELMORA_TODAY taken first; a refusal or failure is one line on stderr.
int Guarded(int (*command)(const Options&), const Options& options) {
    try {
        TakeTodayFromEnvironment();
        return command(options);
    } catch (const UsageError& error) {
        Complain(error.what());
        return kExitRefused;
    } catch (const std::exception& error) {
        Complain(error.what());
        return kExitFailed;
    }
}

}  // namespace

int RunSheets(const Options& options) { return Guarded(Sheets, options); }
int RunDay(const Options& options) { return Guarded(Day, options); }
int RunList(const Options& options) { return Guarded(List, options); }
int RunSearch(const Options& options) { return Guarded(Search, options); }
int RunAgenda(const Options& options) { return Guarded(Agenda, options); }

}  // namespace cal
