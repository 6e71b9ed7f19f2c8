#pragma once
// Twips (1/1440 inch) to Qt's device-independent pixels and back, at a given logical DPI.
// At 96 dpi 15 twips are one pixel.

#include <QRect>

#include "platform/FormView.h"

class QWidget;

namespace KDAutoUpdate {

struct QtDpi {
    double x = 96;
    double y = 96;
};

// The logical DPI a widget is laid out with (its screen's); 96 when it cannot be had.
QtDpi DpiOf(const QWidget* widget);
// The primary screen's logical DPI; 96 without a screen.
QtDpi PrimaryScreenDpi();

int TwipsToPixels(double twips, double dpi);
double PixelsToTwips(int pixels, double dpi);
QRect TwipsToPixels(const TwipRect& rect, const QtDpi& dpi);
TwipRect PixelsToTwips(const QRect& rect, const QtDpi& dpi);

} // namespace KDAutoUpdate
