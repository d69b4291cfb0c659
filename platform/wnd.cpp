#include "platform/wnd.h"

#include "platform/resources.h"
#include "platform/state.h"
#include "platform/text_codec.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputMethod>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtMath>

#include <algorithm>

CWnd::CWnd() = default;

CWnd::~CWnd() = default;

BOOL CWnd::ShowWindow(int showCommand) {
    const BOOL wasVisible = IsWindowVisible();
    if (m_widget == nullptr) return wasVisible;
    if (showCommand == SW_HIDE) {
        m_widget->hide();
    } else {
        // SW_SHOW keeps the size and state the window has.
        ApplyWindowState(showCommand == SW_SHOWMAXIMIZED ? Qt::WindowMaximized
                         : showCommand == SW_SHOWNORMAL  ? Qt::WindowNoState
                                                         : m_state);
    }
    return wasVisible;
}

void CWnd::ApplyWindowState(Qt::WindowState state, bool fromWindowManager) {
    if (state == Qt::WindowMinimized && m_state != Qt::WindowMinimized) m_stateBeforeMinimize = m_state;
    m_state = state;
    if (fromWindowManager || m_widget == nullptr) return;
    if (state == Qt::WindowMaximized && !m_widget->isMaximized() && m_widget->isVisible()) {
        m_normalGeometry = m_widget->geometry();
    }
    m_widget->setWindowState((m_widget->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | state);
    m_widget->show();
    // A desktop without a window manager leaves the size alone: give the window its size here.
    QTimer::singleShot(300, m_widget.data(), [this, state] {
        if (m_state != state || m_widget->screen() == nullptr) return;
        const QRect screen = m_widget->screen()->availableGeometry();
        if (state == Qt::WindowMaximized && m_widget->frameGeometry().width() < screen.width() / 2) {
            m_widget->setGeometry(screen);
        } else if (state == Qt::WindowNoState && m_normalGeometry.isValid() &&
                   m_widget->geometry().width() > m_normalGeometry.width() + 100) {
            m_widget->setGeometry(m_normalGeometry);
        }
    });
}

void CWnd::SetWindowText(std::string_view textCp932) {
    if (m_widget != nullptr) platform::detail::SetWidgetText(m_widget, textCp932);
}

std::string CWnd::GetWindowText() const {
    return m_widget != nullptr ? platform::detail::WidgetText(m_widget) : std::string();
}

CRect CWnd::GetClientRect() const {
    const QWidget* area = m_client != nullptr ? m_client.data() : m_widget.data();
    return area != nullptr ? CRect{0, 0, area->width(), area->height()} : CRect{};
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
    if (!m_surface.isNull() && m_surface.devicePixelRatio() == ratio) QPainter(&surface).drawImage(0, 0, m_surface);
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
    auto& hooks = platform::detail::State().hooks;
    const QString text = platform::ToQString(textCp932);
    const QString caption = platform::ToQString(captionCp932);
    // Only a test reads the record; the program itself would keep every box of its life.
    if (platform::detail::State().testMode)
        hooks.messageBoxCalls.push_back({text.toStdString(), caption.toStdString(), type});
    if (!hooks.messageBoxAnswers.empty()) {
        const int answer = hooks.messageBoxAnswers.front();
        hooks.messageBoxAnswers.pop_front();
        return answer;
    }
    if (platform::detail::State().testMode) platform::detail::TestModeFailure("a message box has no answer queued");
    const bool yesNo = (type & 0x0F) == MB_YESNO;
    // Once the program ends, no question may hold it: the answer is the cautious one.
    if (platform::detail::State().quitPosted) return yesNo ? IDNO : IDOK;

    QMessageBox box(m_widget != nullptr && m_widget->isVisible() ? m_widget.data() : nullptr);
    // Modal to its window only: the tray icon keeps answering while the question is open.
    box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon((type & 0xF0) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::NoIcon);
    QPushButton* yes = nullptr;
    if (yesNo) {
        yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
    } else {
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    }
    // The box runs in a loop of ours, so that a quit posted while it is open (the end of the
    // session, SIGTERM) closes it unanswered instead of waiting for the user.
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    auto& loops = platform::detail::State().loops;
    loops.push_back(&loop);
    box.open();
    loop.exec();
    loops.erase(std::find(loops.begin(), loops.end(), &loop));
    if (!yesNo) return IDOK;
    return yes != nullptr && box.clickedButton() == yes ? IDYES : IDNO;
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
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [this, id] { OnTimer(id); });
    timer->start(static_cast<int>(milliseconds));
    m_timers[id] = std::move(timer);
    return id;
}

