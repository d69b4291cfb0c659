#include "platform/widgets.h"

#include "platform/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace platform::detail {

DialogWidget::DialogWidget(CDialog* owner) : QDialog(nullptr), m_owner(owner) {}

void DialogWidget::closeEvent(QCloseEvent* event) {
    // The close box is a system command; the window decides whether it hides or ends.
    event->ignore();
    if (m_owner != nullptr) m_owner->OnSysCommand(SC_CLOSE, 0);
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
    if (m_owner == nullptr) return QDialog::keyPressEvent(event);
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        // A push button that has the keyboard focus is the default button while it has it.
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget()); focused != nullptr && focused->isEnabled()) {
            focused->click();
            return;
        }
        if (m_defaultButtonId != 0) {
            if (auto* button = dynamic_cast<QAbstractButton*>(m_owner->GetDlgItemWidget(m_defaultButtonId))) {
                button->click();
                return;
            }
        }
        m_owner->OnOK();
        return;
    }
    if (key == Qt::Key_Escape) {
        m_owner->OnCancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

void DialogWidget::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || m_owner == nullptr) return;
    const Qt::WindowStates qtState = windowState();
    const auto state = qtState.testFlag(Qt::WindowMinimized)   ? CWnd::WindowState::Minimized
                       : qtState.testFlag(Qt::WindowMaximized) ? CWnd::WindowState::Maximized
                                                               : CWnd::WindowState::Normal;
    CWnd& wnd = *m_owner;
    if (state == wnd.m_state) return;  // the echo of a state this program asked for
    UINT command = SC_RESTORE;
    if (state == CWnd::WindowState::Minimized) command = SC_MINIMIZE;
    if (state == CWnd::WindowState::Maximized && wnd.m_state == CWnd::WindowState::Normal) command = SC_MAXIMIZE;
    wnd.ApplyWindowState(state, true);
    wnd.m_inWindowManagerChange = true;
    m_owner->OnSysCommand(command, 0);
    wnd.m_inWindowManagerChange = false;
}

bool DialogWidget::TrackSystemMenu(const QPoint& at) {
    if (m_owner == nullptr) return false;
    CMenu* systemMenu = m_owner->GetSystemMenu(FALSE);
    if (systemMenu == nullptr || systemMenu->Popup()->actions().isEmpty()) return false;
    const auto chosen = static_cast<UINT>(systemMenu->TrackPopupMenu(TPM_RETURNCMD, at.x(), at.y(), m_owner));
    if (chosen != 0) m_owner->OnSysCommand(chosen, 0);
    return true;
}

bool DialogWidget::event(QEvent* event) {
    if (m_owner != nullptr && (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)) {
        m_owner->OnActivate(event->type() == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE, nullptr,
                            isMinimized() ? TRUE : FALSE);
    }
    return QDialog::event(event);
}

void DialogWidget::reject() {
    if (m_owner != nullptr) m_owner->OnCancel();
}

void DialogWidget::accept() {
    if (m_owner != nullptr) m_owner->OnOK();
}

ClientWidget::ClientWidget(CWnd* owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ClientWidget::paintEvent(QPaintEvent*) {
    if (m_owner == nullptr) return;
    if (m_owner->m_surface.devicePixelRatio() != devicePixelRatioF()) {
        // Moved to a screen of another scale: draw everything again at its resolution.
        m_owner->ResizeSurface(width(), height());
        m_owner->InvalidateRect(nullptr, TRUE);
    }
    if (!m_owner->m_invalid.isEmpty()) {
        m_owner->OnPaint();
        m_owner->ValidateRect(nullptr);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_owner->m_surface);
}

void ClientWidget::resizeEvent(QResizeEvent*) {
    if (m_owner == nullptr) return;
    m_owner->ResizeSurface(width(), height());
    m_owner->InvalidateRect(nullptr, TRUE);
    if (auto* dialog = dynamic_cast<CDialog*>(m_owner))
        dialog->RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);
}

void ClientWidget::showEvent(QShowEvent*) {
    // Showing a window repaints all of it.
    if (m_owner != nullptr) m_owner->InvalidateRect(nullptr, TRUE);
}

void ClientWidget::mouseMoveEvent(QMouseEvent* event) {
    if (m_owner == nullptr) return;
    const QPoint p = event->position().toPoint();
    m_owner->OnMouseMove(0, {p.x(), p.y()});
}

void ClientWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_owner == nullptr || event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    m_owner->OnLButtonDblClk(0, {p.x(), p.y()});
}

void ClientWidget::contextMenuEvent(QContextMenuEvent* event) {
    if (auto* window = dynamic_cast<DialogWidget*>(this->window())) window->TrackSystemMenu(event->globalPos());
}

namespace {

// Returns the widget that a key for `window` reaches first: the keyboard grabber, else the
// window's focus widget, else the window itself.
QWidget* FirstKeyReceiver(QWidget* window) {
    if (QWidget* grabber = QWidget::keyboardGrabber()) return grabber;
    return window->focusWidget() != nullptr ? window->focusWidget() : window;
}

// Hands each key press and release to the PreTranslateMessage of the dialog it is bound for,
// where it reaches its first widget: a key that widget leaves travels on to its parents, and
// is not handed over again.
class KeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* window = widget != nullptr ? dynamic_cast<DialogWidget*>(widget->window()) : nullptr;
        if (window == nullptr || window->Owner() == nullptr || widget != FirstKeyReceiver(window)) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const UINT vk = VirtualKeyFromQt(key->key());
        if (vk == 0) return false;
        UINT keyState = 0;
        if (key->modifiers().testFlag(Qt::ShiftModifier)) keyState |= MK_SHIFT;
        if (key->modifiers().testFlag(Qt::ControlModifier)) keyState |= MK_CONTROL;
        const bool press = event->type() == QEvent::KeyPress;
        MSG msg{window->Owner(), press ? WM_KEYDOWN : WM_KEYUP, vk, 0, keyState};
        if (window->Owner()->PreTranslateMessage(&msg) != FALSE) return true;
        // Alt+Space opens the window's system menu below the title bar, as the keyboard's way to
        // the items a window adds there.
        if (press && vk == VK_SPACE && key->modifiers() == Qt::AltModifier) {
            return window->TrackSystemMenu(window->mapToGlobal(QPoint(0, 0)));
        }
        return false;
    }
};

}  // namespace

void InstallKeyFilter() {
    static KeyFilter* filter = nullptr;
    if (filter != nullptr || qApp == nullptr) return;
    filter = new KeyFilter(qApp);
    qApp->installEventFilter(filter);
}

UINT VirtualKeyFromQt(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return static_cast<UINT>(key);
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Tab:
        return VK_TAB;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

QSize DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average character width, rounded to the nearest pixel.
    return QSize((alphabet / 26 + 1) / 2, metrics.height());
}

}  // namespace platform::detail
