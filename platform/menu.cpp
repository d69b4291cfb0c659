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

// The items of `menu` and of its submenus in order: separators and commands.
std::vector<QAction*> Items(const QMenu* menu) {
    std::vector<QAction*> items;
    for (QAction* action : menu != nullptr ? menu->actions() : QList<QAction*>()) {
        if (action->menu() == nullptr) {
            items.push_back(action);
        } else {
            for (QAction* item : Items(action->menu())) items.push_back(item);
        }
    }
    return items;
}

UINT CommandOf(const QAction* item) { return item->isSeparator() ? 0 : item->data().toUInt(); }

// A bar whose popup closed with Escape, or that got the keyboard back with its window, holds the
// keyboard and would go on opening menus on the arrows and swallow Escape: once no menu is open,
// the window gets its keys back.
void GiveKeysBackOnceNoMenuIsOpen(QMenuBar* bar) {
    QTimer::singleShot(0, bar, [bar] {
        if (QApplication::activePopupWidget() == nullptr && bar->hasFocus()) bar->clearFocus();
    });
}

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
    for (QAction* item : Items(m_popup)) {
        if (!item->isSeparator() && CommandOf(item) == id) return item;
    }
    for (const auto& popup : m_popups) {
        if (QAction* found = popup->ItemAction(id)) return found;
    }
    return nullptr;
}

UINT CMenu::EnableMenuItem(UINT id, UINT flags) {
    const UINT previous = GetMenuState(id);
    if (QAction* item = ItemAction(id)) item->setEnabled((flags & MF_GRAYED) == 0);
    return previous;
}

UINT CMenu::CheckMenuItem(UINT id, UINT flags) {
    QAction* item = ItemAction(id);
    if (item == nullptr) return static_cast<UINT>(-1);
    const UINT previous = item->isChecked() ? MF_CHECKED : MF_UNCHECKED;
    item->setCheckable(true);
    item->setChecked((flags & MF_CHECKED) != 0);
    return previous;
}

UINT CMenu::GetMenuState(UINT id, UINT) const {
    const QAction* item = ItemAction(id);
    if (item == nullptr) return static_cast<UINT>(-1);
    return item->isEnabled() ? MF_ENABLED : MF_GRAYED;
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
    QObject::connect(bar, &QMenuBar::triggered, bar, [onCommand](QAction* item) { onCommand(CommandOf(item)); });
    QObject::connect(qApp, &QApplication::focusChanged, bar, [bar](QWidget*, QWidget* now) {
        if (now == bar) GiveKeysBackOnceNoMenuIsOpen(bar);
    });
    return bar;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) {
    auto& state = platform::detail::State();
    auto& hooks = state.hooks;
    UINT chosen = 0;
    if (hooks.popupHook || state.testMode) {
        platform::testing::PopupCall call{{}, {x, y}, flags};
        for (const QAction* item : Items(Popup())) call.ids.push_back(CommandOf(item));
        hooks.popupCalls.push_back(call);
        if (!hooks.popupHook) platform::detail::TestModeFailure("a popup menu has no hook");
        chosen = hooks.popupHook(call);
    } else {
        QPoint at(x, y);
        if ((flags & TPM_RIGHTALIGN) != 0) at.rx() -= Popup()->sizeHint().width();
        if (const QAction* item = Popup()->exec(at)) chosen = CommandOf(item);
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
