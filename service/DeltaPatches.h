#pragma once

#include "service/Catalogue.h"

#include <QHash>
#include <QList>
#include <QString>

namespace KDAutoUpdate {

// The patches of the catalogue's packages from the earlier packages their messages name
// (<base package="..."/>), made once with zstd's patch-from mode into a folder and served from
// there. A patch's file name holds the hashes of its base and target, so a patch in the folder
// is never stale and a changed package gets a new one; patches are made only where missing.
class DeltaPatches {
public:
    struct Patch {
        QString baseSha256;
        QString fileName; // in Folder()
        qint64 size = 0;
    };
    struct Package {
        QString sha256; // of the package the patches rebuild
        QList<Patch> patches;
    };

    DeltaPatches() = default;
    // Whether any message of the catalogue names a base.
    static bool Wanted(const Catalogue& catalogue);
    // Makes what is missing in `folder` (made if missing). A pair that cannot be made is left
    // out, and said in `warnings`: the package is then only offered whole.
    static DeltaPatches Make(const Catalogue& catalogue, const QString& folder,
                             QStringList* warnings);

    QString Folder() const { return m_folder; }
    // The patches of a message's package; null when it has none.
    const Package* For(const CatalogueMessage& message) const;

private:
    QString m_folder;
    QHash<QString, Package> m_packages; // by the package's path
};

} // namespace KDAutoUpdate
