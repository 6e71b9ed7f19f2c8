#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>

namespace KDAutoUpdate {

// The parameters of a request, read from the query text as it arrived. Agents put values into
// the query unescaped, so a value may hold braces, blanks or even "=": the text is split on "&"
// and each part at its first "=". Percent escapes are decoded, so an agent that does escape is
// understood as well.
class ServiceQuery {
public:
    explicit ServiceQuery(const QByteArray& rawQuery); // with or without the leading "?"

    // The first value of parameter `name` (letter case ignored); empty when absent.
    QString Value(QStringView name) const;
    bool Has(QStringView name) const;
    // The first value of `name` as it arrived, without decoding; empty when absent.
    QByteArray RawValue(QStringView name) const;

private:
    QList<QPair<QString, QString>> m_parameters;
    QList<QByteArray> m_rawValues; // beside m_parameters
};

} // namespace KDAutoUpdate
