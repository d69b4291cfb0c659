#pragma once

#include "reminders/reminder_list.h"

#include <ctime>
#include <map>
#include <set>
#include <string>
#include <string_view>

// Which reminders were told and which wait for a snooze, kept across runs in
// ${XDG_STATE_HOME:-~/.local/state}/velmora/reminders, one file for every data folder of the user.
// A reminder is known by its key: the data folder, the day, the time and the line.
struct ReminderMemory {
    std::set<std::string> told;
    std::map<std::string, std::time_t> snoozes;  // key -> when to tell it again

    bool operator==(const ReminderMemory&) const = default;
};

// Returns the key of `reminder` of the data folder `folder`.
std::string ReminderKey(std::string_view folder, const Reminder& reminder);

// Returns the file's bytes of `memory`: a header line, then "T\t<key>" and "S\t<time>\t<key>" lines
// with tabs, line breaks and backslashes of keys escaped.
std::string ReminderMemoryBytes(const ReminderMemory& memory);
// Returns the memory that `bytes` hold; lines it does not know are skipped.
ReminderMemory ParseReminderMemory(std::string_view bytes);

// Drops what was told of days before `firstKept` ("YYYY-MM-DD"): it can never come due again.
void ForgetToldBefore(ReminderMemory& memory, std::string_view firstKept);

// Returns what the memory file holds of the data folder `folder` (nothing when it is missing or
// unreadable).
ReminderMemory LoadReminderMemory(std::string_view folder);
// Writes `memory` as what the data folder `folder` knows, in place of what the file said of that
// folder; what it says of other folders (another copy of the program writes it too) is kept.
// Atomically, in a folder of this user's alone; returns false when it could not be written.
bool SaveReminderMemory(const ReminderMemory& memory, std::string_view folder);
