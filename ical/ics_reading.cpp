#include "ical/ics_reading.h"

#include "ical/html_text.h"
#include "ical/ics_text.h"
#include "ical/windows_zone.h"

#include "ical/ics_input.h"
#include "ical/rule_bounds.h"
#include "model/calendar_math.h"

#include <libical/ical.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>

namespace ics {
namespace {

// How many repetitions of one rule an import walks through before it gives up on the rest.
constexpr int kMaxRuleSteps = 200000;
// The last year whose repetitions libical's rule walk reaches; the memos go on to 9999.
constexpr int kLastRuleYear = 2582;

// Frees a libical component tree when it goes out of scope.
struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Returns the text with CR LF and lone CR made LF.
std::string LineFeedBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += '\n';
        } else {
            out += text[i];
        }
    }
    return out;
}

// Returns the text with LF breaks and line breaks and spaces at both ends dropped.
std::string Tidy(std::string_view text) {
    const std::string out = LineFeedBreaks(text);
    const std::size_t first = out.find_first_not_of(" \t\n");
    if (first == std::string::npos) return "";
    return out.substr(first, out.find_last_not_of(" \t\n") - first + 1);
}

// The text a memo gets for an event: its summary, and a description that says more than the summary
// on the lines after it; a description that begins with the summary's line is the whole memo already.
// A memo Velmora exported comes back as it was, its description being the whole memo.
std::string EventText(icalcomponent* event, bool wholeMemo) {
    const char* summaryValue = icalcomponent_get_summary(event);
    const char* descriptionValue = icalcomponent_get_description(event);
    if (wholeMemo) {
        std::string memo = WithBlankEnds(LineFeedBreaks(descriptionValue != nullptr ? descriptionValue : ""),
                                         XPropertyValue(event, kBlankEndsProperty));
        if (!memo.empty()) return memo;
    }
    const std::string summary = Tidy(summaryValue != nullptr ? summaryValue : "");
    const std::string_view given = descriptionValue != nullptr ? descriptionValue : "";
    // Web calendars write their descriptions as HTML; a memo holds their text.
    const std::string description = Tidy(LooksLikeHtml(given) ? PlainTextOfHtml(given) : std::string(given));
    if (description.empty() || description == summary) return summary;
    if (summary.empty() || description.starts_with(summary + "\n")) return description;
    return summary + "\n" + description;
}

// Returns the date of an iCalendar time as YYYYMMDD.
std::string DateText(const icaltimetype& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", time.year, time.month, time.day);
    return text;
}

// Returns the zone of the system's zone data (libical's built-in zones are the system's) that a TZID
// stands for: the zone of that name, of the name at the end of a vendor's prefixed name (as
// "/mozilla.org/20070129_1/America/New_York"), or of a Windows name; nullptr for none.
icaltimezone* SystemZone(const std::string& tzid) {
    for (std::string_view name = tzid; !name.empty();) {
        if (icaltimezone* zone = icaltimezone_get_builtin_timezone(std::string(name).c_str())) return zone;
        const std::size_t slash = name.find('/');
        if (slash == std::string_view::npos) break;
        name.remove_prefix(slash + 1);
    }
    const std::string windowsZone = ZoneOfWindowsName(tzid);
    return windowsZone.empty() ? nullptr : icaltimezone_get_builtin_timezone(windowsZone.c_str());
}

struct LocalMoment {
    int year = 0;
    int monthIndex = 0;
    int day = 0;
    bool timed = false;
    int hour = 0;
    int minute = 0;
};

