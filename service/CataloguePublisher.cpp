#include "service/CataloguePublisher.h"

#include "service/CheckResponse.h"
#include "service/DeltaPatches.h"
#include "service/GateStates.h"
#include "service/Gzip.h"
#include "service/MessagePage.h"
#include "service/UpdateService.h"
#include "service/VersionPattern.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMimeDatabase>

#include <algorithm>
#include <filesystem>

namespace KDAutoUpdate {

namespace {

class Writer {
public:
    Writer(const Catalogue& catalogue, const QString& folder, const QString& serviceUrl,
           PublishedAnswers& answers, QString* error)
        : m_catalogue(catalogue), m_folder(folder), m_serviceUrl(serviceUrl), m_answers(answers),
          m_states(GateStates::All(answers.gates)), m_error(error) {}

    void SetDeltas(const DeltaPatches* deltas) { m_deltas = deltas; }

    bool Write(const QString& relative, const QByteArray& bytes) {
        QFile file(QDir(m_folder).filePath(relative));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(bytes) == bytes.size() && file.flush())
            return true;
        return Fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    }

    // A text file and, beside it, its gzip form NAME.gz, which a static server sends to clients
    // that accept gzip without compressing each answer again. A file too small to gain has
    // none, and loses one an earlier publish left, which would no longer match it.
    bool WriteText(const QString& relative, const QByteArray& bytes) {
        if (!Write(relative, bytes))
            return false;
        const QString zipped = relative + QStringLiteral(".gz");
        const std::optional<QByteArray> compressed = Gzip::Compress(bytes);
        if (!compressed)
            return Fail(QStringLiteral("cannot compress %1").arg(relative));
        if (compressed->size() < bytes.size())
            return Write(zipped, *compressed);
        QFile::remove(QDir(m_folder).filePath(zipped));
        return true;
    }

