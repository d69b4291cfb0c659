#pragma once

#include "platform/win_types.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class CWnd;

// A menu: a loaded menu's popups, or a popup whose items are Qt actions carrying their command
// ids as data. The actions hold the items' state.
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
    // Appends an item to this popup (MF_STRING with a code page 932 text, or MF_SEPARATOR; MF_GRAYED
    // greys it); returns TRUE.
    BOOL AppendMenu(UINT flags, UINT id = 0, std::string_view textCp932 = {});
    // Enables (MF_ENABLED) or greys (MF_GRAYED) the item `id`; returns the previous state, or
    // (UINT)-1 when there is no such item.
    UINT EnableMenuItem(UINT id, UINT flags);
    // Shows a check mark at the item `id` (MF_CHECKED) or none (MF_UNCHECKED); returns the previous
    // state, or (UINT)-1 when there is no such item.
    UINT CheckMenuItem(UINT id, UINT flags);
    // Returns MF_GRAYED or MF_ENABLED for the item `id`, or (UINT)-1 when there is none.
    UINT GetMenuState(UINT id, UINT flags = MF_BYCOMMAND) const;
    // Opens this popup at the screen point and sends the chosen command to `owner`; returns TRUE
    // when an item was chosen. With TPM_RETURNCMD it sends nothing and returns the chosen
    // command (0 for none).
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner);
    // Forgets the items.
    BOOL DestroyMenu();

    // Returns this popup's Qt menu, made on first use; its actions are the items.
    QMenu* Popup();
    // Returns the action of item `id`, searching the popups too, or nullptr.
    QAction* ItemAction(UINT id) const;
    // Makes the menu bar of this loaded menu in `window`; a chosen item calls `onCommand` with its id.
    QMenuBar* BuildMenuBar(QWidget* window, std::function<void(UINT)> onCommand);

private:
    QPointer<QMenu> m_popup;                       // dies with the menu bar it went into
    std::vector<std::unique_ptr<CMenu>> m_popups;  // a loaded menu's popups
};
