#pragma once

#include "platform/win_types.h"

#include <QIcon>

#include <string_view>
#include <utility>
#include <vector>

// The shapes of a program's resources, and the tables the program hands over; texts are UTF-8.
namespace platform {

enum class ControlKind {
    PushButton,
    DefPushButton,  // the default push button: Enter clicks it
    Edit,
    Static,  // static text
    Icon,    // static icon; `iconId` names the icon
    ListBox,
    ComboBox,     // drop-down with an editable field
    RadioButton,  // automatic radio button
};

// Control style bits that the layer acts on.
inline constexpr unsigned kTabStop = 1u << 0;       // Tab reaches the control
inline constexpr unsigned kGroup = 1u << 1;         // first control of a radio group
inline constexpr unsigned kMultiLine = 1u << 2;     // edit: several lines; Enter starts a new one
inline constexpr unsigned kVScroll = 1u << 4;       // multi-line edit: scroll bar always shown
inline constexpr unsigned kSorted = 1u << 5;        // list box: keeps its lines sorted
inline constexpr unsigned kNotify = 1u << 6;        // list box: reports double-clicks
inline constexpr unsigned kAlwaysScroll = 1u << 7;  // list box: scroll bar always shown

struct ControlTemplate {
    ControlKind kind;
    int id;  // -1 for controls nothing refers to
    const char* text;
    int x, y, cx, cy;  // dialog units
    unsigned style = 0;
    std::vector<const char*> items = {};  // combo box list items, in order
    int iconId = 0;
};

struct DialogTemplate {
    int id;
    const char* title;
    int cx, cy;            // client size in dialog units
    const char* fontFace;  // the face name as the program asks for it
    int fontPoints;
    int menuId;    // 0 = none
    bool visible;  // false for a window that is never shown
    std::vector<ControlTemplate> controls;
    bool minMaxBoxes = false;  // title bar with minimise and maximise boxes
};

struct MenuItemTemplate {
    const char* text;                          // nullptr for a separator
    UINT id;                                   // command id; 0 for a popup
    std::vector<MenuItemTemplate> items = {};  // a popup's items
};

struct MenuTemplate {
    int id;
    std::vector<MenuItemTemplate> popups;
};

struct ToolBarTemplate {
    int id;
    int buttonWidth, buttonHeight;  // image size in pixels
    std::vector<UINT> buttons;      // command ids in order; 0 is a separator
};

// The resources of a program, handed to the layer at start-up: templates, the string table and
// the two drawn kinds of image.
struct ResourceTables {
    std::vector<DialogTemplate> dialogs;
    std::vector<MenuTemplate> menus;
    std::vector<ToolBarTemplate> toolbars;
    std::vector<std::pair<UINT, std::string_view>> strings;
    QIcon (*icon)(int id) = nullptr;
    QIcon (*toolBarButton)(UINT commandId) = nullptr;
};

// Makes `tables` the resources that every window of the program is made from.
void InstallResources(ResourceTables tables);
// Returns the dialog template `id`, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);
// Returns the menu `id`, or nullptr.
const MenuTemplate* FindMenuTemplate(int id);
// Returns the toolbar `id`, or nullptr.
const ToolBarTemplate* FindToolBarTemplate(int id);
// Returns the UTF-8 text of string `id`, or an empty view when the table has none.
std::string_view FindStringResource(UINT id);
// Returns the icon resource `id`, or a null icon.
QIcon FindIconResource(int id);
// Returns the image of the toolbar button with command `commandId`, or a null icon.
QIcon FindToolBarButtonIcon(UINT commandId);

}  // namespace platform
