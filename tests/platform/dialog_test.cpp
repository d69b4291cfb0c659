#include "platform/dialog.h"
#include "platform/state.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/platform/test_resources.h"
#include "tests/support/window_input.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using namespace test_resources;

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        Install();
        platform::testing::EnableTestMode();
        platform::testing::Reset();
    }
    void TearDown() override { platform::testing::Reset(); }
};

// A form on the holiday setting template, exchanging every kind of value.
class FormDialog : public CDialog {
public:
    FormDialog() : CDialog(kFormDialog) {}
    void DoDataExchange(CDataExchange* dx) override {
        DDX_CBString(dx, kCombo, month);
        DDX_Text(dx, kName, name);
        DDX_Radio(dx, kRadioFirst, kind);
        DDX_Text(dx, kNumber, week);
    }
    std::string month;
    std::string name;
    int kind = -1;
    int week = 0;
};

template <typename T>
T* Child(CWnd& wnd, int id) {
    return dynamic_cast<T*>(wnd.GetDlgItemWidget(id));
}

struct ComboCase {
    const char* name;
    const char* text;
    int index;
    const char* shown;
};

class ComboTextTest : public PlatformTest, public ::testing::WithParamInterface<ComboCase> {};

TEST_P(ComboTextTest, SelectsTheFirstItemThatBeginsWithIt) {
    FormDialog form;
    form.month = GetParam().text;
    ASSERT_TRUE(form.Create(kFormDialog));
    auto* combo = Control<QComboBox>(form, kCombo);
    EXPECT_EQ(combo->currentIndex(), GetParam().index);
    EXPECT_EQ(combo->currentText().toStdString(), GetParam().shown);
    form.DestroyWindow();
}

INSTANTIATE_TEST_SUITE_P(Texts, ComboTextTest,
                         ::testing::Values(ComboCase{"an item equal to the text", "1", 0, "1"},
                                           ComboCase{"the first item that begins with the text", "12", 11, "12"},
                                           ComboCase{"no item: the text stands in the field", "13", -1, "13"},
                                           ComboCase{"zero of an untouched add", "0", -1, "0"},
                                           ComboCase{"text that is no number", "abc", -1, "abc"}),
                         NameRows());

TEST_F(PlatformTest, AComboBoxIsOneFieldHighWhileClosed) {
    FormDialog form;
    ASSERT_TRUE(form.Create(kFormDialog));
    auto* combo = Control<QComboBox>(form, kCombo);
    const QWidget* name = form.GetDlgItemWidget(kName);
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
    EXPECT_LT(combo->geometry().bottom(), name->geometry().top()) << "the closed box stays clear of the edit below it";
    form.DestroyWindow();
}

TEST_F(PlatformTest, RadioIndexMinusOneLeavesAllUnchecked) {
    FormDialog form;
    form.kind = 2;
    ASSERT_TRUE(form.Create(kFormDialog));
    EXPECT_TRUE(Control<QRadioButton>(form, kRadioThird)->isChecked());
    form.kind = -1;
    form.UpdateData(FALSE);
    form.kind = 5;
    ASSERT_TRUE(form.UpdateData(TRUE));
    EXPECT_EQ(form.kind, -1);
    Control<QRadioButton>(form, kRadioSecond)->setChecked(true);
    ASSERT_TRUE(form.UpdateData(TRUE));
    EXPECT_EQ(form.kind, 1);
    form.DestroyWindow();
}

