#include "tests/ui/schedule/schedule_fixture.h"

#include "model/present_time.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/testing.h"
#include "ui/main/calendar_dlg.h"
#include "ui/schedule/month_schedule_dlg.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>

#include <unistd.h>
#include <cstdio>
#include <ctime>
#include <filesystem>

void ScheduleTest::SetUp() {
    m_directory = std::make_unique<ScopedTempDirectory>("velmora-schedule");
    ResetProgramState();
    SetPresentMoment(2026, 12, 7);
    ShowDate(126, 11, 7);
}

void ScheduleTest::TearDown() {
    platform::testing::Reset();
    ClearPresentTimeForTesting();
    m_directory.reset();
}

void ScheduleTest::ShowDate(int year, int month, int day) {
    g_YearCalendar = CYearCalendar{};
    g_YearCalendar.year = year;
    g_YearCalendar.Build();
    g_YearCalendar.month = month;
    g_nSelDay = day;
}

QPlainTextEdit* MemoBox(CDialog& dialog) {
    auto* box = dynamic_cast<QPlainTextEdit*>(dialog.GetDlgItemWidget(1009));
    EXPECT_NE(box, nullptr);
    return box;
}

void TypeMemo(CDialog& dialog, const QString& text) {
    if (QPlainTextEdit* box = MemoBox(dialog)) box->setPlainText(text);
}

void ClickButton(CDialog& dialog, int id) {
    auto* button = dynamic_cast<QPushButton*>(dialog.GetDlgItemWidget(id));
    ASSERT_NE(button, nullptr) << "button " << id;
    button->click();
}

void ChooseMenu(CDialog& dialog, UINT id) {
    QAction* action = dialog.GetMenu() != nullptr ? dialog.GetMenu()->ItemAction(id) : nullptr;
    ASSERT_NE(action, nullptr) << "menu item " << id;
    action->trigger();
}

void PressToolbarButton(CDialog& dialog, UINT id) {
    auto* bar = dialog.GetSafeWidget()->findChild<QToolBar*>();
    QAction* action = nullptr;
    for (QAction* button : bar != nullptr ? bar->actions() : QList<QAction*>()) {
        if (button->data().toUInt() == id) action = button;
    }
    ASSERT_NE(action, nullptr) << "toolbar button " << id;
    action->trigger();
}

void PressKey(QWidget* widget, int qtKey, Qt::KeyboardModifiers modifiers) {
    // Each press is a new event to the layer, which tells events apart by their time stamps.
    static quint64 timestamp = 1;
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers);
    press.setTimestamp(++timestamp);
    QApplication::sendEvent(widget, &press);
}

void ReleaseKey(QWidget* widget, int qtKey) {
    static quint64 timestamp = 1;
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
    release.setTimestamp(++timestamp);
    QApplication::sendEvent(widget, &release);
}

std::string Hex(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", c);
        out += two;
    }
    if (!out.empty()) out.pop_back();
    return out;
}
