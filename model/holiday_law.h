#pragma once

#include <string>
#include <vector>

// One national holiday or day off of a given year.
struct DatedHoliday {
    int year = 0;  // calendar year (2026, not 126)
    int month = 0;
    int day = 0;
    std::string name;  // code page 932

    bool operator==(const DatedHoliday&) const = default;
};

// The first and last calendar years that the equinox approximation below is made for.
inline constexpr int kFirstLawYear = 1980;
inline constexpr int kLastLawYear = 2099;

// Returns the day of March of the spring equinox holiday that the usual astronomical approximation
// gives for a calendar year in kFirstLawYear..kLastLawYear.
int PredictedSpringEquinoxDay(int year);
// Returns the day of September of the autumn equinox holiday, as PredictedSpringEquinoxDay does.
int PredictedAutumnEquinoxDay(int year);

// Returns the holidays and days off that the National Holidays Act as it stands now gives a
// calendar year in kFirstLawYear..kLastLawYear, in date order: the sixteen holidays, a substitute
// day ("休日") after each one on a Sunday, and "休日" for each other day between two holidays.
// Returns nothing for any other year.
std::vector<DatedHoliday> LawHolidays(int year);
