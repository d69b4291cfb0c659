#pragma once

#include "platform/dialog.h"

// The hidden host: never shown; its initialisation runs the main window for the program's life.
class CHostDlg : public CDialog {
public:
    explicit CHostDlg(CWnd* parent = nullptr);
    // Runs the main window modally, then posts the quit; returns TRUE.
    BOOL OnInitDialog() override;
};
