#pragma once

#include "tests/support/window_test_support.h"

// Runs each test as WindowTest does, with the present moment fixed at 7 December 2026, 9:05 and
// the calendar showing December 2026 with day 7 selected.
class ScheduleTest : public WindowTest {
protected:
    void SetUp() override;

    // Shows `month` 0..11 of `year` (years since 1900) with `day` selected.
    static void ShowDate(int year, int month, int day);
};
