#pragma once

#include "reminders/reminder_clock.h"
#include "reminders/reminder_source.h"

#include <ctime>
#include <optional>
#include <string>

class CCalendarDlg;

// The main window's reminders: the memo lines that begin with a time, told through the desktop
// when they come due, by a look at the wall clock at every tick of the window's clock.
class CCalendarReminders {
public:
    explicit CCalendarReminders(CCalendarDlg& window);
    ~CCalendarReminders();
    CCalendarReminders(const CCalendarReminders&) = delete;
    CCalendarReminders& operator=(const CCalendarReminders&) = delete;

    // At start-up: reads the settings and what was told, and looks at once, so that what passed
    // while the program was not running is told now.
    void Start();
    // A tick of the clock: tells what came due.
    void Look();
    // The memo store may have changed (a dialog closed): its reminders are found again.
    void StoreChanged();
    // Turns reminders on or off, and keeps the choice.
    void SetEnabled(bool enabled);
    // Sets how many minutes before its time a reminder is told, and keeps the choice.
    void SetMinutesBefore(int minutes);
    const ReminderSettings& Settings() const { return m_settings; }

private:
    void Tell(const ReminderTick& tick);
    void TellOne(const Reminder& reminder);
    void TellMissed(const std::vector<Reminder>& missed);
    void Snooze(const Reminder& reminder);
    void Remember();

    CCalendarDlg& m_window;
    std::string m_folder;  // the data folder's path, the first part of each reminder's key
    ReminderSource m_source;
    ReminderSettings m_settings;
    ReminderMemory m_memory;
    std::optional<std::time_t> m_lastLook;
};
