#include "app/resources/resources.h"
#include "platform/dialog.h"
#include "platform/testing.h"
#include "ui/resource_ids.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace platform;

namespace {

// The program's own tables, handed over as the shell hands them.
class Resources : public ::testing::Environment {
public:
    void SetUp() override { InstallResources(resources::VelmoraResources()); }
};
[[maybe_unused]] const auto* const kInstalled = ::testing::AddGlobalTestEnvironment(new Resources);

// Ids are written as numbers here so that a wrong named constant is caught too.
struct ToolBarCase {
    int id;
    std::vector<UINT> buttons;
};

const std::vector<ToolBarCase> kToolBars = {
    {137, {32781, 32782, 32778, 32776, 32775, 32777, 32779, 32835, 32774, 32784}},
    {139, {32792, 32794}},
    {141, {32831, 0, 32788, 32786, 32785, 32787, 32789}},
};

QImage OnBackground(const QIcon& icon, QSize size, QColor background) {
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(background);
    QPainter painter(&canvas);
    painter.drawPixmap(0, 0, icon.pixmap(size));
    painter.end();
    return canvas;
}

int PixelsDifferingFrom(const QImage& image, QColor background) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background.rgb()) ++count;
        }
    }
    return count;
}

bool HasPixelNear(const QImage& image, QColor wanted) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - wanted.red()) + std::abs(c.green() - wanted.green()) +
                    std::abs(c.blue() - wanted.blue()) <
                90) {
                return true;
            }
        }
    }
    return false;
}

