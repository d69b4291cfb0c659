#pragma once

#include "platform/resources.h"
#include "platform/win_types.h"

#include <QAction>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QMenu;
class QMenuBar;
class QAction;
class CWnd;

// A menu bar or popup menu whose items carry command ids.
class CMenu {
public:
    CMenu();
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Loads menu resource `id` as a list of popups; returns TRUE when it exists.
    BOOL LoadMenu(int id);
    // Returns popup `position` of a loaded menu, or nullptr.
    CMenu* GetSubMenu(int position);
    // Appends an item (MF_STRING with a code page 932 text, or MF_SEPARATOR); returns TRUE.
    BOOL AppendMenu(UINT flags, UINT id = 0, std::string_view textCp932 = {});
    // Enables (MF_ENABLED) or greys (MF_GRAYED) the item `id`; returns the previous state, or
    // (UINT)-1 when there is no such item.
    UINT EnableMenuItem(UINT id, UINT flags);
    // Returns MF_GRAYED or MF_ENABLED for the item `id`, or (UINT)-1 when there is none.
    UINT GetMenuState(UINT id, UINT flags = MF_BYCOMMAND) const;
    // Opens this popup at the screen point and sends the chosen command to `owner`; returns TRUE
    // when an item was chosen. With TPM_RETURNCMD it sends nothing and returns the chosen
    // command (0 for none).
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner);
    // Forgets the items.
    BOOL DestroyMenu();

    struct Item {
        std::string textUtf8;  // empty for a separator
        UINT id = 0;
        bool separator = false;
        bool grayed = false;
        std::unique_ptr<CMenu> popup;  // set for a popup
    };
    // Returns the items, in order.
    const std::vector<Item>& Items() const { return m_items; }
    // Returns the item with command `id`, searching popups too, or nullptr.
    const Item* FindItem(UINT id) const;
    // Returns the popup's title (UTF-8); empty for a top-level menu.
    const std::string& Title() const { return m_titleUtf8; }

    // Builds Qt's menu bar for this menu; choices call `onCommand` with their id.
    QMenuBar* BuildMenuBar(QWidget* parent, std::function<void(UINT)> onCommand);
    // Builds a Qt popup of this menu.
    QMenu* BuildPopup(QWidget* parent, std::function<void(UINT)> onCommand);

private:
    static void CopyItems(const std::vector<platform::MenuItemTemplate>& from, std::vector<Item>& to);
    Item* FindItemMutable(UINT id);
    void FillQMenu(QMenu* menu, std::function<void(UINT)> onCommand);
    void SyncActions();

    std::string m_titleUtf8;
    std::vector<Item> m_items;
    std::vector<QPointer<QAction>> m_actions;  // Qt actions built for the items, by command id
};