// Returns the local date (and time of day) of an iCalendar time: a date as it is, a time with a zone
// (UTC included) moved to the local zone, a floating time as it is written.
std::optional<LocalMoment> ToLocal(const icaltimetype& time) {
    LocalMoment moment;
    if (time.is_date || time.zone == nullptr) {
        moment.year = time.year;
        moment.monthIndex = time.month - 1;
        moment.day = time.day;
        moment.timed = !time.is_date;
        moment.hour = time.hour;
        moment.minute = time.minute;
    } else {
        const std::time_t instant = icaltime_as_timet_with_zone(time, time.zone);
        std::tm local{};
        if (::localtime_r(&instant, &local) == nullptr) return std::nullopt;
        moment.year = local.tm_year + 1900;
        moment.monthIndex = local.tm_mon;
        moment.day = local.tm_mday;
        moment.timed = true;
        moment.hour = local.tm_hour;
        moment.minute = local.tm_min;
    }
    if (moment.year < 1 || moment.monthIndex < 0 || moment.monthIndex > 11 || moment.day < 1 ||
        moment.day > DaysInMonth(moment.year, moment.monthIndex))
        return std::nullopt;
    return moment;
}

// Returns the number of the date's day counted from a fixed day, for the days between two dates
// (libical's own count goes through time_t, which it refuses before 1902 and after 2037 on some systems).
long long DayNumber(const icaltimetype& date) {
    // Days from 1 March of year 0 in the proleptic Gregorian calendar.
    const long long year = date.month <= 2 ? date.year - 1 : date.year;
    const long long era = year / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
}

// Returns true when two times of one event stand for the same occurrence.
bool SameOccurrence(const icaltimetype& a, const icaltimetype& b) {
    if (a.is_date || b.is_date) return icaltime_compare_date_only(a, b) == 0;
    return icaltime_compare(a, b) == 0;
}

// The mark in front of an event's first line on the days after its first.
constexpr std::string_view kContinued = "（続き）";
// The most days after its first that one occurrence of an event shows on.
constexpr int kMaxSpanDays = 1000;

// The properties that say on which days an event falls: one of them unread changes them.
constexpr std::array<std::string_view, 8> kDateProperties{"DTSTART", "DTEND",  "DURATION", "RRULE",
                                                          "RDATE",   "EXDATE", "EXRULE",   "RECURRENCE-ID"};

// Returns the date property that libical's error text names (its words carry the name as one
// word: "... in RDATE property", "for property DTEND"), or "" for any other property.
std::string_view DatePropertyNamed(std::string_view error) {
    const auto isNameChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-'; };
    for (const std::string_view name : kDateProperties) {
        for (std::size_t at = error.find(name); at != std::string_view::npos; at = error.find(name, at + 1)) {
            const std::size_t end = at + name.size();
            if ((at == 0 || !isNameChar(error[at - 1])) && (end == error.size() || !isNameChar(error[end])))
                return name;
        }
    }
    return "";
}

// Returns the errors libical noted on the event itself: each is a property it left out.
std::vector<std::string> EventErrors(icalcomponent* event) {
    std::vector<std::string> errors;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY); p != nullptr;
         p = icalcomponent_get_next_property(event, ICAL_XLICERROR_PROPERTY)) {
        const char* text = icalproperty_get_xlicerror(p);
        errors.emplace_back(text != nullptr && *text != '\0' ? text : "unreadable property");
    }
    return errors;
}

bool IsHoliday(icalcomponent* event) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p != nullptr;
         p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        const char* value = icalproperty_get_categories(p);
        if (value == nullptr) continue;
        std::string_view rest = value;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            if (rest.substr(0, comma) == "祝日") return true;
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return false;
}

