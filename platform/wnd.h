#pragma once

#include "platform/dc.h"
#include "platform/menu.h"
#include "platform/tray.h"
#include "platform/win_types.h"

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QSystemTrayIcon;
class CDataExchange;

namespace platform::detail {
class ClientWidget;
class DialogWidget;
// Sets what a widget shows (its text, a combo box's field or a window's title) from code page 932.
void SetWidgetText(QWidget* widget, std::string_view textCp932);
// Returns what a widget shows in code page 932, a multi-line box's line breaks as CR LF.
std::string WidgetText(const QWidget* widget);
}  // namespace platform::detail

// A key message as PreTranslateMessage sees it.
struct MSG {
    UINT message = 0;   // WM_KEYDOWN or WM_KEYUP
    WPARAM wParam = 0;  // the virtual-key code
    UINT keyState = 0;  // MK_SHIFT and MK_CONTROL: the modifier keys held as of this message
};

// A tool tip's request for the text of a toolbar button.
struct TOOLTIPTEXT {
    UINT id = 0;       // the button's command id
    std::string text;  // code page 932, filled by the handler
};

// A window: a top-level dialog or a control inside one. Text crossing this interface is code page
// 932; the layer converts it for Qt.
class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Returns the Qt widget of this window, or nullptr before it exists.
    QWidget* GetSafeWidget() const { return m_widget.data(); }
    // Returns the Qt widget of the client area (a dialog's; else the window's), or nullptr.
    QWidget* GetClientWidget() const { return m_client != nullptr ? m_client.data() : m_widget.data(); }
    // Returns TRUE while the window exists.
    BOOL IsWindow() const { return m_widget != nullptr; }

    // Hides, shows, restores or maximises the window (SW_*); returns whether it was visible before.
    BOOL ShowWindow(int showCommand);
    // Returns TRUE while the window is shown, minimised or not.
    BOOL IsWindowVisible() const { return m_widget != nullptr && m_widget->isVisible() ? TRUE : FALSE; }
    // Returns TRUE when the window is minimised.
    BOOL IsIconic() const { return m_state == Qt::WindowMinimized ? TRUE : FALSE; }
    // Returns TRUE when the window is maximised.
    BOOL IsZoomed() const { return m_state == Qt::WindowMaximized ? TRUE : FALSE; }

    // Sets the text of a control or the title of a window.
    void SetWindowText(std::string_view textCp932);
    // Returns the text of a control (a multi-line box with CR LF line breaks) or the window's title.
    std::string GetWindowText() const;

    // Returns the client rectangle: (0, 0) is the corner just below the menu bar.
    CRect GetClientRect() const;
    // Marks the rectangle (the whole client area for nullptr) as needing paint.
    void InvalidateRect(const CRect* rect, BOOL erase = TRUE);
    // Marks the rectangle (the whole client area for nullptr) as painted.
    void ValidateRect(const CRect* rect);
    // Returns a device context that draws on the window at once.
    std::unique_ptr<CDC> GetDC();

    // Shows a message box with code page 932 texts; returns IDOK, IDYES or IDNO.
    int MessageBox(std::string_view textCp932, std::string_view captionCp932, UINT type = MB_OK);

    // Returns the window's menu bar, or nullptr.
    CMenu* GetMenu() const { return m_menu.get(); }
    // Returns the system menu: its items open on a right click in the client area and on
    // Alt+Space, and arrive as system commands. `revert` is ignored.
    CMenu* GetSystemMenu(BOOL revert);

    // Sets the window icon (large or small alike).
    void SetIcon(const QIcon* icon, BOOL big);
    // Starts timer `id`, calling OnTimer every `milliseconds`; returns `id`, or 0 without a window.
    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds);
    // Stops timer `id`; returns TRUE when it ran.
    BOOL KillTimer(UINT_PTR id) { return m_timers.erase(id) != 0 ? TRUE : FALSE; }
    // Returns TRUE while timer `id` runs.
    BOOL IsTimerRunning(UINT_PTR id) const { return m_timers.count(id) != 0 ? TRUE : FALSE; }

    // Returns the control `id` as a Qt widget, or nullptr.
    QWidget* GetDlgItemWidget(int id) const;
    // Names control `id` for screen readers by a text the window paints beside it, where no
    // static text labels it.
    void SetDlgItemAccessibleName(int id, std::string_view textCp932);
    // Brings the window to the front and gives it the keyboard (a hidden window stays hidden).
    void SetForegroundWindow();
    // Returns the innermost modal dialog that runs on top of this window, or this window when
    // none does.
    CWnd* GetLastActivePopup();

    // Copies members into controls (FALSE) or controls into members (TRUE); returns FALSE when
    // a value was refused. Text that the input method still converts is committed first.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // What the window does: override in the windows of the program.
    virtual void DoDataExchange(CDataExchange* dx);
    // Sees key messages before the window does; returns TRUE to consume them.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Handles a command from a menu item, toolbar button or push button; returns TRUE if handled.
    virtual BOOL OnCommand(UINT id);
    // Handles a control notification such as LBN_DBLCLK.
    virtual void OnControlNotify(int controlId, UINT code);
    // Answers a tool tip's request for its text; returns TRUE when it supplied one.
    virtual BOOL OnToolTipNotify(TOOLTIPTEXT* request);
    // A click on the window's tray icon `iconId`: WM_LBUTTONDOWN or WM_RBUTTONDOWN.
    virtual void OnTrayIconNotify(UINT iconId, UINT mouseMessage);
    // Runs once the window is made; returns -1 to destroy it again.
    virtual int OnCreate();
    // Runs before the window is destroyed.
    virtual void OnDestroy();
    // Paints the invalid area; the default validates it.
    virtual void OnPaint();
    // Timer `id` fired.
    virtual void OnTimer(UINT_PTR id);
    // The pointer moved over the client area.
    virtual void OnMouseMove(UINT flags, CPoint point);
    // A left double-click in the client area.
    virtual void OnLButtonDblClk(UINT flags, CPoint point);
    // A system command (SC_*, or a system menu item); the default maximises, restores or minimises.
    virtual void OnSysCommand(UINT id, LPARAM lParam);
    // The window became active (WA_ACTIVE) or stopped being active (WA_INACTIVE).
    virtual void OnActivate(UINT state, CWnd* other, BOOL minimized);

    // Tests: records every drawing operation into `log` (nullptr stops).
    void SetDrawLog(platform::DrawLog* log) { m_drawLog = log; }
    // Tests: the pixels drawn so far on the client area.
    const QImage& Surface() const { return m_surface; }
    // Tests: the window's tray icon `id` as it was added, or nullptr.
    const NOTIFYICONDATA* TrayIcon(UINT id) const { return m_tray && m_tray->uID == id ? &*m_tray : nullptr; }

