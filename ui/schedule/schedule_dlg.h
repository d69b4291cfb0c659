#pragma once

#include "platform/dialog.h"

#include <string>

// The day schedule dialog: the memo of the shown year and month's day g_nSelDay. Opening takes
// the day's record out of the memo store; every way out but Delete appends one back at the end,
// and every way out saves the store at once. While it is open, a moment after typing pauses, the
// box's text is kept as the data folder's draft, which a normal way out removes.
class CScheduleDlg : public CDialog {
public:
    static constexpr UINT_PTR kDraftTimer = 1;

    explicit CScheduleDlg(CWnd* parent = nullptr);
    ~CScheduleDlg() override;

    CToolBar m_wndToolBar;
    std::string m_strMemo;  // code page 932; the text taken out at opening until Register reads the box
    CWnd m_wndMemo;         // the memo box, read for the draft without touching m_strMemo

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
    // A change in the memo box (re)starts the pause before the draft is written.
    void OnControlNotify(int controlId, UINT code) override;
    // The pause is over: writes the box's text as the draft.
    void OnTimer(UINT_PTR id) override;

    // Reads the box and appends the typed memo, then ends.
    void OnRegister();
    // Ends without appending: the record taken out at opening stays out.
    void OnDelete();
    // Draws the date band below the toolbar at once.
    void DrawDateBand();

    // Returns true while a day dialog holds its day's record out of the memo store.
    static bool IsMemoOut() { return s_memosOut > 0; }

private:
    static int s_memosOut;

    // Saves the store as the way out left it and ends; the draft goes, or keeps a registered text
    // that could not be saved.
    void SaveAndEnd(bool registered);

    bool m_draftFailureLogged = false;
    bool m_memoOut = false;  // this dialog's record is out of the store
    // The record is back in the store (or deleted on purpose).
    void MemoBack();
};
