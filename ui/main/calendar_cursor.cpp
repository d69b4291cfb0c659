#include "model/year_calendar.h"
#include "ui/main/calendar_dlg.h"
#include "ui/main/calendar_layout.h"

namespace layout = calendar_layout;

void CCalendarDlg::SyncCursorToSelectedDay() {
    const int month = g_YearCalendar.month;
    const CDayCell* cell = g_YearCalendar.Cell(month, g_nSelDay);
    if (cell == nullptr || cell->day == 0) {
        // A day the shown month lacks (31 in a 30-day month): the month's last day stands in.
        cell = nullptr;
        for (int day = 31; day >= 1 && cell == nullptr; --day) {
            const CDayCell* candidate = g_YearCalendar.Cell(month, day);
            if (candidate != nullptr && candidate->day != 0) cell = candidate;
        }
    }
    if (cell != nullptr) {
        m_nDayCol = cell->weekday;
        m_nDayRow = cell->weekRow;
    }
    m_nMonthCol = month % 4 + 1;
    m_nMonthRow = month / 4 + 1;
}

void CCalendarDlg::SelectMonthAt(int x, int y) {
    if (x < 1000 && y >= 25 && y < 685) layout::MonthSlotAt({x, y}, m_nMonthCol, m_nMonthRow);
    g_YearCalendar.month = layout::MonthAtSlot(m_nMonthCol, m_nMonthRow);
}

void CCalendarDlg::OnMouseMove(UINT, CPoint point) {
    int col = 0;
    int row = 0;
    if (m_nView == 0) {
        if (!layout::HitDayGrid(point, col, row)) return;
        DrawCursorFrame(m_clrBack);
        m_nDayCol = col;
        m_nDayRow = row;
        DrawCursorFrame(m_clrCursor);
        return;
    }
    if (m_bMonthCursor == 1) {
        if (point.x >= 1000 || point.y >= 660) return;
        DrawCursorFrame(m_clrBack);
        layout::MonthSlotAt(point, m_nMonthCol, m_nMonthRow);
        DrawCursorFrame(m_clrCursor);
        return;
    }
    DrawCursorFrame(m_clrBack);
    SelectMonthAt(point.x, point.y);
    const CPoint origin = layout::YearSlotOrigin(m_nMonthCol, m_nMonthRow);
    if (!layout::HitDayGrid({point.x - origin.x, point.y - origin.y}, col, row)) return;
    m_nDayCol = col;
    m_nDayRow = row;
    DrawCursorFrame(m_clrCursor);
}

void CCalendarDlg::OnLButtonDblClk(UINT, CPoint point) {
    int col = 0;
    int row = 0;
    if (m_nView == 0) {
        if (layout::OnMonthCaption(point)) {
            OpenMonthScheduleDialog(SW_SHOW);
        } else if (layout::HitDayGrid(point, col, row)) {
            OpenAtCursor();
        }
        return;
    }
    if (m_bMonthCursor == 1) {
        if (point.x < 1000 && point.y < 625) {
            layout::MonthSlotAt(point, m_nMonthCol, m_nMonthRow);
            OpenAtCursor();
        }
        return;
    }
    SelectMonthAt(point.x, point.y);
    const CPoint origin = layout::YearSlotOrigin(m_nMonthCol, m_nMonthRow);
    if (layout::HitDayGrid({point.x - origin.x, point.y - origin.y}, col, row)) OpenAtCursor();
}

void CCalendarDlg::OpenAtCursor() {
    if (m_nView == 1 && m_bMonthCursor == 1) {
        g_YearCalendar.month = layout::MonthAtSlot(m_nMonthCol, m_nMonthRow);
        m_nView = 0;
        UpdateCommandStates();
        ShowWindow(SW_SHOWNORMAL);
        RepaintCalendar();
        return;
    }
    if (m_nView == 1) g_YearCalendar.month = layout::MonthAtSlot(m_nMonthCol, m_nMonthRow);
    const int month = g_YearCalendar.month;
    for (int day = 1; day <= 31; ++day) {
        const CDayCell* cell = g_YearCalendar.Cell(month, day);
        if (cell == nullptr || cell->day == 0) continue;
        if (cell->weekday == m_nDayCol && cell->weekRow == m_nDayRow) {
            g_nSelDay = day;
            OpenScheduleDialog(SW_SHOW);
            return;
        }
    }
}

void CCalendarDlg::MoveCursor(int dx, int dy) {
    if (m_nView == 1 && m_bMonthCursor == 1) {
        if (m_nMonthCol < 4 && dx > 0) ++m_nMonthCol;
        if (m_nMonthCol > 1 && dx < 0) --m_nMonthCol;
        if (m_nMonthRow < 3 && dy > 0) ++m_nMonthRow;
        if (m_nMonthRow > 1 && dy < 0) --m_nMonthRow;
        return;
    }
    if (dx > 0) {
        if (m_nDayCol < 6) {
            ++m_nDayCol;
        } else if (m_nMonthCol < 4) {
            ++m_nMonthCol;
            m_nDayCol = 0;
            return;
        }
    }
    if (dx < 0) {
        if (m_nDayCol > 0) {
            --m_nDayCol;
        } else if (m_nMonthCol > 1) {
            --m_nMonthCol;
            m_nDayCol = 6;
            return;
        }
    }
    if (dy > 0) {
        if (m_nDayRow < 6) {
            ++m_nDayRow;
        } else if (m_nMonthRow < 3) {
            ++m_nMonthRow;
            m_nDayRow = 1;
            return;
        }
    }
    if (dy < 0) {
        if (m_nDayRow > 1) {
            --m_nDayRow;
        } else if (m_nMonthRow > 1) {
            --m_nMonthRow;
            m_nDayRow = 6;
        }
    }
}

void CCalendarDlg::ToggleCursorMode() {
    DrawCursorFrame(m_clrBack);
    m_bMonthCursor = m_bMonthCursor == 0 ? 1 : 0;
    DrawCursorFrame(m_clrCursor);
}
