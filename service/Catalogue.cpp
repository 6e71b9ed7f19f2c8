#include "service/Catalogue.h"

#include "service/RolloutBucket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <pugixml.hpp>

#include <exception>
#include <initializer_list>

namespace KDAutoUpdate {

namespace {

// Carries the first problem found, with the line of the element it concerns.
class LoadError {
public:
    explicit LoadError(const QByteArray& text) : m_text(text) {}

    QString At(const pugi::xml_node& node, const QString& what) const {
        return At(node.offset_debug(), what);
    }
    QString At(std::ptrdiff_t offset, const QString& what) const {
        if (offset < 0 || offset > m_text.size())
            return QStringLiteral("%1: %2").arg(QLatin1String(Catalogue::kFileName), what);
        const auto line = m_text.left(static_cast<qsizetype>(offset)).count('\n') + 1;
        return QStringLiteral("%1, line %2: %3")
            .arg(QLatin1String(Catalogue::kFileName))
            .arg(line)
            .arg(what);
    }

private:
    QByteArray m_text;
};

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Attribute(const pugi::xml_node& node, const char* name) {
    return Text(node.attribute(name).value());
}

// Reads a yes/no attribute; an absent attribute gives `fallback`, an unknown word fails.
std::optional<bool> BoolAttribute(const pugi::xml_node& node, const char* name, bool fallback) {
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        return fallback;
    const QString word = Text(attribute.value()).trimmed().toLower();
    if (word == u"yes" || word == u"true" || word == u"1")
        return true;
    if (word == u"no" || word == u"false" || word == u"0")
        return false;
    return std::nullopt;
}

// Every attribute of `node` must be one of `allowed`: a misspelt attribute would otherwise be
// ignored without a word.
std::optional<QString> UnknownAttribute(const pugi::xml_node& node,
                                        std::initializer_list<const char*> allowed) {
    for (const pugi::xml_attribute attribute : node.attributes()) {
        bool known = false;
        for (const char* name : allowed)
            known = known || qstrcmp(attribute.name(), name) == 0;
        if (!known)
            return Text(attribute.name());
    }
    return std::nullopt;
}

// A file below packages/ or info/ is named by its plain file name only.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(u'.') && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(0));
}

class CatalogueReader {
public:
    CatalogueReader(const QString& folder, const QByteArray& text)
        : m_folder(folder), m_errors(text) {}

    std::optional<QList<CatalogueProduct>> Read(const pugi::xml_document& document) {
        const pugi::xml_node root = document.document_element();
        if (qstrcmp(root.name(), "catalogue") != 0)
            return Fail(root, QStringLiteral("the root element must be <catalogue>"));
        QList<CatalogueProduct> products;
        QSet<QString> codes;
        for (const pugi::xml_node child : root.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (qstrcmp(child.name(), "product") != 0)
                return Fail(child, QStringLiteral("unknown element <%1>").arg(Text(child.name())));
            std::optional<CatalogueProduct> product = ReadProduct(child);
            if (!product)
                return std::nullopt;
            const QString key = Catalogue::NormalizeProductCode(product->code);
            if (codes.contains(key))
                return Fail(child, QStringLiteral("product %1 is listed twice").arg(product->code));
            codes.insert(key);
            products.append(std::move(*product));
        }
        return products;
    }

    QString Error() const { return m_error; }

private:
    std::nullopt_t Fail(const pugi::xml_node& node, const QString& what) {
        m_error = m_errors.At(node, what);
        return std::nullopt;
    }

    std::optional<CatalogueProduct> ReadProduct(const pugi::xml_node& node) {
        if (const auto unknown = UnknownAttribute(node, {"code", "name"}))
            return Fail(node, QStringLiteral("unknown attribute %1 of <product>").arg(*unknown));
        CatalogueProduct product;
        product.code = Attribute(node, "code").trimmed();
        product.name = Attribute(node, "name").trimmed();
        if (Catalogue::NormalizeProductCode(product.code).isEmpty())
            return Fail(node, QStringLiteral("<product> needs a code"));
        if (product.name.isEmpty())
            return Fail(node, QStringLiteral("product %1 needs a name").arg(product.code));
        QSet<QString> ids;
        for (const pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (qstrcmp(child.name(), "message") != 0)
                return Fail(child, QStringLiteral("unknown element <%1>").arg(Text(child.name())));
            std::optional<CatalogueMessage> message = ReadMessage(child);
            if (!message)
                return std::nullopt;
            if (ids.contains(message->id.toLower()))
                return Fail(child, QStringLiteral("message id %1 is used twice").arg(message->id));
            ids.insert(message->id.toLower());
            product.messages.append(std::move(*message));
        }
        return product;
    }

