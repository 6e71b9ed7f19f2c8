#include "service/ProductVersion.h"

#include <QStringList>

namespace KDAutoUpdate {

ProductVersion ProductVersion::Parse(QStringView text) {
    ProductVersion version;
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return version;
    for (const QStringView part : trimmed.split(u'.')) {
        bool ok = false;
        const qint64 number = part.trimmed().toLongLong(&ok);
        version.m_parts.append(ok ? number : 0);
    }
    return version;
}

QString ProductVersion::ToString() const {
    QStringList parts;
    for (const qint64 part : m_parts)
        parts.append(QString::number(part));
    return parts.join(u'.');
}

std::strong_ordering ProductVersion::operator<=>(const ProductVersion& other) const {
    const qsizetype count = std::max(m_parts.size(), other.m_parts.size());
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 mine = i < m_parts.size() ? m_parts[i] : 0;
        const qint64 theirs = i < other.m_parts.size() ? other.m_parts[i] : 0;
        if (mine != theirs)
            return mine <=> theirs;
    }
    return std::strong_ordering::equal;
}

} // namespace KDAutoUpdate
