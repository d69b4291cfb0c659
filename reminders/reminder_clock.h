#pragma once

#include "reminders/reminder_list.h"
#include "reminders/reminder_memory.h"
#include "reminders/reminder_settings.h"

#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

// What one look at the wall clock tells.
struct ReminderTick {
    std::vector<Reminder> onTime;  // came due since the last look, each told on its own
    std::vector<Reminder> missed;  // of today, came due while nobody looked: told together
    bool memoryChanged = false;    // the memory must be written
};

// A reminder or a snooze is on time when the clock is at most this late for it.
inline constexpr std::time_t kOnTimeSeconds = 60;

// Decides, at the wall-clock moment `now`, what to tell of `reminders` (soonest first, as
// SoonestFirst orders them: a look goes only through those that may have come due; of the data folder
// `folder`), and marks it told (or its snooze done) in `memory`. `lastLook` is the moment of the
// previous look, std::nullopt at a start. A reminder comes due `settings.minutesBefore` before
// its moment; one told before is never told again, whatever the clock did; one that came due
// since the last look, at most kOnTimeSeconds ago, is on time; any other of today that came due
// is missed; one that came due before today is left. A snooze that comes due for a line since
// changed or deleted is dropped untold. Reminders switched off tell nothing.
ReminderTick LookAtClock(const std::vector<Reminder>& reminders, std::string_view folder,
                         const ReminderSettings& settings, ReminderMemory& memory, std::time_t now,
                         std::optional<std::time_t> lastLook);

// Returns the local midnight that begins the day of `moment`.
std::time_t StartOfDay(std::time_t moment);
// Returns "YYYY-MM-DD" of the local day of `moment`.
std::string DayOf(std::time_t moment);
