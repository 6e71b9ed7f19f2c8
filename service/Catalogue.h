#pragma once

#include "service/CatalogueProduct.h"
#include "service/OfferRequest.h"
#include "service/ProductVersion.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace KDAutoUpdate {

// The service's content: a folder with catalogue.xml, the packages/ folder and the info/ folder.
// The format is described in service/README.md.
class Catalogue {
public:
    static constexpr const char* kFileName = "catalogue.xml";

    // Reads and checks <folder>/catalogue.xml. On failure returns nothing and sets `error` to a
    // message that names the file and, where it can, the line or the message at fault.
    static std::optional<Catalogue> Load(const QString& folder, QString* error);

    QString Folder() const { return m_folder; }
    QString PackagesFolder() const;
    QString InfoFolder() const;
    const QList<CatalogueProduct>& Products() const { return m_products; }

    // The product whose code matches, ignoring letter case and surrounding braces.
    const CatalogueProduct* FindProduct(QStringView productCode) const;
    // The messages of that product a product at `version` may be offered, in catalogue order,
    // before the gates of the query (test mode, campaign, rollout).
    QList<const CatalogueMessage*> Offers(QStringView productCode,
                                          const ProductVersion& version) const;
    // The messages offered to `request`; `bucket`, if given, receives the rollout hash of its
    // licence key (nothing without a key or product).
    QList<const CatalogueMessage*> Offers(QStringView productCode, const OfferRequest& request,
                                          std::optional<quint32>* bucket = nullptr) const;

    // "{6F1B...}" and " 6f1b... " give the same key.
    static QString NormalizeProductCode(QStringView productCode);

private:
    QString m_folder;
    QList<CatalogueProduct> m_products;
};

} // namespace KDAutoUpdate
