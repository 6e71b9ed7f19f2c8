#include "service/MessagePage.h"

#include "service/AnswerSigner.h"
#include "service/DeltaPatches.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <pugixml.hpp>

#include <sstream>

namespace KDAutoUpdate {

namespace {

// Kept free of "<" and "&" so the page stays well-formed XML.
constexpr const char* kStyle = R"css(
:root { --accent: #1d5b87; --accent-dark: #15466a; --ink: #1e2631; --muted: #5d6876;
        --line: #dce2e9; --paper: #ffffff; --ground: #f2f4f7; }
* { box-sizing: border-box; }
body { margin: 0; background: var(--ground); color: var(--ink);
       font: 14px/1.45 "Segoe UI", Tahoma, "DejaVu Sans", Arial, sans-serif; }
header { background: linear-gradient(120deg, #1d5b87, #2f7fb5); color: #fff; padding: 18px 28px 20px; }
header .brand { font-size: 11px; letter-spacing: .12em; text-transform: uppercase; opacity: .85; }
header h1 { margin: 4px 0 0; font-size: 22px; font-weight: 600; }
main { padding: 20px 28px 4px; max-width: 880px; }
.intro { margin: 0 0 16px; color: var(--muted); }
.card { background: var(--paper); border: 1px solid var(--line); border-radius: 6px;
        padding: 16px 20px; margin: 0 0 16px; box-shadow: 0 1px 3px rgba(20, 40, 60, .06); }
.card h2 { margin: 0 0 4px; font-size: 17px; font-weight: 600; }
.meta { margin: 0 0 10px; color: var(--muted); font-size: 12px; }
.badge { display: inline-block; margin-right: 8px; padding: 1px 8px; border-radius: 10px;
         background: #e3edf6; color: var(--accent-dark); font-size: 11px; font-weight: 600; }
.badge.paid { background: #fbeedd; color: #8a4a06; }
.card p { margin: 0 0 8px; }
.features { margin-top: 12px; padding-top: 10px; border-top: 1px solid var(--line); }
.features h3 { margin: 0 0 6px; font-size: 13px; font-weight: 600; }
.feature { display: block; padding: 2px 0; }
.feature small { color: var(--muted); }
.actions { margin-top: 14px; }
button { font: inherit; padding: 6px 16px; border-radius: 4px; border: 1px solid var(--accent);
         cursor: pointer; }
button.primary { background: var(--accent); color: #fff; }
button.primary:hover { background: var(--accent-dark); }
button.secondary { background: #fff; color: var(--accent); margin-left: 8px; }
.empty { text-align: center; padding: 28px 20px; }
.empty h2 { margin-bottom: 8px; }
footer { max-width: 880px; padding: 4px 28px 24px; display: flex; align-items: center;
         justify-content: space-between; color: var(--muted); font-size: 12px; }
)css";

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString TypeLabel(const QString& type) {
    if (type == u"exe")
        return QStringLiteral("Update");
    if (type == u"pftw")
        return QStringLiteral("Update-Paket");
    if (type == u"msp")
        return QStringLiteral("Patch");
    return QStringLiteral("Information");
}

QString Paragraphs(const QString& text) {
    QString html;
    static const QRegularExpression kBlankLine(QStringLiteral("\\n\\s*\\n"));
    for (const QString& paragraph : text.split(kBlankLine, Qt::SkipEmptyParts))
        html += QStringLiteral("<p>%1</p>\n").arg(Escaped(paragraph.simplified()));
    return html;
}

QString PercentEncoded(const QString& fileName) {
    return QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

const char* Bool(bool value) {
    return value ? "true" : "false";
}

void SetAttribute(pugi::xml_node& node, const char* name, const QString& value) {
    node.append_attribute(name) = value.toUtf8().constData();
}

} // namespace

MessagePage::MessagePage(const CatalogueProduct* product, QList<const CatalogueMessage*> offers,
                         QString serviceUrl)
    : m_product(product), m_offers(std::move(offers)), m_serviceUrl(std::move(serviceUrl)) {}

QString MessagePage::DownloadPath(const CatalogueMessage& message) const {
    if (!message.externalUrl.isEmpty())
        return message.externalUrl;
    if (!message.pageFile.isEmpty())
        return m_serviceUrl + QStringLiteral("/info/") + PercentEncoded(message.pageFile);
    const QString packages = m_serviceUrl + QStringLiteral("/packages/");
    if (m_packageAddresses) {
        if (const auto found = m_packageAddresses->constFind(message.packageFile);
            found != m_packageAddresses->cend())
            return packages + found->section(u'/', 0, 0) + u'/' + PercentEncoded(message.packageFile);
    }
    return packages + PercentEncoded(message.packageFile);
}

QString MessagePage::FileName(const CatalogueMessage& message) {
    if (!message.packageFile.isEmpty())
        return message.packageFile;
    if (!message.pageFile.isEmpty())
        return message.pageFile;
    return QUrl(message.externalUrl).fileName();
}

QByteArray MessagePage::Island() const {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("Messages");
    const QString productCode = m_product ? m_product->code : QString();
    for (const CatalogueMessage* message : m_offers) {
        pugi::xml_node node = root.append_child("Message");
        SetAttribute(node, "id", message->id);
        SetAttribute(node, "name", message->name);
        SetAttribute(node, "toVersion", message->toVersion);
        SetAttribute(node, "fileName", FileName(*message));
        SetAttribute(node, "forProduct", productCode);
        SetAttribute(node, "killProcName", message->killProcName);
        SetAttribute(node, "downloadPath", DownloadPath(*message));
        node.append_attribute("compressed") = Bool(message->compressed);
        node.append_attribute("mustBePaid") = Bool(message->mustBePaid);
        SetAttribute(node, "cmdLine", message->cmdLine);
        SetAttribute(node, "type", message->type);
        SetAttribute(node, "destination", message->destination);
        // Signed with the rest of the island, so only the vendor can let the agent go back.
        if (message->allowDowngrade)
            node.append_attribute("allowDowngrade") = "true";
        QString sha256;
        if (m_signer && !message->packagePath.isEmpty()) {
            if (const auto proof = m_signer->ProofOf(message->packagePath)) {
                sha256 = proof->sha256;
                SetAttribute(node, "sha256", proof->sha256);
                SetAttribute(node, "signature", proof->signature);
            }
        }
        // A patch is only of use with the hash that proves what it rebuilt.
        const DeltaPatches::Package* patched = m_deltas ? m_deltas->For(*message) : nullptr;
        if (patched && sha256.isEmpty()) {
            sha256 = patched->sha256;
            SetAttribute(node, "sha256", sha256);
        }
        if (patched && sha256 == patched->sha256) {
            for (const DeltaPatches::Patch& patch : patched->patches) {
                pugi::xml_node delta = node.append_child("Delta");
                SetAttribute(delta, "base", patch.baseSha256);
                SetAttribute(delta, "path",
                             m_serviceUrl + QStringLiteral("/deltas/") +
                                 PercentEncoded(patch.fileName));
                SetAttribute(delta, "size", QString::number(patch.size));
            }
        }
        pugi::xml_node features = node.append_child("Features");
        for (const CatalogueFeature& feature : message->features) {
            pugi::xml_node child = features.append_child("Feature");
            SetAttribute(child, "name", feature.name);
            child.append_attribute("mandatory") = Bool(feature.mandatory);
            child.append_attribute("allowUserSelection") = Bool(feature.allowUserSelection);
            child.append_attribute("checked") = Bool(feature.checked);
            child.append_attribute("type") = feature.isModified ? "modified" : "new";
        }
    }
    std::ostringstream out;
    document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    const QByteArray island = QByteArray::fromStdString(out.str());
    return m_signer ? m_signer->SignIsland(island) : island;
}

QString MessagePage::Features(const CatalogueMessage& message) const {
    if (message.features.isEmpty())
        return {};
    QString html = QStringLiteral("<div class=\"features\">\n<h3>Komponenten</h3>\n");
    for (const CatalogueFeature& feature : message.features) {
        // Only selectable features get a chooser; a mandatory one cannot be switched off.
        const bool checked = feature.mandatory || feature.checked;
        QString input = QStringLiteral("<input type=\"checkbox\"");
        if (feature.allowUserSelection) {
            input += QStringLiteral(" auButtonType=\"featurestatechooser\" forMessage=\"%1\" "
                                    "forFeature=\"%2\"")
                         .arg(Escaped(message.id), Escaped(feature.name));
        }
        if (checked)
            input += QStringLiteral(" checked=\"checked\"");
        if (feature.mandatory || !feature.allowUserSelection)
            input += QStringLiteral(" disabled=\"disabled\"");
        input += QStringLiteral("/>");
        QString note = feature.isModified ? QStringLiteral("aktualisiert") : QStringLiteral("neu");
        if (feature.mandatory)
            note += QStringLiteral(", erforderlich");
        html += QStringLiteral("<label class=\"feature\">%1 %2 <small>(%3)</small></label>\n")
                    .arg(input, Escaped(feature.label), note);
    }
    return html + QStringLiteral("</div>\n");
}

QString MessagePage::Card(const CatalogueMessage& message) const {
    QStringList meta;
    meta.append(QStringLiteral("<span class=\"badge\">%1</span>").arg(TypeLabel(message.type)));
    if (message.mustBePaid)
        meta.append(QStringLiteral("<span class=\"badge paid\">Kostenpflichtig</span>"));
    QStringList facts;
    if (!message.toVersion.isEmpty())
        facts.append(QStringLiteral("Version %1").arg(Escaped(message.toVersion)));
    if (!message.packagePath.isEmpty()) {
        const QLocale german(QLocale::German, QLocale::Germany);
        facts.append(QStringLiteral("Größe %1")
                         .arg(german.formattedDataSize(QFileInfo(message.packagePath).size(), 1,
                                                       QLocale::DataSizeTraditionalFormat)));
    }
    const QString id = Escaped(message.id);
    const QString action = message.type == u"info" ? QStringLiteral("Mehr erfahren")
                                                   : QStringLiteral("Jetzt installieren");
    return QStringLiteral("<section class=\"card\">\n<h2>%1</h2>\n<div class=\"meta\">%2%3</div>\n"
                          "%4%5<div class=\"actions\">"
                          "<button type=\"button\" class=\"primary\" auButtonType=\"actionbutton\" "
                          "forMessage=\"%6\">%7</button>"
                          "<button type=\"button\" class=\"secondary\" "
                          "auButtonType=\"downloadbutton\" forMessage=\"%6\">Herunterladen</button>"
                          "</div>\n</section>\n")
        .arg(Escaped(message.title), meta.join(QString()), facts.join(QStringLiteral(" · ")),
             Paragraphs(message.description), Features(message), id, action);
}

QByteArray MessagePage::Html() const {
    const QString productName =
        m_product ? Escaped(m_product->name) : QStringLiteral("Ihr Produkt");
    QString body;
    if (m_offers.isEmpty()) {
        body = QStringLiteral("<section class=\"card empty\">\n<h2>Keine Aktualisierungen "
                              "verfügbar</h2>\n<p>%1 ist auf dem neuesten Stand. Derzeit sind "
                              "keine Aktualisierungen verfügbar.</p>\n</section>\n")
                   .arg(productName);
    } else {
        body = m_offers.size() == 1
                   ? QStringLiteral(
                         "<p class=\"intro\">Für %1 steht eine Aktualisierung bereit.</p>\n")
                         .arg(productName)
                   : QStringLiteral("<p class=\"intro\">Für %1 stehen %2 Aktualisierungen "
                                    "bereit.</p>\n")
                         .arg(productName, QString::number(m_offers.size()));
        for (const CatalogueMessage* message : m_offers)
            body += Card(*message);
    }
    const QString html =
        QStringLiteral(
            "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\"/>\n"
            "<title>%1 – Aktualisierungen</title>\n<style>%2</style>\n</head>\n<body>\n"
            "<header><div class=\"brand\">Keldra Update Service</div><h1>%1</h1>"
            "</header>\n<main>\n%3</main>\n"
            "<footer><span>Keldra Update Service</span>"
            "<button type=\"button\" class=\"secondary\" id=\"cmdClose\">Schließen"
            "</button></footer>\n"
            "<script type=\"text/xml\" id=\"KdAutoUpdate\">%4</script>\n</body>\n</html>\n")
            .arg(productName, QString::fromLatin1(kStyle), body, QString::fromUtf8(Island()));
    return html.toUtf8();
}

} // namespace KDAutoUpdate
