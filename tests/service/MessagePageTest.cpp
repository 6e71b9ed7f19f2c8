// The message page: its data island, the buttons the agent's window reacts to, and how it looks
// without offers.
#include "ServiceTestSupport.h"

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
    void SetUp() override { ASSERT_TRUE(m_service.Start(QHostAddress::LocalHost, 0)); }

    // Loads the page for `query` and parses it whole; the page is well-formed XML.
    void LoadPage(const QString& query) {
        const HttpResult result = Get(m_service.BaseUrl() + "/InitUpdate.aspx?" + query);
        ASSERT_TRUE(result.finished);
        ASSERT_EQ(result.status, 200);
        EXPECT_EQ(result.contentType, "text/html; charset=utf-8");
        m_html = result.body;
        ASSERT_TRUE(m_page.load_buffer(m_html.constData(), static_cast<size_t>(m_html.size())));
    }
    void LoadSamplePage() {
        LoadPage(QStringLiteral("ProductCode=%1&Version=5.0.2").arg(kSampleProduct));
    }

    pugi::xml_node Island() { return IslandOf(m_html, m_island); }

    pugi::xml_node Button(const char* kind, const char* messageId) {
        return m_page.find_node([&](const pugi::xml_node& node) {
            return qstrcmp(node.attribute("auButtonType").value(), kind) == 0 &&
                   qstrcmp(node.attribute("forMessage").value(), messageId) == 0;
        });
    }

    UpdateService m_service{SampleCatalogue()};
    QByteArray m_html;
    pugi::xml_document m_page;
    pugi::xml_document m_island;
};

TEST_F(MessagePageTest, SamplePageCarriesEveryOfferWithItsButtonsAndNothingFromOutside) {
    LoadSamplePage();
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
        m_service.BaseUrl() + "/info/KeldraStudio6-Vorschau.html");

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
    LoadSamplePage();
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

TEST(MessagePageEscaping, MarkupInCatalogueValuesStaysText) {
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
    UpdateService service(catalogue.Folder());
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    const HttpResult result = Get(service.BaseUrl() + "/InitUpdate.aspx?ProductCode=AB");
    ASSERT_EQ(result.status, 200);

    pugi::xml_document page;
    ASSERT_TRUE(page.load_buffer(result.body.constData(), static_cast<size_t>(result.body.size())));
    const pugi::xml_node message = page.select_node("//Message").node();
    EXPECT_STREQ(message.attribute("id").value(), "m&1");
    EXPECT_STREQ(message.attribute("name").value(), "Fix \"5\" </script>");
    EXPECT_STREQ(message.attribute("cmdLine").value(), "/dir \"C:\\Program Files\" /x");
    EXPECT_STREQ(message.attribute("compressed").value(), "true");
    EXPECT_STREQ(message.attribute("destination").value(), "C:\\Tmp<1>");
    EXPECT_STREQ(message.attribute("fileName").value(), "a&b.bin");
    EXPECT_EQ(QString(message.attribute("downloadPath").value()),
              service.BaseUrl() + "/packages/a%26b.bin");
    EXPECT_STREQ(page.select_node("//h1").node().child_value(), "Tom & Jerry <Pro>");
    EXPECT_STREQ(page.select_node("//section/h2").node().child_value(), "Tom & Jerry <b>");
    EXPECT_EQ(
        QString(FindElement(page, "input", "forFeature", "F&1").attribute("forMessage").value()),
        "m&1");
    // A mandatory feature shows chosen; it and one the user may not choose are locked.
    EXPECT_TRUE(FindElement(page, "input", "forFeature", "Must").attribute("checked"));
    EXPECT_EQ(page.select_nodes("//input[@disabled]").size(), 2u);
    // The percent-encoded address leads back to the package.
    EXPECT_EQ(Get(QString(message.attribute("downloadPath").value())).body, "x");
}

} // namespace
} // namespace KDAutoUpdate::Testing
