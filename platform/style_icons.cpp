#include "platform/style_icons.h"

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

#include <optional>

namespace {

// An icon of the style that asks the style for it only when it is first needed. Reading an icon's
// file makes the toolkit guess its format, which loads every image-format plugin and the image
// libraries behind them.
class DeferredIconEngine : public QIconEngine {
public:
    DeferredIconEngine(QPointer<QStyle> style, QStyle::StandardPixmap which, Qt::LayoutDirection direction)
        : m_style(std::move(style)), m_which(which) {
        m_option.direction = direction;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return Icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return Icon().isNull(); }
    QString key() const override { return QStringLiteral("velmora-deferred-style-icon"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    QIcon& Icon() {
        if (!m_icon) m_icon = m_style ? m_style->standardIcon(m_which, &m_option) : QIcon();
        return *m_icon;
    }

    QPointer<QStyle> m_style;
    QStyle::StandardPixmap m_which;
    QStyleOption m_option;  // the direction the icon was asked for: the asking widget may be gone
    std::optional<QIcon> m_icon;
};

class DeferredIconStyle : public QProxyStyle {
public:
    explicit DeferredIconStyle(QStyle* base) : QProxyStyle(base) {}

    QIcon standardIcon(QStyle::StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        // Every menu bar asks for its overflow arrow, which it shows only when its menus do not
        // fit; the arrow's picture depends only on the direction the bar's text runs.
        if (which != SP_ToolBarHorizontalExtensionButton && which != SP_ToolBarVerticalExtensionButton)
            return QProxyStyle::standardIcon(which, option, widget);
        const Qt::LayoutDirection direction = option != nullptr   ? option->direction
                                              : widget != nullptr ? widget->layoutDirection()
                                                                  : QGuiApplication::layoutDirection();
        return QIcon(new DeferredIconEngine(QPointer<QStyle>(baseStyle()), which, direction));
    }
};

}  // namespace

namespace platform {

void DeferStyleIcons() {
    // A fresh copy of the style the toolkit chose (by the platform, -style or QT_STYLE_OVERRIDE):
    // the proxy owns its base, and the chosen one is the application's to delete.
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    if (base != nullptr) QApplication::setStyle(new DeferredIconStyle(base));
}

}  // namespace platform
