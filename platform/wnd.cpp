#include "platform/wnd.h"

#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QInputMethod>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtMath>

CWnd::CWnd() = default;

CWnd::~CWnd() {
    for (auto& [id, timer] : m_timers) delete timer;
    m_timers.clear();
    if (m_client != nullptr) m_client->Disown();
}

BOOL CWnd::ShowWindow(int showCommand) {
    const BOOL wasVisible = m_visible ? TRUE : FALSE;
    if (m_widget == nullptr) return wasVisible;
    switch (showCommand) {
    case SW_HIDE:
        m_visible = false;
        m_widget->hide();
        break;
    case SW_SHOWNORMAL:
        ApplyWindowState(WindowState::Normal, false);
        break;
    case SW_SHOWMAXIMIZED:
        ApplyWindowState(WindowState::Maximized, false);
        break;
    case SW_SHOWMINIMIZED:
        ApplyWindowState(WindowState::Minimized, false);
        break;
    default:  // SW_SHOW: the size and state the window has
        ApplyWindowState(m_state, false);
        break;
    }
    return wasVisible;
}

void CWnd::ApplyWindowState(WindowState state, bool fromWindowManager) {
    if (state == WindowState::Minimized && m_state != WindowState::Minimized) m_stateBeforeMinimize = m_state;
    m_state = state;
    m_visible = true;
    if (fromWindowManager || m_widget == nullptr) return;
    Qt::WindowStates qtState = m_widget->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == WindowState::Maximized) qtState |= Qt::WindowMaximized;
    if (state == WindowState::Minimized) qtState |= Qt::WindowMinimized;
    if (state == WindowState::Maximized && !m_widget->isMaximized() && m_widget->isVisible()) {
        m_normalGeometry = m_widget->geometry();
    }
    m_widget->setWindowState(qtState);
    m_widget->show();
    // A desktop without a window manager leaves the size alone: give the window its size here.
    QTimer::singleShot(300, m_widget.data(), [this, state] {
        if (m_widget == nullptr || m_state != state || m_widget->screen() == nullptr) return;
        const QRect screen = m_widget->screen()->availableGeometry();
        if (state == WindowState::Maximized && m_widget->frameGeometry().width() < screen.width() / 2) {
            m_widget->setGeometry(screen);
        } else if (state == WindowState::Normal && m_normalGeometry.isValid() &&
                   m_widget->geometry().width() > m_normalGeometry.width() + 100) {
            m_widget->setGeometry(m_normalGeometry);
        }
    });
}

BOOL CWnd::IsWindowVisible() const { return m_widget != nullptr && m_visible ? TRUE : FALSE; }

BOOL CWnd::IsIconic() const { return m_state == WindowState::Minimized ? TRUE : FALSE; }

BOOL CWnd::IsZoomed() const { return m_state == WindowState::Maximized ? TRUE : FALSE; }

void CWnd::SetWindowText(std::string_view textCp932) {
    if (m_widget == nullptr) return;
    const QString text = platform::ToQString(textCp932);
    if (auto* label = dynamic_cast<QLabel*>(m_widget.data())) {
        label->setText(text);
    } else if (auto* line = dynamic_cast<QLineEdit*>(m_widget.data())) {
        line->setText(text);
    } else if (auto* edit = dynamic_cast<QPlainTextEdit*>(m_widget.data())) {
        edit->setPlainText(platform::WithoutCr(text));
    } else if (auto* button = dynamic_cast<QAbstractButton*>(m_widget.data())) {
        button->setText(text);
    } else if (auto* combo = dynamic_cast<QComboBox*>(m_widget.data())) {
        combo->setEditText(text);
    } else {
        m_widget->setWindowTitle(text);
    }
}

