#pragma once

#include <string>

// At its first start in a data folder, the calendar fills the empty fixed-date and rule-based
// holiday files with the built-in holidays and saves them. A command that only reads the folder
// must show the holidays the calendar shows without writing that save.
namespace cal {

// While it lives, the holiday pass (CYearCalendar::Build) sees the holidays the calendar shows for
// the data folder that is the current directory. When the folder's fixed-date holiday file is
// missing or empty, that is the built-in records, as the calendar's first start saves them, read
// from a private temporary folder (the current directory meanwhile) that also links to the data
// folder's rule-based and one-year holiday files; the data folder is never written. Read the
// memo store before making one.
class HolidayStandIn {
public:
    HolidayStandIn();
    ~HolidayStandIn();
    HolidayStandIn(const HolidayStandIn&) = delete;
    HolidayStandIn& operator=(const HolidayStandIn&) = delete;

private:
    void Fill(bool keepDynamic);
    void Leave();

    std::string m_dataFolder;  // the data folder, when a stand-in is active
    std::string m_scratch;     // the private folder, or "" when the folder's own files are read
};

}  // namespace cal
