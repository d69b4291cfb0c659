#pragma once

#include <array>
#include <string>
#include <string_view>

// The user's choice for reminders, kept in ${XDG_CONFIG_HOME:-~/.config}/velmora/reminders.conf.
struct ReminderSettings {
    bool enabled = true;
    int minutesBefore = 0;  // one of kLeadChoices
    bool operator==(const ReminderSettings&) const = default;
};

// How early a reminder may be told, in minutes.
inline constexpr std::array<int, 5> kLeadChoices = {0, 5, 10, 15, 30};

// Returns the file's bytes: "enabled=yes|no" and "minutes-before=N" lines.
std::string ReminderSettingsBytes(const ReminderSettings& settings);
// Returns the settings `bytes` hold; a line missing or not understood keeps its default.
ReminderSettings ParseReminderSettings(std::string_view bytes);

// Returns the settings file's content, or the defaults when there is none.
ReminderSettings LoadReminderSettings();
// Writes the settings file; returns false when it could not be written.
bool SaveReminderSettings(const ReminderSettings& settings);
