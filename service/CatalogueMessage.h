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

    // Whether a product at `version` gets this message. An empty version means the product did
    // not say which version it is; then only the product decides.
    bool IsOfferedFor(const ProductVersion& version) const {
        if (version.IsEmpty())
            return true;
        if (!toVersion.isEmpty() && !(version < ProductVersion::Parse(toVersion)))
            return false;
        if (!minVersion.IsEmpty() && version < minVersion)
            return false;
        if (!maxVersion.IsEmpty() && maxVersion < version)
            return false;
        return true;
    }
};

} // namespace KDAutoUpdate