std::string CWnd::GetWindowText() const {
    if (m_widget == nullptr) return {};
    QString text;
    if (auto* label = dynamic_cast<QLabel*>(m_widget.data())) {
        text = label->text();
    } else if (auto* line = dynamic_cast<QLineEdit*>(m_widget.data())) {
        text = line->text();
    } else if (auto* edit = dynamic_cast<QPlainTextEdit*>(m_widget.data())) {
        text = platform::WithCrLf(edit->toPlainText());
    } else if (auto* button = dynamic_cast<QAbstractButton*>(m_widget.data())) {
        text = button->text();
    } else if (auto* combo = dynamic_cast<QComboBox*>(m_widget.data())) {
        text = combo->currentText();
    } else {
        text = m_widget->windowTitle();
    }
    return platform::FromQString(text);
}

CRect CWnd::GetClientRect() const {
    if (m_client != nullptr) return {0, 0, m_client->width(), m_client->height()};
    if (m_widget != nullptr) return {0, 0, m_widget->width(), m_widget->height()};
    return {};
}

void CWnd::InvalidateRect(const CRect* rect, BOOL erase) {
    const CRect area = rect != nullptr ? *rect : GetClientRect();
    m_invalid += QRect(area.left, area.top, area.Width(), area.Height());
    m_eraseInvalid = m_eraseInvalid || erase != FALSE;
    if (m_client != nullptr) m_client->update();
}

void CWnd::ValidateRect(const CRect* rect) {
    if (rect == nullptr) {
        m_invalid = QRegion();
        m_eraseInvalid = false;
    } else {
        m_invalid -= QRect(rect->left, rect->top, rect->Width(), rect->Height());
    }
}

void CWnd::ResizeSurface(int width, int height) {
    if (width <= 0 || height <= 0) return;
    // Positions stay in the window's own pixels; the surface holds as many of the screen's pixels
    // as they cover, so that text is drawn at the screen's resolution, not enlarged.
    const qreal ratio = m_client != nullptr ? m_client->devicePixelRatioF() : 1.0;
    QImage surface(qCeil(width * ratio), qCeil(height * ratio), QImage::Format_RGB32);
    surface.setDevicePixelRatio(ratio);
    surface.fill(QApplication::palette().color(QPalette::Window));
    if (!m_surface.isNull() && m_surface.devicePixelRatio() == ratio) {
        QPainter painter(&surface);
        painter.drawImage(0, 0, m_surface);
    }
    m_surface = std::move(surface);
}

std::unique_ptr<CDC> CWnd::GetDC() {
    auto dc = std::make_unique<CDC>(m_surface.isNull() ? nullptr : &m_surface, m_drawLog);
    if (m_client != nullptr) m_client->update();
    return dc;
}

CPaintDC::CPaintDC(CWnd* wnd)
    : CDC(wnd->m_surface.isNull() ? nullptr : &wnd->m_surface, wnd->m_drawLog,
          // An empty invalid area paints nothing: clip to a single pixel outside the surface.
          wnd->m_invalid.isEmpty() ? QRegion(-1, -1, 1, 1) : wnd->m_invalid),
      m_wnd(wnd) {
    if (wnd->m_eraseInvalid && !wnd->m_surface.isNull() && !wnd->m_invalid.isEmpty()) {
        QPainter painter(&wnd->m_surface);
        painter.setClipRegion(wnd->m_invalid);
        painter.fillRect(wnd->m_surface.rect(), QApplication::palette().color(QPalette::Window));
    }
    wnd->m_eraseInvalid = false;
    // Beginning to paint validates the area: what is invalidated while painting (a band that
    // paints itself) gets a context of its own, clipped to just that.
    wnd->m_invalid = QRegion();
}

CPaintDC::~CPaintDC() {
    if (m_wnd->m_client != nullptr) m_wnd->m_client->update();
}

