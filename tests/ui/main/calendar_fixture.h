#pragma once

#include "tests/support/window_test_support.h"
#include "ui/main/calendar_dlg.h"

#include <memory>

// Runs each test as WindowTest does, with the present moment fixed at 7 December 2026, 9:05.
class CalendarWindowTest : public WindowTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes and initialises the main window, as the host's modal run would.
    CCalendarDlg& OpenWindow();
    // Fixes the present moment.
    static void SetNow(int year, int month, int day, int hour = 9, int minute = 5) {
        SetPresentMoment(year, month, day, hour, minute);
    }

    std::unique_ptr<CCalendarDlg> m_dlg;
};
