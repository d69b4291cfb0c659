#include "model/holiday_law.h"

#include "model/calendar_math.h"

#include <array>

namespace {

constexpr int kSunday = 0;
constexpr int kMonday = 1;

// Names in code page 932; each escape run ends its literal, so that no hex digit after it joins it.
constexpr const char* kSubstituteName = "\x8b\x78\x93\xfa";  // 休日

struct FixedHoliday {
    int month;
    int day;
    const char* name;
};

constexpr std::array<FixedHoliday, 10> kFixed = {{
    {1, 1, "\x8c\xb3\x93\xfa"},                                    // 元日
    {2, 11, "\x8c\x9a\x8d\x91\x8b\x4c\x94\x4f\x82\xcc\x93\xfa"},   // 建国記念の日
    {2, 23, "\x93\x56\x8d\x63\x92\x61\x90\xb6\x93\xfa"},           // 天皇誕生日
    {4, 29, "\x8f\xba\x98\x61\x82\xcc\x93\xfa"},                   // 昭和の日
    {5, 3, "\x8c\x9b\x96\x40\x8b\x4c\x94\x4f\x93\xfa"},            // 憲法記念日
    {5, 4, "\x82\xdd\x82\xc7\x82\xe8\x82\xcc\x93\xfa"},            // みどりの日
    {5, 5, "\x82\xb1\x82\xc7\x82\xe0\x82\xcc\x93\xfa"},            // こどもの日
    {8, 11, "\x8e\x52\x82\xcc\x93\xfa"},                           // 山の日
    {11, 3, "\x95\xb6\x89\xbb\x82\xcc\x93\xfa"},                   // 文化の日
    {11, 23, "\x8b\xce\x98\x4a\x8a\xb4\x8e\xd3\x82\xcc\x93\xfa"},  // 勤労感謝の日
}};

struct MondayHoliday {
    int month;
    int nth;
    const char* name;
};

constexpr std::array<MondayHoliday, 4> kMondays = {{
    {1, 2, "\x90\xac\x90\x6c\x82\xcc\x93\xfa"},                   // 成人の日
    {7, 3, "\x8a\x43\x82\xcc\x93\xfa"},                           // 海の日
    {9, 3, "\x8c\x68\x98\x56\x82\xcc\x93\xfa"},                   // 敬老の日
    {10, 2, "\x83\x58\x83\x7c\x81\x5b\x83\x63\x82\xcc\x93\xfa"},  // スポーツの日
}};

constexpr const char* kSpringName = "\x8f\x74\x95\xaa\x82\xcc\x93\xfa";  // 春分の日
constexpr const char* kAutumnName = "\x8f\x48\x95\xaa\x82\xcc\x93\xfa";  // 秋分の日

// floor(base + 0.242194 * (year - 1980)) - floor((year - 1980) / 4), in millionths so that no
// rounding of a binary fraction moves a day; `baseMillionths` is 20843100 or 23248800.
int EquinoxDay(int year, long long baseMillionths) {
    const long long years = year - 1980;
    const long long whole = (baseMillionths + 242194LL * years) / 1000000LL;
    return static_cast<int>(whole - years / 4);
}

int NthMonday(int year, int month, int nth) {
    const int firstWeekday = WeekdayOf(year, month - 1, 1);
    const int firstMonday = 1 + (kMonday - firstWeekday + 7) % 7;
    return firstMonday + (nth - 1) * 7;
}

}  // namespace

int PredictedSpringEquinoxDay(int year) { return EquinoxDay(year, 20843100LL); }

int PredictedAutumnEquinoxDay(int year) { return EquinoxDay(year, 23248800LL); }

std::vector<DatedHoliday> LawHolidays(int year) {
    if (year < kFirstLawYear || year > kLastLawYear) return {};
    // The year's days by day of the year; names of the holidays proper first.
    std::array<std::array<const char*, 32>, 13> names{};
    for (const FixedHoliday& holiday : kFixed) names[holiday.month][holiday.day] = holiday.name;
    for (const MondayHoliday& holiday : kMondays)
        names[holiday.month][NthMonday(year, holiday.month, holiday.nth)] = holiday.name;
    names[3][PredictedSpringEquinoxDay(year)] = kSpringName;
    names[9][PredictedAutumnEquinoxDay(year)] = kAutumnName;

    struct Day {
        int month;
        int day;
    };
    std::vector<Day> days;
    for (int month = 1; month <= 12; ++month) {
        for (int day = 1; day <= DaysInMonth(year, month - 1); ++day) days.push_back({month, day});
    }
    std::vector<bool> holiday(days.size());
    for (std::size_t i = 0; i < days.size(); ++i) holiday[i] = names[days[i].month][days[i].day] != nullptr;

    std::vector<const char*> dayOff(days.size(), nullptr);
    for (std::size_t i = 0; i < days.size(); ++i) {
        // A holiday on a Sunday: the nearest following day that is no holiday is a day off.
        if (holiday[i] && WeekdayOf(year, days[i].month - 1, days[i].day) == kSunday) {
            std::size_t next = i + 1;
            while (next < days.size() && holiday[next]) ++next;
            if (next < days.size()) dayOff[next] = kSubstituteName;
        }
        // A day between two holidays is a day off.
        if (!holiday[i] && i > 0 && i + 1 < days.size() && holiday[i - 1] && holiday[i + 1])
            dayOff[i] = kSubstituteName;
    }

    std::vector<DatedHoliday> result;
    for (std::size_t i = 0; i < days.size(); ++i) {
        const char* name = holiday[i] ? names[days[i].month][days[i].day] : dayOff[i];
        if (name != nullptr) result.push_back({year, days[i].month, days[i].day, name});
    }
    return result;
}
