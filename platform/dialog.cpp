#include "platform/dialog.h"

#include "platform/resources.h"
#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

using platform::detail::State;

namespace {

QFont DialogFont(const platform::DialogTemplate& t) {
    QFont font(platform::ResolveFontFace(QString::fromUtf8(t.fontFace)));
    font.setPixelSize((t.fontPoints * 96 + 36) / 72);
    return font;
}

// Dialog units to pixels, rounded as the platform the templates were drawn for rounds them.
int ToPixelsX(int units, const QSize& base) { return (units * base.width() + 2) / 4; }
int ToPixelsY(int units, const QSize& base) { return (units * base.height() + 4) / 8; }

// Returns the width in pixels that the control's own text needs.
int TextWidthNeeded(const platform::ControlTemplate& c, QWidget* control) {
    using platform::ControlKind;
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        // The style's minimum button width is no need of the text's.
        const auto* button = static_cast<QPushButton*>(control);
        const QStyle* style = button->style();
        return button->fontMetrics().horizontalAdvance(button->text()) +
               2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                    style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
    }
    case ControlKind::RadioButton:
    case ControlKind::Static:
        return control->sizeHint().width();
    default:
        return 0;
    }
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

QWidget* MakeControl(const platform::ControlTemplate& c, QWidget* client, CDialog* owner) {
    using platform::ControlKind;
    const QString text = QString::fromUtf8(c.text != nullptr ? c.text : "");
    QWidget* widget = nullptr;
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, client);
        button->setAutoDefault(false);
        const int id = c.id;
        QObject::connect(button, &QPushButton::clicked, [owner, id] { owner->OnCommand(static_cast<UINT>(id)); });
        widget = button;
        break;
    }
    case ControlKind::Edit:
        if ((c.style & platform::kMultiLine) != 0) {
            auto* edit = new QPlainTextEdit(client);
            edit->setTabChangesFocus(true);
            edit->setVerticalScrollBarPolicy((c.style & platform::kVScroll) != 0 ? Qt::ScrollBarAlwaysOn
                                                                                 : Qt::ScrollBarAsNeeded);
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
            const int id = c.id;
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
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(text, client);
        radio->setProperty("groupStart", (c.style & platform::kGroup) != 0);
        widget = radio;
        break;
    }
    }
    if (c.id >= 0) widget->setObjectName(QStringLiteral("ctrl_%1").arg(c.id));
    widget->setFocusPolicy((c.style & platform::kTabStop) != 0                            ? Qt::StrongFocus
                           : c.kind == ControlKind::Static || c.kind == ControlKind::Icon ? Qt::NoFocus
                                                                                          : Qt::ClickFocus);
    return widget;
}

}  // namespace

CDialog::CDialog(int templateId, CWnd*) : m_templateId(templateId) { platform::detail::InstallKeyFilter(); }

CDialog::~CDialog() {
    // The client widget goes with the window: forget it first.
    if (m_client != nullptr) m_client->Disown();
    m_client = nullptr;
    if (auto* window = dynamic_cast<platform::detail::DialogWidget*>(m_widget.data())) window->Disown();
    delete m_widget.data();
}

