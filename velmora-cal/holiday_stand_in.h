#pragma once

// At its first start in a data folder, the calendar fills the empty holiday files with the
// installed official list and the law (else with the built-in holidays) and saves them. A command
// that only reads the folder must show the holidays the calendar shows without writing that save.
namespace cal {

// While it lives, the holiday pass (CYearCalendar::Build) sees the holidays the calendar shows for
// the data folder that is the current directory: when its fixed-date holiday file is missing, empty
// or unreadable, what the calendar's first start would write there stands in for the files in
// memory (the installed official list and the law where that start would write them, else the
// built-in records, and the built-in rules when the rule-based file is empty too); nothing is
// written. Read the memo store before making one.
class HolidayStandIn {
public:
    HolidayStandIn();
    ~HolidayStandIn();
    HolidayStandIn(const HolidayStandIn&) = delete;
    HolidayStandIn& operator=(const HolidayStandIn&) = delete;
};

}  // namespace cal
