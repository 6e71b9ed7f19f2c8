#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <compare>

namespace KDAutoUpdate {

// A dotted product version ("5.0.12") compared part by part as numbers. Missing parts count
// as 0, so 5.1 equals 5.1.0; a part that is not a number counts as 0 as well.
class ProductVersion {
public:
    ProductVersion() = default;
    static ProductVersion Parse(QStringView text);

    bool IsEmpty() const { return m_parts.isEmpty(); }
    const QList<qint64>& Parts() const { return m_parts; }
    QString ToString() const;

    std::strong_ordering operator<=>(const ProductVersion& other) const;
    bool operator==(const ProductVersion& other) const {
        return (*this <=> other) == std::strong_ordering::equal;
    }

private:
    QList<qint64> m_parts;
};

} // namespace KDAutoUpdate
