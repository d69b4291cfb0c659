#include "platform/dc.h"
#include "platform/text_codec.h"

#include <QFontInfo>

#include <gtest/gtest.h>

namespace {

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST(DeviceContext, RecordsWhatItDraws) {
    platform::DrawLog log;
    CDC dc(nullptr, &log);
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(120, Cp932("ＭＳ 明朝")));
    dc.SelectObject(&font);
    dc.FillSolidRect({0, 0, 10, 10}, RGB(192, 192, 192));
    dc.SetTextColor(RGB(255, 0, 0));
    dc.TextOut(30, 80, " 1");
    dc.FrameRect({23, 78, 53, 98}, RGB(131, 241, 233));
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].kind, platform::DrawOp::Kind::Text);
    EXPECT_EQ(log[1].point, (CPoint{30, 80}));
    EXPECT_EQ(log[1].colour, RGB(255, 0, 0));
    EXPECT_EQ(log[1].fontFace, "ＭＳ 明朝");
    EXPECT_EQ(log[1].fontPixels, 16);
    EXPECT_EQ(log[2].rect, (CRect{23, 78, 53, 98}));
}

TEST(DeviceContext, FrameIsOnePixelInsideTheRectangle) {
    QImage surface(60, 60, QImage::Format_RGB32);
    surface.fill(Qt::white);
    CDC dc(&surface, nullptr);
    dc.FrameRect({10, 10, 20, 30}, RGB(131, 241, 233));
    EXPECT_EQ(Pixel(surface, 10, 10), 0x83F1E9u);
    EXPECT_EQ(Pixel(surface, 19, 29), 0x83F1E9u);
    EXPECT_EQ(Pixel(surface, 20, 29), 0xFFFFFFu);  // right edge lies outside
    EXPECT_EQ(Pixel(surface, 15, 20), 0xFFFFFFu);  // inside stays
    dc.FrameRect({10, 10, 20, 30}, RGB(255, 255, 255));
    EXPECT_EQ(Pixel(surface, 10, 10), 0xFFFFFFu);
}

TEST(DeviceContext, TextIsOpaqueOnTheFillColourAndInExactColour) {
    QImage surface(80, 40, QImage::Format_RGB32);
    surface.fill(Qt::white);
    CDC dc(&surface, nullptr);
    CFont font;
    font.CreatePointFont(120, Cp932("ＭＳ 明朝"));
    dc.SelectObject(&font);
    dc.FillSolidRect({0, 0, 80, 40}, RGB(192, 192, 192));
    dc.SetTextColor(RGB(255, 0, 0));
    dc.TextOut(4, 4, Cp932("日"));
    int red = 0;
    int other = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 80; ++x) {
            const QRgb p = Pixel(surface, x, y);
            if (p == 0xFF0000u)
                ++red;
            else if (p != 0xC0C0C0u)
                ++other;
        }
    }
    EXPECT_GT(red, 20);
    EXPECT_EQ(other, 0) << "glyphs must be drawn without blended edge pixels";
}

TEST(DeviceContext, WindowsFaceNamesResolveToTheIpaFonts) {
    for (const auto& [asked, family] :
         {std::pair{"ＭＳ 明朝", "IPAMincho"}, std::pair{"ＭＳ Ｐゴシック", "IPAPGothic"}}) {
        CFont font;
        font.CreatePointFont(120, Cp932(asked));
        EXPECT_EQ(QFontInfo(font.Font()).family().toStdString(), family) << asked;
    }
}

}  // namespace
