#include "ui/main/calendar_layout.h"

#include "model/year_calendar.h"

namespace calendar_layout {

CPoint YearSheetOrigin(int month) { return {kSheetWidth * (month % 4), kYearViewTop + kSheetHeight * (month / 4)}; }

CPoint YearSlotOrigin(int monthCol, int monthRow) {
    return {kSheetWidth * (monthCol - 1), kYearViewTop + kSheetHeight * (monthRow - 1)};
}

int MonthAtSlot(int monthCol, int monthRow) { return 4 * (monthRow - 1) + (monthCol - 1); }

CPoint CaptionPoint(CPoint origin) { return {origin.x + 10, origin.y + 30}; }

CPoint HeaderPoint(CPoint origin, int column) { return {origin.x + 30 + 30 * column, origin.y + 60}; }

CPoint DayPoint(CPoint origin, int weekday, int weekRow) {
    return {origin.x + 30 + 30 * weekday, origin.y + 60 + 20 * weekRow};
}

COLORREF HeaderColour(int column) {
    if (column == 0) return kRed;
    if (column == 6) return kBlue;
    return kBlack;
}

COLORREF DayColour(const CDayCell& cell) {
    if (cell.weekday == 0 || cell.flag == 1) return kRed;
    if (cell.weekday == 6) return kBlue;
    return kBlack;
}

CRect MonthViewDayFrame(int dayCol, int dayRow) {
    return {30 * dayCol + 23, 20 * dayRow + 58, 30 * dayCol + 53, 20 * dayRow + 78};
}

CRect YearViewMonthFrame(int monthCol, int monthRow) {
    return {kSheetWidth * (monthCol - 1) + 8, kSheetHeight * (monthRow - 1) + 33, kSheetWidth * monthCol - 8,
            kSheetHeight * monthRow + 17};
}

CRect YearViewDayFrame(int monthCol, int monthRow, int dayCol, int dayRow) {
    const int x = kSheetWidth * (monthCol - 1) + 30 * dayCol;
    const int y = kSheetHeight * (monthRow - 1) + 20 * dayRow;
    return {x + 23, y + 83, x + 53, y + 103};
}

bool HitDayGrid(CPoint local, int& dayCol, int& dayRow) {
    if (local.x < 30 || local.x > 240 || local.y < 80 || local.y > 200) return false;
    dayCol = (local.x - 23) / 30;  // 0..7; the right edge belongs to column 6
    dayRow = (local.y - 60) / 20;  // 1..7; the bottom edge belongs to row 6
    if (dayCol > 6) dayCol = 6;
    if (dayRow > 6) dayRow = 6;
    return true;
}

void MonthSlotAt(CPoint point, int& monthCol, int& monthRow) {
    monthCol = point.x / kSheetWidth + 1;
    monthRow = point.y < kYearViewTop ? 1 : (point.y - kYearViewTop) / kSheetHeight + 1;
}

bool OnMonthCaption(CPoint point) { return point.x >= 10 && point.x <= 100 && point.y >= 30 && point.y <= 45; }

}  // namespace calendar_layout
