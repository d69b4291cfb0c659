#include "reminders/reminder_settings.h"

#include "model/private_file.h"

#include <algorithm>

namespace {

constexpr const char* kSettingsFile = "reminders.conf";

std::string ConfigFolder() { return UserFolder("XDG_CONFIG_HOME", ".config"); }

}  // namespace

std::string ReminderSettingsBytes(const ReminderSettings& settings) {
    return std::string("enabled=") + (settings.enabled ? "yes" : "no") +
           "\nminutes-before=" + std::to_string(settings.minutesBefore) + "\n";
}

ReminderSettings ParseReminderSettings(std::string_view bytes) {
    ReminderSettings settings;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line == "enabled=yes") settings.enabled = true;
        if (line == "enabled=no") settings.enabled = false;
        for (const int choice : kLeadChoices) {
            if (line == "minutes-before=" + std::to_string(choice)) settings.minutesBefore = choice;
        }
    }
    return settings;
}

ReminderSettings LoadReminderSettings() {
    const auto bytes = ReadUserFile(ConfigFolder(), kSettingsFile);
    return bytes ? ParseReminderSettings(*bytes) : ReminderSettings{};
}

bool SaveReminderSettings(const ReminderSettings& settings) {
    return WriteUserFile(ConfigFolder(), kSettingsFile, ReminderSettingsBytes(settings), false);
}
