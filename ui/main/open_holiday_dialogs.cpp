#include "ui/main/calendar_dlg.h"

// The holiday list is not part of the program yet: its command does only its other steps.
void CCalendarDlg::OpenHolidayListDialog(int) {}
