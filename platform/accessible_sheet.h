#pragma once

#include "platform/win_types.h"

#include <string>
#include <vector>

class CWnd;
class QWidget;

// Tables that a window paints itself, told to screen readers: each table with its column headers
// and cells, and where the window's cursor stands. Texts are code page 932.
namespace platform {

// One cell of a painted table.
struct AccessibleCell {
    std::string name;  // empty for a cell that shows nothing
    CRect rect;        // client pixels
};

// A painted table: `columnHeaders.size()` columns, `rows` rows.
struct AccessibleTable {
    std::string name;
    std::vector<std::string> columnHeaders;
    int rows = 0;
    std::vector<AccessibleCell> cells;  // row-major, rows times columns
    CRect rect;                         // client pixels
};

// Every table of a painted area and the cursor in it.
struct AccessibleSheet {
    std::vector<AccessibleTable> tables;
    int focusTable = -1;   // the table the cursor is in, or -1
    int focusRow = -1;     // the cursor's cell in it; -1 when the cursor frames the whole table
    int focusColumn = -1;  // 0..columns - 1
};

// Returns true while a screen reader or another assistive program listens: only then is a sheet
// worth making.
bool ScreenReaderListens();

// Makes `sheet` what screen readers find in the window's client area and announces what changed:
// a moved cursor as a focus and selection change, a changed cell as a name change, a changed
// shape as a reset of the table.
void SetAccessibleSheet(const CWnd& window, AccessibleSheet sheet);

// Makes Qt ask this layer for the accessible side of painted areas; needs the QApplication.
void InstallAccessibleSheets();

namespace detail {
// Marks a window's client area as one whose accessible side this layer gives.
void MarkPaintedArea(QWidget* widget);
}  // namespace detail

}  // namespace platform
