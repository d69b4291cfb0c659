#pragma once

#include "platform/resources.h"

// The program's resources, which the shell hands to the window layer at start-up.
namespace resources {

// Returns every resource table of the program.
platform::ResourceTables VelmoraResources();

std::vector<platform::DialogTemplate> VelmoraDialogTemplates();
std::vector<platform::MenuTemplate> VelmoraMenus();
std::vector<platform::ToolBarTemplate> VelmoraToolBars();
std::vector<std::pair<UINT, std::string_view>> VelmoraStrings();
// Returns icon `id` (IDI_CALENDAR, IDR_MAINFRAME), drawn by the program, or a null icon.
QIcon VelmoraIcon(int id);
// Returns the image of the toolbar button with command `commandId`, or a null icon.
QIcon VelmoraToolBarButton(UINT commandId);

}  // namespace resources