TEST_F(PlatformTest, AnIntegerFieldRefusesOtherTextWithAPrompt) {
    FormDialog form;
    form.week = 3;
    ASSERT_TRUE(form.Create(kFormDialog));
    Control<QLineEdit>(form, kNumber)->setText(QStringLiteral(" 42 "));
    ASSERT_TRUE(form.UpdateData(TRUE));
    EXPECT_EQ(form.week, 42);

    Control<QLineEdit>(form, kNumber)->setText(QStringLiteral("2x"));
    platform::testing::QueueMessageBoxAnswer(IDOK);
    EXPECT_FALSE(form.UpdateData(TRUE));
    EXPECT_EQ(form.week, 42);
    ASSERT_EQ(platform::testing::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(platform::testing::MessageBoxCalls()[0].text, "整数を入力してください。");
    form.DestroyWindow();
}

TEST_F(PlatformTest, TextKeepsCodePage932BytesAndGetaMarksWhatItLacks) {
    FormDialog form;
    form.name = "\x89\x7E\x89\x5E";  // 円運
    ASSERT_TRUE(form.Create(kFormDialog));
    EXPECT_EQ(Control<QLineEdit>(form, kName)->text(), QStringLiteral("円運"));
    Control<QLineEdit>(form, kName)->setText(QStringLiteral("a😀"));
    ASSERT_TRUE(form.UpdateData(TRUE));
    EXPECT_EQ(form.name, "a\x81\xAC");
    form.DestroyWindow();
}

class MemoDialog : public CDialog {
public:
    MemoDialog() : CDialog(kMemoDialog) {}
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, kMemo, memo); }
    std::string memo;
};

TEST_F(PlatformTest, AMultiLineBoxGivesCrLfLineBreaks) {
    MemoDialog memo;
    memo.memo = "a\r\nb";
    ASSERT_TRUE(memo.Create(kMemoDialog));
    auto* edit = Control<QPlainTextEdit>(memo, kMemo);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("a\nb"));
    edit->setPlainText(QStringLiteral("x\ny\n"));
    ASSERT_TRUE(memo.UpdateData(TRUE));
    EXPECT_EQ(memo.memo, "x\r\ny\r\n");
    memo.DestroyWindow();
}

class ListDialog : public CDialog {
public:
    ListDialog() : CDialog(kListDialog) {}
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kList, list); }
    CListBox list;
};

TEST_F(PlatformTest, ASortedListBoxPlacesLinesByTheirBytes) {
    ListDialog dialog;
    ASSERT_TRUE(dialog.Create(kListDialog));
    for (const char* line : {"10", " 2", " 1", "31", " 9"}) dialog.list.AddString(line);
    ASSERT_EQ(dialog.list.GetCount(), 5);
    EXPECT_EQ(dialog.list.GetText(0), " 1");
    EXPECT_EQ(dialog.list.GetText(2), " 9");
    EXPECT_EQ(dialog.list.GetText(4), "31");
    EXPECT_EQ(dialog.list.GetCurSel(), LB_ERR);
    dialog.list.SetCurSel(3);
    EXPECT_EQ(dialog.list.GetCurSel(), 3);
    dialog.list.ResetContent();
    EXPECT_EQ(dialog.list.GetCount(), 0);
    dialog.DestroyWindow();
}

TEST_F(PlatformTest, AListBoxRowIsOneLineWithAMarkForEachLineBreak) {
    ListDialog dialog;
    ASSERT_TRUE(dialog.Create(kListDialog));
    const std::string memo = " 8\x93\xfa    a\r\nb\r\n\r\nc";  // " 8日    a", CR LF, "b", two CR LF, "c"
    dialog.list.AddString(memo);
    auto* list = Control<QListWidget>(dialog, kList);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral(" 8日    a↵b↵↵c"));
    EXPECT_EQ(dialog.list.GetText(0), memo) << "the line keeps its own bytes";
    dialog.DestroyWindow();
}

TEST_F(PlatformTest, AModalDialogLeavesOtherWindowsAnswering) {
    // A window that is no opener of the dialog, as the tray icon's is.
    QPushButton other(QStringLiteral("other"));
    int clicks = 0;
    QObject::connect(&other, &QPushButton::clicked, [&clicks] { ++clicks; });
    other.show();
    platform::testing::QueueModalHook([&](CDialog& dialog) {
        EXPECT_TRUE(dialog.GetSafeWidget()->isModal());
        // Through the window system, where modality blocks what it blocks.
        QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, other.rect().center());
        dialog.EndDialog(0);
    });
    FormDialog form;
    form.DoModal();
    EXPECT_EQ(clicks, 1);
}

