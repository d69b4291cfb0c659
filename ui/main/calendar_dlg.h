#pragma once

#include "platform/dialog.h"
#include "platform/tray.h"
#include "ui/globals.h"

#include "sync/engine.h"

#include <functional>
#include <memory>

class CCalendarReminders;
class CCalendarSync;

// The main window: one month sheet in its normal size or the twelve sheets of the year maximised,
// with its clock, toolbar, tray icon, cursor and commands.
class CCalendarDlg : public CDialog {
public:
    explicit CCalendarDlg(CWnd* parent = nullptr);
    ~CCalendarDlg() override;

    int m_bMonthCursor = 0;  // year view: 1 = the cursor frames a month sheet, 0 = a day
    int m_nMonthCol = 0;     // 1..4
    int m_nMonthRow = 0;     // 1..3
    int m_nView = 0;         // 0 = month view, 1 = year view
    COLORREF m_clrCursor = 0;
    COLORREF m_clrBack = 0;
    int m_nDayCol = 0;  // 0..6
    int m_nDayRow = 0;  // 1..6
    NOTIFYICONDATA m_nid;
    CToolBar m_wndToolBar;
    CStatic m_stcClock;
    HICON m_hIcon = nullptr;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    int OnCreate() override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
    // A left click on tray icon 1 shows the window, a right click opens the tray's menu.
    void OnTrayIconNotify(UINT iconId, UINT mouseMessage) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnToolTipNotify(TOOLTIPTEXT* request) override;
    BOOL OnCommand(UINT id) override;
    void OnPaint() override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    // Becoming active, the key flags take the keyboard's real state.
    void OnActivate(UINT state, CWnd* other, BOOL minimized) override;
    // Escape acts as the title bar's close box.
    void OnCancel() override;
    // Enter never ends the main window.
    void OnOK() override;

    // "終了(&X)": asks first when another program changed a data file it is about to write, saves
    // the memos (when they have changes not yet saved) and then the holidays, asking on each
    // failure whether to go on, and hides the window (ends the program where the desktop has no
    // notification area, keeping unsaved stores as recovery copies).
    void OnFileExit();
    // The tray's "終了", the end of the desktop session and SIGTERM: ends any dialog still open
    // as the session's end does, saves both stores (the memos when they have changes not yet
    // saved; as recovery copies where they cannot be written) and ends, with status 1 when a
    // store was not saved in its file.
    void OnTrayExit();
    // A left click on the tray icon: shows this window and brings it to the front, or brings the
    // dialog that runs on top of it.
    void ShowFromTray();

    // Month view: shows the present month, day and time in the clock.
    void UpdateClock();
    // Greys or enables the commands that depend on the view.
    void UpdateCommandStates();
    // Returns the tray tip text of the shown month and the selected day.
    void MakeTrayTip(std::string& tip);
    // Switches between the month view and the maximised year view.
    void ToggleView();
    // "祝日を最新にする...": asks, then brings the holiday files to Japan's official list and the
    // current law (from a list the user picks when Shift is held) and repaints.
    void OnUpdateOfficialHolidays();
    // "印刷(&P)...": the shown month (the shown year in the year view) on paper or to a PDF file,
    // through the print dialog; a failure is said in a message.
    void OnPrint();
    // Shows the tray's menu at the pointer.
    void ShowTrayMenu();
    // A reminder's 「開く」: shows the day (year, month 1..12, day) and opens its dialog; while
    // another dialog runs, brings that one to the front instead.
    void OpenDayFromReminder(int year, int month, int day);
    // Marks the reminder items of the 設定 menu as the settings are.
    void UpdateReminderMenu();

    // A sync put memos into the store: repaints, fills an open month list again and finds the
    // reminders again.
    void StoreArrived();
    // A sync pass for velmora-cal through the running main window; `done` gets its result on the
    // window's thread (at once, with an error, when no main window runs).
    static void SyncForCommand(bool acceptEmpty, std::function<void(const memosync::SyncResult&)> done);

    // Redraws the whole calendar area at once.
    void RepaintCalendar();
    // Draws one month sheet with its origin at (ox, oy) on `dc`.
    void DrawMonthSheet(int ox, int oy, int month, CDC& dc);
    // Draws the cursor frame of the current view and cursor in `colour`, at once.
    void DrawCursorFrame(COLORREF colour);
    // Returns the cursor frame of the current view and cursor.
    CRect CursorFrame() const;
    // Tells screen readers the shown sheets, their days and where the cursor stands.
    void TellScreenReaders();

    // Puts the cursor on the selected day of the shown month.
    void SyncCursorToSelectedDay();
    // Year view: makes the month under the point the cursor's and the shown month.
    void SelectMonthAt(int x, int y);
    // Moves the cursor one step; in the year view it crosses into the neighbouring sheets.
    void MoveCursor(int dx, int dy);
    // Opens the day under the cursor, or in the year view's month mode that month's view.
    void OpenAtCursor();
    // Switches the year view's cursor between whole months and days.
    void ToggleCursorMode();

    // Shows the running main window, if one runs, as a left click on its tray icon does.
    static void ShowRunningAsTrayClick();

    void OnTodaySchedule();
    void OnMonthSchedule();
    void OnPickMonthSchedule();
    void OnHolidaySettings();

private:
    static CCalendarDlg* s_running;  // the main window between its start-up and its destruction
    std::unique_ptr<CCalendarReminders> m_reminders;
    std::unique_ptr<CCalendarSync> m_sync;

    // The reminder commands of the 設定 menu; returns FALSE for any other command.
    BOOL OnReminderCommand(UINT id);

    void Repaint();
    // At start-up: offers a draft that an earlier run of this data folder left behind to its day's
    // memo (はい), or keeps it as a recovery copy (いいえ).
    void OfferLeftDraft();
    void OpenScheduleDialog(int showCode);
    void OpenMonthScheduleDialog(int showCode);
    void OpenHolidayListDialog(int showCode);
    void SetTodayAsShown(bool withDay);
    void MoveCursorBy(int dx, int dy);
};
