#include "platform/dc.h"

#include "platform/text_codec.h"

#include <QFontMetrics>

#include <algorithm>
#include <utility>

namespace {

using platform::DrawOp;

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QRect ToQRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// Plain pixels in the exact colour, as the sheets were designed with.
QFont PlainFont(const QString& face, int pixels) {
    QFont font(platform::ResolveFontFace(face));
    font.setPixelSize(pixels);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

}  // namespace

QString platform::ResolveFontFace(const QString& face) {
    // The program asks for its faces by their Japanese names; the IPA fonts stand in for them.
    static const std::pair<QString, QString> kFaces[] = {
        {QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho")},
        {QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho")},
        {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")},
        {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")},
    };
    for (const auto& [asked, installed] : kFaces) {
        if (face == asked) return installed;
    }
    return face;
}

BOOL CFont::CreatePointFont(int pointTenths, std::string_view faceCp932) {
    const QString face = platform::ToQString(faceCp932);
    m_faceUtf8 = face.toStdString();
    // Pixel sizes as at 96 pixels per inch, so that the fixed layout holds on every screen.
    m_font = PlainFont(face, std::max(1, (pointTenths * 96 + 360) / 720));
    m_created = true;
    return TRUE;
}

CDC::CDC(QImage* surface, platform::DrawLog* log, const QRegion& clip) : m_surface(surface), m_log(log), m_clip(clip) {}

CDC::~CDC() = default;

void CDC::Log(DrawOp op) {
    if (m_log != nullptr) m_log->push_back(std::move(op));
}

void CDC::Paint(const std::function<void(QPainter&)>& draw) {
    if (m_surface == nullptr) return;
    QPainter painter(m_surface);
    if (!m_clip.isEmpty()) painter.setClipRegion(m_clip);
    draw(painter);
}

CFont* CDC::SelectObject(CFont* font) { return std::exchange(m_font, font); }

COLORREF CDC::SetTextColor(COLORREF colour) { return std::exchange(m_textColour, colour); }

COLORREF CDC::SetBkColor(COLORREF colour) { return std::exchange(m_bkColour, colour); }

void CDC::FillSolidRect(const CRect& rect, COLORREF colour) {
    m_bkColour = colour;
    Log({DrawOp::Kind::Fill, rect, {}, {}, colour, {}, 0});
    Paint([&](QPainter& painter) { painter.fillRect(ToQRect(rect), ToQColor(colour)); });
}

void CDC::TextOut(int x, int y, std::string_view textCp932) {
    const bool selected = m_font != nullptr && m_font->IsCreated();
    const QFont font = selected ? m_font->Font() : PlainFont(QStringLiteral("ＭＳ Ｐゴシック"), 12);
    Log({DrawOp::Kind::Text,
         {},
         {x, y},
         std::string(textCp932),
         m_textColour,
         m_font != nullptr ? m_font->FaceUtf8() : std::string(),
         font.pixelSize()});
    Paint([&](QPainter& painter) {
        const QString text = platform::ToQString(textCp932);
        const QFontMetrics metrics(font, m_surface);
        // Opaque text: the character cells take the background colour first.
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), ToQColor(m_bkColour));
        painter.setFont(font);
        painter.setPen(ToQColor(m_textColour));
        painter.drawText(x, y + metrics.ascent(), text);
    });
}

void CDC::FrameRect(const CRect& rect, COLORREF colour) {
    Log({DrawOp::Kind::Frame, rect, {}, {}, colour, {}, 0});
    if (rect.IsRectEmpty()) return;
    Paint([&](QPainter& painter) {
        const QColor c = ToQColor(colour);
        painter.fillRect(QRect(rect.left, rect.top, rect.Width(), 1), c);
        painter.fillRect(QRect(rect.left, rect.bottom - 1, rect.Width(), 1), c);
        painter.fillRect(QRect(rect.left, rect.top, 1, rect.Height()), c);
        painter.fillRect(QRect(rect.right - 1, rect.top, 1, rect.Height()), c);
    });
}

void CDC::DrawIcon(int x, int y, const QIcon& icon) {
    Log({DrawOp::Kind::Icon, {}, {x, y}, {}, 0, {}, 0});
    if (icon.isNull()) return;
    Paint([&](QPainter& painter) { painter.drawPixmap(x, y, icon.pixmap(kSystemIconSize, kSystemIconSize)); });
}
