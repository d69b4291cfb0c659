#include "platform/accessible_sheet.h"

#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

namespace platform {
namespace {

constexpr const char* kPaintedAreaProperty = "paintedArea";

// One painted area: its sheet and the interfaces made for it so far (0 where none was made).
// A table's children are its column headers, then its cells row by row.
struct Area {
    QPointer<QWidget> widget;
    AccessibleSheet sheet;
    std::vector<QAccessible::Id> tables;
    std::vector<std::vector<QAccessible::Id>> children;
};

std::map<const QWidget*, std::unique_ptr<Area>>& Areas() {
    static std::map<const QWidget*, std::unique_ptr<Area>> areas;
    return areas;
}

int Columns(const AccessibleTable& table) { return static_cast<int>(table.columnHeaders.size()); }

int ChildCount(const AccessibleTable& table) { return Columns(table) * (table.rows + 1); }

bool SameShape(const AccessibleTable& a, const AccessibleTable& b) {
    return a.rows == b.rows && a.columnHeaders.size() == b.columnHeaders.size();
}

const AccessibleTable* TableOf(const Area& area, int table) {
    return table >= 0 && table < static_cast<int>(area.sheet.tables.size()) ? &area.sheet.tables[table] : nullptr;
}

QRect ScreenRect(const Area& area, const CRect& r) {
    if (area.widget == nullptr) return {};
    return {area.widget->mapToGlobal(QPoint(r.left, r.top)), QSize(r.Width(), r.Height())};
}

bool WindowActive(const Area& area) { return area.widget != nullptr && area.widget->isActiveWindow(); }

void DeleteChildren(Area& area, std::size_t table) {
    for (QAccessible::Id& id : area.children[table]) {
        if (id != 0) QAccessible::deleteAccessibleInterface(std::exchange(id, 0));
    }
}

void Announce(QAccessibleInterface* iface, QAccessible::Event type) {
    if (iface == nullptr) return;
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
}

QAccessibleInterface* TableInterface(Area& area, int table);
QAccessibleInterface* ChildInterface(Area& area, int table, int child);

// What the parts of a painted table share: no QObject of their own, the area's window.
class PaintedPart : public QAccessibleInterface {
public:
    PaintedPart(Area* area, int table) : m_area(area), m_table(table) {}
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return m_area->widget != nullptr ? m_area->widget->window()->windowHandle() : nullptr;
    }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    const AccessibleTable* Table() const { return TableOf(*m_area, m_table); }

