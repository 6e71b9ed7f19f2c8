#include "service/VersionPattern.h"

#include <QStringList>

namespace KDAutoUpdate::VersionPattern {

namespace {

// Significant parts: trailing zero parts compare like missing ones.
QList<qint64> Significant(const ProductVersion& version) {
    QList<qint64> parts = version.Parts();
    while (!parts.isEmpty() && parts.last() == 0)
        parts.removeLast();
    return parts;
}

// One part equal to `n` (n >= 0), with any leading zeros.
QString EqualPart(qint64 n) {
    return n == 0 ? QStringLiteral("0+") : QStringLiteral("0*") + QString::number(n);
}

// One part below `n` (n > 0): fewer significant digits, or as many with a smaller digit at the
// first place where they differ.
QString BelowPart(qint64 n) {
    const QString digits = QString::number(n);
    const qsizetype length = digits.size();
    QStringList alternatives;
    if (length > 1)
        alternatives << QStringLiteral("\\d{1,%1}").arg(length - 1);
    for (qsizetype k = 0; k < length; ++k) {
        const int digit = digits[k].digitValue();
        if (digit == 0)
            continue;
        QString alternative = digits.left(k) + QStringLiteral("[0-%1]").arg(digit - 1);
        if (length - k - 1 > 0)
            alternative += QStringLiteral("\\d{%1}").arg(length - k - 1);
        alternatives << alternative;
    }
    return QStringLiteral("0*(?:%1)").arg(alternatives.join(u'|'));
}

QString Prefix(const QList<qint64>& parts, qsizetype count) {
    QStringList equal;
    for (qsizetype i = 0; i < count; ++i)
        equal << EqualPart(parts[i]);
    return equal.join(QStringLiteral("\\."));
}

} // namespace

QString Plain() {
    return QStringLiteral("\\d+(?:\\.\\d+)*");
}

QString Equal(const ProductVersion& version) {
    const QList<qint64> parts = Significant(version);
    if (parts.isEmpty())
        return QStringLiteral("0+(?:\\.0+)*");
    return Prefix(parts, parts.size()) + QStringLiteral("(?:\\.0+)*");
}

QString Below(const ProductVersion& version) {
    const QList<qint64> parts = Significant(version);
    QStringList alternatives;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // Equal up to part i and ending there, or going on with zeros only: a significant
        // part of `version` follows, so it is greater.
        if (i > 0)
            alternatives << Prefix(parts, i) + QStringLiteral("(?:\\.0+)*");
        if (parts[i] <= 0)
            continue;
        // Equal up to part i, which is smaller; anything after.
        const QString below = BelowPart(parts[i]) + QStringLiteral("(?:\\.\\d+)*");
        alternatives << (i == 0 ? below : Prefix(parts, i) + QStringLiteral("\\.") + below);
    }
    return alternatives.isEmpty() ? QString()
                                  : QStringLiteral("(?:%1)").arg(alternatives.join(u'|'));
}

} // namespace KDAutoUpdate::VersionPattern
