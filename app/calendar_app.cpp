#include "app/calendar_app.h"

#include "app/host_dlg.h"
#include "app/resources/resource_ids.h"

CCalendarApp theApp;

BOOL CCalendarApp::InitInstance() {
    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    CHostDlg host;
    m_pMainWnd = &host;
    host.Create(IDD_HOST, nullptr);
    host.RunModalLoop(MLF_NOKICKIDLE);
    m_pMainWnd = nullptr;
    return FALSE;
}
