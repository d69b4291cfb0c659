#pragma once

#include "platform/dialog.h"

#include <string>

// The day schedule dialog: the memo of the shown year and month's day g_nSelDay. Opening takes
// the day's record out of the memo store; every way out but Delete appends one back at the end,
// and every way out saves the store at once.
class CScheduleDlg : public CDialog {
public:
    explicit CScheduleDlg(CWnd* parent = nullptr);
    ~CScheduleDlg() override;

    CToolBar m_wndToolBar;
    std::string m_strMemo;  // code page 932; the text taken out at opening until Register reads the box

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    BOOL OnToolTipNotify(TOOLTIPTEXT* request) override;
    void OnPaint() override;
    // The cancel button, Escape, the close box and "閉じる": appends the memo as it was taken out.
    void OnCancel() override;
    // Enter reaches the dialog only from a focused button; it never ends the dialog unrecorded.
    void OnOK() override;
    // The program is ending while the dialog is open: registers what is typed.
    void OnEndSession() override;
    // Reads the box and appends the typed memo, then ends.
    void OnRegister();
    // Ends without appending: the record taken out at opening stays out.
    void OnDelete();
    // Draws the date band below the toolbar at once.
    void DrawDateBand();

private:
    // Saves the store as the way out left it and ends.
    void SaveAndEnd();
};
