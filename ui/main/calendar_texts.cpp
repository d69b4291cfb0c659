#include "ui/main/calendar_texts.h"

#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/text_codec.h"

#include <cstdio>

namespace calendar_texts {
namespace {

// Returns the text cut to at most `limit` bytes at a character boundary.
std::string CutAtCharacter(const std::string& text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t width =
            IsCp932LeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + width > limit) break;
        end += width;
    }
    return text.substr(0, end);
}

}  // namespace

std::string TrayTip(int month, int day, const CDayCell* cell) {
    std::string tip = std::to_string(month) + Cp932("月") + std::to_string(day) + Cp932("日");
    if (cell != nullptr && cell->flag == 1) tip += Cp932("　") + cell->text;
    return CutAtCharacter(tip, kTrayTipBytes);
}

std::string ClockText(const std::tm& now) {
    return std::to_string(now.tm_mon + 1) + Cp932("月") + std::to_string(now.tm_mday) + Cp932("日  ") +
           std::to_string(now.tm_hour) + Cp932("時") + std::to_string(now.tm_min) + Cp932("分");
}

std::string SheetCaption(long long calendarYear, int month) {
    return std::to_string(calendarYear) + Cp932("年  ") + std::to_string(month) + Cp932("月");
}

std::string WeekdayName(int weekday) {
    static const char* const kNames[] = {"日", "月", "火", "水", "木", "金", "土"};
    return weekday >= 0 && weekday <= 6 ? Cp932(kNames[weekday]) : std::string();
}

std::string DayCellName(long long calendarYear, int month, const CDayCell& cell, const std::string* memo) {
    std::string name = SheetName(calendarYear, month) + std::to_string(cell.day) + Cp932("日 ") +
                       WeekdayName(cell.weekday) + Cp932("曜日");
    if (cell.flag == 1) name += Cp932(" 祝日") + (cell.text.empty() ? std::string() : " " + cell.text);
    if (memo != nullptr) {
        const std::string firstLine = memo->substr(0, memo->find_first_of("\r\n"));
        name += Cp932(" メモあり") + (firstLine.empty() ? std::string() : " " + firstLine);
    }
    return name;
}

std::string SheetName(long long calendarYear, int month) {
    return std::to_string(calendarYear) + Cp932("年") + std::to_string(month) + Cp932("月");
}

}  // namespace calendar_texts
