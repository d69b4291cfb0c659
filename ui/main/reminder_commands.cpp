#include "model/year_calendar.h"
#include "reminders/reminder_settings.h"
#include "ui/globals.h"
#include "ui/main/calendar_dlg.h"
#include "ui/main/calendar_reminders.h"
#include "ui/resource_ids.h"

BOOL CCalendarDlg::OnReminderCommand(UINT id) {
    if (id == ID_SETTINGS_REMINDERS_ON) {
        m_reminders->SetEnabled(!m_reminders->Settings().enabled);
    } else if (id >= ID_SETTINGS_REMIND_AT && id < ID_SETTINGS_REMIND_AT + kLeadChoices.size()) {
        m_reminders->SetMinutesBefore(kLeadChoices[id - ID_SETTINGS_REMIND_AT]);
    } else {
        return FALSE;
    }
    UpdateReminderMenu();
    return TRUE;
}

void CCalendarDlg::UpdateReminderMenu() {
    CMenu* menu = GetMenu();
    if (menu == nullptr) return;
    const ReminderSettings& settings = m_reminders->Settings();
    menu->CheckMenuItem(ID_SETTINGS_REMINDERS_ON, settings.enabled ? MF_CHECKED : MF_UNCHECKED);
    for (UINT i = 0; i < kLeadChoices.size(); ++i) {
        const UINT item = ID_SETTINGS_REMIND_AT + i;
        menu->CheckMenuItem(item, kLeadChoices[i] == settings.minutesBefore ? MF_CHECKED : MF_UNCHECKED);
        // How early means nothing while reminders are off.
        menu->EnableMenuItem(item, settings.enabled ? MF_ENABLED : MF_GRAYED);
    }
}

void CCalendarDlg::OpenDayFromReminder(int year, int month, int day) {
    if (GetLastActivePopup() != this) {
        ShowFromTray();
        return;
    }
    g_YearCalendar.year = year - 1900;
    g_YearCalendar.month = month - 1;
    g_nSelDay = day;
    g_YearCalendar.Build();
    OpenScheduleDialog(m_nView == 1 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    Repaint();
}
