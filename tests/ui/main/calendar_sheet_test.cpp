#include "tests/ui/main/calendar_fixture.h"

#include "model/year_calendar.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_layout.h"
#include "ui/resource_ids.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <algorithm>

namespace {

namespace layout = calendar_layout;
using platform::DrawOp;

// The texts a repaint drew, in order.
std::vector<DrawOp> TextsOf(const platform::DrawLog& log) {
    std::vector<DrawOp> texts;
    std::copy_if(log.begin(), log.end(), std::back_inserter(texts),
                 [](const DrawOp& op) { return op.kind == DrawOp::Kind::Text; });
    return texts;
}

const DrawOp* FindText(const std::vector<DrawOp>& texts, CPoint at) {
    const auto it = std::find_if(texts.begin(), texts.end(), [at](const DrawOp& op) { return op.point == at; });
    return it != texts.end() ? &*it : nullptr;
}

class SheetTest : public CalendarWindowTest {
protected:
    // Shows month 1..12 of 2026 in the month view and returns what its repaint drew.
    std::vector<DrawOp> PaintMonth(int month) {
        CCalendarDlg& dlg = m_dlg ? *m_dlg : OpenWindow();
        g_YearCalendar.month = month - 1;
        platform::DrawLog log;
        dlg.SetDrawLog(&log);
        dlg.RepaintCalendar();
        dlg.SetDrawLog(nullptr);
        return TextsOf(log);
    }
};

struct SheetCase {
    const char* name;
    int month;
    int lastDay;
    CPoint lastDayAt;
    COLORREF lastDayColour;
};

class MonthSheetTest : public SheetTest, public ::testing::WithParamInterface<SheetCase> {};

TEST_P(MonthSheetTest, ReachesRowFourFiveOrSix) {
    const SheetCase& c = GetParam();
    const std::vector<DrawOp> texts = PaintMonth(c.month);
    ASSERT_EQ(texts.size(), 1u + 7u + static_cast<std::size_t>(c.lastDay)) << "caption, headers, one number per day";
    EXPECT_EQ(texts[0].point, (CPoint{10, 30}));
    EXPECT_EQ(texts[0].text, Cp932("2026年  " + std::to_string(c.month) + "月"));
    EXPECT_EQ(texts[0].colour, layout::kBlack);
    EXPECT_EQ(texts[0].fontFace, "ＭＳ 明朝");
    EXPECT_EQ(texts[0].fontPixels, 16);
    const DrawOp& last = texts.back();
    EXPECT_EQ(last.text, std::to_string(c.lastDay));
    EXPECT_EQ(last.point, c.lastDayAt);
    EXPECT_EQ(last.colour, c.lastDayColour);
}

INSTANTIATE_TEST_SUITE_P(
    Months, MonthSheetTest,
    ::testing::Values(
        SheetCase{"February 2026 starts on Sunday and fills rows 1 to 4", 2, 28, {210, 140}, layout::kBlue},
        SheetCase{"December 2026 reaches row 5", 12, 31, {150, 180 - 20}, layout::kBlack},
        SheetCase{"May 2026 starts on Friday: the 31st stands alone in row 6", 5, 31, {30, 180}, layout::kRed},
        SheetCase{"August 2026 starts on Saturday: the 30th and 31st in row 6", 8, 31, {60, 180}, layout::kBlack}),
    NameRows());

TEST_F(SheetTest, HeadersAndOneDigitDays) {
    const std::vector<DrawOp> texts = PaintMonth(8);
    const char* names[] = {"日", "月", "火", "水", "木", "金", "土"};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(texts[1 + i].text, Cp932(names[i]));
        EXPECT_EQ(texts[1 + i].point, (CPoint{30 + 30 * i, 60}));
        EXPECT_EQ(texts[1 + i].colour, layout::HeaderColour(i));
    }
    const DrawOp* first = FindText(texts, {210, 80});
    ASSERT_NE(first, nullptr) << "1 August 2026 is a Saturday: column 6 of row 1";
    EXPECT_EQ(first->text, " 1");
    EXPECT_EQ(first->colour, layout::kBlue);
    const DrawOp* second = FindText(texts, {30, 100});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text, " 2");
    EXPECT_EQ(second->colour, layout::kRed);
}

TEST_F(SheetTest, HolidaysAreRedEvenOnSaturdays) {
    PutFileBytes("126_holi.txt", std::string("12^5^Saturday holiday^100~") + '\0');
    OpenWindow();
    const std::vector<DrawOp> texts = PaintMonth(12);
    EXPECT_EQ(FindText(texts, {210, 80})->colour, layout::kRed) << "5 December 2026, a Saturday holiday";
    EXPECT_EQ(FindText(texts, {210, 100})->colour, layout::kBlue) << "12 December, an ordinary Saturday";
    EXPECT_EQ(FindText(texts, {120, 140})->colour, layout::kRed) << "23 December, a weekday holiday";
    EXPECT_EQ(FindText(texts, {120, 120})->colour, layout::kBlack) << "16 December, an ordinary Wednesday";
}

