// The message page: its data island, the buttons the agent's window reacts to, how it looks
// without offers, and the patches it names.
#include "ServiceTestSupport.h"

#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/zstd/ZstdPatchApplier.h"
#include "service/UpdateService.h"

#include <QHostAddress>

#include <gtest/gtest.h>

#include <vector>

namespace KDAutoUpdate::Testing {
namespace {

std::vector<std::string> AttributeNames(const pugi::xml_node& node) {
    std::vector<std::string> names;
    for (const pugi::xml_attribute attribute : node.attributes())
        names.emplace_back(attribute.name());
    return names;
}

class MessagePageTest : public ::testing::Test {
protected:
    // Serves `folder` and loads the page for `query` (the sample product's at 5.0.2), parsed
    // whole: the page is well-formed XML.
    void LoadPage(
        const QString& query = QStringLiteral("ProductCode=%1&Version=5.0.2").arg(kSampleProduct),
        const QString& folder = SampleCatalogue()) {
        m_service = std::make_unique<UpdateService>(folder);
        ASSERT_TRUE(m_service->Start(QHostAddress::LocalHost, 0));
        const HttpResult result = Get(m_service->BaseUrl() + "/InitUpdate.aspx?" + query);
        ASSERT_TRUE(result.finished);
        ASSERT_EQ(result.status, 200);
        EXPECT_EQ(result.contentType, "text/html; charset=utf-8");
        m_html = result.body;
        ASSERT_TRUE(m_page.load_buffer(m_html.constData(), static_cast<size_t>(m_html.size())));
    }

    pugi::xml_node Island() { return IslandOf(m_html, m_island); }

    pugi::xml_node Button(const char* kind, const char* messageId) {
        return m_page.find_node([&](const pugi::xml_node& node) {
            return qstrcmp(node.attribute("auButtonType").value(), kind) == 0 &&
                   qstrcmp(node.attribute("forMessage").value(), messageId) == 0;
        });
    }