BOOL CDialog::MakeWindow() {
    const platform::DialogTemplate* t = platform::FindDialogTemplate(m_templateId);
    if (t == nullptr || qApp == nullptr) return FALSE;
    m_ended = false;
    m_result = 0;

    auto* window = new platform::detail::DialogWidget(this);
    window->setObjectName(QStringLiteral("dialog_%1").arg(m_templateId));
    window->setWindowTitle(QString::fromUtf8(t->title));
    const QFont font = DialogFont(*t);
    window->setFont(font);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint;
    if (t->minMaxBoxes)
        flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                Qt::WindowCloseButtonHint;
    window->setWindowFlags(flags);
    m_widget = window;

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (t->menuId != 0) {
        m_menu = std::make_unique<CMenu>();
        if (m_menu->LoadMenu(t->menuId)) {
            layout->setMenuBar(m_menu->BuildMenuBar(window, [this](UINT id) { Dispatch(id); }));
        }
    }
    auto* client = new platform::detail::ClientWidget(this, window);
    client->setObjectName(QStringLiteral("client"));
    layout->addWidget(client);
    m_client = client;

    std::vector<QWidget*> controls;
    for (const platform::ControlTemplate& c : t->controls) {
        controls.push_back(MakeControl(c, client, this));
        if (c.kind == platform::ControlKind::DefPushButton) window->SetDefaultButtonId(c.id);
    }
    const QSize base = FittingBaseUnits(*t, controls, platform::detail::DialogBaseUnits(font));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const platform::ControlTemplate& c = t->controls[i];
        // A combo box's template height takes in its dropped-down list; closed, it is one field high.
        const int height =
            c.kind == platform::ControlKind::ComboBox ? controls[i]->sizeHint().height() : ToPixelsY(c.cy, base);
        controls[i]->setGeometry(ToPixelsX(c.x, base), ToPixelsY(c.y, base), ToPixelsX(c.cx, base), height);
    }
    const QSize clientSize(ToPixelsX(t->cx, base), ToPixelsY(t->cy, base));
    client->setMinimumSize(clientSize);
    ResizeSurface(clientSize.width(), clientSize.height());
    if (!t->minMaxBoxes) {
        window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
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
        if (!state.modalHooks.empty()) {
            auto hook = std::move(state.modalHooks.front());
            state.modalHooks.pop_front();
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
    if (m_widget != nullptr) {
        m_widget->hide();
    }
    if (m_loop != nullptr) m_loop->exit(result);
}

void CDialog::DestroyWindow() {
    if (m_widget == nullptr) return;
    OnDestroy();
    for (UINT_PTR id : [this] {
             std::vector<UINT_PTR> ids;
             for (const auto& [timerId, timer] : m_timers) ids.push_back(timerId);
             return ids;
         }()) {
        KillTimer(id);
    }
    if (auto* window = dynamic_cast<platform::detail::DialogWidget*>(m_widget.data())) window->Disown();
    if (m_client != nullptr) m_client->Disown();
    m_client = nullptr;
    m_toolBar = nullptr;
    delete m_widget.data();
    m_widget = nullptr;
    m_menu.reset();
    m_visible = false;
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
    if (id == static_cast<UINT>(IDOK)) {
        OnOK();
        return TRUE;
    }
    if (id == static_cast<UINT>(IDCANCEL)) {
        OnCancel();
        return TRUE;
    }
    return CWnd::OnCommand(id);
}

void CDialog::EndDialogsOpenedAfter(const CDialog* outer) {
    const auto& open = State().modalDialogs;
    for (auto it = open.rbegin(); it != open.rend() && *it != outer; ++it) {
        if (!(*it)->m_ended) (*it)->OnEndSession();
    }
}

void CDialog::OnSysCommand(UINT id, LPARAM lParam) {
    if (id == SC_CLOSE) {
        OnCancel();
        return;
    }
    CWnd::OnSysCommand(id, lParam);
}

void CDialog::Dispatch(UINT id) { OnCommand(id); }

CWnd* CWnd::GetLastActivePopup() {
    // Modal runs nest: the innermost one lies on top of every window that opened it, and of the
    // windows that run modelessly beneath them all.
    const auto& open = State().modalDialogs;
    return open.empty() ? this : open.back();
}

void CDialog::RepositionBars(UINT, UINT, UINT) {
    if (m_toolBar == nullptr || m_toolBar->GetSafeWidget() == nullptr || m_client == nullptr) return;
    m_toolBar->GetSafeWidget()->setGeometry(0, 0, m_client->width(), CToolBar::kHeight);
}

CWinApp* g_application = nullptr;

CWinApp::CWinApp() { g_application = this; }

CWinApp::~CWinApp() {
    if (g_application == this) g_application = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return State().quitCode; }

CWinApp* AfxGetApp() { return g_application; }

BOOL AfxSocketInit() { return TRUE; }

int AfxMessageBox(UINT stringId, UINT type) {
    CWnd owner;
    const std::string text = Cp932(platform::FindStringResource(stringId));
    return owner.MessageBox(text, Cp932("Velmora"), type);
}

void PostQuitMessage(int exitCode) {
    auto& state = State();
    state.quitPosted = true;
    state.quitCode = exitCode;
    for (QEventLoop* loop : state.loops) loop->exit(-1);
}

BOOL IsQuitPosted() { return State().quitPosted ? TRUE : FALSE; }

short GetKeyState(int virtualKey) {
    const Qt::KeyboardModifiers held =
        State().keyboardModifiers ? *State().keyboardModifiers : QGuiApplication::queryKeyboardModifiers();
    Qt::KeyboardModifier modifier = Qt::NoModifier;
    if (virtualKey == static_cast<int>(VK_SHIFT)) modifier = Qt::ShiftModifier;
    if (virtualKey == static_cast<int>(VK_CONTROL)) modifier = Qt::ControlModifier;
    if (virtualKey == static_cast<int>(VK_MENU)) modifier = Qt::AltModifier;
    return modifier != Qt::NoModifier && held.testFlag(modifier) ? static_cast<short>(-0x8000) : 0;
}

CPoint GetCursorPos() {
    if (State().cursorPos) return *State().cursorPos;
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}