class EventReader {
    // The days and times an event has been taken on: the same occurrence twice is taken once.
    using Taken = std::set<std::tuple<int, int, int, int, int, bool>>;

public:
    EventReader(const ImportWindow& window, IcsReading& reading)
        : m_window(window),
          m_reading(reading),
          m_deadline(std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                            std::chrono::duration<double>(window.budget.seconds))) {}

    // Returns true once the reading has spent its budget.
    bool Exhausted() const { return m_exhausted; }

    // Notes the instances that events with a RECURRENCE-ID move or cancel, so that the expansion of
    // their rule leaves them out.
    void NoteOverride(icalcomponent* event) {
        icalproperty* property = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
        const char* uid = icalcomponent_get_uid(event);
        if (property == nullptr || uid == nullptr) return;
        // Its zone is read as its series' start is: the two must meet.
        const icaltimetype id = PropertyTime(property, event, nullptr);
        if (!icaltime_is_null_time(id)) m_overridden[uid].push_back(id);
    }

    // Reads one event; `where` names it in a report.
    void Read(icalcomponent* event, const SkippedEvent& where) {
        if (!Spend(0)) return;
        // A property libical could not read is left out; the event is lost only when what a memo
        // needs of it, its start and a text, is missing.
        const std::vector<std::string> errors = EventErrors(event);
        icalproperty* startProperty = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        // libical's own check of a time refuses the years after 3000, which the memos hold: the
        // date is checked where it is taken, against the calendar of years 1 to 9999.
        const icaltimetype start =
            startProperty != nullptr ? PropertyTime(startProperty, event, &where) : icaltime_null_time();
        if (icaltime_is_null_time(start)) {
            const auto named = std::find_if(errors.begin(), errors.end(), [](const std::string& error) {
                return DatePropertyNamed(error) == "DTSTART";
            });
            Skip(where, SkipReason::NoStart, named != errors.end() ? *named : std::string());
            return;
        }
        if (IsHoliday(event)) {
            ++m_reading.holidays;
            return;
        }
        if (icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) {
            ++m_reading.cancelled;
            return;
        }
        const char* uid = icalcomponent_get_uid(event);
        const bool wholeMemo = start.is_date != 0 && uid != nullptr && IsMemoUid(uid, DateText(start));
        const std::string text = EventText(event, wholeMemo);
        if (text.empty()) {
            Skip(where, SkipReason::NoText);
            return;
        }
        m_reading.ignoredProperties += static_cast<int>(errors.size());
        for (const std::string& error : errors) {
            const std::string_view name = DatePropertyNamed(error);
            if (name.empty()) continue;
            IgnoredProperty ignored;
            ignored.line = where.line;
            ignored.number = where.number;
            ignored.property = name;
            ignored.detail = error;
            m_reading.ignoredDates.push_back(std::move(ignored));
        }

        std::vector<icaltimetype> times;
        const bool recurring = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
                               icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr;
        // An instance moved by RECURRENCE-ID is an event of its own, not a rule.
        if (!recurring || !icaltime_is_null_time(icalcomponent_get_recurrenceid(event)))
            times.push_back(start);
        else
            Expand(event, start, where, times);
        if (m_exhausted) return;

        Taken taken;
        // An event longer than its first day shows on each day it touches: DTEND is exclusive, so
        // an all-day event ends the day before it and a timed one the second before it.
        const icaldurationtype length = Length(event, start, where);
        const bool spans = !icaldurationtype_is_bad_duration(length) && icaldurationtype_as_int(length) > 0;
        const std::string continued = std::string(kContinued) + text.substr(0, text.find('\n'));
        for (const icaltimetype& time : times) {
            const std::optional<LocalMoment> moment = ToLocal(time);
            if (!moment) {
                Skip(where, SkipReason::NoSuchDate);
                continue;
            }
            if ((recurring || m_window.boundsSingleEvents) &&
                (moment->year < m_window.fromYear || moment->year > m_window.toYear))
                continue;
            if (!taken
                     .insert(
                         {moment->year, moment->monthIndex, moment->day, moment->hour, moment->minute, moment->timed})
                     .second)
                continue;
            IcsEvent out = Source(event, where);
            out.wholeMemo = wholeMemo;
            out.bareLineFeeds = wholeMemo && XPropertyValue(event, kBareLineFeedsProperty) == "LF";
            out.year = moment->year;
            out.monthIndex = moment->monthIndex;
            out.day = moment->day;
            if (moment->timed) {
                char clock[16];
                std::snprintf(clock, sizeof clock, "%02d:%02d ", moment->hour, moment->minute);
                out.text = clock;
                out.minuteOfDay = moment->hour * 60 + moment->minute;
            }
            out.text += text;
            m_reading.events.push_back(std::move(out));
            if (!spans) continue;
            icaltimetype last = icaltime_add(time, length);
            if (time.is_date)
                icaltime_adjust(&last, -1, 0, 0, 0);
            else
                icaltime_adjust(&last, 0, 0, 0, -1);
            if (const std::optional<LocalMoment> end = ToLocal(last))
                AddFollowingDays(Source(event, where), *moment, *end, continued, recurring, taken);
        }
    }