    std::unique_ptr<UpdateService> m_service;
    QByteArray m_html;
    pugi::xml_document m_page;
    pugi::xml_document m_island;
};

TEST_F(MessagePageTest, SamplePageCarriesEveryOfferWithItsButtonsAndNothingFromOutside) {
    ASSERT_NO_FATAL_FAILURE(LoadPage());
    const pugi::xml_node root = Island();
    EXPECT_STREQ(root.name(), "Messages");
    const std::vector<std::string> expected{
        "id",           "name",       "toVersion",  "fileName", "forProduct", "killProcName",
        "downloadPath", "compressed", "mustBePaid", "cmdLine",  "type",       "destination"};
    QStringList ids;
    for (const pugi::xml_node message : root.children("Message")) {
        EXPECT_EQ(AttributeNames(message), expected);
        EXPECT_STREQ(message.attribute("forProduct").value(), kSampleProduct);
        const char* id = message.attribute("id").value();
        ids.append(id);
        // The window reads only the clicked element itself, so the label must be plain text.
        const pugi::xml_node action = Button("actionbutton", id);
        ASSERT_TRUE(action) << id;
        EXPECT_FALSE(action.first_child().next_sibling()) << id;
        EXPECT_TRUE(Button("downloadbutton", id)) << id;
    }
    EXPECT_EQ(ids, (QStringList{"KS-2024-510", "KS-2024-503P", "KS-INFO-6"}));
    EXPECT_EQ(
        QString(FindElement(root, "Message", "id", "KS-INFO-6").attribute("downloadPath").value()),
        m_service->BaseUrl() + "/info/KeldraStudio6-Vorschau.html");

    const pugi::xml_node close = FindElement(m_page, "button", "id", "cmdClose");
    ASSERT_TRUE(close);
    EXPECT_FALSE(close.attribute("auButtonType"));
    EXPECT_TRUE(m_page.select_nodes("//link").empty());
    EXPECT_EQ(m_page.select_nodes("//script").size(), 1u); // the island only
    EXPECT_TRUE(m_page.select_nodes("//*[@src or @href]").empty());
    EXPECT_FALSE(m_html.contains("@import"));
    EXPECT_FALSE(m_html.contains("url("));
}

// The island's features and the page's choosers agree: a mandatory feature shows chosen and
// locked.
TEST_F(MessagePageTest, PatchFeaturesKeepOrderKindsAndChoices) {
    ASSERT_NO_FATAL_FAILURE(LoadPage());
    const pugi::xml_node patch = FindElement(Island(), "Message", "id", "KS-2024-503P");
    QStringList summary;
    for (const pugi::xml_node feature : patch.child("Features").children("Feature")) {
        EXPECT_EQ(AttributeNames(feature),
                  (std::vector<std::string>{"name", "mandatory", "allowUserSelection", "checked",
                                            "type"}));
        summary.append(
            QStringLiteral("%1 %2 mandatory=%3 checked=%4")
                .arg(feature.attribute("name").value(), feature.attribute("type").value(),
                     feature.attribute("mandatory").value(), feature.attribute("checked").value()));
    }
    EXPECT_EQ(summary, (QStringList{"CoreFiles modified mandatory=true checked=true",
                                    "ColorTools modified mandatory=false checked=true",
                                    "PdfExport new mandatory=false checked=true",
                                    "SampleProjects new mandatory=false checked=false"}));
    QStringList choosers;
    for (const pugi::xpath_node found :
         m_page.select_nodes("//input[@auButtonType='featurestatechooser']")) {
        const pugi::xml_node input = found.node();
        EXPECT_STREQ(input.attribute("forMessage").value(), "KS-2024-503P");
        choosers.append(QStringLiteral("%1%2%3").arg(
            input.attribute("forFeature").value(), input.attribute("checked") ? " checked" : "",
            input.attribute("disabled") ? " disabled" : ""));
    }
    EXPECT_EQ(choosers, (QStringList{"CoreFiles checked disabled", "ColorTools checked",
                                     "PdfExport checked", "SampleProjects"}));
}

TEST_F(MessagePageTest, UnknownProductPageSaysSoAndKeepsIslandAndClose) {
    LoadPage("ProductCode={00000000-0000-0000-0000-000000000000}");
    const pugi::xml_node root = Island();
    EXPECT_STREQ(root.name(), "Messages");
    EXPECT_FALSE(root.first_child());
    EXPECT_TRUE(FindElement(m_page, "button", "id", "cmdClose"));
    EXPECT_TRUE(m_html.contains("keine Aktualisierungen verfügbar"));
    EXPECT_TRUE(m_page.select_nodes("//*[@auButtonType]").empty());
}

TEST_F(MessagePageTest, MarkupInCatalogueValuesStaysText) {
    TempCatalogue catalogue;
    catalogue.AddPackage("a&b.bin", "x");
    catalogue.WriteCatalogue(R"(<catalogue><product code="{AB}" name="Tom &amp; Jerry &lt;Pro&gt;">
  <message id="m&amp;1" name="Fix &quot;5&quot; &lt;/script&gt;" type="pftw" package="a&amp;b.bin"
           cmdLine="/dir &quot;C:\Program Files&quot; /x" compressed="yes" destination="C:\Tmp&lt;1&gt;">
    <title>Tom &amp; Jerry &lt;b&gt;</title>
    <feature name="F&amp;1">Teil &lt;eins&gt;</feature>
    <feature name="Must" mandatory="yes" checked="no">Pflicht</feature>
    <feature name="Fixed" allowUserSelection="no">Fest</feature>
  </message>
</product></catalogue>)");
    ASSERT_NO_FATAL_FAILURE(LoadPage("ProductCode=AB", catalogue.Folder()));
    const pugi::xml_node message = m_page.select_node("//Message").node();
    EXPECT_STREQ(message.attribute("id").value(), "m&1");
    EXPECT_STREQ(message.attribute("name").value(), "Fix \"5\" </script>");
    EXPECT_STREQ(message.attribute("cmdLine").value(), "/dir \"C:\\Program Files\" /x");
    EXPECT_STREQ(message.attribute("compressed").value(), "true");
    EXPECT_STREQ(message.attribute("destination").value(), "C:\\Tmp<1>");
    EXPECT_STREQ(message.attribute("fileName").value(), "a&b.bin");
    EXPECT_EQ(QString(message.attribute("downloadPath").value()),
              m_service->BaseUrl() + "/packages/a%26b.bin");
    EXPECT_STREQ(m_page.select_node("//h1").node().child_value(), "Tom & Jerry <Pro>");
    EXPECT_STREQ(m_page.select_node("//p[@class='intro']").node().child_value(),
                 "F\u00fcr Tom & Jerry <Pro> steht eine Aktualisierung bereit.");
    EXPECT_STREQ(m_page.select_node("//section/h2").node().child_value(), "Tom & Jerry <b>");
    EXPECT_EQ(
        QString(FindElement(m_page, "input", "forFeature", "F&1").attribute("forMessage").value()),
        "m&1");
    // A mandatory feature shows chosen; it and one the user may not choose are locked.
    EXPECT_TRUE(FindElement(m_page, "input", "forFeature", "Must").attribute("checked"));
    EXPECT_EQ(m_page.select_nodes("//input[@disabled]").size(), 2u);
    // The percent-encoded address leads back to the package.
    EXPECT_EQ(Get(QString(message.attribute("downloadPath").value())).body, "x");
}

// Patches from the earlier packages the catalogue names: named in the island with the package's
// hash, served as files that rebuild the package.
QByteArray Version(int n) {
    QByteArray text = "#!/bin/sh\n";
    for (int line = 0; line < 3000; ++line)
        text += "echo " + QByteArray::number(line % 11 == 0 ? line * n : line) + "\n";
    return text;
}

std::string Sha256(const QString& path) {
    return SodiumSignatureVerifier().FileSha256(path.toStdString()).value_or("");
}

TEST_F(MessagePageTest, PatchesNamedForTheBasesRebuildThePackage) {
    TempCatalogue catalogue;
    const QStringList bases{catalogue.AddPackage("app-5.0.sh", Version(50)),
                            catalogue.AddPackage("app-5.0.1.sh", Version(501))};
    const QString target = catalogue.AddPackage("app-5.1.sh", Version(51));
    catalogue.AddPackage("other.sh", "#!/bin/sh\n");
    catalogue.WriteCatalogue(InProduct(R"(
          <message id="m51" name="5.1" type="exe" package="app-5.1.sh">
            <base package="app-5.0.sh"/><feature name="f"/><base package="app-5.0.1.sh"/>
          </message>
          <message id="plain" name="plain" type="exe" package="other.sh"/>)"));
    ASSERT_NO_FATAL_FAILURE(LoadPage("ProductCode={AB}", catalogue.Folder()));
    const pugi::xml_node island = Island();
    // Each Delta of m51 rebuilds the package from the base its hash names.
    const pugi::xml_node message = FindElement(island, "Message", "id", "m51");
    EXPECT_EQ(message.attribute("sha256").value(), Sha256(target));
    int count = 0;
    for (const pugi::xml_node delta : message.children("Delta")) {
        ASSERT_LT(count, bases.size());
        const QString& base = bases[count];
        ASSERT_EQ(delta.attribute("base").value(), Sha256(base)) << "in the catalogue's order";
        const QString url = QString::fromUtf8(delta.attribute("path").value());
        EXPECT_TRUE(url.startsWith(m_service->BaseUrl() + "/deltas/")) << url.toStdString();
        const HttpResult patch = Get(url);
        EXPECT_EQ(patch.status, 200);
        EXPECT_EQ(patch.body.size(), delta.attribute("size").as_llong());
        EXPECT_LT(patch.body.size(), Version(51).size() / 10);
        const QString patchFile = catalogue.Write(QStringLiteral("patch%1").arg(count), patch.body);
        const QString rebuilt = catalogue.Folder() + QStringLiteral("/rebuilt%1").arg(count);
        ASSERT_TRUE(ZstdPatchApplier().ApplyPatch(base.toStdString(), patchFile.toStdString(),
                                                  rebuilt.toStdString(), 1 << 20));
        EXPECT_EQ(Sha256(rebuilt), Sha256(target));
        ++count;
    }
    EXPECT_EQ(count, 2);
    // A package without bases keeps its unsigned form: no hash, no patches.
    const pugi::xml_node plain = FindElement(island, "Message", "id", "plain");
    EXPECT_FALSE(plain.attribute("sha256"));
    EXPECT_FALSE(plain.child("Delta"));
}

} // namespace
} // namespace KDAutoUpdate::Testing
