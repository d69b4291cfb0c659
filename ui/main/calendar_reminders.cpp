#include "ui/main/calendar_reminders.h"

#include "model/calendar_math.h"
#include "model/data_files.h"
#include "model/memo_draft_file.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/desktop_notice.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_dlg.h"
#include "ui/main/calendar_texts.h"

#include <cstdio>

namespace {

constexpr std::time_t kSnoozeSeconds = std::time_t{10} * 60;
// The notification's default action (a click on it, for most servers) is 「開く」.
const char* const kOpenAction = "default";
const char* const kSnoozeAction = "snooze";

// "10:00  2026年12月8日(火)": the time first, since it is what the user is told.
std::string ReminderSummary(const Reminder& reminder) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d  %d年%d月%d日(", reminder.hour, reminder.minute, reminder.year,
                  reminder.month, reminder.day);
    return Cp932(text) + calendar_texts::WeekdayName(WeekdayOf(reminder.year, reminder.month - 1, reminder.day)) +
           Cp932(")");
}

// The wall clock as the rest of the program reads it (tests fix it there).
std::time_t WallClock() {
    std::tm now = CurrentLocalTime();
    return std::mktime(&now);
}

}  // namespace

CCalendarReminders::CCalendarReminders(CCalendarDlg& window) : m_window(window), m_source(kMemoFile) {}

CCalendarReminders::~CCalendarReminders() { platform::WatchSleep(nullptr); }

void CCalendarReminders::Start() {
    m_folder = CurrentDataFolderPath();
    m_settings = LoadReminderSettings();
    m_memory = LoadReminderMemory(m_folder);
    m_lastLook.reset();
    m_source.StoreChanged(g_strMemoData);
    platform::WatchSleep([this](bool sleeping) {
        // Timers stand still while the machine sleeps: look as soon as it wakes.
        if (!sleeping) Look();
    });
    Look();
}

void CCalendarReminders::StoreChanged() { m_source.StoreChanged(g_strMemoData); }

void CCalendarReminders::Look() {
    m_source.LookAtFile();
    const std::time_t now = WallClock();
    ReminderTick tick = LookAtClock(m_source.Reminders(), m_folder, m_settings, m_memory, now, m_lastLook);
    m_lastLook = now;
    // Remembered before it is told: a crash while telling must not tell it twice.
    if (tick.memoryChanged) Remember();
    Tell(tick);
}

void CCalendarReminders::Remember() {
    ForgetToldBefore(m_memory, DayOf(StartOfDay(WallClock()) - std::time_t{2} * 24 * 60 * 60));
    SaveReminderMemory(m_memory, m_folder);
}

void CCalendarReminders::Tell(const ReminderTick& tick) {
    for (const Reminder& reminder : tick.onTime) TellOne(reminder);
    if (!tick.missed.empty()) TellMissed(tick.missed);
}

void CCalendarReminders::TellOne(const Reminder& reminder) {
    platform::DesktopNotice notice{
        ReminderSummary(reminder), reminder.line, {{kOpenAction, Cp932("開く")}, {kSnoozeAction, Cp932("10分後")}}};
    platform::ShowDesktopNotice(m_window, notice, [this, reminder](const std::string& action) {
        if (action == kOpenAction) m_window.OpenDayFromReminder(reminder.year, reminder.month, reminder.day);
        if (action == kSnoozeAction) Snooze(reminder);
    });
}

void CCalendarReminders::TellMissed(const std::vector<Reminder>& missed) {
    std::string body;
    for (const Reminder& reminder : missed) {
        if (!body.empty()) body += '\n';
        body += reminder.line;
    }
    const Reminder& first = missed.front();
    platform::DesktopNotice notice{Cp932("見逃した予定"), body, {{kOpenAction, Cp932("開く")}}};
    platform::ShowDesktopNotice(m_window, notice, [this, first](const std::string& action) {
        if (action == kOpenAction) m_window.OpenDayFromReminder(first.year, first.month, first.day);
    });
}

void CCalendarReminders::Snooze(const Reminder& reminder) {
    m_memory.snoozes[ReminderKey(m_folder, reminder)] = WallClock() + kSnoozeSeconds;
    Remember();
}

void CCalendarReminders::SetEnabled(bool enabled) {
    m_settings.enabled = enabled;
    SaveReminderSettings(m_settings);
}

void CCalendarReminders::SetMinutesBefore(int minutes) {
    m_settings.minutesBefore = minutes;
    SaveReminderSettings(m_settings);
}