    Area* m_area;
    int m_table;
};

// A column header; it answers as a cell of no row too, for readers that ask any child of a
// table for its place.
class HeaderAccessible : public PaintedPart, public QAccessibleTableCellInterface {
public:
    HeaderAccessible(Area* area, int table, int column) : PaintedPart(area, table), m_column(column) {}
    bool isValid() const override { return Table() != nullptr && m_column < Columns(*Table()); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return TableInterface(*m_area, m_table); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? ToQString(Table()->columnHeaders[m_column]) : QString();
    }
    // The header stands above its column's first cell.
    QRect rect() const override {
        if (!isValid() || Table()->cells.empty()) return {};
        CRect r = Table()->cells[m_column].rect;
        r.top -= r.Height();
        r.bottom -= r.Height();
        return ScreenRect(*m_area, r);
    }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override { return {}; }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    bool isSelected() const override { return false; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return TableInterface(*m_area, m_table); }
    int Column() const { return m_column; }

private:
    int m_column;
};

class CellAccessible : public PaintedPart, public QAccessibleTableCellInterface {
public:
    CellAccessible(Area* area, int table, int row, int column)
        : PaintedPart(area, table), m_row(row), m_column(column) {}
    bool isValid() const override { return Table() != nullptr && Index() < static_cast<int>(Table()->cells.size()); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return TableInterface(*m_area, m_table); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? ToQString(Table()->cells[Index()].name) : QString();
    }
    QRect rect() const override { return isValid() ? ScreenRect(*m_area, Table()->cells[Index()].rect) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = true;
        s.selectable = true;
        s.selected = isSelected();
        s.focused = s.selected && WindowActive(*m_area);
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    bool isSelected() const override {
        const AccessibleSheet& sheet = m_area->sheet;
        return sheet.focusTable == m_table && sheet.focusRow == m_row && sheet.focusColumn == m_column;
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        return {ChildInterface(*m_area, m_table, m_column)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return TableInterface(*m_area, m_table); }
    int ChildIndex() const { return Columns(*Table()) * (m_row + 1) + m_column; }

private:
    int Index() const { return Table() != nullptr ? m_row * Columns(*Table()) + m_column : 0; }

    int m_row;
    int m_column;
};

class TableAccessible : public PaintedPart, public QAccessibleTableInterface {
public:
    using PaintedPart::PaintedPart;
    bool isValid() const override { return Table() != nullptr; }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* part = child(i);
            if (part != nullptr && part->rect().contains(x, y)) return part;
        }
        return nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_area->widget.data());
    }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount() ? ChildInterface(*m_area, m_table, index) : nullptr;
    }
    int childCount() const override { return isValid() ? ChildCount(*Table()) : 0; }
    int indexOfChild(const QAccessibleInterface* part) const override {
        if (const auto* cell = dynamic_cast<const CellAccessible*>(part)) return cell->ChildIndex();
        if (const auto* header = dynamic_cast<const HeaderAccessible*>(part)) return header->Column();
        return -1;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? ToQString(Table()->name) : QString();
    }
    QRect rect() const override { return isValid() ? ScreenRect(*m_area, Table()->rect) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::Table; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = true;
        s.focused = m_area->sheet.focusTable == m_table && m_area->sheet.focusRow < 0 && WindowActive(*m_area);
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this) : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
        return ChildInterface(*m_area, m_table, columnCount() * (row + 1) + column);
    }
    int selectedCellCount() const override { return static_cast<int>(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        const AccessibleSheet& sheet = m_area->sheet;
        if (sheet.focusTable != m_table || sheet.focusRow < 0) return {};
        QAccessibleInterface* cell = cellAt(sheet.focusRow, sheet.focusColumn);
        return cell != nullptr ? QList<QAccessibleInterface*>{cell} : QList<QAccessibleInterface*>{};
    }
    QString columnDescription(int column) const override {
        return isValid() && column >= 0 && column < columnCount() ? ToQString(Table()->columnHeaders[column])
                                                                  : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return isValid() ? Columns(*Table()) : 0; }
    int rowCount() const override { return isValid() ? Table()->rows : 0; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    // The cursor is the window's: a reader cannot select for it.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    // SetAccessibleSheet has made the interfaces new already when it announces a reset.
    void modelChange(QAccessibleTableModelChangeEvent*) override {}
};

// The painted area itself: its child widgets (a toolbar, a clock), then its tables.
class AreaAccessible : public QAccessibleWidget {
public:
    explicit AreaAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Client) {}
    int childCount() const override { return QAccessibleWidget::childCount() + Tables(); }
    QAccessibleInterface* child(int index) const override {
        const int widgets = QAccessibleWidget::childCount();
        if (index < widgets) return QAccessibleWidget::child(index);
        return index - widgets < Tables() ? TableInterface(*Own(), index - widgets) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* part) const override {
        if (const auto* table = dynamic_cast<const TableAccessible*>(part)) {
            for (int t = 0; t < Tables(); ++t) {
                if (TableInterface(*Own(), t) == table) return QAccessibleWidget::childCount() + t;
            }
            return -1;
        }
        return QAccessibleWidget::indexOfChild(part);
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int t = 0; t < Tables(); ++t) {
            QAccessibleInterface* table = TableInterface(*Own(), t);
            if (table->rect().contains(x, y)) return table;
        }
        return QAccessibleWidget::childAt(x, y);
    }

