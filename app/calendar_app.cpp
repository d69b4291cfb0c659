#include "app/calendar_app.h"

#include "app/about_dlg.h"
#include "app/host_dlg.h"
#include "app/single_instance.h"
#include "ui/globals.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"

#include <QDir>

CCalendarApp theApp;

BOOL CCalendarApp::InitInstance() {
    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    // A second start in the same directory shows the running copy's window and ends at once.
    CSingleInstance single(QDir::currentPath(), CCalendarDlg::ShowRunningAsTrayClick);
    if (single.Start() == CSingleInstance::Role::Second) return FALSE;
    g_pfnShowAboutBox = ShowAboutBox;
    CHostDlg host;
    m_pMainWnd = &host;
    host.Create(IDD_HOST, nullptr);
    host.RunModalLoop(MLF_NOKICKIDLE);
    m_pMainWnd = nullptr;
    return FALSE;
}
