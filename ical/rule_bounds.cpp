#include "ical/rule_bounds.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace ics {
namespace {

constexpr short kEnd = ICAL_RECURRENCE_ARRAY_MAX;

// Returns the values of one of a rule's BY lists.
template <std::size_t N>
std::vector<int> Values(const short (&list)[N]) {
    std::vector<int> values;
    for (std::size_t i = 0; i < N && list[i] != kEnd; ++i) values.push_back(list[i]);
    return values;
}

template <std::size_t N>
void Clear(short (&list)[N]) {
    list[0] = kEnd;
}

// Returns true when the list is empty or one of its values, taken as a count from either end, lies
// within 1..most.
bool AnyWithin(const std::vector<int>& values, int most) {
    return values.empty() ||
           std::any_of(values.begin(), values.end(), [most](int v) { return v != 0 && std::abs(v) <= most; });
}

bool ChoosesDays(const icalrecurrencetype& rule) {
    return rule.by_month[0] != kEnd || rule.by_month_day[0] != kEnd || rule.by_year_day[0] != kEnd ||
           rule.by_week_no[0] != kEnd || rule.by_day[0] != kEnd;
}

// A rule of every second, or of every few seconds without BYSECOND, has an occurrence in every
// minute: read as a rule of every minute, it gives a memo the same lines.
bool SecondsAsMinutes(const icalrecurrencetype& rule) {
    return rule.freq == ICAL_SECONDLY_RECURRENCE && rule.count == 0 &&
           (rule.interval <= 1 || (rule.interval <= 60 && rule.by_second[0] == kEnd));
}

}  // namespace

const char* RuleRefusal(const icalrecurrencetype& rule) {
    const std::vector<int> months = Values(rule.by_month);
    const std::vector<int> hours = Values(rule.by_hour);
    // The longest month the rule allows bounds its month days.
    int longest = months.empty() ? 31 : 0;
    for (const int m : months)
        if (m >= 1 && m <= 12)
            longest = std::max(longest, m == 2 ? 29 : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31);
    if (longest == 0 || !AnyWithin(Values(rule.by_month_day), longest) || !AnyWithin(Values(rule.by_year_day), 366) ||
        !AnyWithin(Values(rule.by_week_no), 53) ||
        (!hours.empty() && std::none_of(hours.begin(), hours.end(), [](int h) { return h >= 0 && h <= 23; })))
        return "a rule no date satisfies";
    // Between two occurrences libical walks every candidate second or minute: such a rule is taken
    // only in the forms whose walk is short (a day's minutes at most).
    const bool choosesTimes = rule.by_hour[0] != kEnd || rule.by_minute[0] != kEnd || ChoosesDays(rule);
    if (rule.freq == ICAL_SECONDLY_RECURRENCE && !SecondsAsMinutes(rule) && choosesTimes)
        return "a rule of seconds with a COUNT or an INTERVAL, on chosen minutes, hours or days";
    if (rule.freq == ICAL_MINUTELY_RECURRENCE && ChoosesDays(rule) && !WalkedByDay(rule))
        return "a rule of minutes on chosen days, with a COUNT or an INTERVAL";
    return "";
}

bool WalkedByDay(const icalrecurrencetype& rule) {
    const bool minutes =
        SecondsAsMinutes(rule) || (rule.freq == ICAL_MINUTELY_RECURRENCE && rule.interval <= 1 && rule.count == 0);
    return minutes && ChoosesDays(rule);
}

icalrecurrencetype RuleForReading(icalrecurrencetype rule, const icaltimetype& end) {
    if (icaltime_is_null_time(rule.until) || icaltime_compare(rule.until, end) > 0) rule.until = end;
    // libical walks a rule of seconds with no look at UNTIL.
    if (SecondsAsMinutes(rule)) {
        rule.freq = ICAL_MINUTELY_RECURRENCE;
        rule.interval = 1;
        Clear(rule.by_second);
    }
    return rule;
}

icalrecurrencetype DaysOf(const icalrecurrencetype& rule, const icaltimetype& end) {
    icalrecurrencetype days = rule;
    days.freq = ICAL_DAILY_RECURRENCE;
    days.interval = 1;
    days.count = 0;
    days.until = end;
    Clear(days.by_second);
    Clear(days.by_minute);
    Clear(days.by_hour);
    Clear(days.by_set_pos);
    return days;
}

icalrecurrencetype TimesOfDay(const icalrecurrencetype& rule, const icaltimetype& end) {
    icalrecurrencetype times = RuleForReading(rule, end);
    times.until = end;
    Clear(times.by_month);
    Clear(times.by_month_day);
    Clear(times.by_year_day);
    Clear(times.by_week_no);
    Clear(times.by_day);
    return times;
}

int DropRestlessZoneRules(icalcomponent* zone) {
    int dropped = 0;
    for (icalcomponent* observance = icalcomponent_get_first_component(zone, ICAL_ANY_COMPONENT); observance != nullptr;
         observance = icalcomponent_get_next_component(zone, ICAL_ANY_COMPONENT)) {
        std::vector<icalproperty*> restless;
        for (icalproperty* p = icalcomponent_get_first_property(observance, ICAL_RRULE_PROPERTY); p != nullptr;
             p = icalcomponent_get_next_property(observance, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = icalproperty_get_rrule(p);
            // Once a year: one month, one weekday (or the week's days after a month day), no time lists.
            const bool yearly = rule.freq == ICAL_YEARLY_RECURRENCE && Values(rule.by_month).size() <= 1 &&
                                Values(rule.by_day).size() <= 1 && Values(rule.by_month_day).size() <= 7 &&
                                Values(rule.by_year_day).size() <= 1 && Values(rule.by_week_no).size() <= 1 &&
                                Values(rule.by_hour).size() <= 1 && Values(rule.by_minute).size() <= 1 &&
                                Values(rule.by_second).size() <= 1;
            if (!yearly) restless.push_back(p);
        }
        for (icalproperty* p : restless) {
            icalcomponent_remove_property(observance, p);
            icalproperty_free(p);
            ++dropped;
        }
    }
    return dropped;
}

}  // namespace ics
