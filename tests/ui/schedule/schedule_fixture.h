#pragma once

#include "platform/dialog.h"
#include "tests/support/window_test_support.h"

#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <string>

class QPlainTextEdit;

// Runs each test in a fresh temporary directory with an empty memo store, the window layer in
// test mode and the present moment fixed at 7 December 2026, 9:05; the calendar shows December
// 2026 with day 7 selected.
class ScheduleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows `month` 0..11 of `year` (years since 1900) with `day` selected.
    static void ShowDate(int year, int month, int day);

private:
    std::unique_ptr<ScopedTempDirectory> m_directory;
};

// Returns the memo box of a day schedule dialog.
QPlainTextEdit* MemoBox(CDialog& dialog);
// Replaces the text of the memo box as typing would.
void TypeMemo(CDialog& dialog, const QString& text);
// Clicks push button `id`.
void ClickButton(CDialog& dialog, int id);
// Chooses menu item `id` of the dialog's menu bar.
void ChooseMenu(CDialog& dialog, UINT id);
// Presses toolbar button `id`.
void PressToolbarButton(CDialog& dialog, UINT id);
// Sends a key press to `widget` through the application, as the keyboard would.
void PressKey(QWidget* widget, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Sends a key release to `widget` through the application.
void ReleaseKey(QWidget* widget, int qtKey);
// Returns the bytes as "31 32 5E" for readable failures.
std::string Hex(const std::string& bytes);