    // The answer name for what `product` offers to `version`, or, when gates decide among
    // those messages, the name of that version set; rendered on first use.
    std::optional<QString> Answer(const CatalogueProduct* product, const QString& key,
                                  const ProductVersion& version) {
        if (!product)
            return Render(nullptr, {}, QLatin1String(PublishedAnswers::kUnknownProduct));
        const QList<const CatalogueMessage*> reachable = m_catalogue.Offers(product->code, version);
        if (std::none_of(reachable.begin(), reachable.end(),
                         [](const CatalogueMessage* m) { return m->IsGated(); }))
            return Render(product, reachable, key + u'-' + Indices(*product, reachable));
        const QString set = key + QStringLiteral("-g") + Indices(*product, reachable);
        if (m_sets.contains(set))
            return set;
        m_sets.insert(set, true);
        for (const GateStates::State& state : m_states) {
            QList<const CatalogueMessage*> offers;
            for (const CatalogueMessage* message : reachable)
                if (GateStates::Passes(*message, state, m_answers.gates))
                    offers.append(message);
            const auto name = Render(product, offers, key + u'-' + Indices(*product, offers));
            if (!name)
                return std::nullopt;
            m_answers.gatedAnswers.append({set + u':' + state.key, *name});
        }
        return set;
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

    // Each package once more under packages/HASH/NAME, HASH the first 16 hex digits of its
    // SHA-256: the pages link there, so a cache may keep a package for good and a changed package
    // gets a new address. A hard link where the file system allows, else a copy.
    bool AddressByContent(const QStringList& packages) {
        for (const QString& name : packages) {
            const QString path = QDir(m_folder).filePath(QStringLiteral("packages/") + name);
            QFile file(path);
            QCryptographicHash sha256(QCryptographicHash::Sha256);
            if (!file.open(QIODevice::ReadOnly) || !sha256.addData(&file))
                return Fail(QStringLiteral("cannot read %1").arg(path));
            const QString address =
                QString::fromLatin1(sha256.result().toHex().left(16)) + u'/' + name;
            const QString target = QDir(m_folder).filePath(QStringLiteral("packages/") + address);
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::remove(target);
            std::error_code error;
            std::filesystem::create_hard_link(path.toStdString(), target.toStdString(), error);
            if (error && !QFile::copy(path, target))
                return Fail(QStringLiteral("cannot copy %1 to %2").arg(path, target));
            m_packageAddresses.insert(name, address);
        }
        return true;
    }

    // The gzip form of a copied text file.
    bool Precompress(const QString& relative) {
        QFile file(QDir(m_folder).filePath(relative));
        if (!file.open(QIODevice::ReadOnly))
            return Fail(QStringLiteral("cannot read %1").arg(file.fileName()));
        return WriteText(relative, file.readAll());
    }

    bool Fail(const QString& what) {
        if (m_error)
            *m_error = what;
        return false;
    }

private:
    std::optional<QString> Render(const CatalogueProduct* product,
                                  const QList<const CatalogueMessage*>& offers,
                                  const QString& name) {
        if (m_written.contains(name))
            return name;
        MessagePage page(product, offers, m_serviceUrl);
        page.SetPackageAddresses(&m_packageAddresses);
        page.SetDeltas(m_deltas);
        if (!WriteText(QStringLiteral("check/%1.xml").arg(name), BuildCheckResponse(offers)) ||
            !WriteText(QStringLiteral("page/%1.html").arg(name), page.Html()))
            return std::nullopt;
        m_written.insert(name, true);
        QStringList ids;
        for (const CatalogueMessage* offer : offers)
            ids << offer->id;
        m_answers.offeredIds.append({name, ids.isEmpty() ? QStringLiteral("-") : ids.join(u',')});
        return name;
    }

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
    PublishedAnswers& m_answers;
    QList<GateStates::State> m_states;
    QString* m_error;
    const DeltaPatches* m_deltas = nullptr;
    QMap<QString, bool> m_written;
    QMap<QString, bool> m_sets;
    QHash<QString, QString> m_packageAddresses;
};

// Whether a content type is text that compresses (pages, XML, scripts), not an image.
bool IsText(const QByteArray& type) {
    return type.startsWith("text/") || type.contains("xml") || type.contains("javascript") ||
           type.contains("json");
}

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
    PublishedAnswers answers;
    answers.gates = GateStates::Of(catalogue);
    Writer writer(catalogue, folder, base + QLatin1String(UpdateService::kServicePath), answers,
                  error);
    for (const char* sub : {"check", "page", "packages", "info"})
        if (!QDir().mkpath(QDir(folder).filePath(QLatin1String(sub)))) {
            writer.Fail(QStringLiteral("cannot make the folder %1/%2").arg(folder, sub));
            return std::nullopt;
        }
    const auto packages = writer.CopyFolder(catalogue.PackagesFolder(), QStringLiteral("packages"));
    if (!packages || !writer.AddressByContent(*packages))
        return std::nullopt;
    // Patches first: the pages name them.
    QStringList warnings;
    const DeltaPatches deltas =
        DeltaPatches::Make(catalogue, QDir(folder).filePath(QStringLiteral("deltas")), &warnings);
    if (!warnings.isEmpty()) {
        writer.Fail(warnings.join(u'\n'));
        return std::nullopt;
    }
    writer.SetDeltas(&deltas);
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

    const auto infoFiles = writer.CopyFolder(catalogue.InfoFolder(), QStringLiteral("info"));
    if (!infoFiles)
        return std::nullopt;
    for (const QString& name : *infoFiles) {
        const QByteArray type =
            UpdateService::InfoContentType(QDir(catalogue.InfoFolder()).filePath(name));
        answers.infoFiles.append({name, type});
        if (IsText(type) && !writer.Precompress(QStringLiteral("info/") + name))
            return std::nullopt;
    }
    if (!writer.WriteText(QStringLiteral("not-found.html"), UpdateService::kNotFoundPage))
        return std::nullopt;
    return answers;
}

} // namespace KDAutoUpdate