private:
    Area* Own() const;
    int Tables() const { return static_cast<int>(Own()->sheet.tables.size()); }
};

Area& AreaOf(QWidget* widget) {
    auto& areas = Areas();
    auto found = areas.find(widget);
    if (found != areas.end()) return *found->second;
    auto area = std::make_unique<Area>();
    area->widget = widget;
    QObject::connect(widget, &QObject::destroyed, [widget] {
        auto& all = Areas();
        auto gone = all.find(widget);
        if (gone == all.end()) return;
        Area& own = *gone->second;
        for (std::size_t t = 0; t < own.tables.size(); ++t) {
            DeleteChildren(own, t);
            if (own.tables[t] != 0) QAccessible::deleteAccessibleInterface(own.tables[t]);
        }
        all.erase(gone);
    });
    return *areas.emplace(widget, std::move(area)).first->second;
}

Area* AreaAccessible::Own() const {
    // A reader may still ask while the widget goes: it then has no tables.
    static Area gone;
    return widget() != nullptr ? &AreaOf(widget()) : &gone;
}

// The table's interface, made on first use; the sheet decides how many tables there are.
QAccessibleInterface* TableInterface(Area& area, int table) {
    if (TableOf(area, table) == nullptr) return nullptr;
    if (area.tables.size() < area.sheet.tables.size()) {
        area.tables.resize(area.sheet.tables.size(), 0);
        area.children.resize(area.sheet.tables.size());
    }
    QAccessible::Id& id = area.tables[table];
    if (id == 0) id = QAccessible::registerAccessibleInterface(new TableAccessible(&area, table));
    return QAccessible::accessibleInterface(id);
}

QAccessibleInterface* ChildInterface(Area& area, int table, int child) {
    const AccessibleTable* t = TableOf(area, table);
    if (t == nullptr || child < 0 || child >= ChildCount(*t) || TableInterface(area, table) == nullptr) return nullptr;
    std::vector<QAccessible::Id>& ids = area.children[table];
    if (ids.size() != static_cast<std::size_t>(ChildCount(*t))) ids.resize(ChildCount(*t), 0);
    QAccessible::Id& id = ids[child];
    if (id == 0) {
        const int columns = Columns(*t);
        QAccessibleInterface* made = child < columns
                                         ? static_cast<QAccessibleInterface*>(new HeaderAccessible(&area, table, child))
                                         : new CellAccessible(&area, table, child / columns - 1, child % columns);
        id = QAccessible::registerAccessibleInterface(made);
    }
    return QAccessible::accessibleInterface(id);
}

// Returns the cursor's cell, or its table when it frames a whole table, or nullptr.
QAccessibleInterface* FocusInterface(Area& area) {
    const AccessibleSheet& s = area.sheet;
    QAccessibleInterface* table = TableInterface(area, s.focusTable);
    if (table == nullptr || s.focusRow < 0) return table;
    QAccessibleInterface* cell = table->tableInterface()->cellAt(s.focusRow, s.focusColumn);
    return cell != nullptr ? cell : table;
}

QAccessibleInterface* MadeChild(const Area& area, std::size_t table, int child) {
    if (table >= area.children.size() || child < 0 || child >= static_cast<int>(area.children[table].size()))
        return nullptr;
    const QAccessible::Id id = area.children[table][child];
    return id != 0 ? QAccessible::accessibleInterface(id) : nullptr;
}

