#include "platform/dialog.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/platform/test_resources.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST(ScaledSurface, TextIsDrawnAtTheScreensResolutionAndAFrameIsOneWindowPixelWide) {
    test_resources::Install();
    platform::testing::EnableTestMode();
    CDialog dialog(test_resources::kFormDialog);
    ASSERT_TRUE(dialog.Create(test_resources::kFormDialog));
    const QImage& surface = dialog.Surface();
    const CRect client = dialog.GetClientRect();
    ASSERT_EQ(surface.devicePixelRatio(), 2.0);
    EXPECT_EQ(surface.width(), 2 * client.Width()) << "the surface holds the screen's pixels";

    dialog.InvalidateRect(nullptr, FALSE);
    {
        CPaintDC dc(&dialog);
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(120, Cp932("ＭＳ 明朝")));
        dc.SelectObject(&font);
        dc.SetBkColor(RGB(192, 192, 192));
        dc.SetTextColor(RGB(0, 0, 0));
        dc.TextOut(2, 2, "8");
        dc.FrameRect({30, 10, 50, 30}, RGB(131, 241, 233));
        dc.SelectObject(nullptr);
    }

    int top = -1;
    int bottom = -1;
    bool finerThanAWindowPixel = false;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (Pixel(surface, x, y) != 0x000000u) continue;
            if (top < 0) top = y;
            bottom = y;
        }
    }
    for (int y = 0; y + 1 < 50; y += 2) {
        for (int x = 0; x + 1 < 40; x += 2) {
            const QRgb corner = Pixel(surface, x, y);
            if (Pixel(surface, x + 1, y) != corner || Pixel(surface, x, y + 1) != corner) finerThanAWindowPixel = true;
        }
    }
    ASSERT_GE(top, 0) << "the digit is drawn in black, without antialiasing";
    EXPECT_GT(bottom - top, 16) << "the digit spans the screen pixels of a 32-pixel font";
    EXPECT_TRUE(finerThanAWindowPixel) << "a 16-pixel rendering enlarged would fill whole 2 x 2 blocks";

    EXPECT_EQ(Pixel(surface, 60, 30), 0x83F1E9u);
    EXPECT_EQ(Pixel(surface, 61, 30), 0x83F1E9u);
    EXPECT_NE(Pixel(surface, 62, 30), 0x83F1E9u) << "one window pixel is two screen pixels";
    EXPECT_EQ(Pixel(surface, 99, 59), 0x83F1E9u) << "the far corner, just inside the rectangle";
    EXPECT_NE(Pixel(surface, 100, 59), 0x83F1E9u);
    dialog.DestroyWindow();
}

}  // namespace

// The screen at twice the window's pixels, before the application starts.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "2", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
