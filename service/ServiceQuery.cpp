#include "service/ServiceQuery.h"

namespace KDAutoUpdate {

namespace {

QString Decode(const QByteArray& raw) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(raw));
}

} // namespace

ServiceQuery::ServiceQuery(const QByteArray& rawQuery) {
    const QByteArray query = rawQuery.startsWith('?') ? rawQuery.mid(1) : rawQuery;
    for (const QByteArray& part : query.split('&')) {
        if (part.isEmpty())
            continue;
        const qsizetype equals = part.indexOf('=');
        if (equals < 0) {
            m_parameters.append({Decode(part), QString()});
            m_rawValues.append(QByteArray());
        } else {
            m_parameters.append({Decode(part.left(equals)), Decode(part.mid(equals + 1))});
            m_rawValues.append(part.mid(equals + 1));
        }
    }
}

QString ServiceQuery::Value(QStringView name) const {
    for (const auto& [key, value] : m_parameters) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QByteArray ServiceQuery::RawValue(QStringView name) const {
    for (qsizetype i = 0; i < m_parameters.size(); ++i) {
        if (name.compare(m_parameters[i].first, Qt::CaseInsensitive) == 0)
            return m_rawValues[i];
    }
    return {};
}

bool ServiceQuery::Has(QStringView name) const {
    for (const auto& parameter : m_parameters) {
        if (name.compare(parameter.first, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace KDAutoUpdate
