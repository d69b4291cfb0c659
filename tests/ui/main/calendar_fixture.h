#pragma once

#include "tests/support/window_test_support.h"
#include "ui/main/calendar_dlg.h"

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

// Runs each test in a fresh temporary directory with empty stores, the window layer in test
// mode (a notification area present) and the present moment fixed at 7 December 2026, 9:05.
class CalendarWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes and initialises the main window, as the host's modal run would.
    CCalendarDlg& OpenWindow();
    // Fixes the present moment.
    static void SetNow(int year, int month, int day, int hour = 9, int minute = 5);

    std::unique_ptr<ScopedTempDirectory> m_directory;
    std::unique_ptr<CCalendarDlg> m_dlg;
};
