#include "platform/multi_line_box.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalBlocker>

#include <climits>
#include <vector>

namespace {

constexpr int kCp932Role = Qt::UserRole + 1;  // the line's own code page 932 bytes

QListWidget* List(const QPointer<QWidget>& widget) { return qobject_cast<QListWidget*>(widget.data()); }

std::string LineBytes(const QListWidgetItem* item) { return item->data(kCp932Role).toByteArray().toStdString(); }

// A list box row is one line: each line break of the text shows as one visible mark.
QString AsOneLine(QString text) {
    const QString mark(QChar(0x21B5));  // ↵
    return text.replace(QStringLiteral("\r\n"), mark).replace(QLatin1Char('\r'), mark).replace(QLatin1Char('\n'), mark);
}

QWidget* Control(CDataExchange* dx, int id) { return dx->m_pDlgWnd->GetDlgItemWidget(id); }

// The radio buttons of the group that starts at `first`, in tab order.
std::vector<QRadioButton*> RadioGroup(CDataExchange* dx, int first) {
    std::vector<QRadioButton*> group;
    auto* start = qobject_cast<QRadioButton*>(Control(dx, first));
    if (start == nullptr) return group;
    for (QObject* sibling : start->parentWidget()->children()) {
        auto* radio = qobject_cast<QRadioButton*>(sibling);
        if (radio == nullptr || (radio != start && group.empty())) continue;
        if (!group.empty() && radio->property("groupStart").toBool()) break;
        group.push_back(radio);
    }
    return group;
}

// The property that holds what a widget shows: a multi-line box's text, a combo box's field, the
// text of a label, line edit or button; else the window title.
const char* TextProperty(const QWidget* widget) {
    for (const char* name : {"plainText", "currentText", "text"}) {
        if (widget->metaObject()->indexOfProperty(name) >= 0) return name;
    }
    return "windowTitle";
}

}  // namespace

namespace platform::detail {

void SetWidgetText(QWidget* widget, std::string_view textCp932) {
    const QString text = platform::ToQString(textCp932);
    if (auto* box = dynamic_cast<MultiLineBox*>(widget)) {
        // Text that the program sets is no change by the user: no EN_CHANGE.
        const QSignalBlocker quiet(box);
        return box->SetText(platform::WithoutCr(text));
    }
    const char* property = TextProperty(widget);
    widget->setProperty(property, qstrcmp(property, "plainText") == 0 ? platform::WithoutCr(text) : text);
}

std::string WidgetText(const QWidget* widget) {
    if (const auto* box = dynamic_cast<const MultiLineBox*>(widget)) {
        return platform::FromQString(platform::WithCrLf(box->Text()));
    }
    const char* property = TextProperty(widget);
    const QString text = widget->property(property).toString();
    return platform::FromQString(qstrcmp(property, "plainText") == 0 ? platform::WithCrLf(text) : text);
}

}  // namespace platform::detail

void CListBox::ResetContent() {
    if (QListWidget* list = List(m_widget)) list->clear();
}

int CListBox::AddString(std::string_view textCp932) {
    QListWidget* list = List(m_widget);
    if (list == nullptr) return LB_ERR;
    int position = list->count();
    if (list->property("sortedLines").toBool()) {
        // A sorted box places the line after every line that sorts before or equal to it.
        int low = 0;
        while (low < position) {
            const int mid = (low + position) / 2;
            if (LineBytes(list->item(mid)) <= textCp932) {
                low = mid + 1;
            } else {
                position = mid;
            }
        }
    }
    auto* item = new QListWidgetItem(AsOneLine(platform::ToQString(textCp932)));
    item->setData(kCp932Role, QByteArray(textCp932.data(), static_cast<qsizetype>(textCp932.size())));
    list->insertItem(position, item);
    return position;
}

int CListBox::GetCount() const {
    const QListWidget* list = List(m_widget);
    return list != nullptr ? list->count() : 0;
}

int CListBox::GetCurSel() const {
    const QListWidget* list = List(m_widget);
    const QList<QListWidgetItem*> selected = list != nullptr ? list->selectedItems() : QList<QListWidgetItem*>();
    return selected.isEmpty() ? LB_ERR : list->row(selected.front());
}

int CListBox::SetCurSel(int position) {
    QListWidget* list = List(m_widget);
    if (list == nullptr) return LB_ERR;
    if (position < 0 || position >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
        return position == -1 ? 0 : LB_ERR;
    }
    list->setCurrentRow(position);
    list->item(position)->setSelected(true);
    return position;
}

std::string CListBox::GetText(int position) const {
    const QListWidget* list = List(m_widget);
    if (list == nullptr || position < 0 || position >= list->count()) return {};
    return LineBytes(list->item(position));
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx->Failed() || control.IsWindow()) return;
    if (QWidget* widget = Control(dx, id)) control.AttachControl(widget);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    QWidget* widget = Control(dx, id);
    if (dx->Failed() || widget == nullptr) return;
    if (dx->m_bSaveAndValidate) {
        value = platform::detail::WidgetText(widget);
    } else {
        platform::detail::SetWidgetText(widget, value);
    }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    auto* line = qobject_cast<QLineEdit*>(Control(dx, id));
    if (dx->Failed() || line == nullptr) return;
    if (!dx->m_bSaveAndValidate) return line->setText(QString::number(value));
    // A decimal integer with optional blanks around it; any other text is refused.
    bool ok = false;
    const long long parsed = line->text().trimmed().toLongLong(&ok, 10);
    if (ok && parsed >= INT_MIN && parsed <= INT_MAX) {
        value = static_cast<int>(parsed);
        return;
    }
    dx->m_pDlgWnd->MessageBox(Cp932("整数を入力してください。"), Cp932("Velmora"), MB_OK | MB_ICONEXCLAMATION);
    line->setFocus();
    line->selectAll();
    dx->Fail();
}

void DDX_CBString(CDataExchange* dx, int id, std::string& value) {
    auto* combo = qobject_cast<QComboBox*>(Control(dx, id));
    if (dx->Failed() || combo == nullptr) return;
    if (dx->m_bSaveAndValidate) {
        value = platform::FromQString(combo->currentText());
        return;
    }
    const QString text = platform::ToQString(value);
    for (int i = 0; i < combo->count() && !text.isEmpty(); ++i) {
        if (combo->itemText(i).startsWith(text)) return combo->setCurrentIndex(i);
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) return;
    const std::vector<QRadioButton*> group = RadioGroup(dx, id);
    if (dx->m_bSaveAndValidate) value = -1;
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (dx->m_bSaveAndValidate) {
            if (group[i]->isChecked()) value = static_cast<int>(i);
            continue;
        }
        // Exclusivity would keep one button checked; -1 must leave all unchecked.
        group[i]->setAutoExclusive(false);
        group[i]->setChecked(static_cast<int>(i) == value);
        group[i]->setAutoExclusive(true);
    }
}