TEST_F(SheetTest, DaysAfterTheMonthsEndAreNeverDrawn) {
    OpenWindow();
    // Leave stale fields in the cells after the last day of February.
    for (int d = 29; d <= 31; ++d) {
        CDayCell& cell = g_YearCalendar.cells[1][d - 1];
        cell.weekday = 3;
        cell.weekRow = 5;
        cell.flag = 1;
    }
    const std::vector<DrawOp> texts = PaintMonth(2);
    EXPECT_EQ(texts.size(), 1u + 7u + 28u);
    EXPECT_EQ(FindText(texts, {120, 160}), nullptr);
}

TEST_F(SheetTest, YearViewDrawsTwelveSheetsAndKeepsTheShownMonth) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    g_YearCalendar.month = 4;
    platform::DrawLog log;
    dlg.SetDrawLog(&log);
    dlg.RepaintCalendar();
    const std::vector<DrawOp> texts = TextsOf(log);
    for (int m = 0; m < 12; ++m) {
        SCOPED_TRACE(m);
        const CPoint at{250 * (m % 4) + 10, 220 * (m / 4) + 55};
        const DrawOp* caption = FindText(texts, at);
        EXPECT_EQ(caption != nullptr ? caption->text : "<none>", Cp932("2026年  " + std::to_string(m + 1) + "月"));
    }
    EXPECT_EQ(g_YearCalendar.month, 4) << "a year-view repaint keeps the month the user was at";
    dlg.SetDrawLog(nullptr);
}

TEST_F(SheetTest, CursorFramesFollowTheViewAndMode) {
    CCalendarDlg& dlg = OpenWindow();
    EXPECT_EQ(dlg.CursorFrame(), layout::MonthViewDayFrame(1, 2));
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    EXPECT_EQ(dlg.CursorFrame(), (CRect{758, 473, 992, 677})) << "December's sheet";
    dlg.ToggleCursorMode();
    EXPECT_EQ(dlg.CursorFrame(), layout::YearViewDayFrame(4, 3, 1, 2));
}

TEST_F(SheetTest, ARealRenderingHasTheBackgroundColoursAndTheFrame) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.OnPaint();
    const QImage& image = dlg.Surface();
    auto rgb = [&image](int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; };
    auto boxHas = [&image](CRect box, QRgb colour) {
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                if ((image.pixel(x, y) & 0xFFFFFFu) == colour) return true;
            }
        }
        return false;
    };
    EXPECT_EQ(rgb(5, 150), 0xC0C0C0u) << "background";
    EXPECT_TRUE(boxHas({30, 100, 46, 116}, 0xFF0000u)) << "6 December, a Sunday, in red";
    EXPECT_TRUE(boxHas({210, 80, 226, 96}, 0x0000FFu)) << "5 December, a Saturday, in blue";
    EXPECT_FALSE(boxHas({60, 100, 76, 116}, 0xFF0000u)) << "7 December, a Monday, not red";
    const CRect frame = dlg.CursorFrame();
    EXPECT_EQ(rgb(frame.left, frame.top), 0x83F1E9u) << "cursor frame";
    EXPECT_EQ(rgb(frame.right - 1, frame.bottom - 1), 0x83F1E9u);

    // Moving the cursor erases the old frame and draws the new one, and nothing else changes.
    const QImage before = image.copy();
    dlg.OnMouseMove(0, {200, 120});
    const CRect moved = dlg.CursorFrame();
    EXPECT_EQ(rgb(frame.left, frame.top), 0xC0C0C0u);
    EXPECT_EQ(rgb(moved.left, moved.top), 0x83F1E9u);
    int changed = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != before.pixel(x, y)) ++changed;
        }
    }
    EXPECT_EQ(changed, 2 * (2 * 30 + 2 * 20 - 4)) << "exactly the two frames' pixels";
}

TEST_F(SheetTest, TheCaptionIsDrawnWhollyInIpaMincho) {
    CCalendarDlg& dlg = OpenWindow();
    CFont font;
    font.CreatePointFont(120, Cp932("ＭＳ 明朝"));
    const QFontInfo info(font.Font());
    EXPECT_EQ(info.family().toStdString(), "IPAMincho");
    const QFontMetrics metrics(font.Font());
    for (const QChar c : QStringLiteral("2026年  12月日月火水木金土0123456789")) {
        EXPECT_TRUE(metrics.inFont(c)) << "IPAMincho draws " << QString(c).toStdString() << " itself";
    }
    (void)dlg;
}

}  // namespace
