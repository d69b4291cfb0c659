#include "paper/page_layout.h"

#include "model/calendar_math.h"
#include "model/japanese_era.h"

#include <algorithm>
#include <cmath>

namespace paper {
namespace {

constexpr const char* kWeekdayNames[] = {"日", "月", "火", "水", "木", "金", "土"};
constexpr double kLineSpacing = 1.2;  // a line's height, as a multiple of its font size

// Reads the code point that starts at `at`, moving past it; a stray byte reads as itself.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (at + static_cast<std::size_t>(length) > text.size()) {
        at = text.size();
        return U'\uFFFD';
    }
    char32_t value = length == 1 ? lead : lead & (0x7FU >> static_cast<unsigned>(length));
    for (int i = 1; i < length; ++i) value = (value << 6U) | (static_cast<unsigned char>(text[at + i]) & 0x3FU);
    at += static_cast<std::size_t>(length);
    return value;
}

bool IsHalfWidth(char32_t c) { return c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F); }

Ink InkOf(int weekday, bool holiday) {
    if (weekday == 0 || holiday) return Ink::Red;
    return weekday == 6 ? Ink::Blue : Ink::Black;
}

PaperItem Text(double x, double y, double width, double size, std::string text, Ink ink, bool centred = false) {
    PaperItem item;
    item.x = x;
    item.y = y;
    item.width = width;
    item.height = size * kLineSpacing;
    item.size = size;
    item.text = std::move(text);
    item.ink = ink;
    item.centred = centred;
    return item;
}

PaperItem Frame(double x, double y, double width, double height) {
    PaperItem item;
    item.kind = PaperItem::Kind::Frame;
    item.x = x;
    item.y = y;
    item.width = width;
    item.height = height;
    return item;
}

int WeekRows(const PaperMonth& month) { return month.days.empty() ? 0 : month.days.back().weekRow; }

// Adds the lines of `text` that fit from `y` down to `bottom`, at most `maxLines`; returns the next line's top.
double AddLines(std::vector<PaperItem>& items, std::string_view text, double x, double y, double width, double bottom,
                double size, Ink ink, int maxLines) {
    const int room = static_cast<int>(std::floor((bottom - y) / (size * kLineSpacing)));
    for (std::string& line : FitLines(text, width, size, std::min(room, maxLines))) {
        items.push_back(Text(x, y, width, size, std::move(line), ink));
        y += size * kLineSpacing;
    }
    return y;
}

}  // namespace

double TextWidth(std::string_view text, double size) {
    double width = 0;
    for (std::size_t at = 0; at < text.size();) width += IsHalfWidth(NextCodePoint(text, at)) ? size / 2 : size;
    return width;
}

std::vector<std::string> FitLines(std::string_view text, double width, double size, int maxLines) {
    std::vector<std::string> lines;
    if (maxLines <= 0) return lines;
    std::string line;
    double used = 0;
    bool open = false;  // a line has begun that is not yet in `lines`
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const char32_t c = NextCodePoint(text, at);
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && at < text.size() && text[at] == '\n') ++at;
            lines.push_back(std::move(line));
            if (static_cast<int>(lines.size()) == maxLines) return lines;
            line.clear();
            used = 0;
            open = false;
            continue;
        }
        if (c < 0x20 || c == 0x7F) continue;
        const double advance = IsHalfWidth(c) ? size / 2 : size;
        if (advance > width) return lines;
        if (used + advance > width) {
            lines.push_back(std::move(line));
            if (static_cast<int>(lines.size()) == maxLines) return lines;
            line.clear();
            used = 0;
        }
        line.append(text.substr(start, at - start));
        used += advance;
        open = true;
    }
    if (open) lines.push_back(std::move(line));
    return lines;
}

std::string MonthCaption(long long calendarYear, int month) {
    const std::string era =
        EraYearsOfDays(calendarYear, month, 1, calendarYear, month, DaysInMonth(calendarYear, month - 1));
    return std::to_string(calendarYear) + "年" + (era.empty() ? "" : "（" + era + "）") + std::to_string(month) + "月";
}

