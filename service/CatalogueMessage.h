#pragma once

#include "service/CatalogueFeature.h"
#include "service/ProductVersion.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace KDAutoUpdate {

// One update message of a product: what the page shows and what the agent downloads.
struct CatalogueMessage {
    QString id;
    QString name;
    QString type; // exe, msp, pftw or info
    QString toVersion;
    ProductVersion minVersion; // empty: no lower bound
    ProductVersion maxVersion; // empty: no upper bound
    QString packageFile;       // file name under packages/ (exe, msp, pftw; optional for info)
    QString packagePath;       // absolute path of packageFile
    QString pageFile;          // file name under info/ (info only)
    QString externalUrl;       // absolute address of an info message's page elsewhere
    QString cmdLine;
    QString killProcName;
    QString destination;
    bool mustBePaid = false;
    bool compressed = false;
    QString title;
    QString description;
    QList<CatalogueFeature> features;
    // Earlier packages in packages/ the agent may rebuild this one from (<base package=".."/>):
    // file names and absolute paths.
    QStringList basePackages;
    QStringList basePaths;
    // Staged rollout: the percentage of licence keys offered the message; 0 withdraws it.
    int rollout = 100;
    bool testChannel = false; // offered only to queries in test mode
    QString campaign;         // offered only to queries of this campaign (letter case ignored)
    // A way back: offered to the versions between minVersion and maxVersion although toVersion
    // is not newer; the signed page allows the agent to install it.
    bool allowDowngrade = false;

    // Whether a product at `version` may get this message, before the gates of the query (test
    // mode, campaign, rollout share). An empty version means the product did not say which
    // version it is; then only the product decides.
    bool IsOfferedFor(const ProductVersion& version) const {
        if (rollout <= 0)
            return false;
        if (version.IsEmpty())
            return true;
        if (!allowDowngrade && !toVersion.isEmpty() &&
            !(version < ProductVersion::Parse(toVersion)))
            return false;
        if (!minVersion.IsEmpty() && version < minVersion)
            return false;
        if (!maxVersion.IsEmpty() && maxVersion < version)
            return false;
        return true;
    }
    bool IsGated() const { return rollout < 100 || testChannel || !campaign.isEmpty(); }
    // The gates: `inShare` tells whether the query's key lies within `rollout`.
    bool PassesGates(bool testMode, QStringView queryCampaign, bool inShare) const {
        return (!testChannel || testMode) &&
               (campaign.isEmpty() || campaign.compare(queryCampaign, Qt::CaseInsensitive) == 0) &&
               (rollout >= 100 || inShare);
    }
};

} // namespace KDAutoUpdate
