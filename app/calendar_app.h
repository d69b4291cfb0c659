#pragma once

#include "platform/dialog.h"

// The application: runs the main window inside the hidden host for the program's life.
class CCalendarApp : public CWinApp {
public:
    // Starts the program and runs it to its end; always returns FALSE.
    BOOL InitInstance() override;
};

extern CCalendarApp theApp;
