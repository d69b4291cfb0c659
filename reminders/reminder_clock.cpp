#include "reminders/reminder_clock.h"

#include <algorithm>
#include <cstdio>

std::time_t StartOfDay(std::time_t moment) {
    std::tm day{};
    localtime_r(&moment, &day);
    day.tm_hour = 0;
    day.tm_min = 0;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    return std::mktime(&day);
}

std::string DayOf(std::time_t moment) {
    std::tm day{};
    localtime_r(&moment, &day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
    return text;
}

ReminderTick LookAtClock(const std::vector<Reminder>& reminders, std::string_view folder,
                         const ReminderSettings& settings, ReminderMemory& memory, std::time_t now,
                         std::optional<std::time_t> lastLook) {
    ReminderTick tick;
    if (!settings.enabled) return tick;
    const std::time_t today = StartOfDay(now);
    const std::time_t lead = static_cast<std::time_t>(settings.minutesBefore) * 60;
    const auto tell = [&](const Reminder& reminder, std::time_t due) {
        const bool onTime = lastLook && due > *lastLook && now - due <= kOnTimeSeconds;
        (onTime ? tick.onTime : tick.missed).push_back(reminder);
    };
    // Only the reminders due from today's start to now: found by day and time, without a
    // conversion of each reminder's time, so that a tick costs the same for any memo.
    const auto first =
        std::lower_bound(reminders.begin(), reminders.end(), ReminderAtMinuteOf(today + lead), SoonerThan);
    const auto last = std::upper_bound(first, reminders.end(), ReminderAtMinuteOf(now + lead), SoonerThan);
    for (auto it = first; it != last; ++it) {
        const std::time_t moment = ReminderMoment(*it);
        const std::time_t due = moment - lead;
        if (moment < 0 || due < today || due > now) continue;
        const std::string key = ReminderKey(folder, *it);
        if (!memory.told.insert(key).second) continue;
        tick.memoryChanged = true;
        tell(*it, due);
    }
    for (auto it = memory.snoozes.begin(); it != memory.snoozes.end();) {
        if (it->second > now) {
            ++it;
            continue;
        }
        const auto found = std::find_if(reminders.begin(), reminders.end(), [&](const Reminder& reminder) {
            return ReminderKey(folder, reminder) == it->first;
        });
        if (found != reminders.end() && it->second >= today) tell(*found, it->second);
        it = memory.snoozes.erase(it);
        tick.memoryChanged = true;
    }
    return tick;
}
