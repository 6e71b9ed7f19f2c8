#include "service/PackageRange.h"

#include <QLocale>

namespace KDAutoUpdate {

namespace {

// A count of bytes without sign or blanks; -1 when empty, -2 when not a count.
qint64 Count(const QByteArray& text) {
    if (text.isEmpty())
        return -1;
    for (const char c : text)
        if (c < '0' || c > '9')
            return -2;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? value : -2;
}

} // namespace

PackageRange::PackageRange(qint64 size, const QDateTime& modified) : m_size(size), m_count(size) {
    const QDateTime utc = modified.toUTC();
    m_etag = '"' + QByteArray::number(size, 16) + '-' +
             QByteArray::number(utc.toMSecsSinceEpoch(), 16) + '"';
    m_lastModified =
        QLocale::c().toString(utc, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}

void PackageRange::Choose(const QByteArray& range, const QByteArray& ifRange) {
    m_kind = Kind::Whole;
    m_first = 0;
    m_count = m_size;
    const QByteArray header = range.trimmed();
    if (!header.startsWith("bytes="))
        return;
    // An If-Range of another version asks for the whole file. A weak tag never matches.
    const QByteArray condition = ifRange.trimmed();
    if (!condition.isEmpty() && condition != m_etag && condition != m_lastModified)
        return;
    const QByteArray set = header.mid(6).trimmed();
    const qsizetype dash = set.indexOf('-');
    if (dash < 0 || set.contains(','))
        return; // malformed, or several ranges: the whole file serves as well
    const qint64 from = Count(set.left(dash).trimmed());
    const qint64 to = Count(set.mid(dash + 1).trimmed());
    if (from == -2 || to == -2 || (from == -1 && to == -1) || (from >= 0 && to >= 0 && to < from))
        return;
    qint64 first = 0;
    qint64 last = m_size - 1;
    if (from < 0) { // "-N": the last N bytes
        if (to == 0) {
            m_kind = Kind::Unsatisfiable;
            return;
        }
        first = std::max<qint64>(0, m_size - to);
    } else {
        if (from >= m_size) {
            m_kind = Kind::Unsatisfiable;
            return;
        }
        first = from;
        if (to >= 0)
            last = std::min(to, m_size - 1);
    }
    m_kind = Kind::Partial;
    m_first = first;
    m_count = last - first + 1;
}

QByteArray PackageRange::ContentRange() const {
    if (m_kind == Kind::Unsatisfiable)
        return "bytes */" + QByteArray::number(m_size);
    return "bytes " + QByteArray::number(m_first) + '-' +
           QByteArray::number(m_first + m_count - 1) + '/' + QByteArray::number(m_size);
}

} // namespace KDAutoUpdate
