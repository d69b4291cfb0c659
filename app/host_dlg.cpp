#include "app/host_dlg.h"

#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"

CHostDlg::CHostDlg(CWnd* parent) : CDialog(IDD_HOST, parent) {}

BOOL CHostDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    {
        CCalendarDlg calendar;
        calendar.DoModal();
    }
    // The main window's end may have posted its own status (1: a store was not saved in its file).
    if (!IsQuitPosted()) PostQuitMessage(0);
    return TRUE;
}