QWidget* CWnd::GetDlgItemWidget(int id) const {
    if (m_client == nullptr) return nullptr;
    return m_client->findChild<QWidget*>(QStringLiteral("ctrl_%1").arg(id));
}

void CWnd::SetDlgItemAccessibleName(int id, std::string_view textCp932) {
    if (QWidget* control = GetDlgItemWidget(id)) control->setAccessibleName(platform::ToQString(textCp932));
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
void CWnd::OnActivate(UINT, CWnd*, BOOL) {}

void CWnd::OnSysCommand(UINT id, LPARAM) {
    // A change the window manager made has already happened.
    if (m_inWindowManagerChange) return;
    if (id == SC_MAXIMIZE) ApplyWindowState(Qt::WindowMaximized);
    if (id == SC_MINIMIZE) ApplyWindowState(Qt::WindowMinimized);
    if (id == SC_RESTORE) {
        ApplyWindowState(m_state == Qt::WindowMinimized ? m_stateBeforeMinimize : Qt::WindowNoState);
    }
}

BOOL IsTrayAvailable() {
    const auto& forced = platform::detail::State().hooks.trayAvailable;
    if (forced) return *forced ? TRUE : FALSE;
    return QSystemTrayIcon::isSystemTrayAvailable() ? TRUE : FALSE;
}

BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data) {
    if (data == nullptr || data->hWnd == nullptr) return FALSE;
    CWnd& wnd = *data->hWnd;
    if (message == NIM_DELETE) {
        if (!wnd.m_tray || wnd.m_tray->uID != data->uID) return FALSE;
        wnd.m_trayIcon.reset();
        wnd.m_tray.reset();
        return TRUE;
    }
    if (message != NIM_ADD || wnd.m_tray) return FALSE;
    wnd.m_tray = *data;
    wnd.m_tray->szTip[sizeof data->szTip - 1] = '\0';
    if (platform::detail::State().testMode) return TRUE;
    // The icon is made even where no notification area exists yet (a panel that starts later at
    // login): the toolkit shows it as soon as one appears.
    auto* icon = new QSystemTrayIcon();
    wnd.m_trayIcon.reset(icon);
    if ((data->uFlags & NIF_ICON) != 0 && data->hIcon != nullptr) icon->setIcon(*data->hIcon);
    if ((data->uFlags & NIF_TIP) != 0) icon->setToolTip(platform::ToQString(wnd.m_tray->szTip));
    if ((data->uFlags & NIF_MESSAGE) != 0) {
        const UINT id = data->uID;
        // Queued, so that the icon's own press handler has returned before the window answers:
        // the answer may be a menu with a loop of its own, and a notification area that goes
        // away meanwhile (the panel restarted) makes the toolkit delete the icon's window, which
        // would leave that handler running in a deleted object.
        QObject::connect(
            icon, &QSystemTrayIcon::activated, icon,
            [&wnd, id](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) wnd.OnTrayIconNotify(id, WM_LBUTTONDOWN);
                if (reason == QSystemTrayIcon::Context) wnd.OnTrayIconNotify(id, WM_RBUTTONDOWN);
            },
            Qt::QueuedConnection);
    }
    icon->show();
    return TRUE;
}

BOOL ShowTrayBalloon(CWnd& window, std::string_view titleCp932, std::string_view textCp932,
                     std::function<void()> onClick) {
    QSystemTrayIcon* icon = window.m_trayIcon.get();
    if (icon == nullptr || !QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages())
        return FALSE;
    // One click answer at a time: the balloon shown last is the one a click means.
    QObject::disconnect(icon, &QSystemTrayIcon::messageClicked, nullptr, nullptr);
    if (onClick) QObject::connect(icon, &QSystemTrayIcon::messageClicked, icon, std::move(onClick));
    icon->showMessage(platform::ToQString(titleCp932), platform::ToQString(textCp932));
    return TRUE;
}

HICON LoadIconResource(int id, int cx, int cy) {
    auto& slot = platform::detail::State().icons[{id, cx, cy}];
    if (!slot) {
        const QIcon source = platform::FindIconResource(id);
        if (source.isNull()) return nullptr;
        slot = std::make_unique<QIcon>(source.pixmap(cx, cy));
    }
    return slot.get();
}