const MenuItemTemplate* FindItem(const MenuTemplate& menu, UINT id) {
    for (const MenuItemTemplate& popup : menu.popups) {
        for (const MenuItemTemplate& item : popup.items) {
            if (item.id == id) return &item;
            for (const MenuItemTemplate& inner : item.items) {
                if (inner.id == id) return &inner;
            }
        }
    }
    return nullptr;
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
    for (const ControlTemplate& control : dialog.controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

}  // namespace

TEST(ToolBarResources, ButtonsComeInOrderWithATipAndAVisibleImage) {
    const QSize buttonSize(16, 15);
    for (const ToolBarCase& c : kToolBars) {
        SCOPED_TRACE(c.id);
        const ToolBarTemplate* toolbar = FindToolBarTemplate(c.id);
        ASSERT_NE(toolbar, nullptr);
        EXPECT_EQ(toolbar->buttonWidth, 16);
        EXPECT_EQ(toolbar->buttonHeight, 15);
        EXPECT_EQ(toolbar->buttons, c.buttons);
        for (UINT command : toolbar->buttons) {
            if (command == 0) continue;
            SCOPED_TRACE(command);
            EXPECT_FALSE(FindStringResource(command).empty());
            const QIcon icon = FindToolBarButtonIcon(command);
            ASSERT_FALSE(icon.isNull());
            EXPECT_EQ(icon.actualSize(buttonSize), buttonSize);
            // Visible on a light toolbar and on the program's own grey alike.
            for (QColor background : {QColor(240, 240, 240), QColor(192, 192, 192)}) {
                EXPECT_GE(PixelsDifferingFrom(OnBackground(icon, buttonSize, background), background), 12);
            }
        }
    }
}

TEST(ToolBarResources, ButtonsOfOneToolBarLookDifferent) {
    for (const ToolBarCase& c : kToolBars) {
        SCOPED_TRACE(c.id);
        std::vector<std::pair<UINT, QImage>> images;
        for (UINT command : c.buttons) {
            if (command == 0) continue;
            images.emplace_back(command, OnBackground(FindToolBarButtonIcon(command), {16, 15}, Qt::white));
        }
        for (std::size_t i = 0; i < images.size(); ++i) {
            for (std::size_t j = i + 1; j < images.size(); ++j) {
                EXPECT_NE(images[i].second, images[j].second)
                    << images[i].first << " and " << images[j].first << " share an image";
            }
        }
    }
}

TEST(StringResources, ToolTipsAndMessagesHaveTheirExactTexts) {
    const std::vector<std::pair<UINT, std::string>> expected = {
        {32781, "今日のスケジュール"},
        {32782, "今月のスケジュール"},
        {32775, "今月"},
        {32776, "前月"},
        {32777, "翌月"},
        {32778, "前年"},
        {32779, "翌年"},
        {32774, "カーソル切り替え"},
        {32784, "画面切り替え"},
        {32835, "休日設定"},
        {32792, "登録"},
        {32794, "削除"},
        {32831, "1日のスケジュール"},
        {32785, "今月"},
        {32786, "前月"},
        {32787, "翌月"},
        {32788, "前年"},
        {32789, "翌年"},
        {101, "ﾊﾞｰｼﾞｮﾝ情報(Velmora) (&A)..."},
        {103, "Windows ｿｹｯﾄの初期化に失敗しました。"},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(FindStringResource(id), text) << id;
    }
}

TEST(Resources, UnknownIdsFindNothing) {
    EXPECT_TRUE(FindStringResource(0).empty());
    EXPECT_TRUE(FindStringResource(32771).empty());  // a menu-only command has no tool tip
    EXPECT_TRUE(FindToolBarButtonIcon(0).isNull());
    EXPECT_TRUE(FindToolBarButtonIcon(32771).isNull());
    EXPECT_EQ(FindToolBarTemplate(129), nullptr);
    EXPECT_EQ(FindMenuTemplate(137), nullptr);
    EXPECT_EQ(FindDialogTemplate(129), nullptr);
    EXPECT_TRUE(FindIconResource(129).isNull());
}

TEST(MenuResources, PopupsAndItemsComeInOrderWithUniqueCommands) {
    struct MenuCase {
        int id;
        std::vector<std::pair<std::string, std::vector<UINT>>> popups;
    };
    const std::vector<MenuCase> cases = {
        {129,
         {{"ファイル(&F)", {32837, 32771}},
          {"編集(&E)", {32781, 32782, 32783}},
          {"表示(&V)", {32775, 32776, 32777, 32778, 32779, 32774, 32784}},
          // 0: the 予定の通知 submenu, 0 among its items a separator.
          {"設定(&H)", {32835, 32836, 0, 32838, 0, 32839, 32840, 32841, 32842, 32843}}}},
        {131, {{"ファイル(&F)", {32790}}, {"表示(&V)", {32785, 32786, 32787, 32788, 32789}}}},
        {133, {{"ファイル(&F)", {32791}}, {"編集(&E)", {32792, 32794}}}},
        {134, {{"", {32772}}}},
        {155, {{"ファイル(&F)", {32868}}, {"編集(&E)", {32869, 32870, 32871}}}},
    };
    for (const MenuCase& c : cases) {
        SCOPED_TRACE(c.id);
        const MenuTemplate* menu = FindMenuTemplate(c.id);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->popups.size(), c.popups.size());
        std::set<UINT> seen;
        for (std::size_t p = 0; p < c.popups.size(); ++p) {
            const MenuItemTemplate& popup = menu->popups[p];
            EXPECT_EQ(popup.id, 0u);
            if (!c.popups[p].first.empty()) {
                EXPECT_EQ(popup.text, c.popups[p].first);
            }
            std::vector<UINT> ids;
            for (const MenuItemTemplate& item : popup.items) {
                ids.push_back(item.id);
                ASSERT_NE(item.text, nullptr);
                EXPECT_TRUE(item.id == 0 || seen.insert(item.id).second) << "command " << item.id << " twice";
                EXPECT_EQ(item.id == 0, !item.items.empty()) << "a submenu has items and no command";
                for (const MenuItemTemplate& inner : item.items) {
                    ids.push_back(inner.id);
                    EXPECT_TRUE(inner.id == 0 || seen.insert(inner.id).second) << "command " << inner.id << " twice";
                }
            }
            EXPECT_EQ(ids, c.popups[p].second);
        }
    }
}

TEST(MenuResources, KeyItemsHaveTheirExactTexts) {
    const std::vector<std::tuple<int, UINT, std::string>> cases = {
        {129, 32771, "終了(&X)"},
        {129, 32781, "今日... (&T)"},
        {129, 32783, "指定月... (&S)"},
        {129, 32774, "カーソル変更(&R)"},
        {129, 32835, "休日... (&H)"},
        {131, 32789, "来年(&Y)"},
        {133, 32792, "登録... (&I)"},
        {134, 32772, "終了"},
        {155, 32868, "閉じる(&c)"},
        {155, 32869, "追加... (&I)"},
        {129, 32836, "祝日を最新にする..."},
        {129, 32837, "印刷(&P)..."},
        {129, 32838, "通知する(&N)"},
        {129, 32841, "10分前(&1)"},
    };
    for (const auto& [menuId, command, text] : cases) {
        const MenuTemplate* menu = FindMenuTemplate(menuId);
        ASSERT_NE(menu, nullptr) << menuId;
        const MenuItemTemplate* item = FindItem(*menu, command);
        ASSERT_NE(item, nullptr) << command;
        EXPECT_EQ(item->text, text);
    }
}