int CWnd::MessageBox(std::string_view textCp932, std::string_view captionCp932, UINT type) {
    auto& state = platform::detail::State();
    const QString text = platform::ToQString(textCp932);
    const QString caption = platform::ToQString(captionCp932);
    state.messageBoxCalls.push_back({text.toStdString(), caption.toStdString(), type});
    if (!state.messageBoxAnswers.empty()) {
        const int answer = state.messageBoxAnswers.front();
        state.messageBoxAnswers.pop_front();
        return answer;
    }
    if (state.testMode) platform::detail::TestModeFailure("a message box has no answer queued");

    QMessageBox box(m_widget != nullptr && m_widget->isVisible() ? m_widget.data() : nullptr);
    // Modal to its window only: the tray icon keeps answering while the question is open.
    box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon((type & 0xF0) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::NoIcon);
    if ((type & 0x0F) == MB_YESNO) {
        QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == yes ? IDYES : IDNO;
    }
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
    return IDOK;
}

CMenu* CWnd::GetSystemMenu(BOOL) {
    if (m_client == nullptr) return nullptr;
    if (m_systemMenu == nullptr) m_systemMenu = std::make_unique<CMenu>();
    return m_systemMenu.get();
}

void CWnd::SetIcon(const QIcon* icon, BOOL) {
    if (m_widget != nullptr && icon != nullptr) m_widget->setWindowIcon(*icon);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT milliseconds) {
    if (m_widget == nullptr) return 0;
    KillTimer(id);
    auto* timer = new QTimer();
    timer->setInterval(static_cast<int>(milliseconds));
    QObject::connect(timer, &QTimer::timeout, [this, id] { OnTimer(id); });
    timer->start();
    m_timers[id] = timer;
    return id;
}

BOOL CWnd::KillTimer(UINT_PTR id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) return FALSE;
    delete it->second;
    m_timers.erase(it);
    return TRUE;
}

BOOL CWnd::IsTimerRunning(UINT_PTR id) const { return m_timers.count(id) != 0 ? TRUE : FALSE; }

QWidget* CWnd::GetDlgItemWidget(int id) const {
    if (m_client == nullptr) return nullptr;
    return m_client->findChild<QWidget*>(QStringLiteral("ctrl_%1").arg(id));
}

void CWnd::SetForegroundWindow() {
    if (m_widget == nullptr || !m_widget->isVisible()) return;
    m_widget->raise();
    m_widget->activateWindow();
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    // What the user sees in a field is what is stored: text the input method still holds as
    // pre-edit would otherwise be lost. Input methods differ in which call hands it over (ibus
    // commits on commit() and drops on reset(); fcitx5 commits on reset()), so commit comes first.
    if (saveAndValidate && QGuiApplication::inputMethod() != nullptr) {
        QGuiApplication::inputMethod()->commit();
        QGuiApplication::inputMethod()->reset();
    }
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.Failed() ? FALSE : TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}
BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }
BOOL CWnd::OnCommand(UINT) { return FALSE; }
void CWnd::OnControlNotify(int, UINT) {}
BOOL CWnd::OnToolTipNotify(TOOLTIPTEXT*) { return FALSE; }
void CWnd::OnTrayIconNotify(UINT, UINT) {}
int CWnd::OnCreate() { return 0; }
void CWnd::OnDestroy() {}
void CWnd::OnPaint() { CPaintDC dc(this); }
void CWnd::OnTimer(UINT_PTR) {}
void CWnd::OnMouseMove(UINT, CPoint) {}
void CWnd::OnLButtonDblClk(UINT, CPoint) {}
void CWnd::OnSysCommand(UINT id, LPARAM) { DefaultSysCommand(id); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) {}

void CWnd::DefaultSysCommand(UINT id) {
    // A change the window manager made has already happened.
    if (m_inWindowManagerChange) return;
    switch (id) {
    case SC_MAXIMIZE:
        ApplyWindowState(WindowState::Maximized, false);
        break;
    case SC_MINIMIZE:
        ApplyWindowState(WindowState::Minimized, false);
        break;
    case SC_RESTORE:
        ApplyWindowState(m_state == WindowState::Minimized ? m_stateBeforeMinimize : WindowState::Normal, false);
        break;
    default:
        break;
    }
}
