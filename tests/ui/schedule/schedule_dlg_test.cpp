#include "ui/schedule/schedule_dlg.h"
#include "model/data_files.h"
#include "model/memo_draft_file.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/ui/schedule/schedule_fixture.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QToolBar>
#include <QToolTip>

#include <functional>

namespace {

using platform::testing::QueueModalHook;
using DaySchedule = ScheduleTest;

// Runs the day dialog once: `act` gets it open and ends it. Returns the modal result.
INT_PTR RunDayDialog(const std::function<void(CScheduleDlg&)>& act) {
    QueueModalHook([&act](CDialog& dialog) { act(dynamic_cast<CScheduleDlg&>(dialog)); });
    CScheduleDlg dialog;
    return dialog.DoModal();
}

struct WayOut {
    const char* name;
    std::function<void(CScheduleDlg&)> leave;
};

// Every way out that keeps the day's memo as it was taken out, whatever was typed.
std::vector<WayOut> CancellingWays() {
    return {
        {"cancel button", [](CScheduleDlg& d) { ClickButton(d, IDC_SCHEDULE_CANCEL); }},
        {"close menu item", [](CScheduleDlg& d) { ChooseMenu(d, ID_SCHEDULE_CLOSE); }},
        {"escape in the memo box", [](CScheduleDlg& d) { PressKey(d.GetDlgItemWidget(IDC_MEMO), Qt::Key_Escape); }},
        {"close box", [](CScheduleDlg& d) { d.GetSafeWidget()->close(); }},
    };
}

std::vector<WayOut> RegisteringWays() {
    return {
        {"register button", [](CScheduleDlg& d) { ClickButton(d, IDC_SCHEDULE_REGISTER); }},
        {"register menu item", [](CScheduleDlg& d) { ChooseMenu(d, ID_SCHEDULE_REGISTER); }},
        {"register toolbar button", [](CScheduleDlg& d) { PressToolbarButton(d, ID_SCHEDULE_REGISTER); }},
    };
}

std::vector<WayOut> DeletingWays() {
    return {
        {"delete button", [](CScheduleDlg& d) { ClickButton(d, IDC_SCHEDULE_DELETE); }},
        {"delete menu item", [](CScheduleDlg& d) { ChooseMenu(d, ID_SCHEDULE_DELETE); }},
        {"delete toolbar button", [](CScheduleDlg& d) { PressToolbarButton(d, ID_SCHEDULE_DELETE); }},
    };
}

struct StoreCase {
    const char* name;
    std::string before;
    std::string shown;      // the box at opening
    std::string whileOpen;  // the store while the dialog is open
};

const StoreCase kStores[] = {
    {"empty store", "", "", ""},
    {"the day first of two records", "126^11^7^abc~126^11^8^x~", "abc", "126^11^8^x~"},
    {"the day last of two records", "126^11^8^x~126^11^7^abc~", "abc", "126^11^8^x~"},
    {"another year's day is never taken", "125^11^7^old~", "", "125^11^7^old~"},
};

TEST_F(DaySchedule, EachWayOutLeavesTheStoreAsItShould) {
    struct Family {
        std::vector<WayOut> ways;
        // What the store holds after the way out, from the store while open and the text shown.
        std::function<std::string(const StoreCase&)> after;
    } families[] = {
        {CancellingWays(), [](const StoreCase& c) { return c.whileOpen + "126^11^7^" + c.shown + "~"; }},
        {RegisteringWays(), [](const StoreCase& c) { return c.whileOpen + "126^11^7^def~"; }},
        {DeletingWays(), [](const StoreCase& c) { return c.whileOpen; }},
    };
    for (const Family& family : families) {
        for (const WayOut& way : family.ways) {
            for (const StoreCase& store : kStores) {
                SCOPED_TRACE(std::string(way.name) + ", " + store.name);
                g_strMemoData = store.before;
                ASSERT_EQ(SaveMemoData(), 1);
                std::string seenWhileOpen;
                std::string fileWhileOpen;
                QString shown;
                const INT_PTR result = RunDayDialog([&](CScheduleDlg& d) {
                    seenWhileOpen = g_strMemoData;
                    fileWhileOpen = FileBytes("MemoData.txt");
                    shown = ControlText(d, IDC_MEMO);
                    TypeInto(d, IDC_MEMO, QStringLiteral("def"));
                    EXPECT_TRUE(d.IsTimerRunning(CScheduleDlg::kDraftTimer)) << "typing starts the pause";
                    d.OnTimer(CScheduleDlg::kDraftTimer);
                    EXPECT_EQ(ReadMemoDraft().value_or(MemoDraft{}).text, "def");
                    way.leave(d);
                });
                EXPECT_EQ(result, 0);
                EXPECT_EQ(seenWhileOpen, store.whileOpen);
                EXPECT_EQ(fileWhileOpen, store.before + '\0') << "never written with the day's record out";
                EXPECT_EQ(shown.toStdString(), store.shown);
                EXPECT_EQ(g_strMemoData, family.after(store));
                EXPECT_EQ(FileBytes("MemoData.txt"), family.after(store) + '\0') << "saved at once";
                EXPECT_FALSE(ReadMemoDraft()) << "a normal way out removes the draft";
            }
        }
    }
}

TEST_F(DaySchedule, RepeatedRecordsOfADayComeUpInTurn) {
    g_strMemoData = "126^11^7^a~126^11^7^b~";
    QString shown;
    RunDayDialog([&](CScheduleDlg& d) {
        shown = ControlText(d, IDC_MEMO);
        EXPECT_EQ(g_strMemoData, "126^11^7^b~");
        ClickButton(d, IDC_SCHEDULE_CANCEL);
    });
    EXPECT_EQ(shown, QStringLiteral("a"));
    EXPECT_EQ(g_strMemoData, "126^11^7^b~126^11^7^a~");
    RunDayDialog([&](CScheduleDlg& d) {
        shown = ControlText(d, IDC_MEMO);
        ClickButton(d, IDC_SCHEDULE_CANCEL);
    });
    EXPECT_EQ(shown, QStringLiteral("b"));
    EXPECT_EQ(g_strMemoData, "126^11^7^a~126^11^7^b~");
}

TEST_F(DaySchedule, TheDayComesFromTheShownMonthAndTheSelectedDay) {
    ShowDate(127, 0, 31);
    g_strMemoData = "126^0^31^last year~127^0^31^mine~127^1^31^next month~";
    QString shown;
    RunDayDialog([&](CScheduleDlg& d) {
        shown = ControlText(d, IDC_MEMO);
        ClickButton(d, IDC_SCHEDULE_REGISTER);
    });
    EXPECT_EQ(shown, QStringLiteral("mine"));
    EXPECT_EQ(g_strMemoData, "126^0^31^last year~127^1^31^next month~127^0^31^mine~");
}

TEST_F(DaySchedule, TypedTextIsStoredSoThatItsRecordParsesBackWhole) {
    struct Case {
        const char* name;
        QString typed;
        std::string stored;  // the record's text, code page 932
    } cases[] = {
        {"caret and tilde become full-width", QStringLiteral("a^b~c"), Cp932("a＾b～c")},
        {"a character the code page lacks becomes a geta mark", QStringLiteral("a😀b"), Cp932("a〓b")},
        {"Japanese text", QStringLiteral("歯医者 10時"), Cp932("歯医者 10時")},
        {"line breaks become CR LF", QStringLiteral("x\ny"), "x\r\ny"},
        {"full-width forms stay", QStringLiteral("＾～"), Cp932("＾～")},
        {"a pasted 0x1A does not end the file", QStringLiteral("a\x1A" "b"), Cp932("a〓b")},
        {"a pasted NUL does not end the file", QString::fromUtf16(u"a\0b", 3), Cp932("a〓b")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_strMemoData = "126^11^8^x~";
        RunDayDialog([&](CScheduleDlg& d) {
            TypeInto(d, IDC_MEMO, c.typed);
            ClickButton(d, IDC_SCHEDULE_REGISTER);
        });
        EXPECT_EQ(Hex(g_strMemoData), Hex("126^11^8^x~126^11^7^" + c.stored + "~"));
        // The next opening shows the text again and leaves the other record whole.
        std::string reopened;
        RunDayDialog([&](CScheduleDlg& d) {
            reopened = d.m_strMemo;
            EXPECT_EQ(g_strMemoData, "126^11^8^x~");
            ClickButton(d, IDC_SCHEDULE_DELETE);
        });
        EXPECT_EQ(Hex(reopened), Hex(c.stored));
    }
}

TEST_F(DaySchedule, EnterPressesTheFocusedButtonAndStartsALineInTheMemoBox) {
    struct Case {
        const char* name;
        int focus;  // 0: the memo box
        bool ended;
        std::string store;
    } cases[] = {
        {"登録 registers what is typed", IDC_SCHEDULE_REGISTER, true, "126^11^8^x~126^11^7^typed~"},
        {"削除 deletes the day's memo", IDC_SCHEDULE_DELETE, true, "126^11^8^x~"},
        {"キャンセル keeps the memo as it was", IDC_SCHEDULE_CANCEL, true, "126^11^8^x~126^11^7^abc~"},
        {"the memo box takes Enter as a line break", 0, false, "126^11^8^x~126^11^7^typed\r\n~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_strMemoData = "126^11^7^abc~126^11^8^x~";
        RunDayDialog([&](CScheduleDlg& d) {
            TypeInto(d, IDC_MEMO, QStringLiteral("typed"));
            QWidget* target = c.focus != 0 ? d.GetDlgItemWidget(c.focus) : d.GetDlgItemWidget(IDC_MEMO);
            target->setFocus();
            Control<QPlainTextEdit>(d, IDC_MEMO)->moveCursor(QTextCursor::End);
            PressKey(target, Qt::Key_Return);
            EXPECT_EQ(d.IsEnded() != FALSE, c.ended);
            if (!d.IsEnded()) ClickButton(d, IDC_SCHEDULE_REGISTER);
        });
        EXPECT_EQ(g_strMemoData, c.store);
    }
}

TEST_F(DaySchedule, ALongMemoIsStoredWithExactlyWhatIsTyped) {
    // One line of 300 000 bytes with a double-byte character at the end of it, then a short line.
    std::string memo;
    for (int i = 0; i < 300'000; ++i) memo += static_cast<char>('a' + i % 26);
    memo += Cp932("日") + "\r\nend";
    const std::string other = "126^11^8^x~";
    struct Case {
        const char* name;
        std::function<void(QWidget*)> type;
        std::string stored;
    } cases[] = {
        {"nothing typed", [](QWidget*) {}, memo},
        {"a key at the end of the long line",
         [](QWidget* box) {
             for (int i = 0; i < 4; ++i) PressKey(box, Qt::Key_Left);  // back over "end" and the line break
             PressKey(box, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
         },
         memo.substr(0, memo.size() - 5) + "b\r\nend"},
        {"Enter at the end", [](QWidget* box) { PressKey(box, Qt::Key_Return); }, memo + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_strMemoData = MakeMemoRecord(126, 11, 7, memo) + other;
        RunDayDialog([&](CScheduleDlg& d) {
            QWidget* box = d.GetDlgItemWidget(IDC_MEMO);
            Control<QPlainTextEdit>(d, IDC_MEMO)->moveCursor(QTextCursor::End);
            c.type(box);
            ClickButton(d, IDC_SCHEDULE_REGISTER);
        });
        EXPECT_TRUE(g_strMemoData == other + MakeMemoRecord(126, 11, 7, c.stored))
            << "stored " << g_strMemoData.size() << " bytes";
    }
}

TEST_F(DaySchedule, TheEndOfTheProgramRegistersWhatIsTyped) {
    g_strMemoData = "126^11^7^abc~126^11^8^x~";
    const INT_PTR result = RunDayDialog([](CScheduleDlg& d) {
        TypeInto(d, IDC_MEMO, QStringLiteral("typed"));
        CDialog::EndDialogsOpenedAfter(nullptr);
        EXPECT_TRUE(d.IsEnded());
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_strMemoData, "126^11^8^x~126^11^7^typed~");
}

TEST_F(DaySchedule, TheDateBandIsDrawnBelowTheToolbar) {
    ShowDate(127, 0, 1);
    platform::DrawLog log;
    CRect client;
    int toolbarHeight = -1;
    RunDayDialog([&](CScheduleDlg& d) {
        d.SetDrawLog(&log);
        client = d.GetClientRect();
        toolbarHeight = d.m_wndToolBar.CalcFixedLayout(FALSE, TRUE).cy;
        d.InvalidateRect(nullptr, TRUE);
        d.OnPaint();
        const QRgb band = d.Surface().pixel(client.Width() - 5, toolbarHeight + 10);
        EXPECT_EQ(band & 0xFFFFFFu, 0xC0C0C0u);
        // The text's cells reach below the band; the band's own paint context clips them.
        for (const int y : {toolbarHeight + 20, toolbarHeight + 21}) {
            for (int x = 15; x < 150; x += 5) {
                EXPECT_NE(d.Surface().pixel(x, y) & 0xFFFFFFu, 0xC0C0C0u) << "band colour at " << x << ", " << y;
            }
        }
        d.SetDrawLog(nullptr);
        ClickButton(d, IDC_SCHEDULE_CANCEL);
    });
    ASSERT_GT(toolbarHeight, 0);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, platform::DrawOp::Kind::Fill);
    EXPECT_EQ(log[0].rect, (CRect{0, toolbarHeight, client.Width(), toolbarHeight + 20}));
    EXPECT_EQ(log[0].colour, RGB(192, 192, 192));
    EXPECT_EQ(log[1].kind, platform::DrawOp::Kind::Text);
    EXPECT_EQ(log[1].point, (CPoint{15, 30}));
    EXPECT_EQ(Hex(log[1].text), Hex(Cp932("2027年  1月  1日")));
    EXPECT_EQ(log[1].colour, RGB(0, 0, 0));
    EXPECT_EQ(log[1].fontFace, "ＭＳ 明朝");
    EXPECT_EQ(log[1].fontPixels, 16);
}

TEST_F(DaySchedule, ToolbarButtonsAnswerTheirToolTips) {
    RunDayDialog([](CScheduleDlg& d) {
        const std::vector<UINT> buttons = {ID_SCHEDULE_REGISTER, ID_SCHEDULE_DELETE};
        EXPECT_EQ(d.m_wndToolBar.Buttons(), buttons);
        struct Case {
            UINT id;
            const char* text;
        } cases[] = {{ID_SCHEDULE_REGISTER, "登録"}, {ID_SCHEDULE_DELETE, "削除"}};
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text);
            TOOLTIPTEXT request{c.id, {}};
            EXPECT_TRUE(d.OnToolTipNotify(&request));
            EXPECT_EQ(Hex(request.text), Hex(Cp932(c.text)));
            // Resting the pointer on the button shows the same text.
            auto* bar = dynamic_cast<QToolBar*>(d.m_wndToolBar.GetSafeWidget());
            QWidget* button = bar != nullptr ? bar->widgetForAction(d.m_wndToolBar.ButtonAction(c.id)) : nullptr;
            EXPECT_NE(button, nullptr);
            if (button == nullptr) continue;
            const QPoint at = button->mapToGlobal(QPoint(4, 4));
            QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), at);
            QApplication::sendEvent(button, &enter);
            QHelpEvent rest(QEvent::ToolTip, QPoint(4, 4), at);
            QApplication::sendEvent(button, &rest);
            EXPECT_EQ(QToolTip::text(), QString::fromUtf8(c.text));
            QToolTip::hideText();
        }
        TOOLTIPTEXT none;
        EXPECT_FALSE(d.OnToolTipNotify(&none)) << "id 0 is not answered";
        ClickButton(d, IDC_SCHEDULE_DELETE);
    });
}

}  // namespace
