#include "platform/qt/QtDialogFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

#include "platform/qt/QtTwips.h"

namespace KDAutoUpdate {

namespace {
constexpr double kDefaultPointSize = 8.25;
constexpr double kMinScale = 0.85;
constexpr double kPointsPerInch = 72;

// Average advance of the 52 Latin letters, in em, of families whose layouts we imitate.
// Tahoma's dialog unit (6 by 13 pixels at 8 pt) puts it near 0.53 em.
double KnownAverageEm(const QString& family) {
    if (family.compare(QLatin1String("Tahoma"), Qt::CaseInsensitive) == 0 ||
        family.compare(QLatin1String("MS Shell Dlg 2"), Qt::CaseInsensitive) == 0)
        return 0.53;
    return 0;
}

double AverageLetterWidth(const QFont& font) {
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return QFontMetricsF(font).horizontalAdvance(kLetters) / static_cast<double>(kLetters.size());
}
} // namespace

QFont QtDialogFont(const std::string& family, double pointSize) {
    if (!(pointSize > 0))
        pointSize = kDefaultPointSize;
    const QString wanted = QString::fromStdString(family);
    // Fonts need a GUI application; without one the default font is all there is.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QFont font;
        font.setPointSizeF(pointSize);
        return font;
    }
    if (!wanted.isEmpty() && QFontDatabase::hasFamily(wanted)) {
        QFont font(wanted);
        font.setPointSizeF(pointSize);
        return font;
    }
    QFont normal = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    normal.setPointSizeF(pointSize);
    const double averageEm = KnownAverageEm(wanted);
    if (averageEm <= 0)
        return normal;

    const double dpiY = PrimaryScreenDpi().y;
    const double emPixels = pointSize * dpiY / kPointsPerInch;
    const double target = averageEm * emPixels;
    QFont condensed = normal;
    condensed.setStretch(QFont::SemiCondensed);
    const double normalWidth = AverageLetterWidth(normal);
    const double condensedWidth = AverageLetterWidth(condensed);
    const bool useCondensed = std::abs(condensedWidth - target) < std::abs(normalWidth - target);
    QFont font = useCondensed ? condensed : normal;
    const double width = useCondensed ? condensedWidth : normalWidth;
    if (width > target && width > 0) {
        // Text is drawn at whole pixel sizes: the largest that is not wider than the target.
        const double scale = std::max(kMinScale, target / width);
        const double pixels =
            std::max(std::floor(emPixels * scale + 1e-6), std::ceil(emPixels * kMinScale - 1e-6));
        font.setPointSizeF(pixels * kPointsPerInch / dpiY);
    }
    return font;
}

} // namespace KDAutoUpdate