TEST(DialogResources, TemplatesHaveTheirFrameAndControlsInside) {
    struct DialogCase {
        int id;
        std::string title;
        int cx, cy;
        std::string font;
        int menu;
        bool visible;
        std::size_t controls;
    };
    const std::vector<DialogCase> cases = {
        {100, "ﾊﾞｰｼﾞｮﾝ情報 Velmora", 217, 55, "ＭＳ Ｐゴシック", 0, true, 3},
        {104, "休日", 154, 155, "ＭＳ Ｐゴシック", 155, true, 5},
        {105, "スケジュール", 187, 159, "ＭＳ Ｐゴシック", 133, true, 4},
        {106, "スケジュール表(1ヶ月)", 170, 175, "ＭＳ Ｐゴシック", 131, true, 1},
        {108, "カレンダー", 177, 145, "ＭＳ 明朝", 129, true, 1},
        {110, "休日設定", 119, 125, "ＭＳ Ｐゴシック", 0, true, 13},
    };
    const int kFontPoints = 9;
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.id);
        const DialogTemplate* dialog = FindDialogTemplate(c.id);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->title, c.title);
        EXPECT_EQ(dialog->fontFace, c.font);
        EXPECT_EQ(std::tie(dialog->cx, dialog->cy, dialog->fontPoints, dialog->menuId, dialog->visible),
                  std::tie(c.cx, c.cy, kFontPoints, c.menu, c.visible));
        ASSERT_EQ(dialog->controls.size(), c.controls);
        std::set<int> ids;
        for (const ControlTemplate& control : dialog->controls) {
            SCOPED_TRACE(control.text);
            EXPECT_TRUE(control.x >= 0 && control.y >= 0 && control.cx > 0 && control.cy > 0);
            EXPECT_LE(control.x + control.cx, dialog->cx);
            EXPECT_LE(control.y + control.cy, dialog->cy);
            if (control.id != -1) {
                EXPECT_TRUE(ids.insert(control.id).second) << control.id;
            }
        }
    }
    const DialogTemplate* host = FindDialogTemplate(102);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(std::string(host->title), "Velmora");
    EXPECT_FALSE(host->visible);
    EXPECT_TRUE(host->controls.empty());
    EXPECT_TRUE(host->cx > 0 && host->cy > 0);
}

TEST(DialogResources, KeyControlsHaveTheirKindPlaceAndStyle) {
    struct ControlCase {
        int dialog, id;
        ControlKind kind;
        std::string text;
        int x, y, cx, cy;
        unsigned style;
    };
    const unsigned list = kNotify | kAlwaysScroll | kVScroll | kTabStop;
    const std::vector<ControlCase> cases = {
        {108, 1029, ControlKind::Static, "Static", 80, 130, 85, 8, 0},
        {100, 1, ControlKind::DefPushButton, "OK", 178, 7, 32, 14, kTabStop},
        {104, 1005, ControlKind::ListBox, "", 5, 5, 100, 135, list},
        {104, 1006, ControlKind::PushButton, "追加... ", 110, 15, 40, 14, kTabStop},
        {104, 1008, ControlKind::PushButton, "削除 ", 110, 65, 40, 14, kTabStop},
        {105, 1009, ControlKind::Edit, "", 7, 38, 173, 87, kMultiLine | kVScroll | kTabStop},
        {106, 1003, ControlKind::ListBox, "", 5, 40, 155, 125, list | kSorted},
        {110, 1009, ControlKind::Edit, "", 35, 30, 70, 14, kTabStop},
        {110, 1019, ControlKind::Edit, "", 65, 60, 20, 14, 0},
        {110, 1027, ControlKind::RadioButton, "HappyMonday", 5, 65, 55, 10, 0},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dialog << "/" << c.id);
        const DialogTemplate* dialog = FindDialogTemplate(c.dialog);
        ASSERT_NE(dialog, nullptr);
        const ControlTemplate* control = FindControl(*dialog, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->kind, c.kind);
        EXPECT_EQ(control->text, c.text);
        EXPECT_EQ(std::tie(control->x, control->y, control->cx, control->cy), std::tie(c.x, c.y, c.cx, c.cy));
        EXPECT_EQ(control->style, c.style);
    }
    const DialogTemplate* about = FindDialogTemplate(100);
    ASSERT_NE(about, nullptr);
    ASSERT_EQ(about->controls.front().kind, ControlKind::Icon);
    EXPECT_EQ(about->controls.front().iconId, 128);

    // Only the first radio button starts a group, so the three kinds exclude one another.
    const DialogTemplate* set = FindDialogTemplate(110);
    ASSERT_NE(set, nullptr);
    EXPECT_TRUE(FindControl(*set, 1026)->style & kGroup);
    EXPECT_FALSE(FindControl(*set, 1027)->style & kGroup);
    EXPECT_FALSE(FindControl(*set, 1028)->style & kGroup);
}

