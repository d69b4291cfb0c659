#include "app/resources/resources.h"
#include "ui/resource_ids.h"

#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <array>

namespace resources {

using namespace platform;
namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 15;

using PixelRows = std::array<std::string_view, kHeight>;

// One image per button kind; the month schedule list reuses the main window's navigation images.
// A second command id of 0 means the image has one command only.
struct ButtonImage {
    std::array<UINT, 2> commands;
    PixelRows rows;
};

constexpr bool AllRowsFullWidth(const PixelRows& rows) {
    for (std::string_view row : rows) {
        if (row.size() != kWidth) return false;
    }
    return true;
}

// Palette: '.' transparent, k outline, w paper, g grey, r red, n navy, b blue, G green,
// y pencil yellow, o pencil shade, p bare wood, c cursor teal, s flag pole.
QRgb PaletteColor(char c) {
    switch (c) {
    case 'k':
        return qRgb(0x20, 0x20, 0x20);
    case 'w':
        return qRgb(0xFF, 0xFF, 0xFF);
    case 'g':
        return qRgb(0x80, 0x80, 0x80);
    case 'r':
        return qRgb(0xD8, 0x10, 0x10);
    case 'n':
        return qRgb(0x1C, 0x3C, 0x8C);
    case 'b':
        return qRgb(0x30, 0x70, 0xD8);
    case 'G':
        return qRgb(0x10, 0x88, 0x20);
    case 'y':
        return qRgb(0xF4, 0xC4, 0x20);
    case 'o':
        return qRgb(0xC8, 0x80, 0x10);
    case 'p':
        return qRgb(0xF0, 0xD0, 0xA0);
    case 'c':
        return qRgb(0x00, 0x8C, 0x8C);
    case 's':
        return qRgb(0x60, 0x50, 0x40);
    default:
        return qRgba(0, 0, 0, 0);
    }
}

constexpr PixelRows kTodaySchedule = {
    "................", "kkkkkkkkkkk.....", "krrrrrrrrrk.....", "krrrrrrrrrk.....", "kkkkkkkkkkk.....",
    "kwwwwwwwwwk.....", "kwwwwkkwwwk..k..", "kwwwkkkwwwk.kyk.", "kwwwwkkwwwkkyok.", "kwwwwkkwwwkyok..",
    "kwwwwkkwwkyok...", "kwwwkkkkkpok....", "kkkkkkkkkpk.....", "........k.......", "................",
};

constexpr PixelRows kMonthSchedule = {
    "................", ".kkkkkkkkkkkkkk.", ".krrrrrrrrrrrrk.", ".kkkkkkkkkkkkkk.", ".kwwwwwwwwwwwwk.",
    ".kwnnwggggggwwk.", ".kwwwwwwwwwwwwk.", ".kwnnwggggwwwwk.", ".kwwwwwwwwwwwwk.", ".kwrrwgggggggwk.",
    ".kwwwwwwwwwwwwk.", ".kwnnwgggggwwwk.", ".kwwwwwwwwwwwwk.", ".kkkkkkkkkkkkkk.", "................",
};

constexpr PixelRows kOneDaySchedule = {
    "................", "..kkkkkkkkkkk...", "..krrrrrrrrrk...", "..krrrrrrrrrk...", "..kkkkkkkkkkk...",
    "..kwwwwwwwwwk...", "..kwwwwkkwwwk...", "..kwwwkkkwwwk...", "..kwwwwkkwwwk...", "..kwwwwkkwwwk...",
    "..kwwwwkkwwwk...", "..kwwwkkkkwwk...", "..kwwwwwwwwwk...", "..kkkkkkkkkkk...", "................",
};

constexpr PixelRows kPrevYear = {
    "................", "................", "................", ".......n....n...", "......nn...nn...",
    ".....nnn..nnn...", "....nnnn.nnnn...", "...nnnnnnnnnn...", "....nnnn.nnnn...", ".....nnn..nnn...",
    "......nn...nn...", ".......n....n...", "................", "................", "................",
};

constexpr PixelRows kPrevMonth = {
    "................", "................", "................", ".........n......", "........nn......",
    ".......nnn......", "......nnnn......", ".....nnnnn......", "......nnnn......", ".......nnn......",
    "........nn......", ".........n......", "................", "................", "................",
};

constexpr PixelRows kThisMonth = {
    "................", "................", "................", ".....nnnnn......", "....nnnnnnn.....",
    "...nnnbbbnnn....", "...nnbbbbbnn....", "...nnbbbbbnn....", "...nnbbbbbnn....", "...nnnbbbnnn....",
    "....nnnnnnn.....", ".....nnnnn......", "................", "................", "................",
};

constexpr PixelRows kNextMonth = {
    "................", "................", "................", "......n.........", "......nn........",
    "......nnn.......", "......nnnn......", "......nnnnn.....", "......nnnn......", "......nnn.......",
    "......nn........", "......n.........", "................", "................", "................",
};

constexpr PixelRows kNextYear = {
    "................", "................", "................", "...n....n.......", "...nn...nn......",
    "...nnn..nnn.....", "...nnnn.nnnn....", "...nnnnnnnnnn...", "...nnnn.nnnn....", "...nnn..nnn.....",
    "...nn...nn......", "...n....n.......", "................", "................", "................",
};

// A flag with the red sun, as hung out on national holidays.
constexpr PixelRows kHolidaySettings = {
    ".ss.............", ".sskkkkkkkkkkkk.", ".sskwwwwwwwwwwk.", ".sskwwwwwwwwwwk.", ".sskwwwwrrwwwwk.",
    ".sskwwwrrrrwwwk.", ".sskwwwrrrrwwwk.", ".sskwwwrrrrwwwk.", ".sskwwwwrrwwwwk.", ".sskwwwwwwwwwwk.",
    ".sskwwwwwwwwwwk.", ".sskkkkkkkkkkkk.", ".ss.............", ".ss.............", ".ss.............",
};

// A sheet of day cells with the cursor's frame around one of them.
constexpr PixelRows kToggleCursor = {
    "................", ".kkkkkkkkkkkkkk.", ".kwwwwwwwwwwwwk.", ".kwggwggwggwggk.", ".kwggccccccwggk.",
    ".kwwwccccccwwwk.", ".kwggcwggwcwggk.", ".kwggcwggwcwggk.", ".kwwwccccccwwwk.", ".kwggccccccwggk.",
    ".kwggwggwggwggk.", ".kwwwwwwwwwwwwk.", ".kkkkkkkkkkkkkk.", "................", "................",
};

// Twelve small month sheets: the year view.
constexpr PixelRows kToggleView = {
    "................", "................", "rrr.rrr.rrr.rrr.", "nnn.nnn.nnn.nnn.", "nnn.nnn.nnn.nnn.",
    "................", "rrr.rrr.rrr.rrr.", "nnn.nnn.nnn.nnn.", "nnn.nnn.nnn.nnn.", "................",
    "rrr.rrr.rrr.rrr.", "nnn.nnn.nnn.nnn.", "nnn.nnn.nnn.nnn.", "................", "................",
};

constexpr PixelRows kRegister = {
    "................", "................", ".............GG.", "............GGG.", "...........GGG..",
    "..........GGG...", ".GG......GGG....", ".GGG....GGG.....", "..GGG..GGG......", "...GGGGGG.......",
    "....GGGG........", ".....GG.........", "................", "................", "................",
};

constexpr PixelRows kDelete = {
    "................", "................", "...rr......rr...", "...rrr....rrr...", "....rrr..rrr....",
    ".....rrrrrr.....", "......rrrr......", "......rrrr......", ".....rrrrrr.....", "....rrr..rrr....",
    "...rrr....rrr...", "...rr......rr...", "................", "................", "................",
};

constexpr std::array<ButtonImage, 13> kImages = {{
    {{ID_EDIT_TODAY_SCHEDULE}, kTodaySchedule},
    {{ID_EDIT_MONTH_SCHEDULE}, kMonthSchedule},
    {{ID_LIST_OPEN_DAY}, kOneDaySchedule},
    {{ID_VIEW_PREV_YEAR, ID_LIST_PREV_YEAR}, kPrevYear},
    {{ID_VIEW_PREV_MONTH, ID_LIST_PREV_MONTH}, kPrevMonth},
    {{ID_VIEW_THIS_MONTH, ID_LIST_THIS_MONTH}, kThisMonth},
    {{ID_VIEW_NEXT_MONTH, ID_LIST_NEXT_MONTH}, kNextMonth},
    {{ID_VIEW_NEXT_YEAR, ID_LIST_NEXT_YEAR}, kNextYear},
    {{ID_SETTINGS_HOLIDAYS}, kHolidaySettings},
    {{ID_VIEW_TOGGLE_CURSOR}, kToggleCursor},
    {{ID_VIEW_TOGGLE_VIEW}, kToggleView},
    {{ID_SCHEDULE_REGISTER}, kRegister},
    {{ID_SCHEDULE_DELETE}, kDelete},
}};

constexpr bool AllImagesFullWidth() {
    for (const ButtonImage& image : kImages) {
        if (!AllRowsFullWidth(image.rows)) return false;
    }
    return true;
}
static_assert(AllImagesFullWidth(), "every row of a toolbar image is 16 pixels wide");

const PixelRows* FindRows(UINT commandId) {
    if (commandId == 0) return nullptr;
    for (const ButtonImage& image : kImages) {
        if (std::find(image.commands.begin(), image.commands.end(), commandId) != image.commands.end()) {
            return &image.rows;
        }
    }
    return nullptr;
}

QImage ToImage(const PixelRows& rows) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            image.setPixel(x, y, PaletteColor(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]));
        }
    }
    return image;
}

}  // namespace

QIcon VelmoraToolBarButton(UINT commandId) {
    const PixelRows* rows = FindRows(commandId);
    if (rows == nullptr) return QIcon();
    QImage image = ToImage(*rows);
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(image));
    // Doubled pixel by pixel for high-density screens, so the image stays crisp there too.
    icon.addPixmap(
        QPixmap::fromImage(image.scaled(2 * kWidth, 2 * kHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    return icon;
}

}  // namespace resources
