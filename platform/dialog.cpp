#include "platform/dialog.h"

#include "platform/accessible_sheet.h"
#include "platform/multi_line_box.h"
#include "platform/resources.h"
#include "platform/state.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

using platform::ControlKind;
using platform::ControlTemplate;
using platform::detail::State;

namespace platform::detail {

// The top-level window of a dialog; hands window events to its CDialog.
class DialogWidget : public QDialog {
public:
    explicit DialogWidget(CDialog* owner) : QDialog(nullptr), m_owner(owner) {}
    CDialog* Owner() const { return m_owner; }
    void Disown() { m_owner = nullptr; }
    // Makes push button `id` the one that Enter clicks when no push button has the focus.
    void SetDefaultButtonId(int id) { m_defaultButtonId = id; }

    // Opens the window's system menu at the screen point; its choice arrives as a system command.
    // Returns false when the window has no system menu.
    bool TrackSystemMenu(const QPoint& at) {
        CMenu* systemMenu = m_owner != nullptr ? m_owner->GetSystemMenu(FALSE) : nullptr;
        if (systemMenu == nullptr || systemMenu->Popup()->actions().isEmpty()) return false;
        const auto chosen = static_cast<UINT>(systemMenu->TrackPopupMenu(TPM_RETURNCMD, at.x(), at.y(), m_owner));
        if (chosen != 0) m_owner->OnSysCommand(chosen, 0);
        return true;
    }

protected:
    bool event(QEvent* event) override {
        const QEvent::Type type = event->type();
        if (m_owner != nullptr && (type == QEvent::WindowActivate || type == QEvent::WindowDeactivate)) {
            m_owner->OnActivate(type == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE, nullptr, isMinimized());
        }
        return QDialog::event(event);
    }

    void closeEvent(QCloseEvent* event) override {
        // The close box is a system command; the window decides whether it hides or ends.
        event->ignore();
        if (m_owner != nullptr) m_owner->OnSysCommand(SC_CLOSE, 0);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (m_owner == nullptr) return QDialog::keyPressEvent(event);
        const int key = event->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
            // A push button that has the keyboard focus is the default button while it has it.
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            QAbstractButton* button = focused != nullptr && focused->isEnabled() ? focused : nullptr;
            if (button == nullptr && m_defaultButtonId != 0) {
                button = qobject_cast<QAbstractButton*>(m_owner->GetDlgItemWidget(m_defaultButtonId));
            }
            return button != nullptr ? button->click() : m_owner->OnOK();
        }
        if (key == Qt::Key_Escape) return m_owner->OnCancel();
        QDialog::keyPressEvent(event);
    }

    // A state the window manager set arrives as the system command that asks for it.
    void changeEvent(QEvent* event) override {
        QDialog::changeEvent(event);
        if (event->type() != QEvent::WindowStateChange || m_owner == nullptr) return;
        const Qt::WindowState state = isMinimized()   ? Qt::WindowMinimized
                                      : isMaximized() ? Qt::WindowMaximized
                                                      : Qt::WindowNoState;
        CWnd& wnd = *m_owner;
        if (state == wnd.m_state) return;  // the echo of a state this program asked for
        const UINT command = state == Qt::WindowMinimized                                       ? SC_MINIMIZE
                             : state == Qt::WindowMaximized && wnd.m_state == Qt::WindowNoState ? SC_MAXIMIZE
                                                                                                : SC_RESTORE;
        wnd.ApplyWindowState(state, true);
        wnd.m_inWindowManagerChange = true;
        m_owner->OnSysCommand(command, 0);
        wnd.m_inWindowManagerChange = false;
    }

private:
    CDialog* m_owner;
    int m_defaultButtonId = 0;
};

