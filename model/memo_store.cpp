#include "model/memo_store.h"

#include "model/field_text.h"
#include "model/record.h"

#include <cstdio>

namespace {

// Code page 932 weekday names, Sunday first.
constexpr const char* kWeekdayNames[] = {
    "\x93\xfa",  // 日
    "\x8c\x8e",  // 月
    "\x89\xce",  // 火
    "\x90\x85",  // 水
    "\x96\xd8",  // 木
    "\x8b\xe0",  // 金
    "\x93\x79",  // 土
};

constexpr std::string_view kDayMark = "\x93\xfa";  // 日

}  // namespace

std::optional<std::string> TakeMemoRecord(std::string& store, int year, int month, int day) {
    std::optional<std::string> taken;
    std::string kept;
    kept.reserve(store.size() + 1);
    std::string_view rest = store;
    while (!rest.empty()) {
        const std::string_view record = CutRecord(rest);
        if (!taken) {
            const MemoRecordFields fields = SplitMemoRecord(record);
            if (fields.year == year && fields.month == month && fields.day == day) {
                taken.emplace(fields.text);
                continue;
            }
        }
        // Every record but the last ends in "~". Only a damaged file ends without one; closing the
        // last record keeps the next append a record of its own.
        if (rest.empty())
            kept += CloseRecord(record);
        else
            kept.append(record);
    }
    store = std::move(kept);
    return taken;
}

void AppendMemoRecord(std::string& store, int year, int month, int day, std::string_view text) {
    store += MakeMemoRecord(year, month, day, ReplaceRecordDelimiters(text));
}

std::array<std::optional<std::string>, 31> FindMonthMemos(std::string_view store, int year, int month) {
    std::array<std::optional<std::string>, 31> memos;
    std::string_view rest = store;
    while (!rest.empty()) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        if (fields.year != year || fields.month != month || fields.day < 1 || fields.day > 31) continue;
        std::optional<std::string>& slot = memos[static_cast<std::size_t>(fields.day - 1)];
        if (!slot) slot.emplace(fields.text);
    }
    return memos;
}

std::string MonthListLine(int day, int weekday, std::string_view memo) {
    char number[16];
    std::snprintf(number, sizeof number, "%2d", day);
    std::string line;
    line.reserve(16 + memo.size());
    line += number;
    line += kDayMark;
    line += '(';
    if (weekday >= 0 && weekday <= 6) line += kWeekdayNames[weekday];
    line += ")    ";
    line += memo;
    return line;
}

std::vector<std::string> MonthListLines(std::string_view store, const CYearCalendar& calendar) {
    std::vector<std::string> lines;
    if (calendar.month < 0 || calendar.month > 11) return lines;
    const auto memos = FindMonthMemos(store, calendar.year, calendar.month);
    for (const CDayCell& cell : calendar.cells[calendar.month]) {
        if (cell.day < 1 || cell.day > 31)  // 0 ends the month
            break;
        const std::optional<std::string>& memo = memos[static_cast<std::size_t>(cell.day - 1)];
        lines.push_back(MonthListLine(cell.day, cell.weekday, memo ? std::string_view{*memo} : std::string_view{}));
    }
    return lines;
}
