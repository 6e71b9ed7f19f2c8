#include "platform/qt/QtTwips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <limits>

namespace KDAutoUpdate {

namespace {
constexpr double kTwipsPerInch = 1440;
constexpr double kFallbackDpi = 96;

double Usable(double dpi) {
    return dpi > 0 ? dpi : kFallbackDpi;
}
} // namespace

QtDpi DpiOf(const QWidget* widget) {
    if (!widget)
        return PrimaryScreenDpi();
    return {Usable(widget->logicalDpiX()), Usable(widget->logicalDpiY())};
}

QtDpi PrimaryScreenDpi() {
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    if (!screen)
        return {};
    return {Usable(screen->logicalDotsPerInchX()), Usable(screen->logicalDotsPerInchY())};
}

int TwipsToPixels(double twips, double dpi) {
    const double pixels = std::round(twips * Usable(dpi) / kTwipsPerInch);
    // Qt geometry is int: anything beyond that range is nonsense from the caller.
    constexpr double kLimit = std::numeric_limits<int>::max() / 4.0;
    if (!(pixels > -kLimit && pixels < kLimit))
        return 0;
    return static_cast<int>(pixels);
}

double PixelsToTwips(int pixels, double dpi) {
    return static_cast<double>(pixels) * kTwipsPerInch / Usable(dpi);
}

QRect TwipsToPixels(const TwipRect& rect, const QtDpi& dpi) {
    return {TwipsToPixels(rect.left, dpi.x), TwipsToPixels(rect.top, dpi.y),
            TwipsToPixels(rect.width, dpi.x), TwipsToPixels(rect.height, dpi.y)};
}

TwipRect PixelsToTwips(const QRect& rect, const QtDpi& dpi) {
    return {PixelsToTwips(rect.x(), dpi.x), PixelsToTwips(rect.y(), dpi.y),
            PixelsToTwips(rect.width(), dpi.x), PixelsToTwips(rect.height(), dpi.y)};
}

} // namespace KDAutoUpdate