    std::optional<CatalogueMessage> ReadMessage(const pugi::xml_node& node) {
        if (const auto unknown =
                UnknownAttribute(node, {"id", "name", "type", "toVersion", "minVersion",
                                        "maxVersion", "package", "page", "url", "cmdLine",
                                        "killProcName", "destination", "mustBePaid", "compressed",
                                        "rollout", "channel", "campaign", "allowDowngrade"}))
            return Fail(node, QStringLiteral("unknown attribute %1 of <message>").arg(*unknown));
        CatalogueMessage message;
        message.id = Attribute(node, "id").trimmed();
        if (message.id.isEmpty())
            return Fail(node, QStringLiteral("<message> needs an id"));
        const QString context = QStringLiteral("message %1: ").arg(message.id);
        message.name = Attribute(node, "name").trimmed();
        if (message.name.isEmpty())
            return Fail(node, context + QStringLiteral("needs a name"));
        message.type = Attribute(node, "type").trimmed().toLower();
        static const QStringList kTypes{"exe", "msp", "pftw", "info"};
        if (!kTypes.contains(message.type))
            return Fail(node,
                        context + QStringLiteral("type must be exe, msp, pftw or info, not '%1'")
                                      .arg(Attribute(node, "type")));
        message.toVersion = Attribute(node, "toVersion").trimmed();
        message.minVersion = ProductVersion::Parse(Attribute(node, "minVersion"));
        message.maxVersion = ProductVersion::Parse(Attribute(node, "maxVersion"));
        message.cmdLine = Attribute(node, "cmdLine");
        message.killProcName = Attribute(node, "killProcName").trimmed();
        message.destination = Attribute(node, "destination");
        const auto mustBePaid = BoolAttribute(node, "mustBePaid", false);
        const auto compressed = BoolAttribute(node, "compressed", false);
        if (!mustBePaid || !compressed)
            return Fail(node, context + QStringLiteral("mustBePaid and compressed take yes or no"));
        message.mustBePaid = *mustBePaid;
        message.compressed = *compressed;

        if (const auto failure = ReadGates(node, message))
            return Fail(node, context + *failure);

        message.packageFile = Attribute(node, "package").trimmed();
        message.pageFile = Attribute(node, "page").trimmed();
        message.externalUrl = Attribute(node, "url").trimmed();
        if (const auto failure = CheckSources(message)) {
            return Fail(node, context + *failure);
        }

        for (const pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (qstrcmp(child.name(), "title") == 0) {
                message.title = Text(child.child_value()).trimmed();
            } else if (qstrcmp(child.name(), "description") == 0) {
                message.description = Text(child.child_value()).trimmed();
            } else if (qstrcmp(child.name(), "base") == 0) {
                if (const auto failure = ReadBase(child, message))
                    return Fail(child, context + *failure);
            } else if (qstrcmp(child.name(), "feature") == 0) {
                std::optional<CatalogueFeature> feature = ReadFeature(child, context);
                if (!feature)
                    return std::nullopt;
                for (const CatalogueFeature& other : message.features) {
                    if (other.name.compare(feature->name, Qt::CaseInsensitive) == 0)
                        return Fail(
                            child,
                            context +
                                QStringLiteral("feature %1 is listed twice").arg(feature->name));
                }
                message.features.append(std::move(*feature));
            } else {
                return Fail(child,
                            context +
                                QStringLiteral("unknown element <%1>").arg(Text(child.name())));
            }
        }
        if (message.title.isEmpty())
            message.title = message.name;
        return message;
    }

