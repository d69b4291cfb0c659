#include "reminders/reminder_list.h"

#include "model/record.h"
#include "reminders/reminder_time.h"

#include <algorithm>
#include <cstdio>

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
        const std::size_t next = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n' ? end + 2 : end + 1;
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

std::vector<Reminder> RemindersBetween(const std::vector<Reminder>& all, std::time_t from, std::time_t until) {
    std::vector<std::pair<std::time_t, const Reminder*>> found;
    for (const Reminder& reminder : all) {
        const std::time_t when = ReminderMoment(reminder);
        if (when >= from && when < until) found.emplace_back(when, &reminder);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Reminder> out;
    out.reserve(found.size());
    for (const auto& [when, reminder] : found) out.push_back(*reminder);
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
