#pragma once

#include "service/CatalogueMessage.h"
#include "service/CatalogueProduct.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace KDAutoUpdate {

class AnswerSigner;
class DeltaPatches;

// The answer of /InitUpdate.aspx: a German page with one card per offered message, the
// buttons the agent's window reacts to, the close element "cmdClose" and the data island
// <script type="text/xml" id="KdAutoUpdate">. The page is self-contained (inline style, no
// scripts, no outside resources) and is well-formed XML as well as HTML, so tools can read it
// with an XML parser.
class MessagePage {
public:
    // `product` may be null (unknown product); `serviceUrl` is the address the packages and
    // info pages are published under, e.g. "http://127.0.0.1:8080/services/autoupdate".
    MessagePage(const CatalogueProduct* product, QList<const CatalogueMessage*> offers,
                QString serviceUrl);

    // With a signer, every package carries its hash and signature and the island is signed.
    void SetSigner(const AnswerSigner* signer) { m_signer = signer; }
    // With patches, a package that has any carries its hash and a Delta element per patch,
    // served under "<serviceUrl>/deltas/".
    void SetDeltas(const DeltaPatches* deltas) { m_deltas = deltas; }
    // Package file name to the address below packages/ it is published under instead of its
    // own name ("0123456789abcdef/name": a name that changes with the content, so caches may
    // keep it for good).
    void SetPackageAddresses(const QHash<QString, QString>* addresses) { m_packageAddresses = addresses; }

    QByteArray Html() const;
    // The island alone: <Messages><Message .../>...</Messages>.
    QByteArray Island() const;

    // Where the agent fetches a message's package or page.
    QString DownloadPath(const CatalogueMessage& message) const;
    static QString FileName(const CatalogueMessage& message);

private:
    QString Card(const CatalogueMessage& message) const;
    QString Features(const CatalogueMessage& message) const;

    const CatalogueProduct* m_product;
    QList<const CatalogueMessage*> m_offers;
    QString m_serviceUrl;
    const AnswerSigner* m_signer = nullptr;
    const DeltaPatches* m_deltas = nullptr;
    const QHash<QString, QString>* m_packageAddresses = nullptr;
};

} // namespace KDAutoUpdate
