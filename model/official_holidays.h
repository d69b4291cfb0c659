#pragma once

#include "model/holiday_law.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The official list of national holidays and days off: a code page 932 CSV with CR LF line ends,
// a header line, then one "YYYY/M/D,name" line per day, from 1955 on.

// The largest list taken in; the real one is about 22 KB and grows by about 300 bytes a year.
inline constexpr std::size_t kMaxOfficialListBytes = std::size_t{1024} * 1024;
// The first year of the list, and the year that its last year must reach at least: the years after
// it are taken from the current law, which has held without a special measure since 2022.
inline constexpr int kFirstOfficialYear = 1955;
inline constexpr int kLeastLastOfficialYear = 2021;

enum class OfficialListFault {
    None,
    Empty,       // nothing but blank lines
    TooLarge,    // more than kMaxOfficialListBytes
    Header,      // the first line is not the list's header
    Encoding,    // a line is not code page 932 text
    Syntax,      // a line is not "YYYY/M/D,name"
    NoSuchDate,  // a date that the calendar does not have
    Order,       // a date not after the one on the line before
    Years,       // the list does not start in 1955, skips a year, ends too early or after 2099
};

struct OfficialList {
    std::vector<DatedHoliday> days;  // in date order
    int firstYear = 0;
    int lastYear = 0;
};

struct OfficialListParse {
    bool ok = false;
    OfficialList list;
    OfficialListFault fault = OfficialListFault::None;
    int line = 0;       // the line at fault, from 1; 0 when no one line is
    std::string error;  // one English line naming the line at fault
};

// Returns the days of the official list in `csvCp932`, or the first fault found in it.
OfficialListParse ParseOfficialList(std::string_view csvCp932);
