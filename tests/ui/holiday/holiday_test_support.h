#pragma once

#include "tests/support/window_test_support.h"

#include <string>
#include <vector>

// Runs each test as WindowTest does, with the shown year 2026.
class HolidayDialogTest : public WindowTest {
protected:
    void SetUp() override;
};

// Returns the three holiday files' bytes: fixed-date, rule-based, then the one-year file of 2026.
std::vector<std::string> HolidayFiles();