private:
    // Returns a property's time with the zone its TZID names: the system's zone of that name (also
    // behind a vendor's prefix or as a Windows name), whose data outlive the file's copy of them
    // (stale or cut definitions in old exports put events an hour off, first in the later years of a
    // series), else the file's VTIMEZONE of that name. A TZID nothing resolves leaves the time
    // floating. `where`, when given, names the event in the notes of both.
    icaltimetype PropertyTime(icalproperty* property, icalcomponent* event, const SkippedEvent* where) {
        icaltimetype time = icalproperty_get_datetime_with_component(property, event);
        icalparameter* parameter = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
        const char* tzidValue = parameter != nullptr ? icalparameter_get_tzid(parameter) : nullptr;
        if (tzidValue == nullptr || time.is_date != 0 || icaltime_is_utc(time) != 0 || icaltime_is_null_time(time))
            return time;
        const std::string tzid = tzidValue;
        auto known = m_systemZones.find(tzid);
        if (known == m_systemZones.end()) known = m_systemZones.emplace(tzid, SystemZone(tzid)).first;
        icaltimezone* system = known->second;
        if (system == nullptr) {
            if (time.zone == nullptr && where != nullptr) NoteUnknownZone(*where, tzid);
            return time;
        }
        if (time.zone != nullptr && time.zone != system && where != nullptr &&
            icaltime_as_timet_with_zone(time, time.zone) != icaltime_as_timet_with_zone(time, system))
            NotePreferredZone(tzid);
        time.zone = system;
        return time;
    }

    void NoteUnknownZone(const SkippedEvent& where, const std::string& tzid) {
        for (auto it = m_reading.unknownZones.rbegin();
             it != m_reading.unknownZones.rend() && it->number == where.number; ++it)
            if (it->zone == tzid) return;
        m_reading.unknownZones.push_back({where.line, where.number, tzid});
    }

    void NotePreferredZone(const std::string& tzid) {
        const auto it = std::find_if(m_reading.systemZones.begin(), m_reading.systemZones.end(),
                                     [&](const PreferredSystemZone& zone) { return zone.zone == tzid; });
        if (it != m_reading.systemZones.end())
            ++it->times;
        else
            m_reading.systemZones.push_back({tzid, 1});
    }

    // Returns how long the event lasts: from its start to its DTEND, each in its own zone, else
    // its DURATION.
    icaldurationtype Length(icalcomponent* event, const icaltimetype& start, const SkippedEvent& where) {
        if (icalproperty* endProperty = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
            const icaltimetype end = PropertyTime(endProperty, event, &where);
            if (!icaltime_is_null_time(end)) {
                if (start.is_date != 0 && end.is_date != 0) {
                    const long long days = std::clamp(DayNumber(end) - DayNumber(start), 0LL, kMaxSpanDays + 1LL);
                    return icaldurationtype_from_int(static_cast<int>(days) * 86400);
                }
                return icaltime_subtract(end, start);
            }
        }
        return icalcomponent_get_duration(event);
    }

    // Adds the continuation text on each day after `first` up to and including `last`, as far as
    // the window (for a bounded reading) and kMaxSpanDays go.
    void AddFollowingDays(const IcsEvent& source, const LocalMoment& first, const LocalMoment& last,
                          const std::string& continued, bool recurring, Taken& taken) {
        const auto key = [](const LocalMoment& m) { return std::tuple{m.year, m.monthIndex, m.day}; };
        LocalMoment day = first;
        for (int count = 0; count < kMaxSpanDays; ++count) {
            if (++day.day > DaysInMonth(day.year, day.monthIndex)) {
                day.day = 1;
                if (++day.monthIndex > 11) {
                    day.monthIndex = 0;
                    ++day.year;
                }
            }
            if (key(day) > key(last)) return;
            if ((recurring || m_window.boundsSingleEvents) &&
                (day.year < m_window.fromYear || day.year > m_window.toYear))
                continue;
            if (!taken.insert({day.year, day.monthIndex, day.day, -1, -1, false}).second) continue;
            IcsEvent out = source;
            out.year = day.year;
            out.monthIndex = day.monthIndex;
            out.day = day.day;
            out.text = continued;
            m_reading.events.push_back(std::move(out));
        }
    }

    // Notes a rule whose repetitions run past the years libical follows (and when `beyond` is false,
    // one libical refused for another reason): the event keeps its start and the repetitions read.
    void NoteRuleBeyondItsYears(const SkippedEvent& where, bool beyond) {
        IgnoredProperty ignored;
        ignored.line = where.line;
        ignored.number = where.number;
        ignored.property = "RRULE";
        ignored.detail = beyond
                             ? "its repetitions after the year " + std::to_string(kLastRuleYear) + " cannot be followed"
                             : "a rule libical cannot follow";
        m_reading.ignoredDates.push_back(std::move(ignored));
    }

    // Returns an event that names where it comes from, with no day or text yet.
    static IcsEvent Source(icalcomponent* event, const SkippedEvent& where) {
        IcsEvent out;
        const char* uid = icalcomponent_get_uid(event);
        if (uid != nullptr) out.uid = uid;
        out.line = where.line;
        out.number = where.number;
        return out;
    }

    void Skip(const SkippedEvent& where, SkipReason reason, std::string detail = {}) {
        SkippedEvent skipped = where;
        skipped.reason = reason;
        skipped.detail = std::move(detail);
        m_reading.skipped.push_back(std::move(skipped));
    }

    // Collects the occurrences of a recurring event that may fall in the window: the start, each
    // RRULE's repetitions and each RDATE, less each EXDATE and each instance overridden elsewhere.
    void Expand(icalcomponent* event, const icaltimetype& start, const SkippedEvent& where,
                std::vector<icaltimetype>& times) {
        std::vector<icaltimetype> excluded;
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p != nullptr;
             p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
            excluded.push_back(PropertyTime(p, event, nullptr));
        const char* uid = icalcomponent_get_uid(event);
        if (uid != nullptr) {
            const auto moved = m_overridden.find(uid);
            if (moved != m_overridden.end())
                excluded.insert(excluded.end(), moved->second.begin(), moved->second.end());
        }

        times.push_back(start);
        // A day past the window's last year is enough for any zone to bring back into it.
        icaltimetype end = start;
        end.year = m_window.toYear + 1;
        end.month = 1;
        end.day = 2;
        if (!end.is_date) {
            end.hour = 23;
            end.minute = 59;
            end.second = 59;
        }
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p != nullptr;
             p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = icalproperty_get_rrule(p);
            if (const std::string_view refusal = RuleRefusal(rule); !refusal.empty()) {
                ++m_reading.ignoredProperties;
                m_reading.ignoredDates.push_back(
                    IgnoredProperty{where.line, where.number, "RRULE", std::string(refusal)});
                continue;
            }
            int steps = 0;
            const bool walked = WalkedByDay(rule) ? WalkByDay(rule, start, end, steps, times)
                                                  : Walk(RuleForReading(rule, end), start, start, steps, times);
            if (m_exhausted) return;
            if (!walked) {
                // A rule starting past libical's years costs the window's years nothing unless it reaches them.
                if (start.year <= kLastRuleYear || m_window.toYear > kLastRuleYear)
                    NoteRuleBeyondItsYears(where, start.year > kLastRuleYear);
                continue;
            }
            // The walk ends at libical's last year whether the rule does or not.
            if (m_window.toYear > kLastRuleYear && rule.count == 0 &&
                (icaltime_is_null_time(rule.until) || rule.until.year > kLastRuleYear))
                NoteRuleBeyondItsYears(where, true);
        }
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p != nullptr;
             p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
            icaltimetype time = PropertyTime(p, event, nullptr);
            if (icaltime_is_null_time(time)) time = icalproperty_get_rdate(p).period.start;
            if (!icaltime_is_null_time(time)) times.push_back(time);
        }
        std::erase_if(times, [&](const icaltimetype& time) {
            return std::any_of(excluded.begin(), excluded.end(),
                               [&](const icaltimetype& out) { return SameOccurrence(time, out); });
        });
    }

    // Spends `steps` of the budget; returns false, and marks the reading exhausted, once the steps
    // or the time are spent.
    bool Spend(long long steps) {
        m_spent += steps;
        if (m_spent > m_window.budget.steps || std::chrono::steady_clock::now() > m_deadline) m_exhausted = true;
        return !m_exhausted;
    }

    // Adds the repetitions of `rule` from `from` (the event's `start`, or a later time of its
    // series) to `times`, `steps` counting the rule's repetitions over all its calls; returns false
    // when libical cannot follow the rule at all.
    bool Walk(const icalrecurrencetype& rule, const icaltimetype& start, const icaltimetype& from, int& steps,
              std::vector<icaltimetype>& times) {
        icalrecur_iterator* iterator = icalrecur_iterator_new(rule, start);
        if (iterator == nullptr) return false;
        // A rule without COUNT may start its walk a day before the window, in the start's own zone.
        icaltimetype walkStart = from;
        icaltimetype windowStart = start;
        windowStart.year = m_window.fromYear;
        windowStart.month = 1;
        windowStart.day = 1;
        icaltime_adjust(&windowStart, -1, 0, 0, 0);
        if (icaltime_compare(windowStart, walkStart) > 0) walkStart = windowStart;
        if (rule.count == 0 && icaltime_compare(walkStart, start) > 0)
            icalrecur_iterator_set_start(iterator, walkStart);
        int sinceClock = 0;
        for (icaltimetype next = icalrecur_iterator_next(iterator); !icaltime_is_null_time(next);
             next = icalrecur_iterator_next(iterator)) {
            // The clock is read once in a while: each step is a call into libical already.
            if (++sinceClock == 256) {
                sinceClock = 0;
                if (!Spend(256)) break;
            }
            if (next.year > m_window.toYear + 1 || (next.year == m_window.toYear + 1 && next.month > 1) ||
                (next.year == m_window.toYear + 1 && next.day > 2))
                break;
            if (++steps > kMaxRuleSteps) {
                m_reading.stoppedLongRule = true;
                break;
            }
            times.push_back(next);
        }
        if (!m_exhausted) Spend(sinceClock);
        icalrecur_iterator_free(iterator);
        return true;
    }

    // Adds the repetitions of a rule of minutes on chosen days: its days walked as a daily rule, and
    // each day's minutes walked from that day's midnight, so that libical never walks the minutes
    // of the days between.
    bool WalkByDay(const icalrecurrencetype& rule, const icaltimetype& start, const icaltimetype& end, int& steps,
                   std::vector<icaltimetype>& times) {
        std::vector<icaltimetype> days;
        if (!Walk(DaysOf(rule, end), start, start, steps, days)) return false;
        std::vector<icaltimetype> dayTimes;
        for (const icaltimetype& day : days) {
            if (m_exhausted || steps > kMaxRuleSteps) return true;
            // libical passes over the first minute a list chooses when the walk starts on a minute
            // the rule leaves out: a later day's walk starts the minute before its midnight, and
            // keeps that day's times only.
            icaltimetype from = day;
            icaltimetype last = day;
            if (icaltime_compare_date_only(day, start) != 0) {
                from.hour = 0;
                from.minute = 0;
                icaltime_adjust(&from, 0, 0, -1, 0);
            }
            last.hour = 23;
            last.minute = 59;
            last.second = 59;
            dayTimes.clear();
            Walk(TimesOfDay(rule, last), from, from, steps, dayTimes);
            for (const icaltimetype& time : dayTimes)
                if (icaltime_compare_date_only(time, day) == 0) times.push_back(time);
        }
        return true;
    }

    const ImportWindow& m_window;
    IcsReading& m_reading;
    std::map<std::string, std::vector<icaltimetype>> m_overridden;
    std::map<std::string, icaltimezone*> m_systemZones;  // by TZID, nullptr for none
    std::chrono::steady_clock::time_point m_deadline;
    long long m_spent = 0;
    bool m_exhausted = false;
};

}  // namespace

