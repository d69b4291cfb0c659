#include "tests/support/window_input.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolBar>

#include <gtest/gtest.h>

void ClickButton(CDialog& dialog, int id) {
    auto* button = Control<QAbstractButton>(dialog, id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    button->click();
}

void ChooseMenu(CDialog& dialog, UINT id) {
    QAction* item = dialog.GetMenu() != nullptr ? dialog.GetMenu()->ItemAction(id) : nullptr;
    ASSERT_NE(item, nullptr) << "no menu item " << id;
    item->trigger();
}

void PressToolbarButton(CDialog& dialog, UINT id) {
    auto* bar = dialog.GetSafeWidget()->findChild<QToolBar*>();
    ASSERT_NE(bar, nullptr) << "no toolbar";
    for (QAction* button : bar->actions()) {
        if (!button->isSeparator() && button->data().toUInt() == id) return button->trigger();
    }
    FAIL() << "no toolbar button " << id;
}

void PressCloseBox(CDialog& dialog) { dialog.GetSafeWidget()->close(); }

void PressKey(QWidget* widget, int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
    ASSERT_NE(widget, nullptr);
    widget->setFocus();
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
    QApplication::sendEvent(widget, &press);
}

void ReleaseKey(QWidget* widget, int qtKey, Qt::KeyboardModifiers modifiers) {
    ASSERT_NE(widget, nullptr);
    widget->setFocus();
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers);
    QApplication::sendEvent(widget, &release);
}

void TypeInto(CDialog& dialog, int id, const QString& text) {
    if (auto* edit = Control<QLineEdit>(dialog, id)) return edit->setText(text);
    if (auto* box = Control<QPlainTextEdit>(dialog, id)) return box->setPlainText(text);
    auto* combo = Control<QComboBox>(dialog, id);
    ASSERT_NE(combo, nullptr) << "nothing to type into at " << id;
    combo->setEditText(text);
}

QString ControlText(CDialog& dialog, int id) {
    if (auto* edit = Control<QLineEdit>(dialog, id)) return edit->text();
    if (auto* box = Control<QPlainTextEdit>(dialog, id)) return box->toPlainText();
    if (auto* combo = Control<QComboBox>(dialog, id)) return combo->currentText();
    ADD_FAILURE() << "no text control " << id;
    return {};
}

void CheckRadio(CDialog& dialog, int id) {
    auto* radio = Control<QRadioButton>(dialog, id);
    ASSERT_NE(radio, nullptr) << "no radio button " << id;
    radio->setChecked(true);
}

bool IsRadioChecked(CDialog& dialog, int id) {
    auto* radio = Control<QRadioButton>(dialog, id);
    return radio != nullptr && radio->isChecked();
}

std::string RowName(std::string_view prose) {
    std::string name;
    bool gap = false;
    for (const char c : prose) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (alnum && gap && !name.empty()) name += '_';
        if (alnum) name += c;
        gap = !alnum;
    }
    return name;
}
