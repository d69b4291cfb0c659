#pragma once

#include <libical/ical.h>

// Bounds on what libical is asked to expand: one call to its rule iterator walks every candidate
// second, minute or day until the next occurrence, and a time zone's rules are expanded whole.
namespace ics {

// Returns why libical is not given the rule ("" when it may be): a rule no date satisfies (the
// iterator would walk its candidates for ever), or a rule of seconds or minutes whose walk from one
// occurrence to the next could pass every second or minute of many days.
const char* RuleRefusal(const icalrecurrencetype& rule);

// Returns true for a rule of minutes (or of seconds read as minutes) on chosen days, which a reading
// walks one chosen day at a time.
bool WalkedByDay(const icalrecurrencetype& rule);

// Returns the rule as libical walks it for a reading that ends before `end` (in the time form of
// the event's start): no UNTIL after `end`, and a rule of seconds that has an occurrence in every
// minute read as a rule of every minute (a memo shows minutes).
icalrecurrencetype RuleForReading(icalrecurrencetype rule, const icaltimetype& end);

// Returns the rule that gives the days `rule` falls on: daily, with its parts that choose days.
icalrecurrencetype DaysOf(const icalrecurrencetype& rule, const icaltimetype& end);

// Returns the rule of one day's occurrences of a rule WalkedByDay: its parts that choose days left out.
icalrecurrencetype TimesOfDay(const icalrecurrencetype& rule, const icaltimetype& end);

// Removes from a VTIMEZONE's observances each rule that changes the offset more than once a year
// (real zones change it once or twice a year; libical expands every change up to the year asked
// for); returns how many it removed.
int DropRestlessZoneRules(icalcomponent* zone);

}  // namespace ics