TEST_F(PlatformTest, AltSpaceOpensTheSystemMenuBelowTheTitleBar) {
    FormDialog form;
    ASSERT_TRUE(form.Create(kFormDialog));
    form.ShowWindow(SW_SHOWNORMAL);
    CMenu* systemMenu = form.GetSystemMenu(FALSE);
    ASSERT_NE(systemMenu, nullptr);
    systemMenu->AppendMenu(MF_STRING, 0x0010, "About");
    platform::testing::SetPopupMenuHook([](const platform::testing::PopupCall&) { return 0u; });
    PressKey(form.GetDlgItemWidget(kName), Qt::Key_Space, Qt::AltModifier, QStringLiteral(" "));
    ASSERT_EQ(platform::testing::PopupCalls().size(), 1u);
    const QPoint corner = form.GetSafeWidget()->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(platform::testing::PopupCalls()[0].at, (CPoint{corner.x(), corner.y()}));
    EXPECT_EQ(platform::testing::PopupCalls()[0].ids, (std::vector<UINT>{0x0010}));
    EXPECT_EQ(Control<QLineEdit>(form, kName)->text(), QString()) << "the key went to the menu only";
    form.DestroyWindow();
}

TEST_F(PlatformTest, AWindowHasOneTrayIconWhoseTipEndsInsideItsRecord) {
    FormDialog form;
    ASSERT_TRUE(form.Create(kFormDialog));
    NOTIFYICONDATA nid;
    nid.hWnd = &form;
    nid.uID = 1;
    nid.uFlags = NIF_TIP;
    std::fill(std::begin(nid.szTip), std::end(nid.szTip), 'x');  // no NUL of its own
    EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &nid)) << "a window has one icon";
    ASSERT_NE(form.TrayIcon(1), nullptr);
    EXPECT_EQ(std::string(form.TrayIcon(1)->szTip), std::string(63, 'x'));
    EXPECT_EQ(form.TrayIcon(2), nullptr);
    nid.uID = 2;
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &nid)) << "the window has no icon 2";
    nid.uID = 1;
    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &nid));
    EXPECT_EQ(form.TrayIcon(1), nullptr);
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &nid));
    form.DestroyWindow();
}

// A dialog with the test menu as its menu bar; records the commands it gets.
class MenuDialog : public CDialog {
public:
    MenuDialog() : CDialog(kMenuDialog) {}
    BOOL OnCommand(UINT id) override {
        commands.push_back(id);
        return TRUE;
    }
    std::vector<UINT> commands;
};

TEST_F(PlatformTest, MenuBarItemsKeepTheirStateAndSendTheirCommandOnce) {
    MenuDialog dialog;
    ASSERT_TRUE(dialog.Create(kMenuDialog));
    CMenu* menu = dialog.GetMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetMenuState(kDeepItem), MF_ENABLED) << "an item of a nested popup";
    EXPECT_EQ(menu->EnableMenuItem(kOpenItem, MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(menu->EnableMenuItem(kOpenItem, MF_GRAYED), MF_GRAYED);
    EXPECT_FALSE(menu->ItemAction(kOpenItem)->isEnabled()) << "the bar shows the item greyed";
    EXPECT_EQ(menu->EnableMenuItem(kOpenItem, MF_ENABLED), MF_GRAYED);
    EXPECT_EQ(menu->EnableMenuItem(999, MF_GRAYED), static_cast<UINT>(-1));
    EXPECT_EQ(menu->GetMenuState(999), static_cast<UINT>(-1));
    menu->ItemAction(kCloseItem)->trigger();
    menu->ItemAction(kDeepItem)->trigger();
    EXPECT_EQ(dialog.commands, (std::vector<UINT>{kCloseItem, kDeepItem}));
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.GetMenu(), nullptr);
}

