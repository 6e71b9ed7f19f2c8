#include "DBusValues.h"

#include <QDBusArgument>
#include <QDBusVariant>

#include <limits>

namespace KDAutoUpdate {

std::optional<Variant> FromDBus(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return Variant(value.toBool());
    case QMetaType::Int:
        return Variant(static_cast<std::int32_t>(value.toInt()));
    case QMetaType::QString:
        return Variant(value.toString().toStdString());
    case QMetaType::Double:
        return Variant(value.toDouble());
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        // Clients that pick their own integer width: accepted where the value fits a Long.
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        if (ok && v >= std::numeric_limits<std::int32_t>::min() &&
            v <= std::numeric_limits<std::int32_t>::max())
            return Variant(static_cast<std::int32_t>(v));
        return std::nullopt;
    }
    default:
        if (value.canConvert<QDBusVariant>())
            return FromDBus(value.value<QDBusVariant>().variant());
        return std::nullopt;
    }
}

QVariant ToDBus(const Variant& value) {
    if (value.Is<bool>())
        return QVariant(value.Get<bool>());
    if (value.Is<std::int32_t>())
        return QVariant(static_cast<int>(value.Get<std::int32_t>()));
    if (value.Is<std::int16_t>())
        return QVariant(static_cast<int>(value.Get<std::int16_t>()));
    if (value.Is<std::string>())
        return QVariant(QString::fromStdString(value.Get<std::string>()));
    if (value.Is<double>())
        return QVariant(value.Get<double>());
    if (value.Is<AutomationDate>())
        return QVariant(value.Get<AutomationDate>().value);
    return {};
}

} // namespace KDAutoUpdate
