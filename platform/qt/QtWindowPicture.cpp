#include "platform/qt/QtWindowPicture.h"

#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <cmath>

#include "platform/qt/QtTwips.h"

namespace KDAutoUpdate {

namespace {
// Sizes at 96 dpi of a plain, light desktop frame.
constexpr double kTitleHeight = 30;
constexpr double kIconSize = 16;
constexpr double kIconMargin = 8;
constexpr double kButtonWidth = 46;
constexpr double kGlyphSize = 10;
constexpr double kCaptionPointScale = 1.1;
const QColor kBorder(0x6d, 0x6d, 0x6d);
const QColor kTitleBackground(0xff, 0xff, 0xff);
const QColor kCaptionText(0x00, 0x00, 0x00);
const QColor kGlyph(0x1a, 0x1a, 0x1a);
const QColor kGlyphDisabled(0xb8, 0xb8, 0xb8);

enum class Glyph { Minimize, Maximize, Close };

void DrawGlyph(QPainter& painter, const QRect& button, Glyph glyph, int size, bool enabled) {
    const QPointF centre = QRectF(button).center();
    const double half = size / 2.0;
    painter.setPen(QPen(enabled ? kGlyph : kGlyphDisabled, 1));
    painter.setRenderHint(QPainter::Antialiasing, glyph == Glyph::Close);
    switch (glyph) {
    case Glyph::Minimize:
        painter.drawLine(QPointF(centre.x() - half, centre.y()),
                         QPointF(centre.x() + half, centre.y()));
        break;
    case Glyph::Maximize:
        painter.drawRect(QRectF(centre.x() - half, centre.y() - half, size - 1, size - 1));
        break;
    case Glyph::Close:
        painter.drawLine(QPointF(centre.x() - half, centre.y() - half),
                         QPointF(centre.x() + half, centre.y() + half));
        painter.drawLine(QPointF(centre.x() - half, centre.y() + half),
                         QPointF(centre.x() + half, centre.y() - half));
        break;
    }
}
} // namespace

QImage QtWindowPicture(QWidget* window) {
    if (!window)
        return {};
    const QPixmap client = window->grab();
    const double scale = DpiOf(window).y / 96.0;
    const auto px = [scale](double pixels) {
        return static_cast<int>(std::lround(pixels * scale));
    };
    const int border = 1;
    const int title = px(kTitleHeight);
    const QSize clientSize = window->size();
    const QSize outer(clientSize.width() + 2 * border, clientSize.height() + title + 2 * border);
    const qreal ratio = client.devicePixelRatio();

    QImage image(outer * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(kBorder);
    QPainter painter(&image);
    const QRect titleBar(border, border, clientSize.width(), title);
    painter.fillRect(titleBar, kTitleBackground);

    // Caption buttons from the right: close, then maximize and minimize when asked for (a
    // window with only one of the two shows the other greyed, as desktops do).
    const Qt::WindowFlags flags = window->windowFlags();
    const bool minimize = flags & Qt::WindowMinimizeButtonHint;
    const bool maximize = flags & Qt::WindowMaximizeButtonHint;
    QRect button(titleBar.right() + 1 - px(kButtonWidth), titleBar.top(), px(kButtonWidth), title);
    DrawGlyph(painter, button, Glyph::Close, px(kGlyphSize), true);
    int buttonsLeft = button.left();
    if (minimize || maximize) {
        button.translate(-px(kButtonWidth), 0);
        DrawGlyph(painter, button, Glyph::Maximize, px(kGlyphSize), maximize);
        button.translate(-px(kButtonWidth), 0);
        DrawGlyph(painter, button, Glyph::Minimize, px(kGlyphSize), minimize);
        buttonsLeft = button.left();
    }

    int textLeft = titleBar.left() + px(kIconMargin);
    const QIcon icon = window->windowIcon();
    if (!icon.isNull()) {
        const int size = px(kIconSize);
        const QRect iconRect(textLeft, titleBar.top() + (title - size) / 2, size, size);
        painter.drawPixmap(iconRect, icon.pixmap(QSize(size, size), ratio));
        textLeft = iconRect.right() + 1 + px(kIconMargin);
    }
    QFont captionFont = window->font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * kCaptionPointScale);
    painter.setFont(captionFont);
    painter.setPen(kCaptionText);
    const QRect textRect(textLeft, titleBar.top(), buttonsLeft - textLeft - px(kIconMargin), title);
    const QString caption =
        QFontMetrics(captionFont)
            .elidedText(window->windowTitle(), Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, caption);

    painter.drawPixmap(QPoint(border, border + title), client);
    painter.end();
    return image;
}

} // namespace KDAutoUpdate
