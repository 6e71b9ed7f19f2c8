#include "service/DeltaPatches.h"

#include <QDir>
#include <QFileInfo>

#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/zstd/ZstdPatchMaker.h"

namespace KDAutoUpdate {

namespace {

constexpr int kHashLettersInName = 16;

std::optional<QString> Sha256(const QString& path) {
    SodiumSignatureVerifier hasher;
    const auto hash = hasher.FileSha256(path.toStdString());
    if (!hash)
        return std::nullopt;
    return QString::fromStdString(*hash);
}

} // namespace

bool DeltaPatches::Wanted(const Catalogue& catalogue) {
    for (const CatalogueProduct& product : catalogue.Products())
        for (const CatalogueMessage& message : product.messages)
            if (!message.basePaths.isEmpty())
                return true;
    return false;
}

DeltaPatches DeltaPatches::Make(const Catalogue& catalogue, const QString& folder,
                                QStringList* warnings) {
    DeltaPatches made;
    if (folder.isEmpty() || !Wanted(catalogue))
        return made; // no folder: nothing is served under /deltas/
    made.m_folder = QDir(folder).absolutePath();
    auto warn = [warnings](const QString& text) {
        if (warnings)
            warnings->append(text);
    };
    QHash<QString, QString> hashes; // a base of several messages is hashed once
    auto hashOf = [&hashes](const QString& path) -> std::optional<QString> {
        if (const auto found = hashes.constFind(path); found != hashes.cend())
            return *found;
        const std::optional<QString> hash = Sha256(path);
        if (hash)
            hashes.insert(path, *hash);
        return hash;
    };
    for (const CatalogueProduct& product : catalogue.Products()) {
        for (const CatalogueMessage& message : product.messages) {
            if (message.basePaths.isEmpty() || made.m_packages.contains(message.packagePath))
                continue;
            const std::optional<QString> target = hashOf(message.packagePath);
            if (!target || !QDir().mkpath(made.m_folder)) {
                warn(QStringLiteral("no patches for %1: cannot read it or make %2")
                         .arg(message.packageFile, made.m_folder));
                continue;
            }
            Package package{*target, {}};
            for (const QString& basePath : message.basePaths) {
                const std::optional<QString> base = hashOf(basePath);
                const QString name =
                    QStringLiteral("%1.%2-%3.zst")
                        .arg(message.packageFile, base.value_or(QString()).left(kHashLettersInName),
                             target->left(kHashLettersInName));
                const QString patchPath = QDir(made.m_folder).filePath(name);
                if (!base || (!QFileInfo::exists(patchPath) &&
                              !ZstdPatchMaker::MakePatch(basePath.toStdString(),
                                                         message.packagePath.toStdString(),
                                                         patchPath.toStdString()))) {
                    warn(QStringLiteral("no patch from %1 to %2")
                             .arg(QFileInfo(basePath).fileName(), message.packageFile));
                    continue;
                }
                package.patches.append({*base, name, QFileInfo(patchPath).size()});
            }
            made.m_packages.insert(message.packagePath, package);
        }
    }
    return made;
}

const DeltaPatches::Package* DeltaPatches::For(const CatalogueMessage& message) const {
    const auto found = m_packages.constFind(message.packagePath);
    return found == m_packages.cend() || found->patches.isEmpty() ? nullptr : &*found;
}

} // namespace KDAutoUpdate
