#include "service/CheckResponse.h"

#include <QCryptographicHash>
#include <QStringList>

#include <pugixml.hpp>

#include <sstream>

namespace KDAutoUpdate {

QByteArray BuildCheckResponse(const QList<const CatalogueMessage*>& offers) {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node root = document.append_child("CheckUpdate");
    root.append_attribute("count") = static_cast<long long>(offers.size());
    root.append_attribute("msgs") = MessageStamp(offers).toUtf8().constData();
    for (const CatalogueMessage* message : offers) {
        pugi::xml_node child = root.append_child("Message");
        child.append_attribute("id") = message->id.toUtf8().constData();
        child.append_attribute("name") = message->name.toUtf8().constData();
        child.append_attribute("toVersion") = message->toVersion.toUtf8().constData();
        child.append_attribute("type") = message->type.toUtf8().constData();
    }
    std::ostringstream out;
    document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return QByteArray::fromStdString(out.str());
}

QString MessageStamp(const QList<const CatalogueMessage*>& offers) {
    if (offers.isEmpty())
        return {};
    QStringList ids;
    for (const CatalogueMessage* message : offers)
        ids.append(message->id.toLower());
    ids.sort();
    const QByteArray hash =
        QCryptographicHash::hash(ids.join(u'\n').toUtf8(), QCryptographicHash::Sha1);
    return QString::fromLatin1(hash.toHex().left(12));
}

} // namespace KDAutoUpdate
