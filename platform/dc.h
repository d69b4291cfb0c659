#pragma once

#include "platform/win_types.h"

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kSystemIconSize = 32;  // the size of a window's large icon

namespace platform {

// One drawing operation as a window drew it; tests read these back.
struct DrawOp {
    enum class Kind { Fill, Text, Frame, Icon };
    Kind kind;
    CRect rect;            // Fill, Frame
    CPoint point;          // Text, Icon: top-left corner
    std::string text;      // Text: code page 932
    COLORREF colour = 0;   // Fill and Frame colour, Text colour
    std::string fontFace;  // Text: the face the program asked for (UTF-8)
    int fontPixels = 0;    // Text: pixel height of the font
};
using DrawLog = std::vector<DrawOp>;

// Returns the installed family that stands in for a face name the program asks for.
QString ResolveFontFace(const QString& face);

}  // namespace platform

// A font made for one drawing.
class CFont {
public:
    // Makes a font of `pointTenths` tenths of a point (at 96 pixels per inch) in the face
    // `faceCp932`; returns TRUE when it was made.
    BOOL CreatePointFont(int pointTenths, std::string_view faceCp932);
    // Returns TRUE once the font has been made.
    bool IsCreated() const { return m_created; }
    // Returns the Qt font.
    const QFont& Font() const { return m_font; }
    // Returns the face name the program asked for, in UTF-8.
    const std::string& FaceUtf8() const { return m_faceUtf8; }

private:
    QFont m_font;
    std::string m_faceUtf8;
    bool m_created = false;
};

// A device context: draws on a window's surface at once, and into its draw log when it has one.
class CDC {
public:
    // Draws on `surface` (may be null) within `clip` (empty: the whole surface), logging to `log`
    // (may be null).
    CDC(QImage* surface, platform::DrawLog* log, const QRegion& clip = QRegion());
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Selects a font for text; returns the one selected before (null for the default font).
    CFont* SelectObject(CFont* font);
    // Fills the rectangle with the colour, which also becomes the text background colour.
    void FillSolidRect(const CRect& rect, COLORREF colour);
    // Sets the text colour; returns the previous one.
    COLORREF SetTextColor(COLORREF colour);
    // Sets the text background colour; returns the previous one.
    COLORREF SetBkColor(COLORREF colour);
    // Draws text with its top-left corner at (x, y), on its background colour.
    void TextOut(int x, int y, std::string_view textCp932);
    // Draws a one-pixel frame just inside the rectangle.
    void FrameRect(const CRect& rect, COLORREF colour);
    // Draws an icon at its system size with its top-left corner at (x, y).
    void DrawIcon(int x, int y, const QIcon& icon);

private:
    void Log(platform::DrawOp op);
    void Paint(const std::function<void(QPainter&)>& draw);

    QImage* m_surface;
    platform::DrawLog* m_log;
    QRegion m_clip;
    CFont* m_font = nullptr;
    COLORREF m_textColour = RGB(0, 0, 0);
    COLORREF m_bkColour = RGB(255, 255, 255);
};