    // Who among the product's installations is offered the message. The values end up in the
    // published nginx configuration as well, so they are kept to plain words.
    static std::optional<QString> ReadGates(const pugi::xml_node& node, CatalogueMessage& message) {
        if (node.attribute("rollout")) {
            bool number = false;
            message.rollout = Attribute(node, "rollout").trimmed().toInt(&number);
            if (!number || message.rollout < 0 || message.rollout > 100)
                return QStringLiteral("rollout must be a whole percentage from 0 to 100");
        }
        const QString channel = Attribute(node, "channel").trimmed().toLower();
        if (channel != u"test" && channel != u"release" && !channel.isEmpty())
            return QStringLiteral("channel must be test or release");
        message.testChannel = channel == u"test";
        message.campaign = Attribute(node, "campaign").trimmed();
        static const QRegularExpression kPlainWord(QStringLiteral("^[A-Za-z0-9._-]+$"));
        if (node.attribute("campaign") && !kPlainWord.match(message.campaign).hasMatch())
            return QStringLiteral("campaign must be letters, digits, '.', '_' or '-'");
        const auto downgrade = BoolAttribute(node, "allowDowngrade", false);
        if (!downgrade)
            return QStringLiteral("allowDowngrade takes yes or no");
        message.allowDowngrade = *downgrade;
        if (message.allowDowngrade && message.minVersion.IsEmpty() && message.maxVersion.IsEmpty())
            return QStringLiteral(
                "a message with allowDowngrade needs minVersion or maxVersion: the versions it "
                "leads back from");
        return std::nullopt;
    }

    // Installable messages need a package in packages/; information messages a page in info/
    // or an address elsewhere.
    std::optional<QString> CheckSources(CatalogueMessage& message) const {
        if (!message.packageFile.isEmpty()) {
            if (!IsPlainFileName(message.packageFile))
                return QStringLiteral("package must be a plain file name in packages/");
            message.packagePath =
                QDir(m_folder).filePath(QStringLiteral("packages/") + message.packageFile);
            if (!QFileInfo(message.packagePath).isFile())
                return QStringLiteral("package %1 not found in packages/").arg(message.packageFile);
        }
        if (!message.pageFile.isEmpty()) {
            if (!IsPlainFileName(message.pageFile))
                return QStringLiteral("page must be a plain file name in info/");
            if (!QFileInfo(QDir(m_folder).filePath(QStringLiteral("info/") + message.pageFile))
                     .isFile())
                return QStringLiteral("page %1 not found in info/").arg(message.pageFile);
        }
        if (!message.externalUrl.isEmpty() && !message.externalUrl.startsWith(u"http://") &&
            !message.externalUrl.startsWith(u"https://"))
            return QStringLiteral("url must be an absolute http or https address");
        if (message.type == u"info") {
            const int sources = (message.pageFile.isEmpty() ? 0 : 1) +
                                (message.externalUrl.isEmpty() ? 0 : 1) +
                                (message.packageFile.isEmpty() ? 0 : 1);
            if (sources != 1)
                return QStringLiteral("an info message needs exactly one of page, url, package");
        } else if (message.packageFile.isEmpty()) {
            return QStringLiteral("an %1 message needs a package").arg(message.type);
        } else if (!message.pageFile.isEmpty() || !message.externalUrl.isEmpty()) {
            return QStringLiteral("page and url are for info messages only");
        }
        return std::nullopt;
    }

    // An earlier package the agent may already have: a plain name in packages/, other than the
    // message's own package, once per message.
    std::optional<QString> ReadBase(const pugi::xml_node& node, CatalogueMessage& message) const {
        if (const auto unknown = UnknownAttribute(node, {"package"}))
            return QStringLiteral("unknown attribute %1 of <base>").arg(*unknown);
        const QString name = Attribute(node, "package").trimmed();
        if (message.packageFile.isEmpty() || message.type == u"info")
            return QStringLiteral("<base> is for installable packages only");
        if (!IsPlainFileName(name))
            return QStringLiteral("<base> needs a plain file name in packages/");
        if (name == message.packageFile || message.basePackages.contains(name))
            return QStringLiteral("base %1 is the package itself or listed twice").arg(name);
        const QString path = QDir(m_folder).filePath(QStringLiteral("packages/") + name);
        if (!QFileInfo(path).isFile())
            return QStringLiteral("base %1 not found in packages/").arg(name);
        message.basePackages.append(name);
        message.basePaths.append(path);
        return std::nullopt;
    }

    std::optional<CatalogueFeature> ReadFeature(const pugi::xml_node& node,
                                                const QString& context) {
        if (const auto unknown = UnknownAttribute(
                node, {"name", "type", "mandatory", "allowUserSelection", "checked"}))
            return Fail(
                node, context + QStringLiteral("unknown attribute %1 of <feature>").arg(*unknown));
        CatalogueFeature feature;
        feature.name = Attribute(node, "name").trimmed();
        if (feature.name.isEmpty())
            return Fail(node, context + QStringLiteral("<feature> needs a name"));
        const QString type = Attribute(node, "type").trimmed().toLower();
        if (type != u"new" && type != u"modified" && !type.isEmpty())
            return Fail(
                node,
                context +
                    QStringLiteral("feature %1: type must be new or modified").arg(feature.name));
        feature.isModified = type == u"modified";
        const auto mandatory = BoolAttribute(node, "mandatory", false);
        const auto selectable = BoolAttribute(node, "allowUserSelection", true);
        const auto checked = BoolAttribute(node, "checked", true);
        if (!mandatory || !selectable || !checked)
            return Fail(node, context + QStringLiteral("feature %1: mandatory, allowUserSelection "
                                                       "and checked take yes or no")
                                            .arg(feature.name));
        feature.mandatory = *mandatory;
        feature.allowUserSelection = *selectable;
        feature.checked = *checked;
        feature.label = Text(node.child_value()).simplified();
        if (feature.label.isEmpty())
            feature.label = feature.name;
        return feature;
    }

