#include "reminders/reminder_list.h"

#include "model/record.h"
#include "reminders/reminder_time.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace {

// Adds the reminder of each line of one day's memo text that begins with a time.
void AddLineReminders(const MemoRecordFields& fields, std::vector<Reminder>& out) {
    std::string_view rest = fields.text;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of("\r\n");
        const std::string_view line = rest.substr(0, end);
        if (const auto time = ParseLineTime(line)) {
            out.push_back({fields.year + 1900, fields.month + 1, fields.day, time->hour, time->minute,
                           std::string(WithoutLeadingSpaces(line))});
        }
        if (end == std::string_view::npos) break;
        const std::size_t next =
            rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n' ? end + 2 : end + 1;
        rest.remove_prefix(next);
    }
}

}  // namespace

std::vector<Reminder> FindReminders(std::string_view store) {
    std::vector<Reminder> out;
    while (!store.empty()) {
        const std::string_view record = CutRecord(store);
        const MemoRecordFields fields = SplitMemoRecord(record);
        // A line can begin with a time only where the text holds a colon at all.
        if (fields.month < 0 || fields.month > 11 || fields.day < 1 || fields.day > 31) continue;
        if (fields.text.find(':') == std::string_view::npos && fields.text.find("\x81\x46") == std::string_view::npos)
            continue;
        AddLineReminders(fields, out);
    }
    return out;
}

bool SoonerThan(const Reminder& a, const Reminder& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute) < std::tie(b.year, b.month, b.day, b.hour, b.minute);
}

std::vector<Reminder> SoonestFirst(std::vector<Reminder> reminders) {
    std::stable_sort(reminders.begin(), reminders.end(), SoonerThan);
    return reminders;
}

std::time_t ReminderMoment(const Reminder& reminder) {
    std::tm moment{};
    moment.tm_year = reminder.year - 1900;
    moment.tm_mon = reminder.month - 1;
    moment.tm_mday = reminder.day;
    moment.tm_hour = reminder.hour;
    moment.tm_min = reminder.minute;
    moment.tm_isdst = -1;
    const std::time_t when = std::mktime(&moment);
    // A day the month does not have (31 April) is no moment: mktime would carry it into May.
    if (moment.tm_mday != reminder.day || moment.tm_mon != reminder.month - 1) return -1;
    return when;
}

Reminder ReminderAtMinuteOf(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, {}};
}

std::vector<Reminder> RemindersBetween(const std::vector<Reminder>& all, std::time_t from, std::time_t until) {
    const std::vector<Reminder> sorted = SoonestFirst(all);
    // By day and time first: only the reminders in range are converted to moments.
    const auto first = std::lower_bound(sorted.begin(), sorted.end(), ReminderAtMinuteOf(from), SoonerThan);
    const auto last = std::upper_bound(first, sorted.end(), ReminderAtMinuteOf(until), SoonerThan);
    std::vector<Reminder> out;
    for (auto it = first; it != last; ++it) {
        const std::time_t when = ReminderMoment(*it);
        if (when >= from && when < until) out.push_back(*it);
    }
    return out;
}

std::string ReminderDate(const Reminder& reminder) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", reminder.year, reminder.month, reminder.day);
    return text;
}

std::string ReminderClock(const Reminder& reminder) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", reminder.hour, reminder.minute);
    return text;
}
