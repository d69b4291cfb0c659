#include "app/about_dlg.h"

#include "ui/resource_ids.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

void ShowAboutBox() {
    CAboutDlg about;
    about.DoModal();
}
