#pragma once

#include "platform/dialog.h"

#include <string_view>

// Paints the grey 20-pixel band just below a schedule dialog's toolbar at once, with `textCp932`
// in black 12-point "ＭＳ 明朝" at client point `textAt` (painting stays inside the band).
void PaintScheduleBand(CWnd& wnd, const CToolBar& toolBar, CPoint textAt, std::string_view textCp932);
