#pragma once

#include "service/ProductVersion.h"
#include "service/ServiceQuery.h"

#include <QByteArray>
#include <QString>

namespace KDAutoUpdate {

// What a check or page query says about the asking installation, as far as the choice of
// messages goes.
struct OfferRequest {
    ProductVersion version;
    // Raw, as it arrived: the rollout bucket hashes these bytes, as nginx's $arg_lickey does.
    QByteArray licenceKey;
    bool testMode = false;
    QString campaign; // raw CmpID

    static OfferRequest FromQuery(const ServiceQuery& query) {
        OfferRequest request;
        request.version = ProductVersion::Parse(query.Value(u"Version"));
        request.licenceKey = query.RawValue(u"LicKey");
        request.testMode = query.RawValue(u"TestMode").compare("true", Qt::CaseInsensitive) == 0;
        request.campaign = QString::fromUtf8(query.RawValue(u"CmpID"));
        return request;
    }
};

} // namespace KDAutoUpdate
