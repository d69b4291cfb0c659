#include "model/year_calendar.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_dlg.h"
#include "ui/main/calendar_layout.h"
#include "ui/main/calendar_texts.h"

#include <cstdio>

namespace layout = calendar_layout;

void CCalendarDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        const CRect client = GetClientRect();
        if (m_hIcon != nullptr) {
            dc.DrawIcon((client.Width() - kSystemIconSize + 1) / 2, (client.Height() - kSystemIconSize + 1) / 2,
                        *m_hIcon);
        }
        return;
    }
    RepaintCalendar();
    DrawCursorFrame(m_clrCursor);
}

void CCalendarDlg::RepaintCalendar() {
    CRect area = GetClientRect();
    area.top += m_wndToolBar.CalcFixedLayout(FALSE, TRUE).cy;
    InvalidateRect(&area, FALSE);
    CPaintDC dc(this);
    CFont font;
    if (font.CreatePointFont(120, Cp932("ＭＳ 明朝"))) {
        CFont* previous = dc.SelectObject(&font);
        dc.FillSolidRect(area, m_clrBack);
        if (m_nView == 0) {
            DrawMonthSheet(0, 0, g_YearCalendar.month, dc);
            UpdateClock();
        } else {
            // Each sheet's caption reads the shown month; the month the user was at comes back after.
            const int shownMonth = g_YearCalendar.month;
            for (int m = 0; m < 12; ++m) {
                g_YearCalendar.month = m;
                const CPoint origin = layout::YearSheetOrigin(m);
                DrawMonthSheet(origin.x, origin.y, m, dc);
            }
            g_YearCalendar.month = shownMonth;
        }
        dc.SelectObject(previous);
    }
    ValidateRect(&area);
}

void CCalendarDlg::DrawMonthSheet(int ox, int oy, int month, CDC& dc) {
    if (month < 0 || month > 11) return;
    const CPoint origin{ox, oy};
    const CPoint caption = layout::CaptionPoint(origin);
    dc.SetTextColor(layout::kBlack);
    dc.TextOut(caption.x, caption.y,
               calendar_texts::SheetCaption(g_YearCalendar.CalendarYear(), g_YearCalendar.month + 1));
    for (int column = 0; column < 7; ++column) {
        const CPoint header = layout::HeaderPoint(origin, column);
        dc.SetTextColor(layout::HeaderColour(column));
        dc.TextOut(header.x, header.y, calendar_texts::WeekdayName(column));
    }
    for (const CDayCell& cell : g_YearCalendar.cells[month]) {
        if (cell.day == 0) break;
        char number[16];
        std::snprintf(number, sizeof number, "%2d", cell.day);
        const CPoint at = layout::DayPoint(origin, cell.weekday, cell.weekRow);
        dc.SetTextColor(layout::DayColour(cell));
        dc.TextOut(at.x, at.y, number);
    }
}

CRect CCalendarDlg::CursorFrame() const {
    if (m_nView == 0) return layout::MonthViewDayFrame(m_nDayCol, m_nDayRow);
    if (m_bMonthCursor == 1) return layout::YearViewMonthFrame(m_nMonthCol, m_nMonthRow);
    return layout::YearViewDayFrame(m_nMonthCol, m_nMonthRow, m_nDayCol, m_nDayRow);
}

void CCalendarDlg::DrawCursorFrame(COLORREF colour) {
    std::unique_ptr<CDC> dc = GetDC();
    dc->FrameRect(CursorFrame(), colour);
    // Every move of the cursor and every repaint ends by drawing the cursor.
    if (colour == m_clrCursor) TellScreenReaders();
}