TEST_F(PlatformTest, APopupReturnsOrSendsTheChosenCommand) {
    MenuDialog owner;
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(kMenu));
    EXPECT_EQ(menu.GetSubMenu(2), nullptr);
    CMenu* file = menu.GetSubMenu(0);
    ASSERT_NE(file, nullptr);
    file->AppendMenu(MF_STRING | MF_GRAYED, 104, "extra");
    EXPECT_EQ(file->GetMenuState(104), MF_GRAYED);
    platform::testing::SetPopupMenuHook([](const platform::testing::PopupCall& call) { return call.ids.back(); });
    EXPECT_EQ(file->TrackPopupMenu(TPM_RETURNCMD, 5, 6, &owner), 104);
    EXPECT_TRUE(owner.commands.empty()) << "a returned command is not sent";
    EXPECT_TRUE(file->TrackPopupMenu(0, 5, 6, &owner));
    EXPECT_EQ(owner.commands, std::vector<UINT>{104});
    const auto& calls = platform::testing::PopupCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].ids, (std::vector<UINT>{kOpenItem, 0, kCloseItem, 104}));
    EXPECT_EQ(calls[0].at, (CPoint{5, 6}));
    platform::testing::SetPopupMenuHook([](const platform::testing::PopupCall&) { return 0u; });
    EXPECT_FALSE(file->TrackPopupMenu(0, 5, 6, &owner)) << "nothing chosen";
}

// A dialog that opens another one from a button, as the program's windows do.
class OuterDialog : public CDialog {
public:
    OuterDialog() : CDialog(kOuterDialog) {}
    BOOL OnCommand(UINT id) override {
        if (id == static_cast<UINT>(kOpenInner)) {
            ShowWindow(SW_HIDE);
            FormDialog inner;
            innerResult = static_cast<int>(inner.DoModal());
            innerWeek = inner.week;
            ShowWindow(SW_SHOWNORMAL);
            return TRUE;
        }
        if (id == static_cast<UINT>(kClose)) {
            EndDialog(0);
            return TRUE;
        }
        return FALSE;
    }
    int innerResult = -2;
    int innerWeek = -2;
};

TEST_F(PlatformTest, NestedModalDialogsAreDrivenByHooks) {
    platform::testing::QueueModalHook([](CDialog& outer) {
        Control<QPushButton>(outer, kOpenInner)->click();
        Control<QPushButton>(outer, kClose)->click();
    });
    platform::testing::QueueModalHook([](CDialog& inner) {
        Control<QLineEdit>(inner, kNumber)->setText(QStringLiteral("7"));
        inner.UpdateData(TRUE);
        inner.EndDialog(5);
    });
    OuterDialog outer;
    EXPECT_EQ(outer.DoModal(), 0);
    EXPECT_EQ(outer.innerResult, 5);
    EXPECT_EQ(outer.innerWeek, 7);
    EXPECT_FALSE(outer.IsWindow()) << "DoModal destroys its window";
    EXPECT_EQ(platform::testing::PendingModalHooks(), 0u);
}

TEST_F(PlatformTest, NestedDialogsKnowTheInnermostAndStandOverTheirOpener) {
    CWnd* innermost = nullptr;
    bool transientForOpener = false;
    platform::testing::QueueModalHook([](CDialog& outer) {
        Control<QPushButton>(outer, kOpenInner)->click();
        Control<QPushButton>(outer, kClose)->click();
    });
    OuterDialog outer;
    platform::testing::QueueModalHook([&](CDialog& inner) {
        innermost = outer.GetLastActivePopup();
        transientForOpener =
            inner.GetSafeWidget()->windowHandle()->transientParent() == outer.GetSafeWidget()->windowHandle();
        inner.EndDialog(0);
    });
    outer.DoModal();
    ASSERT_NE(innermost, nullptr);
    EXPECT_NE(innermost, &outer) << "the dialog the outer one opened lies on top of it";
    EXPECT_TRUE(transientForOpener);
    EXPECT_EQ(outer.GetLastActivePopup(), &outer) << "with nothing running, a window is its own front";
}

TEST_F(PlatformTest, EscapeAndTheCloseBoxCancel) {
    for (const bool useEscape : {true, false}) {
        SCOPED_TRACE(useEscape ? "escape" : "close box");
        platform::testing::QueueModalHook([useEscape](CDialog& dialog) {
            if (useEscape) {
                PressKey(dialog.GetDlgItemWidget(kName), Qt::Key_Escape);
            } else {
                dialog.GetSafeWidget()->close();
            }
        });
        FormDialog form;
        EXPECT_EQ(form.DoModal(), IDCANCEL);
    }
}

