#include "platform/menu.h"

#include "platform/resources.h"
#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace {

void AddItems(QMenu* menu, const std::vector<platform::MenuItemTemplate>& items) {
    for (const platform::MenuItemTemplate& item : items) {
        if (item.text == nullptr) {
            menu->addSeparator();
        } else if (!item.items.empty()) {
            AddItems(menu->addMenu(QString::fromUtf8(item.text)), item.items);
        } else {
            menu->addAction(QString::fromUtf8(item.text))->setData(item.id);
        }
    }
}

QAction* FindAction(const QMenu* menu, UINT id) {
    if (menu == nullptr) return nullptr;
    for (QAction* action : menu->actions()) {
        QAction* found = action->menu() != nullptr                                 ? FindAction(action->menu(), id)
                         : !action->isSeparator() && action->data().toUInt() == id ? action
                                                                                   : nullptr;
        if (found != nullptr) return found;
    }
    return nullptr;
}

// The command ids of the items in order, 0 for a separator.
void CollectIds(const QMenu* menu, std::vector<UINT>& ids) {
    for (const QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            CollectIds(action->menu(), ids);
        } else {
            ids.push_back(action->isSeparator() ? 0 : action->data().toUInt());
        }
    }
}

// A bar whose popup closed with Escape, or that got the keyboard back with its window, holds the
// keyboard and would go on opening menus on the arrows and swallow Escape: once no menu is open,
// the window gets its keys back.
void GiveKeysBackOnceNoMenuIsOpen(QMenuBar* bar) {
    QTimer::singleShot(0, bar, [bar] {
        if (QApplication::activePopupWidget() == nullptr && bar->hasFocus()) bar->clearFocus();
    });
}

class MenuBarKeyboardFilter : public QObject {
public:
    explicit MenuBarKeyboardFilter(QMenuBar* bar) : QObject(bar), m_bar(bar) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) GiveKeysBackOnceNoMenuIsOpen(m_bar);
        return false;
    }

private:
    QMenuBar* m_bar;
};

}  // namespace

CMenu::CMenu() = default;

CMenu::~CMenu() { DestroyMenu(); }

QMenu* CMenu::Popup() {
    if (m_popup == nullptr) m_popup = new QMenu();
    return m_popup;
}

BOOL CMenu::LoadMenu(int id) {
    const platform::MenuTemplate* t = platform::FindMenuTemplate(id);
    if (t == nullptr) return FALSE;
    DestroyMenu();
    for (const platform::MenuItemTemplate& popupTemplate : t->popups) {
        m_popups.push_back(std::make_unique<CMenu>());
        QMenu* popup = m_popups.back()->Popup();
        popup->setTitle(QString::fromUtf8(popupTemplate.text));
        AddItems(popup, popupTemplate.items);
    }
    return TRUE;
}

CMenu* CMenu::GetSubMenu(int position) {
    if (position < 0 || position >= static_cast<int>(m_popups.size())) return nullptr;
    return m_popups[static_cast<std::size_t>(position)].get();
}

BOOL CMenu::AppendMenu(UINT flags, UINT id, std::string_view textCp932) {
    if ((flags & MF_SEPARATOR) != 0) {
        Popup()->addSeparator();
        return TRUE;
    }
    QAction* action = Popup()->addAction(platform::ToQString(textCp932));
    action->setData(id);
    action->setEnabled((flags & MF_GRAYED) == 0);
    return TRUE;
}

QAction* CMenu::ItemAction(UINT id) const {
    if (QAction* found = FindAction(m_popup, id)) return found;
    for (const auto& popup : m_popups) {
        if (QAction* found = popup->ItemAction(id)) return found;
    }
    return nullptr;
}

UINT CMenu::EnableMenuItem(UINT id, UINT flags) {
    const UINT previous = GetMenuState(id);
    if (QAction* action = ItemAction(id)) action->setEnabled((flags & MF_GRAYED) == 0);
    return previous;
}

UINT CMenu::GetMenuState(UINT id, UINT) const {
    const QAction* action = ItemAction(id);
    if (action == nullptr) return static_cast<UINT>(-1);
    return action->isEnabled() ? MF_ENABLED : MF_GRAYED;
}

QMenuBar* CMenu::BuildMenuBar(QWidget* window, std::function<void(UINT)> onCommand) {
    auto* bar = new QMenuBar(window);
    // The bar speaks the popups' face, not the window's.
    bar->setFont(QApplication::font("QMenu"));
    for (const auto& popup : m_popups) {
        QMenu* menu = popup->Popup();
        menu->setParent(bar, menu->windowFlags());
        bar->addMenu(menu);
        QObject::connect(menu, &QMenu::aboutToHide, bar, [bar] { GiveKeysBackOnceNoMenuIsOpen(bar); });
    }
    QObject::connect(bar, &QMenuBar::triggered, bar,
                     [onCommand](QAction* action) { onCommand(action->data().toUInt()); });
    bar->installEventFilter(new MenuBarKeyboardFilter(bar));
    return bar;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) {
    auto& state = platform::detail::State();
    UINT chosen = 0;
    if (state.popupHook || state.testMode) {
        platform::testing::PopupCall call{{}, {x, y}, flags};
        CollectIds(Popup(), call.ids);
        state.popupCalls.push_back(call);
        if (!state.popupHook) platform::detail::TestModeFailure("a popup menu has no hook");
        chosen = state.popupHook(call);
    } else {
        QPoint at(x, y);
        if ((flags & TPM_RIGHTALIGN) != 0) at.rx() -= Popup()->sizeHint().width();
        if (const QAction* action = Popup()->exec(at)) chosen = action->data().toUInt();
    }
    if ((flags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(chosen);
    if (chosen == 0) return FALSE;
    if (owner != nullptr) owner->OnCommand(chosen);
    return TRUE;
}

BOOL CMenu::DestroyMenu() {
    delete m_popup.data();
    m_popups.clear();
    return TRUE;
}
