#include "platform/menu.h"

#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace {

void CollectIds(const CMenu& menu, std::vector<UINT>& ids) {
    for (const CMenu::Item& item : menu.Items()) {
        if (item.popup) {
            CollectIds(*item.popup, ids);
        } else {
            ids.push_back(item.separator ? 0 : item.id);
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

void CMenu::CopyItems(const std::vector<platform::MenuItemTemplate>& from, std::vector<Item>& to) {
    for (const platform::MenuItemTemplate& t : from) {
        Item item;
        item.separator = t.text == nullptr;
        item.textUtf8 = t.text != nullptr ? t.text : "";
        item.id = t.id;
        if (!t.items.empty()) {
            item.popup = std::make_unique<CMenu>();
            item.popup->m_titleUtf8 = item.textUtf8;
            CopyItems(t.items, item.popup->m_items);
        }
        to.push_back(std::move(item));
    }
}

CMenu::CMenu() = default;
CMenu::~CMenu() = default;

BOOL CMenu::LoadMenu(int id) {
    const platform::MenuTemplate* t = platform::FindMenuTemplate(id);
    if (t == nullptr) return FALSE;
    m_items.clear();
    for (const platform::MenuItemTemplate& popupTemplate : t->popups) {
        Item popup;
        popup.textUtf8 = popupTemplate.text != nullptr ? popupTemplate.text : "";
        popup.popup = std::make_unique<CMenu>();
        popup.popup->m_titleUtf8 = popup.textUtf8;
        CopyItems(popupTemplate.items, popup.popup->m_items);
        m_items.push_back(std::move(popup));
    }
    return TRUE;
}

CMenu* CMenu::GetSubMenu(int position) {
    if (position < 0 || position >= static_cast<int>(m_items.size())) return nullptr;
    return m_items[static_cast<std::size_t>(position)].popup.get();
}

BOOL CMenu::AppendMenu(UINT flags, UINT id, std::string_view textCp932) {
    Item item;
    item.separator = (flags & MF_SEPARATOR) != 0;
    item.id = item.separator ? 0 : id;
    item.textUtf8 = item.separator ? std::string() : platform::Utf8FromCp932(textCp932);
    item.grayed = (flags & MF_GRAYED) != 0;
    m_items.push_back(std::move(item));
    return TRUE;
}

CMenu::Item* CMenu::FindItemMutable(UINT id) {
    for (Item& item : m_items) {
        if (item.popup) {
            if (Item* found = item.popup->FindItemMutable(id)) return found;
        } else if (!item.separator && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

const CMenu::Item* CMenu::FindItem(UINT id) const { return const_cast<CMenu*>(this)->FindItemMutable(id); }

UINT CMenu::EnableMenuItem(UINT id, UINT flags) {
    Item* item = FindItemMutable(id);
    if (item == nullptr) return static_cast<UINT>(-1);
    const UINT previous = item->grayed ? MF_GRAYED : MF_ENABLED;
    item->grayed = (flags & MF_GRAYED) != 0;
    SyncActions();
    return previous;
}

UINT CMenu::GetMenuState(UINT id, UINT) const {
    const Item* item = FindItem(id);
    if (item == nullptr) return static_cast<UINT>(-1);
    return item->grayed ? MF_GRAYED : MF_ENABLED;
}

void CMenu::SyncActions() {
    for (const QPointer<QAction>& action : m_actions) {
        if (action == nullptr) continue;
        if (const Item* item = FindItem(action->property("commandId").toUInt())) action->setEnabled(!item->grayed);
    }
    for (Item& item : m_items) {
        if (item.popup) item.popup->SyncActions();
    }
}

void CMenu::FillQMenu(QMenu* menu, std::function<void(UINT)> onCommand) {
    for (Item& item : m_items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (item.popup) {
            QMenu* sub = menu->addMenu(QString::fromStdString(item.textUtf8));
            item.popup->FillQMenu(sub, onCommand);
        } else {
            QAction* action = menu->addAction(QString::fromStdString(item.textUtf8));
            const UINT id = item.id;
            action->setObjectName(QStringLiteral("menu_%1").arg(id));
            action->setProperty("commandId", id);
            action->setEnabled(!item.grayed);
            QObject::connect(action, &QAction::triggered, [onCommand, id] { onCommand(id); });
            m_actions.emplace_back(action);
        }
    }
}

QMenuBar* CMenu::BuildMenuBar(QWidget* parent, std::function<void(UINT)> onCommand) {
    auto* bar = new QMenuBar(parent);
    bar->setObjectName(QStringLiteral("menubar"));
    // The bar speaks the popups' face, not the window's.
    bar->setFont(QApplication::font("QMenu"));
    for (Item& item : m_items) {
        if (!item.popup) continue;
        QMenu* menu = bar->addMenu(QString::fromStdString(item.textUtf8));
        item.popup->FillQMenu(menu, onCommand);
        QObject::connect(menu, &QMenu::aboutToHide, bar, [bar] { GiveKeysBackOnceNoMenuIsOpen(bar); });
    }
    bar->installEventFilter(new MenuBarKeyboardFilter(bar));
    return bar;
}

QMenu* CMenu::BuildPopup(QWidget* parent, std::function<void(UINT)> onCommand) {
    auto* menu = new QMenu(parent);
    menu->setFont(QApplication::font("QMenu"));
    FillQMenu(menu, std::move(onCommand));
    return menu;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) {
    auto& state = platform::detail::State();
    UINT chosen = 0;
    if (state.popupHook || state.testMode) {
        platform::testing::PopupCall call;
        CollectIds(*this, call.ids);
        call.at = {x, y};
        call.flags = flags;
        state.popupCalls.push_back(call);
        if (!state.popupHook) platform::detail::TestModeFailure("a popup menu has no hook");
        chosen = state.popupHook(call);
    } else {
        QMenu* menu = BuildPopup(nullptr, [&chosen](UINT id) { chosen = id; });
        QPoint at(x, y);
        if ((flags & TPM_RIGHTALIGN) != 0) at.rx() -= menu->sizeHint().width();
        menu->exec(at);
        delete menu;
    }
    if ((flags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(chosen);
    if (chosen == 0) return FALSE;
    if (owner != nullptr) owner->OnCommand(chosen);
    return TRUE;
}

BOOL CMenu::DestroyMenu() {
    m_items.clear();
    m_actions.clear();
    return TRUE;
}
