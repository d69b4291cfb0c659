#include "platform/resources.h"

#include "platform/state.h"

#include <algorithm>

namespace platform {
namespace {

const ResourceTables& Installed() { return detail::State().resources; }

template <typename T>
const T* FindById(const std::vector<T>& items, int id) {
    const auto it = std::find_if(items.begin(), items.end(), [id](const T& item) { return item.id == id; });
    return it == items.end() ? nullptr : &*it;
}

}  // namespace

void InstallResources(ResourceTables tables) { detail::State().resources = std::move(tables); }
const DialogTemplate* FindDialogTemplate(int id) { return FindById(Installed().dialogs, id); }
const MenuTemplate* FindMenuTemplate(int id) { return FindById(Installed().menus, id); }
const ToolBarTemplate* FindToolBarTemplate(int id) { return FindById(Installed().toolbars, id); }

std::string_view FindStringResource(UINT id) {
    const auto& strings = Installed().strings;
    const auto it = std::find_if(strings.begin(), strings.end(), [id](const auto& entry) { return entry.first == id; });
    return it == strings.end() ? std::string_view{} : it->second;
}

QIcon FindIconResource(int id) { return Installed().icon != nullptr ? Installed().icon(id) : QIcon(); }

QIcon FindToolBarButtonIcon(UINT commandId) {
    return Installed().toolBarButton != nullptr ? Installed().toolBarButton(commandId) : QIcon();
}

}  // namespace platform
