#include "ui/main/calendar_dlg.h"
#include "ui/main/calendar_reminders.h"
#include "ui/schedule/month_schedule_dlg.h"
#include "ui/schedule/schedule_dlg.h"

void CCalendarDlg::OpenScheduleDialog(int showCode) {
    ShowWindow(SW_HIDE);
    CScheduleDlg dialog;
    dialog.DoModal();
    m_reminders->StoreChanged();
    ShowWindow(showCode);
}

void CCalendarDlg::OpenMonthScheduleDialog(int showCode) {
    ShowWindow(SW_HIDE);
    CMonthScheduleDlg dialog;
    dialog.DoModal();
    m_reminders->StoreChanged();
    ShowWindow(showCode);
}
