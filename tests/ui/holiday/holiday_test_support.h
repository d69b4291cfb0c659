#pragma once

#include "platform/dialog.h"
#include "tests/support/window_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Runs each test in a fresh temporary directory that is the current directory, with empty
// stores, the shown year 2026 and the window layer in test mode.
class HolidayDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<ScopedTempDirectory> m_directory;
};
// Returns the three holiday files' bytes: fixed-date, rule-based, then the one-year file of 2026.
std::vector<std::string> HolidayFiles();

// Clicks push button `id` of the dialog.
void ClickButton(CDialog& dialog, int id);
// Chooses menu item `id` of the dialog's menu bar.
void ChooseMenuItem(CDialog& dialog, UINT id);
// Sends a key press to the control `id`, as typing into it does.
void PressKey(CDialog& dialog, int id, int qtKey);
// Closes the dialog with its close box.
void PressCloseBox(CDialog& dialog);

// Types UTF-8 text into the editable field of combo box `id`.
void TypeIntoCombo(CDialog& dialog, int id, const char* utf8);
// Types UTF-8 text into edit `id`.
void TypeIntoEdit(CDialog& dialog, int id, const char* utf8);
// Returns the UTF-8 text shown by combo box `id`.
std::string ComboText(CDialog& dialog, int id);
// Returns the UTF-8 text of edit `id`.
std::string EditText(CDialog& dialog, int id);
// Checks radio button `id`.
void CheckRadio(CDialog& dialog, int id);
// Returns whether radio button `id` is checked.
bool IsRadioChecked(CDialog& dialog, int id);

// Returns the code page 932 form of UTF-8 text.
std::string Sjis(const char* utf8);
