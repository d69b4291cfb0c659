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
    PostQuitMessage(0);
    return TRUE;
}