std::string YearCaption(long long calendarYear) {
    const std::string era = EraYearsOfDays(calendarYear, 1, 1, calendarYear, 12, 31);
    return std::to_string(calendarYear) + "年" + (era.empty() ? "" : "（" + era + "）");
}

std::vector<PaperItem> MonthPage(const PaperMonth& month, double width, double height) {
    std::vector<PaperItem> items;
    const double margin = width * 0.05;
    const double captionSize = width * 0.045;
    items.push_back(Text(margin, margin, width - 2 * margin, captionSize, MonthCaption(month.calendarYear, month.month),
                         Ink::Black, true));
    const double boxWidth = (width - 2 * margin) / 7;
    const double headerTop = margin + captionSize * 1.8;
    const double headerSize = width * 0.025;
    for (int weekday = 0; weekday < 7; ++weekday)
        items.push_back(Text(margin + weekday * boxWidth, headerTop, boxWidth, headerSize, kWeekdayNames[weekday],
                             InkOf(weekday, false), true));
    const double gridTop = headerTop + headerSize * 1.6;
    const int rows = std::max(WeekRows(month), 1);
    const double boxHeight = (height - margin - gridTop) / rows;
    const double pad = boxWidth * 0.05;
    const double numberSize = std::min(boxHeight * 0.22, boxWidth * 0.25);
    const double smallSize = boxWidth * 0.1;
    for (std::size_t index = 0; index < month.days.size(); ++index) {
        const PaperDay& day = month.days[index];
        const double x = margin + day.weekday * boxWidth;
        const double y = gridTop + (day.weekRow - 1) * boxHeight;
        items.push_back(Frame(x, y, boxWidth, boxHeight));
        const Ink ink = InkOf(day.weekday, day.holiday);
        const double inner = boxWidth - 2 * pad;
        const double bottom = y + boxHeight - pad;
        double top = y + pad;
        items.push_back(Text(x + pad, top, inner, numberSize, std::to_string(index + 1), ink));
        top += numberSize * kLineSpacing;
        top = AddLines(items, day.holidayName, x + pad, top, inner, bottom, smallSize, ink, 2);
        AddLines(items, day.memo, x + pad, top, inner, bottom, smallSize, Ink::Black, 1 << 20);
    }
    return items;
}

std::vector<PaperItem> YearPage(const std::vector<PaperMonth>& months, double width, double height) {
    std::vector<PaperItem> items;
    if (months.empty()) return items;
    const double margin = width * 0.05;
    const double captionSize = width * 0.04;
    items.push_back(
        Text(margin, margin, width - 2 * margin, captionSize, YearCaption(months[0].calendarYear), Ink::Black, true));
    const double top = margin + captionSize * 2;
    const double cellWidth = (width - 2 * margin) / 3;
    const double cellHeight = (height - margin - top) / 4;
    const double gap = cellWidth * 0.06;
    const double columnWidth = (cellWidth - gap) / 7;
    const double rowHeight = (cellHeight - gap) / 8;  // the month, the weekday names and six weeks
    const double size = std::min(rowHeight / kLineSpacing, columnWidth * 0.5);
    for (std::size_t index = 0; index < months.size() && index < 12; ++index) {
        const PaperMonth& month = months[index];
        const double x = margin + static_cast<double>(index % 3) * cellWidth;
        const std::size_t row = index / 3;  // 0..3
        const double y = top + static_cast<double>(row) * cellHeight;
        items.push_back(Text(x, y, cellWidth - gap, size * 1.2, std::to_string(month.month) + "月", Ink::Black, true));
        for (int weekday = 0; weekday < 7; ++weekday)
            items.push_back(Text(x + weekday * columnWidth, y + rowHeight, columnWidth, size, kWeekdayNames[weekday],
                                 InkOf(weekday, false), true));
        for (std::size_t day = 0; day < month.days.size(); ++day) {
            const PaperDay& cell = month.days[day];
            items.push_back(Text(x + cell.weekday * columnWidth, y + (cell.weekRow + 1) * rowHeight, columnWidth, size,
                                 std::to_string(day + 1), InkOf(cell.weekday, cell.holiday), true));
        }
    }
    return items;
}

}  // namespace paper
