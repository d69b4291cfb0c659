#pragma once

#include "platform/resources.h"

// Small resource tables of the window layer's own tests: a form, a memo box, a list and a dialog
// that opens another, in the shapes the layer must make.
namespace test_resources {

inline constexpr int kFormDialog = 1;   // combo box, name, a radio group of three, a number
inline constexpr int kMemoDialog = 2;   // a multi-line box
inline constexpr int kListDialog = 3;   // a sorted list box
inline constexpr int kOuterDialog = 4;  // buttons that open the form and close
inline constexpr int kMenuDialog = 5;   // a menu bar of kMenu
inline constexpr int kMenu = 6;         // "File": open, a separator, close; "Edit": a popup holding one item

inline constexpr int kCombo = 10;
inline constexpr int kName = 11;
inline constexpr int kRadioFirst = 12;
inline constexpr int kRadioSecond = 13;
inline constexpr int kRadioThird = 14;
inline constexpr int kNumber = 15;
inline constexpr int kMemo = 16;
inline constexpr int kList = 17;
inline constexpr int kOpenInner = 18;
inline constexpr int kClose = 19;
inline constexpr UINT kOpenItem = 101;
inline constexpr UINT kCloseItem = 102;
inline constexpr UINT kDeepItem = 103;

// Hands the tables above to the window layer.
void Install();

}  // namespace test_resources