// Records the key messages its PreTranslateMessage sees.
class KeyDialog : public CDialog {
public:
    explicit KeyDialog(int templateId = kFormDialog) : CDialog(templateId) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        seen.emplace_back(msg->message, static_cast<UINT>(msg->wParam));
        return msg->wParam == 'Q' ? TRUE : FALSE;
    }
    std::vector<std::pair<UINT, UINT>> seen;
};

TEST_F(PlatformTest, KeysPassPreTranslateMessageOnceWithVirtualKeyCodes) {
    KeyDialog dialog;
    ASSERT_TRUE(dialog.Create(kFormDialog));
    QWidget* edit = dialog.GetDlgItemWidget(kName);
    // The line edit leaves Shift to its parents: the key still counts once.
    PressKey(edit, Qt::Key_Shift, Qt::ShiftModifier);
    PressKey(edit, Qt::Key_Left, Qt::ShiftModifier);
    ReleaseKey(edit, Qt::Key_Shift);
    PressKey(edit, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    const std::vector<std::pair<UINT, UINT>> expected = {
        {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, VK_LEFT}, {WM_KEYUP, VK_SHIFT}, {WM_KEYDOWN, 'Q'}};
    EXPECT_EQ(dialog.seen, expected);
    EXPECT_EQ(Control<QLineEdit>(dialog, kName)->text(), QString()) << "a consumed key never reaches the control";
    dialog.DestroyWindow();
}

TEST_F(PlatformTest, AKeyReachesAWindowWithoutAFocusedControlAndIsCountedWhereItArrivesFirst) {
    KeyDialog dialog(kMenuDialog);
    ASSERT_TRUE(dialog.Create(kMenuDialog));
    ASSERT_EQ(dialog.GetSafeWidget()->focusWidget(), nullptr);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(dialog.GetSafeWidget(), &down);
    EXPECT_EQ(dialog.seen, (std::vector<std::pair<UINT, UINT>>{{WM_KEYDOWN, VK_DOWN}}));

    KeyDialog form;
    ASSERT_TRUE(form.Create(kFormDialog));
    form.GetDlgItemWidget(kName)->setFocus();
    QKeyEvent passing(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(form.GetSafeWidget(), &passing);
    EXPECT_TRUE(form.seen.empty()) << "on its way up from the focused control the key was counted already";
    form.DestroyWindow();
    dialog.DestroyWindow();
}

TEST_F(PlatformTest, ShowWindowCodesSetTheWindowState) {
    FormDialog form;
    ASSERT_TRUE(form.Create(kFormDialog));
    form.ShowWindow(SW_SHOWMAXIMIZED);
    EXPECT_TRUE(form.IsZoomed());
    form.ShowWindow(SW_HIDE);
    EXPECT_FALSE(form.IsWindowVisible());
    form.ShowWindow(SW_SHOW);
    EXPECT_TRUE(form.IsWindowVisible());
    EXPECT_TRUE(form.IsZoomed()) << "a plain show keeps the size";
    form.OnSysCommand(SC_MINIMIZE, 0);
    EXPECT_TRUE(form.IsIconic());
    form.OnSysCommand(SC_RESTORE, 0);
    EXPECT_TRUE(form.IsZoomed()) << "restoring a minimised window brings back its maximised size";
    form.ShowWindow(SW_SHOWNORMAL);
    EXPECT_FALSE(form.IsZoomed());
    form.EndDialog(0);
    EXPECT_FALSE(form.IsWindowVisible()) << "an ended dialog is hidden";
    form.DestroyWindow();
    EXPECT_FALSE(form.IsWindowVisible());
}

// Records the system commands it gets, then handles them as any dialog does.
class CommandRecorder : public FormDialog {
public:
    void OnSysCommand(UINT id, LPARAM lParam) override {
        commands.push_back(id);
        FormDialog::OnSysCommand(id, lParam);
    }
    std::vector<UINT> commands;
};

TEST_F(PlatformTest, AStateTheWindowManagerSetsArrivesAsTheSystemCommandForIt) {
    CommandRecorder form;
    ASSERT_TRUE(form.Create(kFormDialog));
    form.ShowWindow(SW_SHOWNORMAL);
    QWidget* window = form.GetSafeWidget();
    window->setWindowState(Qt::WindowMaximized);
    EXPECT_TRUE(form.IsZoomed());
    window->setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    EXPECT_TRUE(form.IsIconic());
    window->setWindowState(Qt::WindowMaximized);
    EXPECT_TRUE(form.IsZoomed()) << "back from the taskbar to the maximised size";
    window->setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(form.IsZoomed());
    EXPECT_EQ(form.commands, (std::vector<UINT>{SC_MAXIMIZE, SC_MINIMIZE, SC_RESTORE, SC_RESTORE}));
    form.ShowWindow(SW_SHOWMAXIMIZED);
    EXPECT_EQ(form.commands.size(), 4u) << "a state the program asks for is no command";
    form.DestroyWindow();
}

TEST_F(PlatformTest, PaintingIsConfinedToTheInvalidArea) {
    FormDialog form;
    ASSERT_TRUE(form.Create(kFormDialog));
    form.ValidateRect(nullptr);
    {
        CPaintDC nothing(&form);
        nothing.FillSolidRect({0, 0, 50, 50}, RGB(255, 0, 0));
    }
    EXPECT_NE(form.Surface().pixel(5, 5) & 0xFFFFFF, 0xFF0000u);
    const CRect band{0, 0, 50, 20};
    form.InvalidateRect(&band, FALSE);
    {
        CPaintDC dc(&form);
        dc.FillSolidRect({0, 0, 50, 50}, RGB(255, 0, 0));
    }
    EXPECT_EQ(form.Surface().pixel(5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_NE(form.Surface().pixel(5, 30) & 0xFFFFFF, 0xFF0000u);
    form.DestroyWindow();
}

TEST_F(PlatformTest, AModelessDialogMayBeDestroyedWithItsWindow) {
    auto form = std::make_unique<FormDialog>();
    ASSERT_TRUE(form->Create(kFormDialog));
    form.reset();  // no DestroyWindow first, as the hidden host ends
    SUCCEED();
}

TEST_F(PlatformTest, QuitEndsModalRunsAndIsRemembered) {
    platform::testing::QueueModalHook([](CDialog&) { PostQuitMessage(0); });
    FormDialog form;
    EXPECT_EQ(form.DoModal(), -1);
    EXPECT_TRUE(IsQuitPosted());
    FormDialog later;
    EXPECT_EQ(later.DoModal(), -1) << "nothing runs once the program is quitting";
}

// The end of the session (SIGTERM, logout) posts a quit while a question may be open: the question
// closes unanswered rather than holding the program until someone answers it.
TEST_F(PlatformTest, AQuitPostedWhileAMessageBoxIsOpenClosesItWithTheCautiousAnswer) {
    platform::detail::State().testMode = false;
    CWnd owner;
    for (const UINT type : {UINT{MB_YESNO | MB_ICONEXCLAMATION}, UINT{MB_OK}}) {
        platform::testing::ClearQuit();
        bool shown = false;
        QTimer::singleShot(0, [&shown] {
            shown = QApplication::activeModalWidget() != nullptr || !QApplication::topLevelWidgets().isEmpty();
            PostQuitMessage(0);
        });
        const int answer = owner.MessageBox(Cp932("保存に失敗しました。終了しますか？"), Cp932("エラー"), type);
        EXPECT_TRUE(shown);
        EXPECT_EQ(answer, type == MB_OK ? IDOK : IDNO);
    }
    // Once the quit is posted, no further question is even shown.
    EXPECT_EQ(owner.MessageBox(Cp932("もう一度？"), Cp932("エラー"), MB_YESNO), IDNO);
    EXPECT_TRUE(platform::testing::MessageBoxCalls().empty()) << "the program keeps no record of its boxes";
    platform::detail::State().testMode = true;
}

}  // namespace