// The client area: the window's drawing surface, pointer events and child controls.
class ClientWidget : public QWidget {
public:
    ClientWidget(CWnd* owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
        setObjectName(QStringLiteral("client"));
        platform::detail::MarkPaintedArea(this);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void Disown() { m_owner = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {
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
        QPainter(this).drawImage(0, 0, m_owner->m_surface);
    }

    void resizeEvent(QResizeEvent*) override {
        if (m_owner == nullptr) return;
        m_owner->ResizeSurface(width(), height());
        m_owner->InvalidateRect(nullptr, TRUE);
        if (auto* dialog = dynamic_cast<CDialog*>(m_owner))
            dialog->RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);
    }

    // Showing a window repaints all of it.
    void showEvent(QShowEvent*) override {
        if (m_owner != nullptr) m_owner->InvalidateRect(nullptr, TRUE);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const QPoint p = event->position().toPoint();
        if (m_owner != nullptr) m_owner->OnMouseMove(0, {p.x(), p.y()});
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        const QPoint p = event->position().toPoint();
        if (m_owner != nullptr && event->button() == Qt::LeftButton) m_owner->OnLButtonDblClk(0, {p.x(), p.y()});
    }

    void contextMenuEvent(QContextMenuEvent* event) override {
        if (auto* window = dynamic_cast<DialogWidget*>(this->window())) window->TrackSystemMenu(event->globalPos());
    }

private:
    CWnd* m_owner;
};

namespace {

UINT VirtualKeyFromQt(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return static_cast<UINT>(key);
    static constexpr std::pair<int, UINT> kKeys[] = {
        {Qt::Key_Return, VK_RETURN},   {Qt::Key_Enter, VK_RETURN},  {Qt::Key_Shift, VK_SHIFT},
        {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},      {Qt::Key_Escape, VK_ESCAPE},
        {Qt::Key_Left, VK_LEFT},       {Qt::Key_Up, VK_UP},         {Qt::Key_Right, VK_RIGHT},
        {Qt::Key_Down, VK_DOWN},       {Qt::Key_Space, VK_SPACE},   {Qt::Key_Tab, VK_TAB},
        {Qt::Key_Backspace, VK_BACK},  {Qt::Key_Delete, VK_DELETE},
    };
    for (const auto& [qtKey, vk] : kKeys) {
        if (qtKey == key) return vk;
    }
    return 0;
}

// Hands each key press and release to the PreTranslateMessage of the dialog it is bound for,
// where it reaches its first widget (the keyboard grabber, else the window's focus widget, else
// the window): a key that widget leaves travels on to its parents, and is not handed over again.
class KeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* window = widget != nullptr ? dynamic_cast<DialogWidget*>(widget->window()) : nullptr;
        if (window == nullptr || window->Owner() == nullptr) return false;
        QWidget* first = QWidget::keyboardGrabber() != nullptr ? QWidget::keyboardGrabber() : window->focusWidget();
        if (widget != (first != nullptr ? first : window)) return false;
        auto* key = dynamic_cast<QKeyEvent*>(event);
        // The keyboard's context-menu keys (Menu, Shift+F10) open the system menu too: window
        // managers commonly keep Alt+Space for their own window menu.
        if (event->type() == QEvent::KeyPress &&
            (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier))) {
            return window->TrackSystemMenu(window->mapToGlobal(QPoint(0, 0)));
        }
        const UINT vk = VirtualKeyFromQt(key->key());
        if (vk == 0) return false;
        const bool press = event->type() == QEvent::KeyPress;
        MSG msg{press ? WM_KEYDOWN : WM_KEYUP, vk,
                (key->modifiers().testFlag(Qt::ShiftModifier) ? MK_SHIFT : 0u) |
                    (key->modifiers().testFlag(Qt::ControlModifier) ? MK_CONTROL : 0u)};
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
    auto& state = State();
    if (state.keyFilter != nullptr || qApp == nullptr) return;
    state.keyFilter = new KeyFilter(qApp);
    qApp->installEventFilter(state.keyFilter);
}

}  // namespace platform::detail

