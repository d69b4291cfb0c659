#pragma once

#include <functional>
#include <string>

class CWnd;
class QPainter;

namespace platform {

enum class PrintResult { Printed, Cancelled, Failed };

// Shows the print dialog modal to `owner` (A4 portrait to begin with) and, when the user prints,
// paints one page through `paint` on the printer chosen; a PDF file chosen in the dialog is
// written whole or not at all. Failed comes with the reason (UTF-8) in `error`.
PrintResult PrintPage(CWnd& owner, const std::function<void(QPainter&)>& paint, std::string& error);

}  // namespace platform
