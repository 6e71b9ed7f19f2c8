#include "platform/pugixml/XmlWellFormed.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

namespace KDAutoUpdate::XmlWellFormed {

bool Check(const std::string& bytes, bool isText) {
    const auto size = static_cast<qsizetype>(bytes.size());
    QXmlStreamReader reader;
    if (isText)
        reader.addData(QString::fromUtf8(bytes.data(), size));
    else
        reader.addData(QByteArray::fromRawData(bytes.data(), size));
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

} // namespace KDAutoUpdate::XmlWellFormed