std::string XPropertyValue(icalcomponent* event, std::string_view name) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); p != nullptr;
         p = icalcomponent_get_next_property(event, ICAL_X_PROPERTY)) {
        const char* xName = icalproperty_get_x_name(p);
        const char* value = icalproperty_get_x(p);
        if (xName != nullptr && EqualsIgnoringCase(xName, name)) return value != nullptr ? value : "";
    }
    return "";
}

IcsReading ReadIcsEvents(const std::string& ics, const ImportWindow& window) {
    IcsReading reading;
    std::string_view bytes = ics;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    // libical reads C strings: a NUL would end the text early, and UTF-16 text is full of them.
    if (bytes.find('\0') != std::string_view::npos) return reading;
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return reading;
    std::string_view firstLine = bytes.substr(first, bytes.find('\n', first) - first);
    if (firstLine.ends_with('\r')) firstLine.remove_suffix(1);
    if (!EqualsIgnoringCase(firstLine, "BEGIN:VCALENDAR")) return reading;

    const DecodedText decoded = DecodeIcsText(bytes);
    reading.encoding = decoded.encoding;
    if (decoded.badLine != 0) {
        reading.isCalendar = true;
        reading.undecodableLine = decoded.badLine;
        return reading;
    }
    const std::string_view text = decoded.encoding == "UTF-8" ? bytes : std::string_view{decoded.utf8};
    const std::vector<CalendarSpans> calendars = SplitCalendars(text);
    if (calendars.empty()) return reading;
    reading.isCalendar = true;

    for (const CalendarSpans& calendar : calendars) reading.todos += calendar.todos;
    // Each event is parsed alone and read as a child of a calendar that holds its file's time zones
    // only, so that the memory a reading takes is that of one event beside the text.
    icalerror_set_errors_are_fatal(0);
    std::vector<ComponentPtr> shells;
    for (const CalendarSpans& calendar : calendars) {
        shells.emplace_back(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
        for (const ComponentSpan& span : calendar.timezones) {
            icalcomponent* zone = ParseComponent(text, span);
            if (zone == nullptr) continue;
            if (icalcomponent_isa(zone) != ICAL_VTIMEZONE_COMPONENT) {
                icalcomponent_free(zone);
                continue;
            }
            reading.droppedZoneRules += DropRestlessZoneRules(zone);
            icalcomponent_add_component(shells.back().get(), zone);
        }
    }
    EventReader reader(window, reading);
    // Runs `use` on each event of the file (those with a RECURRENCE-ID only, when `overridesOnly`)
    // while it is in its calendar; stops when the reading's budget is spent.
    const auto eachEvent = [&](bool overridesOnly, const auto& use) {
        std::size_t number = 0;
        for (std::size_t c = 0; c < calendars.size(); ++c) {
            for (const ComponentSpan& span : calendars[c].events) {
                ++number;
                if (overridesOnly && !span.overrides) continue;
                ComponentPtr event(ParseComponent(text, span));
                if (!event || icalcomponent_isa(event.get()) != ICAL_VEVENT_COMPONENT) continue;
                SkippedEvent where;
                where.line = span.line;
                where.number = number;
                icalcomponent_add_component(shells[c].get(), event.get());
                use(event.get(), where);
                icalcomponent_remove_component(shells[c].get(), event.get());
                if (reader.Exhausted()) {
                    reading.exhaustedBudget = true;
                    reading.exhaustedAt = where;
                    return;
                }
            }
        }
    };
    eachEvent(true, [&](icalcomponent* event, const SkippedEvent&) { reader.NoteOverride(event); });
    eachEvent(false, [&](icalcomponent* event, const SkippedEvent& where) { reader.Read(event, where); });
    if (reading.exhaustedBudget) {
        // What was read before is dropped too: a refused file changes nothing.
        reading.events.clear();
        reading.events.shrink_to_fit();
    }
    return reading;
}

}  // namespace ics
