#include "model/memo_store.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/accessible_sheet.h"
#include "ui/main/calendar_dlg.h"
#include "ui/main/calendar_layout.h"
#include "ui/main/calendar_texts.h"

#include <algorithm>
#include <functional>

namespace layout = calendar_layout;

namespace {

// One month of the shown year as a table of weeks: the cells of days it lacks stay unnamed.
platform::AccessibleTable MonthTable(int month, CRect rect, const std::function<CRect(int, int)>& cellRect) {
    platform::AccessibleTable table;
    const long long year = g_YearCalendar.CalendarYear();
    table.name = calendar_texts::SheetName(year, month + 1);
    table.rect = rect;
    for (int column = 0; column < 7; ++column) table.columnHeaders.push_back(calendar_texts::WeekdayName(column));
    for (const CDayCell& cell : g_YearCalendar.cells[month]) {
        if (cell.day != 0) table.rows = std::max(table.rows, cell.weekRow);
    }
    table.cells.resize(static_cast<std::size_t>(table.rows) * 7);
    for (int row = 0; row < table.rows; ++row) {
        for (int column = 0; column < 7; ++column) table.cells[row * 7 + column].rect = cellRect(column, row + 1);
    }
    const auto memos = FindMonthMemos(g_strMemoData, g_YearCalendar.year, month);
    for (const CDayCell& cell : g_YearCalendar.cells[month]) {
        if (cell.day == 0 || cell.weekRow < 1) continue;
        const auto& memo = memos[cell.day - 1];
        table.cells[(cell.weekRow - 1) * 7 + cell.weekday].name =
            calendar_texts::DayCellName(year, month + 1, cell, memo ? &*memo : nullptr);
    }
    return table;
}

}  // namespace

void CCalendarDlg::TellScreenReaders() {
    if (!platform::ScreenReaderListens()) return;
    platform::AccessibleSheet sheet;
    if (m_nView == 0) {
        sheet.tables.push_back(MonthTable(g_YearCalendar.month, {0, 0, layout::kSheetWidth, layout::kSheetHeight},
                                          layout::MonthViewDayFrame));
        sheet.focusTable = 0;
    } else {
        for (int month = 0; month < 12; ++month) {
            const int monthCol = month % 4 + 1;
            const int monthRow = month / 4 + 1;
            sheet.tables.push_back(MonthTable(month, layout::YearViewMonthFrame(monthCol, monthRow),
                                              [monthCol, monthRow](int dayCol, int dayRow) {
                                                  return layout::YearViewDayFrame(monthCol, monthRow, dayCol, dayRow);
                                              }));
        }
        const int month = layout::MonthAtSlot(m_nMonthCol, m_nMonthRow);
        sheet.focusTable = month >= 0 && month < 12 ? month : -1;
    }
    // A cursor on a week row the month lacks, or around a whole month, leaves the table focused.
    const bool onDay = m_nView == 0 || m_bMonthCursor == 0;
    if (sheet.focusTable >= 0 && onDay && m_nDayRow >= 1 && m_nDayRow <= sheet.tables[sheet.focusTable].rows) {
        sheet.focusRow = m_nDayRow - 1;
        sheet.focusColumn = m_nDayCol;
    }
    platform::SetAccessibleSheet(*this, std::move(sheet));
}
