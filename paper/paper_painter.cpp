#include "paper/paper_painter.h"

#include <QBuffer>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace paper {
namespace {

QColor ColourOf(Ink ink) {
    switch (ink) {
    case Ink::Red:
        return {255, 0, 0};
    case Ink::Blue:
        return {0, 0, 255};
    case Ink::Grey:
        return {128, 128, 128};
    case Ink::Black:
        break;
    }
    return {0, 0, 0};
}

}  // namespace

void PaintPage(QPainter& painter, const PageLayout& layout) {
    QPaintDevice* device = painter.device();
    const std::vector<PaperItem> items = layout(device->width(), device->height());
    const double points = 72.0 / device->logicalDpiY();
    QFont font(QStringLiteral("IPAGothic"));
    font.setStyleHint(QFont::SansSerif);
    // A day's texts stay inside its frame, the last frame drawn before them.
    QRectF frame;
    for (const PaperItem& item : items) {
        const QRectF box(item.x, item.y, item.width, item.height);
        if (item.kind == PaperItem::Kind::Frame) {
            painter.setClipping(false);
            painter.setPen(QPen(Qt::black, device->width() / 800.0));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
            frame = box;
            continue;
        }
        painter.setClipRect(frame.isNull() ? box : box.intersected(frame));
        font.setPointSizeF(item.size * points);
        painter.setFont(font);
        painter.setPen(ColourOf(item.ink));
        painter.drawText(box, Qt::TextSingleLine | Qt::AlignTop | (item.centred ? Qt::AlignHCenter : Qt::AlignLeft),
                         QString::fromStdString(item.text));
    }
    painter.setClipping(false);
}

std::string PdfOfPage(const PageLayout& layout, std::string& error) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        writer.setResolution(72);
        writer.setCreator(QStringLiteral("velmora-cal"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = "cannot make the PDF";
            return {};
        }
        PaintPage(painter, layout);
        painter.end();
    }
    if (bytes.isEmpty()) error = "cannot make the PDF";
    return bytes.toStdString();
}

}  // namespace paper
