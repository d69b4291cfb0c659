#pragma once

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

    std::unique_ptr<CCalendarDlg> m_dlg;

private:
    std::string m_oldDirectory;
    std::string m_directory;
};

// Returns the raw bytes of a file in the current directory, or "<missing>".
std::string FileBytes(const std::string& name);
// Replaces a file in the current directory with raw bytes.
void PutFileBytes(const std::string& name, const std::string& bytes);
