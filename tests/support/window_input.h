#pragma once

#include "platform/dialog.h"

#include <QString>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

// Drives the windows as a user would: buttons, menus, the toolbar, keys and typing. A step that
// finds no such control fails the test.

// Returns control `id` of the dialog as a T, or nullptr.
template <typename T>
T* Control(CWnd& dialog, int id) {
    return dynamic_cast<T*>(dialog.GetDlgItemWidget(id));
}

// Clicks push button `id`.
void ClickButton(CDialog& dialog, int id);
// Chooses the item with command `id` from the dialog's menu bar.
void ChooseMenu(CDialog& dialog, UINT id);
// Presses the toolbar button with command `id`.
void PressToolbarButton(CDialog& dialog, UINT id);
// Closes the dialog with its close box.
void PressCloseBox(CDialog& dialog);
// Gives `widget` the keyboard focus and presses a key there, as the keyboard does.
void PressKey(QWidget* widget, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              const QString& text = QString());
// Gives `widget` the keyboard focus and releases a key there.
void ReleaseKey(QWidget* widget, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Replaces the text of edit, multi-line box or combo box field `id` as typing would.
void TypeInto(CDialog& dialog, int id, const QString& text);
// Returns the text that edit, multi-line box or combo box `id` shows.
QString ControlText(CDialog& dialog, int id);
// Checks radio button `id`.
void CheckRadio(CDialog& dialog, int id);
// Returns whether radio button `id` is checked.
bool IsRadioChecked(CDialog& dialog, int id);

// Returns a test name of the ASCII letters and digits of `prose`, its words joined by "_".
std::string RowName(std::string_view prose);
// Names each row of a parameterised test after its `name`.
struct NameRows {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        return RowName(info.param.name);
    }
};
