#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QWidget>

#include <climits>
#include <vector>

namespace {

QWidget* Control(CDataExchange* dx, int id) { return dx->m_pDlgWnd->GetDlgItemWidget(id); }

// The radio buttons of the group that starts at `first`, in tab order.
std::vector<QRadioButton*> RadioGroup(CDataExchange* dx, int first) {
    std::vector<QRadioButton*> group;
    auto* start = dynamic_cast<QRadioButton*>(Control(dx, first));
    if (start == nullptr) return group;
    for (QObject* sibling : start->parentWidget()->children()) {
        auto* radio = dynamic_cast<QRadioButton*>(sibling);
        if (radio == nullptr) continue;
        if (radio != start && group.empty()) continue;
        if (!group.empty() && radio->property("groupStart").toBool()) break;
        group.push_back(radio);
    }
    return group;
}

// Reads a decimal integer with optional blanks around it; false when the text is anything else.
bool ParseInteger(const QString& text, int& value) {
    bool ok = false;
    const long long parsed = text.trimmed().toLongLong(&ok, 10);
    if (!ok || parsed < INT_MIN || parsed > INT_MAX) return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx->Failed() || control.IsWindow()) return;
    if (QWidget* widget = Control(dx, id)) control.AttachControl(widget);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    if (dx->Failed()) return;
    QWidget* widget = Control(dx, id);
    if (auto* edit = dynamic_cast<QPlainTextEdit*>(widget)) {
        if (dx->m_bSaveAndValidate) {
            value = platform::FromQString(platform::WithCrLf(edit->toPlainText()));
        } else {
            edit->setPlainText(platform::WithoutCr(platform::ToQString(value)));
        }
    } else if (auto* line = dynamic_cast<QLineEdit*>(widget)) {
        if (dx->m_bSaveAndValidate) {
            value = platform::FromQString(line->text());
        } else {
            line->setText(platform::ToQString(value));
        }
    }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) return;
    auto* line = dynamic_cast<QLineEdit*>(Control(dx, id));
    if (line == nullptr) return;
    if (!dx->m_bSaveAndValidate) {
        line->setText(QString::number(value));
        return;
    }
    int parsed = 0;
    if (ParseInteger(line->text(), parsed)) {
        value = parsed;
        return;
    }
    dx->m_pDlgWnd->MessageBox(Cp932("整数を入力してください。"), Cp932("Velmora"), MB_OK | MB_ICONEXCLAMATION);
    line->setFocus();
    line->selectAll();
    dx->Fail();
}

void DDX_CBString(CDataExchange* dx, int id, std::string& value) {
    if (dx->Failed()) return;
    auto* combo = dynamic_cast<QComboBox*>(Control(dx, id));
    if (combo == nullptr) return;
    if (dx->m_bSaveAndValidate) {
        value = platform::FromQString(combo->currentText());
        return;
    }
    const QString text = platform::ToQString(value);
    if (!text.isEmpty()) {
        for (int i = 0; i < combo->count(); ++i) {
            if (combo->itemText(i).startsWith(text)) {
                combo->setCurrentIndex(i);
                return;
            }
        }
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) return;
    const std::vector<QRadioButton*> group = RadioGroup(dx, id);
    if (dx->m_bSaveAndValidate) {
        value = -1;
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (group[i]->isChecked()) value = static_cast<int>(i);
        }
        return;
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        // Exclusivity would keep one button checked; -1 must leave all unchecked.
        group[i]->setAutoExclusive(false);
        group[i]->setChecked(static_cast<int>(i) == value);
        group[i]->setAutoExclusive(true);
    }
}