namespace {

// Dialog units to pixels, rounded as the platform the templates were drawn for rounds them.
int ToPixelsX(int units, const QSize& base) { return (units * base.width() + 2) / 4; }
int ToPixelsY(int units, const QSize& base) { return (units * base.height() + 4) / 8; }

// The average character width of the font, rounded to the nearest pixel, and its height.
QSize DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QSize((alphabet / 26 + 1) / 2, metrics.height());
}

// Returns the width in pixels that the control's own text needs.
int TextWidthNeeded(const ControlTemplate& c, QWidget* control) {
    if (c.kind == ControlKind::RadioButton || c.kind == ControlKind::Static) return control->sizeHint().width();
    if (c.kind != ControlKind::PushButton && c.kind != ControlKind::DefPushButton) return 0;
    // The style's minimum button width is no need of the text's.
    const auto* button = qobject_cast<const QPushButton*>(control);
    if (button == nullptr) return 0;
    const QStyle* style = button->style();
    return button->fontMetrics().horizontalAdvance(button->text()) +
           2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
}

// The dialog's base units, widened where the face standing in for the template's font is too
// wide for a control's text: the whole dialog then grows alike, so that no text is cut and no
// control runs into its neighbour. Where every text fits, the template's size holds as it is.
QSize FittingBaseUnits(const platform::DialogTemplate& t, const std::vector<QWidget*>& controls, QSize base) {
    const auto allFit = [&] {
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if (TextWidthNeeded(t.controls[i], controls[i]) > ToPixelsX(t.controls[i].cx, base)) return false;
        }
        return true;
    };
    for (int widened = 0; widened < 8 && !allFit(); ++widened) base.rwidth() += 1;
    return base;
}

QWidget* MakeControl(const ControlTemplate& c, QWidget* client, CDialog* owner) {
    const QString text = QString::fromUtf8(c.text != nullptr ? c.text : "");
    const int id = c.id;
    QWidget* widget = nullptr;
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, client);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, [owner, id] { owner->OnCommand(static_cast<UINT>(id)); });
        widget = button;
        break;
    }
    case ControlKind::Edit:
        if ((c.style & platform::kMultiLine) != 0) {
            auto* edit = new platform::detail::MultiLineBox(client);
            edit->setTabChangesFocus(true);
            edit->setVerticalScrollBarPolicy((c.style & platform::kVScroll) != 0 ? Qt::ScrollBarAlwaysOn
                                                                                 : Qt::ScrollBarAsNeeded);
            QObject::connect(edit, &QPlainTextEdit::textChanged,
                             [owner, id] { owner->OnControlNotify(id, EN_CHANGE); });
            widget = edit;
        } else {
            widget = new QLineEdit(client);
        }
        break;
    case ControlKind::Static:
        widget = new QLabel(text, client);
        break;
    case ControlKind::Icon: {
        auto* label = new QLabel(client);
        label->setPixmap(platform::FindIconResource(c.iconId).pixmap(kSystemIconSize, kSystemIconSize));
        widget = label;
        break;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(client);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setProperty("sortedLines", (c.style & platform::kSorted) != 0);
        if ((c.style & platform::kAlwaysScroll) != 0) list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        if ((c.style & platform::kNotify) != 0) {
            QObject::connect(list, &QListWidget::itemDoubleClicked,
                             [owner, id] { owner->OnControlNotify(id, LBN_DBLCLK); });
        }
        widget = list;
        break;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(client);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        for (const char* item : c.items) combo->addItem(QString::fromUtf8(item));
        combo->setCurrentIndex(-1);
        widget = combo;
        break;
    }
    case ControlKind::RadioButton:
        widget = new QRadioButton(text, client);
        widget->setProperty("groupStart", (c.style & platform::kGroup) != 0);
        break;
    }
    if (id >= 0) widget->setObjectName(QStringLiteral("ctrl_%1").arg(id));
    widget->setFocusPolicy((c.style & platform::kTabStop) != 0                            ? Qt::StrongFocus
                           : c.kind == ControlKind::Static || c.kind == ControlKind::Icon ? Qt::NoFocus
                                                                                          : Qt::ClickFocus);
    return widget;
}

