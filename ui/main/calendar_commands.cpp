#include "model/year_calendar.h"
#include "ui/globals.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"
#include "ui/tool_tips.h"

BOOL CCalendarDlg::OnCommand(UINT id) {
    switch (id) {
    case ID_FILE_PRINT:
        OnPrint();
        return TRUE;
    case ID_FILE_EXIT:
        OnFileExit();
        return TRUE;
    case ID_TRAY_EXIT:
        OnTrayExit();
        return TRUE;
    case ID_EDIT_TODAY_SCHEDULE:
        OnTodaySchedule();
        return TRUE;
    case ID_EDIT_MONTH_SCHEDULE:
        OnMonthSchedule();
        return TRUE;
    case ID_EDIT_PICK_MONTH_SCHEDULE:
        OnPickMonthSchedule();
        return TRUE;
    case ID_VIEW_THIS_MONTH:
        GoToday();
        Repaint();
        return TRUE;
    case ID_VIEW_PREV_MONTH:
        if (m_nView == 0) {
            PrevMonth();
            Repaint();
        }
        return TRUE;
    case ID_VIEW_NEXT_MONTH:
        if (m_nView == 0) {
            NextMonth();
            Repaint();
        }
        return TRUE;
    case ID_VIEW_PREV_YEAR:
        PrevYear();
        Repaint();
        return TRUE;
    case ID_VIEW_NEXT_YEAR:
        NextYear();
        Repaint();
        return TRUE;
    case ID_VIEW_TOGGLE_CURSOR:
        ToggleCursorMode();
        return TRUE;
    case ID_VIEW_TOGGLE_VIEW:
        ToggleView();
        return TRUE;
    case ID_SETTINGS_HOLIDAYS:
        OnHolidaySettings();
        return TRUE;
    case ID_SETTINGS_OFFICIAL_HOLIDAYS:
        OnUpdateOfficialHolidays();
        return TRUE;
    default:
        if (OnReminderCommand(id)) return TRUE;
        return CDialog::OnCommand(id);
    }
}

void CCalendarDlg::SetTodayAsShown(bool withDay) {
    const std::tm now = CurrentLocalTime();
    g_YearCalendar.year = now.tm_year;
    g_YearCalendar.month = now.tm_mon;
    if (withDay) g_nSelDay = now.tm_mday;
}

void CCalendarDlg::OnTodaySchedule() {
    SetTodayAsShown(true);
    g_YearCalendar.Build();
    // The year view comes back maximised, as it was.
    OpenScheduleDialog(m_nView == 1 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
}

void CCalendarDlg::OnMonthSchedule() {
    SetTodayAsShown(false);
    g_YearCalendar.Build();
    OpenMonthScheduleDialog(SW_SHOW);
}

void CCalendarDlg::OnPickMonthSchedule() { OpenMonthScheduleDialog(SW_SHOW); }

void CCalendarDlg::OnHolidaySettings() {
    OpenHolidayListDialog(SW_SHOW);
    g_YearCalendar.Build();
    Repaint();
}

BOOL CCalendarDlg::OnToolTipNotify(TOOLTIPTEXT* request) { return AnswerToolTipFromStringTable(request); }

void CCalendarDlg::MoveCursorBy(int dx, int dy) {
    DrawCursorFrame(m_clrBack);
    MoveCursor(dx, dy);
    DrawCursorFrame(m_clrCursor);
}

BOOL CCalendarDlg::PreTranslateMessage(MSG* msg) {
    const bool down = msg->message == WM_KEYDOWN;
    const bool up = msg->message == WM_KEYUP;
    if (down || up) {
        // The flags follow the keys the message says are held, then the steps below.
        SyncKeyFlagsWithMessage(*msg);
        const auto key = static_cast<UINT>(msg->wParam);
        if (down && key == VK_CONTROL) g_bCtrlDown = 1;
        if (down && key == 'R' && g_bCtrlDown == 1) ToggleCursorMode();
        if (down && key == 'C' && g_bCtrlDown == 1) ToggleView();
        if (up && key == VK_CONTROL) g_bCtrlDown = 0;

        if (down) {
            const bool yearView = m_nView == 1;
            switch (key) {
            case VK_RETURN:
                if (g_bShiftDown == 1) {
                    ToggleView();
                } else {
                    OpenAtCursor();
                }
                return TRUE;
            case VK_SHIFT:
                g_bShiftDown = 1;
                break;
            case VK_LEFT:
                if (g_bShiftDown == 1) {
                    yearView ? PrevYear() : PrevMonth();
                    Repaint();
                } else {
                    MoveCursorBy(-1, 0);
                }
                break;
            case VK_RIGHT:
                if (g_bShiftDown == 1) {
                    yearView ? NextYear() : NextMonth();
                    Repaint();
                } else {
                    MoveCursorBy(1, 0);
                }
                break;
            case VK_UP:
                if (g_bShiftDown == 1) {
                    NextYear();
                    Repaint();
                } else {
                    MoveCursorBy(0, -1);
                }
                break;
            case VK_DOWN:
                if (g_bShiftDown == 1) {
                    PrevYear();
                    Repaint();
                } else {
                    MoveCursorBy(0, 1);
                }
                break;
            default:
                break;
            }
        }
        if (up && key == VK_SHIFT) g_bShiftDown = 0;
    }
    return CDialog::PreTranslateMessage(msg);
}

void CCalendarDlg::OnActivate(UINT state, CWnd*, BOOL) {
    if (state != WA_INACTIVE) SyncKeyFlagsWithKeyboard();
}
