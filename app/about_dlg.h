#pragma once

#include "app/platform/dialog.h"

// The About box: the program's icon, name and version, and OK.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);
};
