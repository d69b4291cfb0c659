#pragma once

#include "platform/win_types.h"

#include <QDialog>
#include <QWidget>

class CDialog;
class CWnd;

// The Qt widgets behind a dialog: the window itself and its client area.
namespace platform::detail {

// The top-level window of a dialog; hands window events to its CDialog.
class DialogWidget : public QDialog {
public:
    explicit DialogWidget(CDialog* owner);
    CDialog* Owner() const { return m_owner; }
    void Disown() { m_owner = nullptr; }
    // The client widget's default push button, or nullptr.
    void SetDefaultButtonId(int id) { m_defaultButtonId = id; }
    // Opens the window's system menu at the screen point; its choice arrives as a system command.
    // Returns false when the window has no system menu.
    bool TrackSystemMenu(const QPoint& at);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;
    void accept() override;

private:
    CDialog* m_owner;
    int m_defaultButtonId = 0;
};

// The client area: the window's drawing surface, pointer events and child controls.
class ClientWidget : public QWidget {
public:
    ClientWidget(CWnd* owner, QWidget* parent);
    void Disown() { m_owner = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CWnd* m_owner;
};

// Passes key messages of every dialog through its PreTranslateMessage first.
void InstallKeyFilter();
// Returns the virtual-key code of a Qt key, or 0 when it has none.
UINT VirtualKeyFromQt(int key);
// Returns the dialog-unit scale (base units) of a dialog font.
QSize DialogBaseUnits(const QFont& font);

}  // namespace platform::detail