TEST(DialogResources, HolidayComboBoxesListMonthsAndDays) {
    const DialogTemplate* set = FindDialogTemplate(110);
    ASSERT_NE(set, nullptr);
    for (const auto& [id, last] : {std::pair{1010, 12}, std::pair{1011, 31}}) {
        const ControlTemplate* combo = FindControl(*set, id);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->kind, ControlKind::ComboBox);
        EXPECT_FALSE(combo->style & kSorted);
        std::vector<std::string> items(combo->items.begin(), combo->items.end());
        std::vector<std::string> expected;
        for (int n = 1; n <= last; ++n) expected.push_back(std::to_string(n));
        EXPECT_EQ(items, expected) << id;
    }
}

TEST(IconResources, CalendarPagesAreDrawnAtEverySizeWithTheirAccent) {
    const std::vector<std::pair<int, QColor>> cases = {
        {147, QColor(0xD8, 0x10, 0x10)},
        {128, QColor(0x20, 0x50, 0xC0)},
    };
    for (const auto& [id, accent] : cases) {
        SCOPED_TRACE(id);
        const QIcon icon = FindIconResource(id);
        ASSERT_FALSE(icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 24, 32, 48, 64}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        // The tray shows it at 16 x 16: header, paper and the dark number must all be there.
        const QImage tray = OnBackground(icon, {16, 16}, QColor(192, 192, 192));
        EXPECT_TRUE(HasPixelNear(tray, accent));
        EXPECT_TRUE(HasPixelNear(tray, Qt::white));
        EXPECT_TRUE(HasPixelNear(tray, QColor(0x20, 0x20, 0x20)));
    }
}

namespace {

TEST(DialogTemplates, EveryTemplatesControlsHoldTheirOwnTextWithoutOverlapping) {
    platform::testing::EnableTestMode();
    for (const int id :
         {IDD_ABOUTBOX, IDD_HOLIDAY_LIST, IDD_SCHEDULE, IDD_MONTH_SCHEDULE, IDD_CALENDAR, IDD_HOLIDAY_SET}) {
        SCOPED_TRACE(id);
        CDialog dialog(id);
        ASSERT_TRUE(dialog.Create(id));
        std::vector<QWidget*> controls;
        for (QWidget* child : dialog.GetSafeWidget()
                                  ->findChild<QWidget*>(QStringLiteral("client"))
                                  ->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->objectName().startsWith(QStringLiteral("ctrl_")) || qobject_cast<QLabel*>(child) != nullptr) {
                controls.push_back(child);
            }
        }
        for (QWidget* control : controls) {
            SCOPED_TRACE(control->objectName().toStdString());
            if (auto* radio = qobject_cast<QRadioButton*>(control)) {
                EXPECT_GE(radio->width(), radio->sizeHint().width()) << radio->text().toStdString();
            } else if (auto* label = qobject_cast<QLabel*>(control); label != nullptr && !label->text().isEmpty()) {
                EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
            } else if (auto* button = qobject_cast<QPushButton*>(control)) {
                EXPECT_GT(button->width(), button->fontMetrics().horizontalAdvance(button->text()))
                    << button->text().toStdString();
            }
            for (QWidget* other : controls) {
                if (other != control && !qobject_cast<QLabel*>(other) && !qobject_cast<QLabel*>(control)) {
                    EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                        << control->objectName().toStdString() << " runs into " << other->objectName().toStdString();
                }
            }
        }
        dialog.DestroyWindow();
    }
}

}  // namespace
