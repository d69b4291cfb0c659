#include "ui/holiday/holiday_list_dlg.h"
#include "ui/main/calendar_dlg.h"

void CCalendarDlg::OpenHolidayListDialog(int showCode) {
    ShowWindow(SW_HIDE);
    CHolidayListDlg dialog;
    dialog.DoModal();
    ShowWindow(showCode);
}
