#include "platform/qt/QtButtonStrip.h"

#include <QPainter>

namespace KDAutoUpdate {

namespace {
constexpr int kBandDarker = 104; // percent, as QColor::darker takes it
constexpr int kLineDarker = 122;
constexpr int kHighlightLighter = 106;
} // namespace

QtButtonStrip::QtButtonStrip(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
}

void QtButtonStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Window);
    painter.fillRect(rect(), face.darker(kBandDarker));
    const int right = width() - 1;
    painter.setPen(face.darker(kLineDarker));
    painter.drawLine(0, 0, right, 0);
    painter.setPen(face.lighter(kHighlightLighter));
    painter.drawLine(0, 1, right, 1);
}

} // namespace KDAutoUpdate
