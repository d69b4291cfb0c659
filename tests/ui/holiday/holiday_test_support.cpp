#include "tests/ui/holiday/holiday_test_support.h"

#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/testing.h"
#include "platform/text_codec.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <iterator>

void HolidayDialogTest::SetUp() {
    m_directory = std::make_unique<ScopedTempDirectory>("velmora-holiday");
    ResetProgramState();
    g_YearCalendar.year = 126;
}

void HolidayDialogTest::TearDown() {
    platform::testing::Reset();
    m_directory.reset();
}

std::vector<std::string> HolidayFiles() {
    return {FileBytes("Static_holi.txt"), FileBytes("Dynamic_holi.txt"), FileBytes("126_holi.txt")};
}

void ClickButton(CDialog& dialog, int id) {
    auto* button = dynamic_cast<QPushButton*>(dialog.GetDlgItemWidget(id));
    ASSERT_NE(button, nullptr) << "no push button " << id;
    button->click();
}

void ChooseMenuItem(CDialog& dialog, UINT id) {
    QAction* action = dialog.GetMenu() != nullptr ? dialog.GetMenu()->ItemAction(id) : nullptr;
    ASSERT_NE(action, nullptr) << "no menu item " << id;
    action->trigger();
}

void PressKey(CDialog& dialog, int id, int qtKey) {
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QApplication::sendEvent(dialog.GetDlgItemWidget(id), &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QApplication::sendEvent(dialog.GetDlgItemWidget(id), &release);
}

void PressCloseBox(CDialog& dialog) { dialog.GetSafeWidget()->close(); }

void TypeIntoCombo(CDialog& dialog, int id, const char* utf8) {
    auto* combo = dynamic_cast<QComboBox*>(dialog.GetDlgItemWidget(id));
    ASSERT_NE(combo, nullptr) << "no combo box " << id;
    combo->setEditText(QString::fromUtf8(utf8));
}

void TypeIntoEdit(CDialog& dialog, int id, const char* utf8) {
    auto* edit = dynamic_cast<QLineEdit*>(dialog.GetDlgItemWidget(id));
    ASSERT_NE(edit, nullptr) << "no edit " << id;
    edit->setText(QString::fromUtf8(utf8));
}

std::string ComboText(CDialog& dialog, int id) {
    auto* combo = dynamic_cast<QComboBox*>(dialog.GetDlgItemWidget(id));
    return combo != nullptr ? combo->currentText().toStdString() : "<no combo box>";
}

std::string EditText(CDialog& dialog, int id) {
    auto* edit = dynamic_cast<QLineEdit*>(dialog.GetDlgItemWidget(id));
    return edit != nullptr ? edit->text().toStdString() : "<no edit>";
}

void CheckRadio(CDialog& dialog, int id) {
    auto* radio = dynamic_cast<QRadioButton*>(dialog.GetDlgItemWidget(id));
    ASSERT_NE(radio, nullptr) << "no radio button " << id;
    radio->setChecked(true);
}

bool IsRadioChecked(CDialog& dialog, int id) {
    auto* radio = dynamic_cast<QRadioButton*>(dialog.GetDlgItemWidget(id));
    return radio != nullptr && radio->isChecked();
}

std::string Sjis(const char* utf8) { return Cp932(utf8); }
