// Draws reference images for the end-to-end tests with plain Qt on the display the program under
// test uses, so that a screenshot can be compared with them pixel for pixel:
//
//   render_reference text --family IPAMincho --pixels 16 --no-antialias --fg 000000 --bg c0c0c0
//                         --text " 8" --out digit.ppm
//   render_reference text --font-of QTipLabel --fg tooltip-text --bg tooltip-base --text "..." --out tip.ppm
//   render_reference text --family IPAMincho --pixels 16 --ratio 2 --no-antialias ... --out sharp.ppm
//   render_reference menubar --out bar.ppm "ファイル(&F)" "編集(&E)"
//
// "text" paints the text opaquely: the image is the text's advance wide and the font's height
// high, filled with the background, with the baseline at the font's ascent; with --ratio R it is
// drawn as on a screen of R device pixels per pixel, and the image holds those device pixels.
// "menubar" grabs a
// menu bar holding the titles, in the font Qt gives popup menus. Each prints one line to stdout:
// the image's width and height, then the ascent (text) or each title's x, y, width and height
// (menubar). The format follows the file name (.ppm, .png).
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QToolTip>
#include <QtMath>

#include <cstdio>
#include <optional>

namespace {

int Fail(const char* message) {
    std::fprintf(stderr, "render_reference: %s\n", message);
    return 2;
}

// A colour given as RRGGBB, or as the name of a palette role of the application (window,
// window-text, base, text, button, button-text, highlight, highlighted-text) or of tool tips
// (tooltip-base, tooltip-text).
std::optional<QColor> ParseColour(const QString& value) {
    const QPalette app = QApplication::palette();
    const QPalette tip = QToolTip::palette();
    if (value == QLatin1String("window")) return app.color(QPalette::Active, QPalette::Window);
    if (value == QLatin1String("window-text")) return app.color(QPalette::Active, QPalette::WindowText);
    if (value == QLatin1String("base")) return app.color(QPalette::Active, QPalette::Base);
    if (value == QLatin1String("text")) return app.color(QPalette::Active, QPalette::Text);
    if (value == QLatin1String("button")) return app.color(QPalette::Active, QPalette::Button);
    if (value == QLatin1String("button-text")) return app.color(QPalette::Active, QPalette::ButtonText);
    if (value == QLatin1String("highlight")) return app.color(QPalette::Active, QPalette::Highlight);
    if (value == QLatin1String("highlighted-text")) return app.color(QPalette::Active, QPalette::HighlightedText);
    if (value == QLatin1String("tooltip-base")) return tip.color(QPalette::Inactive, QPalette::ToolTipBase);
    if (value == QLatin1String("tooltip-text")) return tip.color(QPalette::Inactive, QPalette::ToolTipText);
    bool ok = false;
    const uint rgb = value.toUInt(&ok, 16);
    if (!ok || value.size() != 6) return std::nullopt;
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

bool Save(const QImage& image, const QString& path) {
    // Plain RGB: the tests read the bytes of a PPM directly.
    return image.convertToFormat(QImage::Format_RGB888).save(path);
}

int RenderText(const QStringList& args) {
    QString family;
    QString fontOf;
    QString text;
    QString out;
    int pixels = 0;
    double ratio = 1.0;
    bool antialias = true;
    QFont::HintingPreference hinting = QFont::PreferDefaultHinting;
    QColor fg(Qt::black);
    QColor bg(Qt::white);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--no-antialias")) {
            antialias = false;
        } else if (!hasValue) {
            return Fail("an option lacks its value");
        } else if (a == QLatin1String("--family")) {
            family = args[++i];
        } else if (a == QLatin1String("--font-of")) {
            fontOf = args[++i];
        } else if (a == QLatin1String("--pixels")) {
            pixels = args[++i].toInt();
        } else if (a == QLatin1String("--ratio")) {
            ratio = args[++i].toDouble();
            if (ratio <= 0) return Fail("--ratio takes a positive number");
        } else if (a == QLatin1String("--text")) {
            text = args[++i];
        } else if (a == QLatin1String("--out")) {
            out = args[++i];
        } else if (a == QLatin1String("--hinting")) {
            const QString h = args[++i];
            if (h == QLatin1String("none"))
                hinting = QFont::PreferNoHinting;
            else if (h == QLatin1String("vertical"))
                hinting = QFont::PreferVerticalHinting;
            else if (h == QLatin1String("full"))
                hinting = QFont::PreferFullHinting;
            else if (h != QLatin1String("default"))
                return Fail("--hinting takes default, none, vertical or full");
        } else if (a == QLatin1String("--fg") || a == QLatin1String("--bg")) {
            const auto colour = ParseColour(args[++i]);
            if (!colour) return Fail("a colour is RRGGBB or a palette role");
            (a == QLatin1String("--fg") ? fg : bg) = *colour;
        } else {
            return Fail("unknown option of text");
        }
    }
    if (out.isEmpty() || text.isEmpty()) return Fail("text needs --text and --out");
    if (family.isEmpty() == fontOf.isEmpty()) return Fail("text needs one of --family and --font-of");

    QFont font = fontOf.isEmpty() ? QFont(family) : QApplication::font(fontOf.toUtf8().constData());
    if (pixels > 0) font.setPixelSize(pixels);
    if (!antialias) font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(hinting);

    const QFontMetrics metrics(font);
    QImage image(qCeil(metrics.horizontalAdvance(text) * ratio), qCeil(metrics.height() * ratio), QImage::Format_RGB32);
    if (image.isNull()) return Fail("the text has no extent");
    image.setDevicePixelRatio(ratio);
    image.fill(bg);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(fg);
        painter.drawText(0, metrics.ascent(), text);
    }
    if (!Save(image, out)) return Fail("the image could not be written");
    std::printf("%d %d %d\n", image.width(), image.height(), metrics.ascent());
    return 0;
}

int RenderMenuBar(const QStringList& args) {
    QString out;
    QStringList titles;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size()) {
            out = args[++i];
        } else {
            titles << args[i];
        }
    }
    if (out.isEmpty() || titles.isEmpty()) return Fail("menubar needs --out and at least one title");
    QMenuBar bar;
    bar.setFont(QApplication::font("QMenu"));
    for (const QString& title : titles) bar.addMenu(title);
    bar.resize(bar.sizeHint());
    if (!Save(bar.grab().toImage(), out)) return Fail("the image could not be written");
    std::printf("%d %d", bar.width(), bar.height());
    for (QAction* action : bar.actions()) {
        const QRect r = bar.actionGeometry(action);
        std::printf(" %d %d %d %d", r.x(), r.y(), r.width(), r.height());
    }
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty()) return Fail("usage: render_reference text|menubar OPTIONS");
    const QString mode = args.takeFirst();
    if (mode == QLatin1String("text")) return RenderText(args);
    if (mode == QLatin1String("menubar")) return RenderMenuBar(args);
    return Fail("the mode is text or menubar");
}
