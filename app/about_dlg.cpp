#include "app/about_dlg.h"

#include "app/resources/resource_ids.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