bool IsField(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::ComboBox || kind == ControlKind::ListBox;
}

// A static text names the field it stands beside, so that screen readers read it with the field:
// the field just before it when that has no name yet ("月" after the month box), else the field
// just after it ("休日名" before the name box).
void NameFieldsByTheirLabels(const platform::DialogTemplate& t, const std::vector<QWidget*>& controls) {
    std::vector<bool> named(controls.size(), false);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        auto* label = qobject_cast<QLabel*>(controls[i]);
        if (t.controls[i].kind != ControlKind::Static || label == nullptr || label->text().isEmpty()) continue;
        std::size_t field = controls.size();
        if (i > 0 && IsField(t.controls[i - 1].kind) && !named[i - 1]) {
            field = i - 1;
        } else if (i + 1 < controls.size() && IsField(t.controls[i + 1].kind)) {
            field = i + 1;
        }
        if (field == controls.size()) continue;
        label->setBuddy(controls[field]);
        named[field] = true;
    }
}

}  // namespace

CDialog::CDialog(int templateId, CWnd*) : m_templateId(templateId) { platform::detail::InstallKeyFilter(); }

CDialog::~CDialog() { DestroyWindow(); }

BOOL CDialog::MakeWindow() {
    const platform::DialogTemplate* t = platform::FindDialogTemplate(m_templateId);
    if (t == nullptr || qApp == nullptr) return FALSE;
    m_ended = false;
    m_result = 0;

    auto* window = new platform::detail::DialogWidget(this);
    window->setWindowTitle(QString::fromUtf8(t->title));
    QFont font(platform::ResolveFontFace(QString::fromUtf8(t->fontFace)));
    font.setPixelSize((t->fontPoints * 96 + 36) / 72);
    window->setFont(font);
    window->setWindowFlags(t->minMaxBoxes ? Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                                Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint
                                          : Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    m_widget = window;

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (t->menuId != 0) {
        m_menu = std::make_unique<CMenu>();
        if (m_menu->LoadMenu(t->menuId)) {
            layout->setMenuBar(m_menu->BuildMenuBar(window, [this](UINT id) { OnCommand(id); }));
        }
    }
    auto* client = new platform::detail::ClientWidget(this, window);
    layout->addWidget(client);
    m_client = client;

    std::vector<QWidget*> controls;
    for (const ControlTemplate& c : t->controls) {
        controls.push_back(MakeControl(c, client, this));
        if (c.kind == ControlKind::DefPushButton) window->SetDefaultButtonId(c.id);
    }
    NameFieldsByTheirLabels(*t, controls);
    const QSize base = FittingBaseUnits(*t, controls, DialogBaseUnits(font));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlTemplate& c = t->controls[i];
        // A combo box's template height takes in its dropped-down list; closed, it is one field high.
        const int height = c.kind == ControlKind::ComboBox ? controls[i]->sizeHint().height() : ToPixelsY(c.cy, base);
        controls[i]->setGeometry(ToPixelsX(c.x, base), ToPixelsY(c.y, base), ToPixelsX(c.cx, base), height);
    }
    const QSize clientSize(ToPixelsX(t->cx, base), ToPixelsY(t->cy, base));
    client->setMinimumSize(clientSize);
    ResizeSurface(clientSize.width(), clientSize.height());
    if (!t->minMaxBoxes) layout->setSizeConstraint(QLayout::SetFixedSize);
    window->adjustSize();

    if (OnCreate() == -1) {
        DestroyWindow();
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::Create(int templateId, CWnd*) {
    m_templateId = templateId;
    if (!MakeWindow()) return FALSE;
    OnInitDialog();
    const platform::DialogTemplate* t = platform::FindDialogTemplate(m_templateId);
    if (t != nullptr && t->visible && !m_ended) ShowWindow(SW_SHOW);
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    auto& state = State();
    if (state.quitPosted || !MakeWindow()) return -1;
    // Modal to the dialog that opened it, not to the whole program: the tray icon must answer
    // whatever runs, and application modality would block it too.
    m_widget->setWindowModality(Qt::WindowModal);
    if (!state.modalDialogs.empty() && state.modalDialogs.back()->m_widget != nullptr) {
        QWidget* opener = state.modalDialogs.back()->m_widget;
        m_widget->winId();
        opener->winId();
        m_widget->windowHandle()->setTransientParent(opener->windowHandle());
    }
    state.modalDialogs.push_back(this);
    if (OnInitDialog() != FALSE) {
        // The first control that takes the tab key gets the focus.
        for (QWidget* child : m_client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->focusPolicy() == Qt::StrongFocus && child->isEnabled()) {
                child->setFocus();
                break;
            }
        }
    }
    if (!m_ended && !state.quitPosted) {
        auto& hooks = state.hooks.modalHooks;
        if (!hooks.empty()) {
            auto hook = std::move(hooks.front());
            hooks.pop_front();
            ShowWindow(SW_SHOWNORMAL);
            hook(*this);
            if (!m_ended && !state.quitPosted) platform::detail::TestModeFailure("a modal hook left its dialog open");
        } else if (state.testMode) {
            platform::detail::TestModeFailure("a dialog was run modally with no modal hook queued");
        } else {
            ShowWindow(SW_SHOWNORMAL);
            RunModalLoop(0);
        }
    }
    if (!m_ended) m_result = -1;
    state.modalDialogs.erase(std::find(state.modalDialogs.begin(), state.modalDialogs.end(), this));
    DestroyWindow();
    return m_result;
}

int CDialog::RunModalLoop(DWORD) {
    auto& state = State();
    if (state.quitPosted || m_ended) return m_result;
    QEventLoop loop;
    m_loop = &loop;
    state.loops.push_back(&loop);
    loop.exec();
    state.loops.erase(std::find(state.loops.begin(), state.loops.end(), &loop));
    m_loop = nullptr;
    return m_ended ? m_result : -1;
}

void CDialog::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    if (m_widget != nullptr) m_widget->hide();
    if (m_loop != nullptr) m_loop->exit(result);
}

