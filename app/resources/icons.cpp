#include "app/resources/resources.h"
#include "ui/resource_ids.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace resources {

using namespace platform;
namespace {

constexpr std::array<int, 5> kIconSizes = {16, 24, 32, 48, 64};

// Digits of a 3 x 5 block font; '#' is a filled block.
constexpr std::array<std::array<std::string_view, 5>, 10> kDigits = {{
    {"###", "#.#", "#.#", "#.#", "###"},
    {".#.", "##.", ".#.", ".#.", "###"},
    {"###", "..#", "###", "#..", "###"},
    {"###", "..#", ".##", "..#", "###"},
    {"#.#", "#.#", "###", "..#", "..#"},
    {"###", "#..", "###", "..#", "###"},
    {"###", "#..", "###", "#.#", "###"},
    {"###", "..#", "..#", ".#.", ".#."},
    {"###", "#.#", "###", "#.#", "###"},
    {"###", "#.#", "###", "..#", "###"},
}};

// A calendar page: a coloured header strip with two binding rings, and a dark day number.
// Everything is placed on whole pixels of the real size, so edges stay sharp at every size.
QPixmap DrawCalendarPage(int size, const QColor& header, std::string_view number) {
    const QColor outline(0x30, 0x30, 0x30);
    const QColor paper(0xFF, 0xFF, 0xFF);
    const QColor ink(0x20, 0x20, 0x20);

    const double k = size / 16.0;
    const auto px = [](double v) { return static_cast<int>(std::lround(v)); };
    const int border = std::max(1, px(k * 0.75));
    const int left = px(k);
    const int right = size - px(k);
    const int top = px(k);
    const int headerTop = top + border;
    const int headerBottom = headerTop + px(4 * k);
    const int paperTop = headerBottom + border;
    const int paperBottom = size - border;

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.fillRect(left, top, right - left, size - top, outline);
    painter.fillRect(left + border, headerTop, right - left - 2 * border, headerBottom - headerTop, header);
    painter.fillRect(left + border, paperTop, right - left - 2 * border, paperBottom - paperTop, paper);

    const int ringWidth = std::max(border, px(k));
    const int ringInset = (right - left) / 4;
    const int ringBottom = headerTop + px(k);
    painter.fillRect(left + ringInset, 0, ringWidth, ringBottom, outline);
    painter.fillRect(right - ringInset - ringWidth, 0, ringWidth, ringBottom, outline);

    // The digits' blocks are whole pixels too: 1 at 16 px, 2 at 24 and 32, 3 at 48, 4 at 64.
    const int cell = std::max(1, px(k));
    const int count = static_cast<int>(number.size());
    const int textWidth = (4 * count - 1) * cell;
    const int x0 = left + border + (right - left - 2 * border - textWidth) / 2;
    const int y0 = paperTop + (paperBottom - paperTop - 5 * cell) / 2;
    for (int i = 0; i < count; ++i) {
        const auto& glyph = kDigits[static_cast<std::size_t>(number[static_cast<std::size_t>(i)] - '0')];
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (glyph[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] == '#') {
                    painter.fillRect(x0 + (4 * i + col) * cell, y0 + row * cell, cell, cell, ink);
                }
            }
        }
    }
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon CalendarIcon(const QColor& header) {
    QIcon icon;
    for (int size : kIconSizes) icon.addPixmap(DrawCalendarPage(size, header, "12"));
    return icon;
}

}  // namespace

QIcon VelmoraIcon(int id) {
    switch (id) {
    case IDI_CALENDAR:
        return CalendarIcon(QColor(0xD8, 0x10, 0x10));
    // The About box's application icon: the same page with a blue header.
    case IDR_MAINFRAME:
        return CalendarIcon(QColor(0x20, 0x50, 0xC0));
    default:
        return QIcon();
    }
}

}  // namespace resources
