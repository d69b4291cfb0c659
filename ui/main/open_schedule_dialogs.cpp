#include "ui/main/calendar_dlg.h"

// The day schedule dialog and the month schedule list are not part of the program yet: the
// commands that open them do only their other steps.
void CCalendarDlg::OpenScheduleDialog(int) {}

void CCalendarDlg::OpenMonthScheduleDialog(int) {}