void AnnounceSelected(QAccessibleInterface* cell) {
    if (cell == nullptr) return;
    QAccessible::State changed;
    changed.selected = true;
    changed.focused = true;
    QAccessibleStateChangeEvent event(cell, changed);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

bool ScreenReaderListens() { return QAccessible::isActive(); }

void SetAccessibleSheet(const CWnd& window, AccessibleSheet sheet) {
    QWidget* widget = window.GetClientWidget();
    if (widget == nullptr) return;
    Area& area = AreaOf(widget);
    const bool announce = QAccessible::isActive();
    const AccessibleSheet& old = area.sheet;
    const bool focusMoved =
        old.focusTable != sheet.focusTable || old.focusRow != sheet.focusRow || old.focusColumn != sheet.focusColumn;

    // Tables that go are announced while they still answer, then forgotten.
    for (std::size_t t = sheet.tables.size(); t < area.tables.size(); ++t) {
        if (area.tables[t] == 0) continue;
        if (announce) Announce(QAccessible::accessibleInterface(area.tables[t]), QAccessible::ObjectDestroyed);
        DeleteChildren(area, t);
        QAccessible::deleteAccessibleInterface(area.tables[t]);
    }
    QAccessibleInterface* oldCursor = nullptr;
    if (!focusMoved || old.focusRow < 0 || static_cast<std::size_t>(old.focusTable) >= sheet.tables.size()) {
        oldCursor = nullptr;
    } else if (const AccessibleTable* t = TableOf(area, old.focusTable)) {
        if (SameShape(*t, sheet.tables[old.focusTable]))
            oldCursor = MadeChild(area, old.focusTable, Columns(*t) * (old.focusRow + 1) + old.focusColumn);
    }
    const std::size_t kept = std::min(area.tables.size(), sheet.tables.size());
    std::vector<int> reset;
    std::vector<QAccessibleInterface*> renamed;
    bool cursorRenamed = false;
    for (std::size_t t = 0; t < kept; ++t) {
        const AccessibleTable& before = old.tables[t];
        const AccessibleTable& after = sheet.tables[t];
        if (area.tables[t] == 0) continue;
        if (!SameShape(before, after)) {
            DeleteChildren(area, t);
            area.children[t].clear();
            reset.push_back(static_cast<int>(t));
            continue;
        }
        if (before.name != after.name) renamed.push_back(QAccessible::accessibleInterface(area.tables[t]));
        for (std::size_t c = 0; c < after.cells.size(); ++c) {
            if (before.cells[c].name == after.cells[c].name) continue;
            const int child = Columns(after) + static_cast<int>(c);
            if (QAccessibleInterface* cell = MadeChild(area, t, child)) renamed.push_back(cell);
            if (static_cast<int>(t) == sheet.focusTable &&
                static_cast<int>(c) == sheet.focusRow * Columns(after) + sheet.focusColumn) {
                cursorRenamed = true;
            }
        }
    }
    const std::size_t before = area.tables.size();
    area.tables.resize(sheet.tables.size(), 0);
    area.children.resize(sheet.tables.size());
    area.sheet = std::move(sheet);
    if (!announce) return;

    for (int t : reset) {
        QAccessibleTableModelChangeEvent event(QAccessible::accessibleInterface(area.tables[t]),
                                               QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&event);
    }
    for (QAccessibleInterface* part : renamed) Announce(part, QAccessible::NameChanged);
    for (std::size_t t = before; t < area.tables.size(); ++t) {
        Announce(TableInterface(area, static_cast<int>(t)), QAccessible::ObjectCreated);
    }
    const bool focusReset =
        std::find(reset.begin(), reset.end(), area.sheet.focusTable) != reset.end() || before != area.tables.size();
    if (!(focusMoved || focusReset || cursorRenamed)) return;
    AnnounceSelected(oldCursor);
    QAccessibleInterface* cursor = FocusInterface(area);
    if (cursor == nullptr) return;
    if (cursor->role() == QAccessible::Cell) AnnounceSelected(cursor);
    // Only the window the user is in moves a reader's focus.
    if (WindowActive(area)) Announce(cursor, QAccessible::Focus);
}

void InstallAccessibleSheets() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget == nullptr || !widget->property(kPaintedAreaProperty).toBool()) return nullptr;
        return new AreaAccessible(widget);
    });
}

namespace detail {

void MarkPaintedArea(QWidget* widget) { widget->setProperty(kPaintedAreaProperty, true); }

}  // namespace detail
}  // namespace platform
