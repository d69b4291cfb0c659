#include "reminders/reminder_clock.h"

#include <cstdio>
#include <map>

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
    const auto tell = [&](const Reminder& reminder, std::time_t due) {
        if (due < today) return;
        const bool onTime = lastLook && due > *lastLook && now - due <= kOnTimeSeconds;
        (onTime ? tick.onTime : tick.missed).push_back(reminder);
    };
    std::map<std::string, const Reminder*> byKey;
    for (const Reminder& reminder : reminders) {
        const std::string key = ReminderKey(folder, reminder);
        byKey.emplace(key, &reminder);
        if (memory.told.contains(key)) continue;
        const std::time_t moment = ReminderMoment(reminder);
        if (moment < 0) continue;
        const std::time_t due = moment - static_cast<std::time_t>(settings.minutesBefore) * 60;
        if (due > now) continue;
        // Told or not, a reminder past is done: once today is over it could only be noise.
        memory.told.insert(key);
        tick.memoryChanged = true;
        tell(reminder, due);
    }
    for (auto it = memory.snoozes.begin(); it != memory.snoozes.end();) {
        const auto found = byKey.find(it->first);
        if (found == byKey.end()) {
            // The line was changed or deleted since the snooze: nothing is left to tell.
            it = memory.snoozes.erase(it);
            tick.memoryChanged = true;
            continue;
        }
        if (it->second > now) {
            ++it;
            continue;
        }
        tell(*found->second, it->second);
        it = memory.snoozes.erase(it);
        tick.memoryChanged = true;
    }
    return tick;
}