void CDialog::DestroyWindow() {
    if (m_widget == nullptr) return;
    OnDestroy();
    m_timers.clear();
    // The window's events must no longer reach this object while it goes.
    if (auto* window = dynamic_cast<platform::detail::DialogWidget*>(m_widget.data())) window->Disown();
    if (auto* client = dynamic_cast<platform::detail::ClientWidget*>(m_client.data())) client->Disown();
    delete m_widget.data();
    m_menu.reset();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnEndSession() { OnCancel(); }

BOOL CDialog::OnCommand(UINT id) {
    switch (id) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return CWnd::OnCommand(id);
    }
}

void CDialog::EndDialogsOpenedAfter(const CDialog* outer) {
    const auto& open = State().modalDialogs;
    for (auto it = open.rbegin(); it != open.rend() && *it != outer; ++it) {
        if (!(*it)->m_ended) (*it)->OnEndSession();
    }
}

void CDialog::OnSysCommand(UINT id, LPARAM lParam) {
    if (id == SC_CLOSE) return OnCancel();
    CWnd::OnSysCommand(id, lParam);
}

CWnd* CWnd::GetLastActivePopup() {
    // Modal runs nest: the innermost one lies on top of every window that opened it, and of the
    // windows that run modelessly beneath them all.
    const auto& open = State().modalDialogs;
    return open.empty() ? this : open.back();
}

void CDialog::RepositionBars(UINT, UINT, UINT) {
    QToolBar* bar = m_client != nullptr ? m_client->findChild<QToolBar*>({}, Qt::FindDirectChildrenOnly) : nullptr;
    if (bar != nullptr) bar->setGeometry(0, 0, m_client->width(), CToolBar::kHeight);
}
