#include "velmora-cal/ical_export.h"

#include "ical/ics_text.h"
#include "model/calendar_math.h"
#include "model/data_files.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/code_page.h"
#include "velmora-cal/holiday_stand_in.h"
#include "velmora-cal/holidays_command.h"
#include "velmora-cal/messages.h"
#include "velmora-cal/output_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <tuple>

namespace cal {
namespace {

// The largest year an iCalendar date (four digits) can carry.
constexpr int kLastIcalYear = 9999;

std::string DateText(long long year, int monthIndex, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04lld%02d%02d", year, monthIndex + 1, day);
    return text;
}

// Returns the date after the given one as DateText writes it, or "" past the last iCalendar year.
std::string NextDateText(long long year, int monthIndex, int day) {
    if (day < DaysInMonth(year, monthIndex)) return DateText(year, monthIndex, day + 1);
    if (monthIndex < 11) return DateText(year, monthIndex + 1, 1);
    return year < kLastIcalYear ? DateText(year + 1, 0, 1) : "";
}

// The summary of a memo: its first line that holds more than spaces and tabs, without them at its
// ends, so that a memo beginning with a blank line still has a title; "" for a memo of blanks only.
std::string_view SummaryLine(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            line.remove_prefix(first);
            return line.substr(0, line.find_last_not_of(" \t") + 1);
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return {};
}

// Returns true when the memo's line breaks are all bare LF (code page 932 has no CR or LF inside a
// double-byte character).
bool HoldsOnlyBareLineFeeds(std::string_view memo) {
    return memo.find('\n') != std::string_view::npos && memo.find('\r') == std::string_view::npos;
}

struct MemoEvent {
    long long year = 0;
    int monthIndex = 0;
    int day = 0;
    std::string_view text;  // code page 932, a view into the store
};

std::string StampText(std::time_t stampUtc) {
    std::tm utc{};
    ::gmtime_r(&stampUtc, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// Returns true when `path` is one of the data folder's own files (through any name or link): an
// export written there would replace the memos or holidays with calendar text.
}  // namespace

std::string ExportCalendar(std::string_view store, const ExportOptions& options, std::time_t stampUtc,
                           const std::tm& today, ExportCounts& counts) {
    counts = ExportCounts{};
    std::vector<MemoEvent> memos;
    long long firstMemoYear = kLastIcalYear + 1;
    long long lastMemoYear = 0;
    for (std::string_view rest = store; !rest.empty();) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        if (fields.text.empty()) continue;
        const long long year = static_cast<long long>(fields.year) + 1900;
        if (year < 1 || year > kLastIcalYear || fields.month < 0 || fields.month > 11 || fields.day < 1 ||
            fields.day > DaysInMonth(year, fields.month)) {
            ++counts.skippedRecords;
            continue;
        }
        if ((options.fromYear && year < *options.fromYear) || (options.toYear && year > *options.toYear)) continue;
        memos.push_back({year, fields.month, fields.day, fields.text});
        firstMemoYear = std::min(firstMemoYear, year);
        lastMemoYear = std::max(lastMemoYear, year);
    }

    const int thisYear = today.tm_year + 1900;
    int first = options.fromYear.value_or(memos.empty() ? thisYear : static_cast<int>(firstMemoYear));
    int last = options.toYear.value_or(memos.empty() ? thisYear : static_cast<int>(lastMemoYear));
    // A single bound given: the other still takes in at least that year.
    if (!options.toYear) last = std::max(last, first);
    if (!options.fromYear) first = std::min(first, last);

    const std::string stamp = StampText(stampUtc);
    std::string out;
    out.reserve(memos.size() * 300 + 256);
    out += "BEGIN:VCALENDAR\r\n";
    out += "VERSION:2.0\r\n";
    out += "PRODID:-//Velmora//velmora-cal 1.0//JA\r\n";
    out += "CALSCALE:GREGORIAN\r\n";

    // The same text on the same day more than once: the occurrence number keeps the UIDs apart.
    std::map<std::tuple<long long, int, int, std::string>, int> seen;
    for (const MemoEvent& memo : memos) {
        const std::string date = DateText(memo.year, memo.monthIndex, memo.day);
        const int occurrence = seen[{memo.year, memo.monthIndex, memo.day, ics::CrLfBreaks(memo.text)}]++;
        const std::string text = platform::Utf8FromCp932(memo.text);
        ics::DayEvent event;
        event.uid = ics::MemoUid(date, memo.text, occurrence);
        event.stamp = stamp;
        event.date = date;
        event.nextDate = NextDateText(memo.year, memo.monthIndex, memo.day);
        event.summary = SummaryLine(text);
        event.description = text;
        event.bareLineFeeds = HoldsOnlyBareLineFeeds(memo.text);
        ics::AppendDayEvent(out, event);
        ++counts.memos;
    }

    if (options.holidays && first <= last) {
        counts.firstYear = first;
        counts.lastYear = last;
        const CYearCalendar kept = g_YearCalendar;
        for (int year = first; year <= last; ++year) {
            g_YearCalendar.year = year - 1900;
            g_YearCalendar.Build();
            for (int m = 0; m < 12; ++m) {
                for (int d = 1; d <= 31; ++d) {
                    const CDayCell& cell = *g_YearCalendar.Cell(m, d);
                    if (cell.day == 0 || cell.flag == 0) continue;
                    const std::string date = DateText(year, m, d);
                    // A day off that follows a holiday on a Sunday is marked without a name.
                    const std::string name = cell.text.empty() ? "休日" : platform::Utf8FromCp932(cell.text);
                    ics::DayEvent event;
                    event.uid = "holiday-" + date + "@velmora";
                    event.stamp = stamp;
                    event.date = date;
                    event.nextDate = NextDateText(year, m, d);
                    event.summary = name;
                    event.holiday = true;
                    ics::AppendDayEvent(out, event);
                    ++counts.holidays;
                }
            }
        }
        g_YearCalendar = kept;
    }
    out += "END:VCALENDAR\r\n";
    return out;
}

int RunExport(const Options& given) {
    if (given.operands.size() > 1)
        return UsageProblem(Tr("export takes one file", "export に指定できるファイルは一つだけです"), "export");
    if (given.operands.empty())
        return UsageProblem(Tr("export needs a file name (or - for the output)",
                               "export には書き出すファイル名（標準出力なら -）を指定してください"),
                            "export");
    const std::string& file = given.operands[0];
    ExportOptions options;
    options.fromYear = given.fromYear;
    options.toYear = given.toYear;
    options.holidays = !given.Has(kOptionNoHolidays);
    if (options.fromYear && options.toYear && *options.fromYear > *options.toYear)
        return UsageProblem(Tr("--from is after --to", "--from の年が --to の年より後です"), "export");

    const std::string target = ResolvePath(file, given.here);

    LoadMemoData();
    if (IsUnreadableFile(kMemoFile)) {
        Complain(Tr("cannot read ", "") + std::string(kMemoFile) + Tr("", " を読み込めません"));
        return kExitFailed;
    }
    ExportCounts counts;
    std::string calendar;
    try {
        // The holidays the calendar shows, also in a folder where it has not yet saved its built-in ones.
        std::optional<HolidayStandIn> shown;
        if (options.holidays) shown.emplace();
        calendar = ExportCalendar(g_strMemoData, options, std::time(nullptr), CurrentLocalTime(), counts);
    } catch (const std::exception& failure) {
        Complain(failure.what());
        return kExitFailed;
    }
    if (counts.skippedRecords > 0)
        Complain(JapaneseMessages()
                     ? "存在しない日付のメモ " + std::to_string(counts.skippedRecords) + " 件は書き出していません"
                     : Counted(counts.skippedRecords, "memo record", "memo records") +
                           (counts.skippedRecords == 1 ? " with a date no calendar holds was left out"
                                                       : " with a date no calendar holds were left out"));
    if (file == "-") {
        if (std::fwrite(calendar.data(), 1, calendar.size(), stdout) != calendar.size() || std::fflush(stdout) != 0) {
            Complain(Tr("cannot write the output", "標準出力に書き込めません"));
            return kExitFailed;
        }
        return kExitOk;
    }
    std::string error;
    if (const int status = ExitStatusOfWrite(WriteFileAtomically(target, calendar, DataFilesVeto(file), error), error);
        status != kExitOk)
        return status;
    // The folder read is named: a folder other than the one meant shows at once.
    if (JapaneseMessages())
        std::printf("%s のメモ %d 件と祝日 %d 件を %s に書き出しました\n", given.folder.c_str(), counts.memos,
                    counts.holidays, file.c_str());
    else
        std::printf("wrote %s: %s, %s from %s\n", file.c_str(), Counted(counts.memos, "memo", "memos").c_str(),
                    Counted(counts.holidays, "holiday", "holidays").c_str(), given.folder.c_str());
    return kExitOk;
}

}  // namespace cal
