#include "app/calendar_app.h"

#include "app/host_dlg.h"
#include "app/resources/resource_ids.h"
#include "app/single_instance.h"

#include <QDir>

CCalendarApp theApp;

BOOL CCalendarApp::InitInstance() {
    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    // A second start in the same directory shows the running copy's window and ends at once.
    CSingleInstance single(QDir::currentPath(), ShowMainWindowAsTrayClick);
    if (single.Start() == CSingleInstance::Role::Second) return FALSE;
    CHostDlg host;
    m_pMainWnd = &host;
    host.Create(IDD_HOST, nullptr);
    host.RunModalLoop(MLF_NOKICKIDLE);
    m_pMainWnd = nullptr;
    return FALSE;
}
