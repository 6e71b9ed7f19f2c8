#include "service/CataloguePublisher.h"

#include "service/CheckResponse.h"
#include "service/DeltaPatches.h"
#include "service/MessagePage.h"
#include "service/UpdateService.h"
#include "service/VersionPattern.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMimeDatabase>

#include <algorithm>

namespace KDAutoUpdate {

namespace {

class Writer {
public:
    Writer(const Catalogue& catalogue, const QString& folder, const QString& serviceUrl,
           QString* error)
        : m_catalogue(catalogue), m_folder(folder), m_serviceUrl(serviceUrl), m_error(error) {}

    void SetDeltas(const DeltaPatches* deltas) { m_deltas = deltas; }

    bool Write(const QString& relative, const QByteArray& bytes) {
        QFile file(QDir(m_folder).filePath(relative));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(bytes) == bytes.size() && file.flush())
            return true;
        return Fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    }

    // The answer name for what `product` offers to `version`; rendered on first use.
    std::optional<QString> Answer(const CatalogueProduct* product, const QString& key,
                                  const ProductVersion& version) {
        const QList<const CatalogueMessage*> offers =
            product ? m_catalogue.Offers(product->code, version) : QList<const CatalogueMessage*>();
        const QString name = product ? key + u'-' + Indices(*product, offers)
                                     : QLatin1String(PublishedAnswers::kUnknownProduct);
        if (m_written.contains(name))
            return name;
        MessagePage page(product, offers, m_serviceUrl);
        page.SetDeltas(m_deltas);
        if (!Write(QStringLiteral("check/%1.xml").arg(name), BuildCheckResponse(offers)) ||
            !Write(QStringLiteral("page/%1.html").arg(name), page.Html()))
            return std::nullopt;
        m_written.insert(name, true);
        return name;
    }

    // Copies the plain files of a catalogue folder that the service would publish.
    std::optional<QStringList> CopyFolder(const QString& from, const QString& to) {
        QStringList names;
        const QString root = QFileInfo(from).canonicalFilePath();
        for (const QFileInfo& file : QDir(from).entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
            const QString name = file.fileName();
            if (root.isEmpty() || name.contains(u'\\') ||
                !file.canonicalFilePath().startsWith(root + u'/'))
                continue;
            const QString target = QDir(m_folder).filePath(to + u'/' + name);
            QFile::remove(target);
            if (!QFile::copy(file.absoluteFilePath(), target)) {
                Fail(QStringLiteral("cannot copy %1 to %2").arg(file.filePath(), target));
                return std::nullopt;
            }
            names << name;
        }
        return names;
    }

    bool Fail(const QString& what) {
        if (m_error)
            *m_error = what;
        return false;
    }

private:
    static QString Indices(const CatalogueProduct& product,
                           const QList<const CatalogueMessage*>& offers) {
        QStringList indices;
        for (const CatalogueMessage* offer : offers)
            indices << QString::number(offer - product.messages.constData());
        return indices.isEmpty() ? QStringLiteral("none") : indices.join(u'_');
    }

    const Catalogue& m_catalogue;
    QString m_folder;
    QString m_serviceUrl;
    QString* m_error;
    const DeltaPatches* m_deltas = nullptr;
    QMap<QString, bool> m_written;
};

// The versions the product's messages name, in order, each once.
QList<ProductVersion> Boundaries(const CatalogueProduct& product) {
    QList<ProductVersion> versions;
    for (const CatalogueMessage& message : product.messages) {
        for (const ProductVersion& v :
             {ProductVersion::Parse(message.toVersion), message.minVersion, message.maxVersion})
            if (!v.IsEmpty() && !versions.contains(v))
                versions.append(v);
    }
    std::sort(versions.begin(), versions.end());
    return versions;
}

// A version just above `version` and below every greater version with at most `length` parts.
ProductVersion JustAbove(const ProductVersion& version, qsizetype length) {
    QStringList parts;
    for (qsizetype i = 0; i < length; ++i)
        parts << QString::number(i < version.Parts().size() ? version.Parts()[i] : 0);
    parts << QStringLiteral("1");
    return ProductVersion::Parse(parts.join(u'.'));
}

} // namespace

std::optional<PublishedAnswers> CataloguePublisher::Publish(const Catalogue& catalogue,
                                                            const QString& folder,
                                                            const QString& publicUrl,
                                                            QString* error) {
    QString base = publicUrl;
    while (base.endsWith(u'/'))
        base.chop(1);
    Writer writer(catalogue, folder, base + QLatin1String(UpdateService::kServicePath), error);
    for (const char* sub : {"check", "page", "packages", "info"})
        if (!QDir().mkpath(QDir(folder).filePath(QLatin1String(sub)))) {
            writer.Fail(QStringLiteral("cannot make the folder %1/%2").arg(folder, sub));
            return std::nullopt;
        }
    // Patches first: the pages name them.
    QStringList warnings;
    const DeltaPatches deltas =
        DeltaPatches::Make(catalogue, QDir(folder).filePath(QStringLiteral("deltas")), &warnings);
    if (!warnings.isEmpty()) {
        writer.Fail(warnings.join(u'\n'));
        return std::nullopt;
    }
    writer.SetDeltas(&deltas);
    PublishedAnswers answers;
    if (!writer.Answer(nullptr, {}, {}))
        return std::nullopt;
    for (qsizetype i = 0; i < catalogue.Products().size(); ++i) {
        const CatalogueProduct& product = catalogue.Products()[i];
        PublishedAnswers::Product published;
        published.key = QStringLiteral("p%1").arg(i);
        published.code = Catalogue::NormalizeProductCode(product.code);
        auto add = [&](const QString& pattern, const ProductVersion& version) {
            const auto name = writer.Answer(&product, published.key, version);
            if (name)
                published.rules.append({pattern, *name});
            return name.has_value();
        };
        // Without a version every message is offered; a version no pattern reads gets the same.
        if (!add(QString(), ProductVersion()))
            return std::nullopt;
        published.otherVersion = published.rules.last().answer;
        const QList<ProductVersion> boundaries = Boundaries(product);
        qsizetype length = 1;
        for (const ProductVersion& b : boundaries)
            length = std::max(length, b.Parts().size());
        // Tried in order: below the first boundary, at it, between it and the next, ...
        for (qsizetype k = 0; k < boundaries.size(); ++k) {
            const QString below = VersionPattern::Below(boundaries[k]);
            const ProductVersion under =
                k == 0 ? ProductVersion::Parse(u"0") : JustAbove(boundaries[k - 1], length);
            if ((!below.isEmpty() && !add(below, under)) ||
                !add(VersionPattern::Equal(boundaries[k]), boundaries[k]))
                return std::nullopt;
        }
        const ProductVersion above = boundaries.isEmpty() ? ProductVersion::Parse(u"0")
                                                          : JustAbove(boundaries.last(), length);
        if (!add(VersionPattern::Plain(), above))
            return std::nullopt;
        answers.products.append(published);
    }

    if (!writer.CopyFolder(catalogue.PackagesFolder(), QStringLiteral("packages")))
        return std::nullopt;
    const auto infoFiles = writer.CopyFolder(catalogue.InfoFolder(), QStringLiteral("info"));
    if (!infoFiles)
        return std::nullopt;
    for (const QString& name : *infoFiles)
        answers.infoFiles.append(
            {name, UpdateService::InfoContentType(QDir(catalogue.InfoFolder()).filePath(name))});
    if (!writer.Write(QStringLiteral("not-found.html"), UpdateService::kNotFoundPage))
        return std::nullopt;
    return answers;
}

} // namespace KDAutoUpdate
