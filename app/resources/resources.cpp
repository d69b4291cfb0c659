#include "app/resources/resources.h"

namespace resources {

platform::ResourceTables VelmoraResources() {
    platform::ResourceTables tables;
    tables.dialogs = VelmoraDialogTemplates();
    tables.menus = VelmoraMenus();
    tables.toolbars = VelmoraToolBars();
    tables.strings = VelmoraStrings();
    tables.icon = VelmoraIcon;
    tables.toolBarButton = VelmoraToolBarButton;
    return tables;
}

}  // namespace resources
