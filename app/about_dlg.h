#pragma once

#include "platform/dialog.h"

// The About box: the program's icon, name and version, and OK.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);
};

// Runs the About box modally; the shell makes it the main window's About item.
void ShowAboutBox();
