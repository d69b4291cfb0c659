#pragma once

#include "platform/dialog.h"
#include "ui/globals.h"

// The month schedule list: one line per day of the shown month with the day's memo. Its
// navigation moves the global calendar, and a line opens the day schedule dialog of its day.
class CMonthScheduleDlg : public CDialog {
public:
    explicit CMonthScheduleDlg(CWnd* parent = nullptr);
    ~CMonthScheduleDlg() override;

    CToolBar m_wndToolBar;
    CListBox m_listDays;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    void OnControlNotify(int controlId, UINT code) override;
    BOOL OnToolTipNotify(TOOLTIPTEXT* request) override;
    void OnPaint() override;
    // Becoming active, the list's Shift flag takes the keyboard's real state.
    void OnActivate(UINT state, CWnd* other, BOOL minimized) override;

    // Adds the line of each day of the shown month to the (empty) list box.
    void FillList();
    // Redraws the caption band at once, then empties and fills the list again.
    void Refresh();
    // The memo store changed under the open list (a sync brought memos): fills it again, the
    // selected line kept.
    void StoreChanged();
    // Returns the month list open now, or nullptr.
    static CMonthScheduleDlg* Open() { return s_open; }
    // Opens the day schedule dialog for the selected line's day; nothing when no line is selected.
    void OpenSelectedDay();
    // Draws the caption band below the toolbar at once.
    void DrawCaptionBand();
    // Returns the band below the toolbar, 20 pixels high across the client area.

private:
    static CMonthScheduleDlg* s_open;
};
