#pragma once

#include "platform/wnd.h"

class QAction;
class QEventLoop;

// A dialog made from a template: run modally with DoModal, or made modeless with Create.
class CDialog : public CWnd {
public:
    explicit CDialog(int templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Makes the window, initialises it, runs it until EndDialog and destroys it; returns the code
    // given to EndDialog, or -1 when the window could not be made or the program is quitting.
    virtual INT_PTR DoModal();
    // Makes the window from the template and initialises it without running it; returns TRUE
    // when it was made. The window shows only when its template is visible.
    BOOL Create(int templateId, CWnd* parent = nullptr);
    // Ends the modal run with `result`.
    void EndDialog(int result);
    // Runs the window's own loop until EndDialog or a posted quit; returns the end code.
    int RunModalLoop(DWORD flags = 0);
    // Destroys the window (OnDestroy runs first).
    void DestroyWindow();
    // Returns TRUE once EndDialog has been called in the current run.
    BOOL IsEnded() const { return m_ended; }

    // Runs before the window is first shown; the default exchanges data into the controls.
    virtual BOOL OnInitDialog();
    // Enter with no default button: exchanges data out of the controls and ends with IDOK.
    virtual void OnOK();
    // Escape, the close box and cancel buttons: ends with IDCANCEL.
    virtual void OnCancel();
    // The desktop session or the process is ending while this dialog runs: the default cancels.
    virtual void OnEndSession();
    // Ends, innermost first through OnEndSession, every modal dialog opened after `outer`.
    static void EndDialogsOpenedAfter(const CDialog* outer);

    // IDOK and IDCANCEL from buttons run OnOK and OnCancel; returns TRUE for them.
    BOOL OnCommand(UINT id) override;
    // The default processing of a close command is OnCancel.
    void OnSysCommand(UINT id, LPARAM lParam) override;
    // Places the window's toolbar across the top of its client area.
    void RepositionBars(UINT firstId, UINT lastId, UINT leftOverId);

private:
    friend class CToolBar;
    BOOL MakeWindow();

    int m_templateId;
    bool m_ended = false;
    int m_result = 0;
    QEventLoop* m_loop = nullptr;
};

// A row of command buttons at the top of a window's client area, with tool tips.
class CToolBar : public CWnd {
public:
    // Makes the bar inside `parent`'s client area; returns TRUE.
    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT id = AFX_IDW_TOOLBAR);
    // Loads the buttons of toolbar resource `id`; returns TRUE when it exists.
    BOOL LoadToolBar(int id);
    // Returns the size of the bar laid out horizontally, unstretched.
    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) const;
    // Enables or disables the button with command `id`.
    void EnableButton(UINT id, BOOL enable);
    // Returns TRUE when the button exists and is enabled.
    BOOL IsButtonEnabled(UINT id) const;
    // Returns the command ids of the buttons in order (0 for a separator).
    std::vector<UINT> Buttons() const;
    // Returns the action of the button with command `id`, or nullptr.
    QAction* ButtonAction(UINT id) const;

    static constexpr int kHeight = 26;

private:
    CWnd* m_owner = nullptr;
};

// The application: the program makes one, and AfxWinMain runs it.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Starts the program; returning FALSE ends it without a message loop of the framework's.
    virtual BOOL InitInstance();
    // Runs when the program ends; returns the exit code.
    virtual int ExitInstance();

    CWnd* m_pMainWnd = nullptr;
};

// Returns the application object, or nullptr.
CWinApp* AfxGetApp();
// Starts Qt and the application object; returns the program's exit code.
int AfxWinMain(int argc, char** argv);
// Nothing on this platform needs a socket layer; returns TRUE.
BOOL AfxSocketInit();
// Shows string resource `stringId` in a message box captioned with the program's name.
int AfxMessageBox(UINT stringId, UINT type = MB_OK);
// Ends every running modal loop: the program is quitting with `exitCode`.
void PostQuitMessage(int exitCode);
// Returns TRUE once PostQuitMessage has been called.
BOOL IsQuitPosted();
// Returns the pointer position in screen pixels.
CPoint GetCursorPos();
// Returns a negative value while the key `virtualKey` (VK_SHIFT, VK_CONTROL, VK_MENU) is held on
// the keyboard now, else 0.
short GetKeyState(int virtualKey);
