#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// A memo line that begins with a time: a reminder at that local time on the memo's day.
struct Reminder {
    int year = 0;   // e.g. 2026
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    std::string line;  // the line as the memo holds it (code page 932), without leading spaces
    bool operator==(const Reminder&) const = default;
};

// Returns every reminder of the memo store (a run of "year^month^day^text~" records), in store
// order; a day's text is split at each CR LF, CR or LF. One walk over the store.
std::vector<Reminder> FindReminders(std::string_view store);

// Returns `reminders` ordered by day and time, soonest first; of one time, in the order given.
std::vector<Reminder> SoonestFirst(std::vector<Reminder> reminders);
// Returns true when `a` comes before `b` by day and time.
bool SoonerThan(const Reminder& a, const Reminder& b);

// Returns a reminder without a line at the local day and minute of `moment`: a bound for
// SoonerThan.
Reminder ReminderAtMinuteOf(std::time_t moment);

// Returns the local moment of the reminder's time on its day, or -1 when it is no real moment.
std::time_t ReminderMoment(const Reminder& reminder);

// Returns the reminders of `all` whose moment lies in [from, until) (`from` at a whole minute),
// soonest first; of one moment, in store order.
std::vector<Reminder> RemindersBetween(const std::vector<Reminder>& all, std::time_t from, std::time_t until);

// Returns "YYYY-MM-DD" of the reminder's day.
std::string ReminderDate(const Reminder& reminder);
// Returns "HH:MM" of the reminder's time.
std::string ReminderClock(const Reminder& reminder);