protected:
    // Makes `widget` the window of this wrapper.
    void AttachControl(QWidget* widget) { m_widget = widget; }
    // Sets the window's state (Qt::WindowNoState, WindowMinimized or WindowMaximized) and shows
    // it; a state the window manager set is only recorded.
    void ApplyWindowState(Qt::WindowState state, bool fromWindowManager = false);
    // Makes the drawing surface the client area's size at the screen's resolution.
    void ResizeSurface(int width, int height);

    QPointer<QWidget> m_widget;
    QPointer<QWidget> m_client;  // a dialog's client area
    std::unique_ptr<CMenu> m_menu;
    std::unique_ptr<CMenu> m_systemMenu;
    std::map<UINT_PTR, std::unique_ptr<QTimer>> m_timers;

private:
    friend class CPaintDC;
    friend class platform::detail::ClientWidget;
    friend class platform::detail::DialogWidget;
    friend void DDX_Control(CDataExchange* dx, int id, CWnd& control);
    friend BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data);
    friend BOOL ShowTrayBalloon(CWnd& window, std::string_view titleCp932, std::string_view textCp932,
                                std::function<void()> onClick);

    QImage m_surface;
    QRegion m_invalid;
    bool m_eraseInvalid = false;
    platform::DrawLog* m_drawLog = nullptr;
    Qt::WindowState m_state = Qt::WindowNoState;
    Qt::WindowState m_stateBeforeMinimize = Qt::WindowNoState;
    QRect m_normalGeometry;  // the normal size, for desktops whose window manager keeps none
    bool m_inWindowManagerChange = false;
    std::optional<NOTIFYICONDATA> m_tray;         // the window's tray icon as added
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;  // that icon on the desktop; none in test mode
};

// Paints the window's invalid area, clipped to it; the area counts as painted from the start.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

private:
    CWnd* m_wnd;
};

// The direction and state of one data exchange.
class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    // Marks the exchange as refused: later exchanges of this run do nothing.
    void Fail() { m_failed = true; }
    // Returns true once the exchange was refused.
    bool Failed() const { return m_failed; }

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;

private:
    bool m_failed = false;
};

// Binds a control wrapper to control `id` of the dialog.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Exchanges the text of control `id` (code page 932; a multi-line box gives CR LF line breaks).
void DDX_Text(CDataExchange* dx, int id, std::string& value);
// Exchanges an integer with control `id`; a text that is no integer is refused with a prompt.
void DDX_Text(CDataExchange* dx, int id, int& value);
// Exchanges the text of combo box `id`'s editable field; loading selects the first item that
// begins with the text, or puts the text in the field.
void DDX_CBString(CDataExchange* dx, int id, std::string& value);
// Exchanges the index of the checked radio button of the group starting at `id` (-1: none).
void DDX_Radio(CDataExchange* dx, int id, int& value);

// A static text control.
class CStatic : public CWnd {};

// A drop-down combo box with an editable field; data exchange reads and writes it.
class CComboBox : public CWnd {};

// A list box: lines in code page 932, sorted or in insertion order as the control was made.
class CListBox : public CWnd {
public:
    // Removes every line.
    void ResetContent();
    // Adds a line, showing each line break in it as one mark "↵"; returns its position.
    int AddString(std::string_view textCp932);
    // Returns the number of lines.
    int GetCount() const;
    // Returns the selected position, or LB_ERR (-1) when none is selected.
    int GetCurSel() const;
    // Selects a position (-1: none); returns LB_ERR when the position does not exist.
    int SetCurSel(int position);
    // Returns the text of line `position` in code page 932.
    std::string GetText(int position) const;
};
