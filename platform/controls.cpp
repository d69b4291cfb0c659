#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QComboBox>
#include <QListWidget>

#include <algorithm>

namespace {

constexpr int kCp932Role = Qt::UserRole + 1;  // the line's own code page 932 bytes

QListWidget* List(const QPointer<QWidget>& widget) { return dynamic_cast<QListWidget*>(widget.data()); }

QComboBox* Combo(const QPointer<QWidget>& widget) { return dynamic_cast<QComboBox*>(widget.data()); }

// A list box row is one line: each line break of the text shows as one visible mark.
QString AsOneLine(QString text) {
    const QString mark(QChar(0x21B5));  // ↵
    text.replace(QStringLiteral("\r\n"), mark);
    text.replace(QLatin1Char('\r'), mark);
    text.replace(QLatin1Char('\n'), mark);
    return text;
}

std::string LineBytes(const QListWidgetItem* item) {
    const QByteArray bytes = item->data(kCp932Role).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

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
        int high = list->count();
        while (low < high) {
            const int mid = (low + high) / 2;
            if (LineBytes(list->item(mid)) <= textCp932) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        position = low;
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
    if (list == nullptr) return LB_ERR;
    const QList<QListWidgetItem*> selected = list->selectedItems();
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

int CComboBox::GetCount() const {
    const QComboBox* combo = Combo(m_widget);
    return combo != nullptr ? combo->count() : 0;
}

std::string CComboBox::GetLBText(int position) const {
    const QComboBox* combo = Combo(m_widget);
    if (combo == nullptr || position < 0 || position >= combo->count()) return {};
    return platform::FromQString(combo->itemText(position));
}

int CComboBox::GetCurSel() const {
    const QComboBox* combo = Combo(m_widget);
    if (combo == nullptr) return -1;
    // Text typed into the field that is no item leaves no item selected.
    if (combo->currentIndex() >= 0 && combo->itemText(combo->currentIndex()) != combo->currentText()) return -1;
    return combo->currentIndex();
}
