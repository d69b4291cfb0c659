#include "velmora-cal/sheets.h"

#include "model/memo_store.h"
#include "model/year_calendar.h"

#include <cstdio>

namespace cal {
namespace {

constexpr int kSheetWidth = 21;  // 7 cells of 3 columns: two for the number, one for the mark
constexpr int kGap = 2;

constexpr const char* kWeekdayNames[] = {"日", "月", "火", "水", "木", "金", "土"};

constexpr const char* kRed = "31";
constexpr const char* kBlue = "34";
constexpr const char* kUnderline = "4";
constexpr const char* kReverse = "7";

// One line of a sheet as it is built: the text with its escapes, and how many columns it fills.
struct Line {
    std::string text;
    int columns = 0;

    void Add(const std::string& plain, int width) {
        text += plain;
        columns += width;
    }
    void Styled(const std::string& plain, int width, const std::string& codes) {
        if (codes.empty()) return Add(plain, width);
        text += "\x1b[" + codes + "m" + plain + "\x1b[0m";
        columns += width;
    }
    void PadTo(int width) {
        if (columns < width) Add(std::string(static_cast<std::size_t>(width - columns), ' '), width - columns);
    }
};

void AppendCode(std::string& codes, const char* code) {
    if (!codes.empty()) codes += ';';
    codes += code;
}

// The colour of a day's number or a weekday's name: holidays and Sundays red, Saturdays blue.
const char* ColourOf(int weekday, bool holiday) {
    if (weekday == 0 || holiday) return kRed;
    if (weekday == 6) return kBlue;
    return nullptr;
}

int WeekRows(const MonthSheet& sheet) { return sheet.days.empty() ? 0 : sheet.days.back().weekRow; }

std::vector<Line> SheetLines(const MonthSheet& sheet, int rows, bool colour) {
    std::vector<Line> lines(static_cast<std::size_t>(rows) + 2);
    // The caption as the window writes it; its year and month digits are one column each, 年 and 月 two.
    const std::string year = std::to_string(sheet.calendarYear);
    const std::string month = std::to_string(sheet.month);
    const int captionWidth = static_cast<int>(year.size() + month.size()) + 2 + 2 + 2;
    const int indent = captionWidth < kSheetWidth - 1 ? (kSheetWidth - 1 - captionWidth) / 2 : 0;
    lines[0].Add(std::string(static_cast<std::size_t>(indent), ' '), indent);
    lines[0].Add(year + "年  " + month + "月", captionWidth);

    for (int weekday = 0; weekday < 7; ++weekday) {
        if (weekday > 0) lines[1].Add(" ", 1);
        const char* tint = colour ? ColourOf(weekday, false) : nullptr;
        lines[1].Styled(kWeekdayNames[weekday], 2, tint != nullptr ? tint : "");
    }

    for (std::size_t index = 0; index < sheet.days.size(); ++index) {
        const MonthSheet::Day& day = sheet.days[index];
        Line& line = lines[static_cast<std::size_t>(day.weekRow) + 1];
        line.PadTo(day.weekday * 3);
        const std::string number = std::to_string(index + 1);
        if (number.size() < 2) line.Add(" ", 1);
        std::string codes;
        if (colour) {
            if (const char* tint = ColourOf(day.weekday, day.holiday)) AppendCode(codes, tint);
            if (day.memo) AppendCode(codes, kUnderline);
            if (day.today) AppendCode(codes, kReverse);
        }
        line.Styled(number, static_cast<int>(number.size()), codes);
        line.Add(!colour && day.memo ? "*" : " ", 1);
    }
    return lines;
}

std::string WithoutTrailingSpaces(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

MonthSheet LoadMonthSheet(long long calendarYear, int month, const std::string& memoStore) {
    MonthSheet sheet;
    sheet.calendarYear = calendarYear;
    sheet.month = month;
    const int year = static_cast<int>(calendarYear - 1900);
    if (g_YearCalendar.year != year || g_YearCalendar.cells[0][0].day == 0) {
        g_YearCalendar.year = year;
        g_YearCalendar.Build();
    }
    g_YearCalendar.month = month - 1;
    const auto memos = FindMonthMemos(memoStore, year, month - 1);
    const std::tm now = CurrentLocalTime();
    for (const CDayCell& cell : g_YearCalendar.cells[month - 1]) {
        if (cell.day == 0) break;
        MonthSheet::Day day;
        day.weekday = cell.weekday;
        day.weekRow = cell.weekRow;
        day.holiday = cell.flag == 1;
        const auto& memo = memos[static_cast<std::size_t>(cell.day - 1)];
        day.memo = memo.has_value() && !memo->empty();
        day.today = now.tm_year == year && now.tm_mon == month - 1 && now.tm_mday == cell.day;
        sheet.days.push_back(day);
    }
    return sheet;
}

std::string RenderSheets(const std::vector<MonthSheet>& sheets, bool colour) {
    int rows = 0;
    for (const MonthSheet& sheet : sheets) rows = std::max(rows, WeekRows(sheet));
    std::vector<Line> joined(static_cast<std::size_t>(rows) + 2);
    for (std::size_t index = 0; index < sheets.size(); ++index) {
        const std::vector<Line> lines = SheetLines(sheets[index], rows, colour);
        const int start = static_cast<int>(index) * (kSheetWidth + kGap);
        for (std::size_t row = 0; row < joined.size(); ++row) {
            joined[row].PadTo(start);
            joined[row].Add(lines[row].text, lines[row].columns);
        }
    }
    std::string text;
    for (const Line& line : joined) text += WithoutTrailingSpaces(line.text) + "\n";
    return text;
}

}  // namespace cal
