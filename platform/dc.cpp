#include "platform/dc.h"

#include "platform/text_codec.h"

#include <QFontMetrics>

#include <algorithm>

namespace platform {

QString ResolveFontFace(const QString& face) {
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

}  // namespace platform

namespace {

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QRect ToQRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

}  // namespace

BOOL CFont::CreatePointFont(int pointTenths, std::string_view faceCp932) {
    const QString face = platform::ToQString(faceCp932);
    m_faceUtf8 = face.toStdString();
    m_font = QFont(platform::ResolveFontFace(face));
    // Pixel sizes as at 96 pixels per inch, so that the fixed layout holds on every screen.
    m_font.setPixelSize(std::max(1, (pointTenths * 96 + 360) / 720));
    // Plain pixels in the exact colour, as the sheets were designed with.
    m_font.setStyleStrategy(QFont::NoAntialias);
    m_created = true;
    return TRUE;
}

CDC::CDC(QImage* surface, platform::DrawLog* log, const QRegion& clip) : m_surface(surface), m_log(log), m_clip(clip) {}

CDC::~CDC() = default;

CFont* CDC::SelectObject(CFont* font) {
    CFont* previous = m_font;
    m_font = font;
    return previous;
}

QFont CDC::CurrentFont() const {
    if (m_font != nullptr && m_font->IsCreated()) return m_font->Font();
    QFont font(platform::ResolveFontFace(QStringLiteral("ＭＳ Ｐゴシック")));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void CDC::FillSolidRect(const CRect& rect, COLORREF colour) {
    m_bkColour = colour;
    if (m_log != nullptr) {
        m_log->push_back({platform::DrawOp::Kind::Fill, rect, {}, {}, colour, {}, 0});
    }
    if (m_surface == nullptr) return;
    QPainter painter(m_surface);
    if (!m_clip.isEmpty()) painter.setClipRegion(m_clip);
    painter.fillRect(ToQRect(rect), ToQColor(colour));
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    const COLORREF previous = m_textColour;
    m_textColour = colour;
    return previous;
}

COLORREF CDC::SetBkColor(COLORREF colour) {
    const COLORREF previous = m_bkColour;
    m_bkColour = colour;
    return previous;
}

void CDC::TextOut(int x, int y, std::string_view textCp932) {
    const QFont font = CurrentFont();
    if (m_log != nullptr) {
        const std::string face = m_font != nullptr ? m_font->FaceUtf8() : std::string();
        m_log->push_back(
            {platform::DrawOp::Kind::Text, {}, {x, y}, std::string(textCp932), m_textColour, face, font.pixelSize()});
    }
    if (m_surface == nullptr) return;
    const QString text = platform::ToQString(textCp932);
    QPainter painter(m_surface);
    if (!m_clip.isEmpty()) painter.setClipRegion(m_clip);
    painter.setFont(font);
    const QFontMetrics metrics(font, m_surface);
    // Opaque text: the character cells take the background colour first.
    painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), ToQColor(m_bkColour));
    painter.setPen(ToQColor(m_textColour));
    painter.drawText(x, y + metrics.ascent(), text);
}

void CDC::FrameRect(const CRect& rect, COLORREF colour) {
    if (m_log != nullptr) {
        m_log->push_back({platform::DrawOp::Kind::Frame, rect, {}, {}, colour, {}, 0});
    }
    if (m_surface == nullptr || rect.IsRectEmpty()) return;
    QPainter painter(m_surface);
    if (!m_clip.isEmpty()) painter.setClipRegion(m_clip);
    const QColor c = ToQColor(colour);
    const int w = rect.Width();
    const int h = rect.Height();
    painter.fillRect(QRect(rect.left, rect.top, w, 1), c);
    painter.fillRect(QRect(rect.left, rect.bottom - 1, w, 1), c);
    painter.fillRect(QRect(rect.left, rect.top, 1, h), c);
    painter.fillRect(QRect(rect.right - 1, rect.top, 1, h), c);
}

void CDC::DrawIcon(int x, int y, const QIcon& icon) {
    if (m_log != nullptr) {
        m_log->push_back({platform::DrawOp::Kind::Icon, {}, {x, y}, {}, 0, {}, 0});
    }
    if (m_surface == nullptr || icon.isNull()) return;
    QPainter painter(m_surface);
    if (!m_clip.isEmpty()) painter.setClipRegion(m_clip);
    painter.drawPixmap(x, y, icon.pixmap(kSystemIconSize, kSystemIconSize));
}