    QString m_folder;
    LoadError m_errors;
    QString m_error;
};

} // namespace

std::optional<Catalogue> Catalogue::Load(const QString& folder, QString* error) {
    auto fail = [error](const QString& what) -> std::optional<Catalogue> {
        if (error)
            *error = what;
        return std::nullopt;
    };
    if (!QFileInfo(folder).isDir())
        return fail(QStringLiteral("catalogue folder %1 not found").arg(folder));
    QFile file(QDir(folder).filePath(QLatin1String(kFileName)));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
    const QByteArray text = file.readAll();

    try {
        pugi::xml_document document;
        const pugi::xml_parse_result parsed =
            document.load_buffer(text.constData(), static_cast<size_t>(text.size()));
        if (!parsed) {
            return fail(LoadError(text).At(
                parsed.offset,
                QStringLiteral("not well-formed XML (%1)").arg(Text(parsed.description()))));
        }
        CatalogueReader reader(QDir(folder).absolutePath(), text);
        std::optional<QList<CatalogueProduct>> products = reader.Read(document);
        if (!products)
            return fail(reader.Error());
        Catalogue catalogue;
        catalogue.m_folder = QDir(folder).absolutePath();
        catalogue.m_products = std::move(*products);
        return catalogue;
    } catch (const std::exception& exception) {
        return fail(QStringLiteral("cannot read %1: %2")
                        .arg(QLatin1String(kFileName), Text(exception.what())));
    }
}

QString Catalogue::PackagesFolder() const {
    return QDir(m_folder).filePath(QStringLiteral("packages"));
}

QString Catalogue::InfoFolder() const {
    return QDir(m_folder).filePath(QStringLiteral("info"));
}

const CatalogueProduct* Catalogue::FindProduct(QStringView productCode) const {
    const QString key = NormalizeProductCode(productCode);
    if (key.isEmpty())
        return nullptr;
    for (const CatalogueProduct& product : m_products) {
        if (NormalizeProductCode(product.code) == key)
            return &product;
    }
    return nullptr;
}

QList<const CatalogueMessage*> Catalogue::Offers(QStringView productCode,
                                                 const ProductVersion& version) const {
    QList<const CatalogueMessage*> offers;
    if (const CatalogueProduct* product = FindProduct(productCode)) {
        for (const CatalogueMessage& message : product->messages) {
            if (message.IsOfferedFor(version))
                offers.append(&message);
        }
    }
    return offers;
}

QList<const CatalogueMessage*> Catalogue::Offers(QStringView productCode,
                                                 const OfferRequest& request,
                                                 std::optional<quint32>* bucket) const {
    QList<const CatalogueMessage*> offers;
    const CatalogueProduct* product = FindProduct(productCode);
    if (!product)
        return offers;
    // Without a licence key there is no bucket: such queries get a message at 100 % only.
    std::optional<quint32> hash;
    if (!request.licenceKey.isEmpty())
        hash = RolloutBucket::Hash(
            RolloutBucket::Key(NormalizeProductCode(product->code).toUtf8(), request.licenceKey));
    for (const CatalogueMessage& message : product->messages) {
        if (message.IsOfferedFor(request.version) &&
            message.PassesGates(request.testMode, request.campaign,
                                hash && RolloutBucket::InShare(*hash, message.rollout)))
            offers.append(&message);
    }
    if (bucket)
        *bucket = hash;
    return offers;
}

QString Catalogue::NormalizeProductCode(QStringView productCode) {
    QStringView code = productCode.trimmed();
    if (code.startsWith(u'{'))
        code = code.mid(1);
    if (code.endsWith(u'}'))
        code = code.chopped(1);
    return code.trimmed().toString().toLower();
}

} // namespace KDAutoUpdate
