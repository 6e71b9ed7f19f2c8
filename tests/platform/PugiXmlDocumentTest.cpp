#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/pugixml/PugiXmlService.h"
#include "tests/support/FileText.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;
using Response = FakeHttpFetcher::Response;

namespace {

constexpr const char* kEmptyStore = "<?xml version=\"1.0\"?><update-info />";
constexpr const char* kUrl = "http://updates.test/services/autoupdate/CheckUpdate.aspx?x=1";

class PugiXmlDocumentTest : public ::testing::Test {
protected:
    std::unique_ptr<IXmlDocument> NewDocument(bool async = false) {
        auto doc = tp.xml().CreateDocument();
        doc->setAsync(async);
        return doc;
    }
    std::unique_ptr<IXmlDocument> Parsed(const std::string& text) {
        auto doc = NewDocument();
        EXPECT_TRUE(doc->loadXML(text)) << text;
        return doc;
    }
    std::size_t FilesInProgramFolder() const { return FileNames(tp.ProgramFolder()).size(); }

    TestPlatform tp;
};

// Counts completions and what the document said at each.
struct Completions {
    int count = 0;
    XmlReadyState state = XmlReadyState::Uninitialized;
    long code = 0;
    void Watch(IXmlDocument& doc) {
        doc.setOnReadyStateChange([this, &doc] {
            ++count;
            state = doc.readyState();
            code = doc.parseErrorCode();
        });
    }
};

} // namespace

TEST_F(PugiXmlDocumentTest, AStoreIsWrittenBackAsItWasRead) {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r n=\"1\"/>"))
        utf16 += std::string{c, '\0'};
    std::string large = "<?xml version=\"1.0\"?><update-info>";
    for (int i = 0; i < 5000; ++i) // some 300 KiB: written in several pieces
        large += "<product code=\"{" + std::to_string(i) + "}\" a=\"&amp;&lt;\" />";
    large += "</update-info>";
    const std::string unknown = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                "<!-- kept --><update-info version=\"7\">"
                                "<product code=\"{A}\" custom=\"x &amp; y\"><note>text</note>"
                                "</product><other><![CDATA[<raw>]]></other></update-info>";
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                               "<r name=\"M\xFC"
                               "ller\" />";
    const std::pair<std::string, std::string> cases[] = {
        {kEmptyStore, kEmptyStore},
        {"<update-info/>", kEmptyStore}, // a declaration is added
        {unknown, unknown},
        {latin1, latin1},
        {utf16, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r n=\"1\" />"},
        {large, large},
    };
    for (const auto& [read, written] : cases) {
        ASSERT_TRUE(tp.WriteProgramFile("updateinfo.xml", read));
        auto doc = NewDocument();
        ASSERT_TRUE(doc->load(tp.ProgramFile("updateinfo.xml"))) << read.substr(0, 60);
        EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
        EXPECT_EQ(doc->parseErrorCode(), 0);
        if (read == latin1) { // read as UTF-8
            EXPECT_EQ(doc->documentElement()->getAttribute("name"), "Müller");
        }
        ASSERT_TRUE(doc->save(tp.ProgramFile("updateinfo.xml")));
        EXPECT_EQ(tp.ReadProgramFile("updateinfo.xml"), written) << read.substr(0, 60);
        // The temporary file was renamed: nothing else is left in the folder.
        EXPECT_EQ(FilesInProgramFolder(), 1u);
    }
    EXPECT_EQ(Parsed("<update-info/>")->xml(), "<update-info />");
}

TEST_F(PugiXmlDocumentTest, PathsFindChildElementsInDocumentOrderAndMatchValuesExactly) {
    auto doc = Parsed("<update-info><product code=\"{ABC}\" n=\"1\"/><product code=\"{abc}\" "
                      "n=\"2\"/><product code=\"{ABC}\" n=\"3\"><Features><Feature n=\"a\"/>"
                      "<Feature n=\"b\"/></Features></product>"
                      "<group><product code=\"{DEEP}\"/></group></update-info>");
    auto root = doc->documentElement();
    EXPECT_EQ(root->selectSingleNode("product[@code='{ABC}']")->getAttribute("n"), "1");
    EXPECT_EQ(root->selectSingleNode("product[@code='{abc}']")->getAttribute("n"), "2");
    EXPECT_EQ(root->selectSingleNode("product[@code='{ABc}']"), nullptr);
    // Children of the root only.
    EXPECT_EQ(root->selectSingleNode("product[@code='{DEEP}']"), nullptr);
    const auto products = root->selectNodes("product[@code='{ABC}']");
    ASSERT_EQ(products.size(), 2u);
    EXPECT_EQ(products[1]->getAttribute("n"), "3");
    const auto features = products[1]->selectNodes("Features/Feature");
    ASSERT_EQ(features.size(), 2u);
    EXPECT_EQ(features[1]->getAttribute("n"), "b");
    EXPECT_TRUE(products[0]->selectNodes("Features/Feature").empty());
    // Attribute matches are not elements, and broken paths answer nothing.
    for (const char* xpath : {"product/@code", "product[@code='{A}'", "product[@code='{A']}']", "",
                              "///", "[", "count(product)", "product[@code=\"{A}]"}) {
        EXPECT_EQ(root->selectSingleNode(xpath), nullptr) << xpath;
        EXPECT_TRUE(root->selectNodes(xpath).empty()) << xpath;
    }
}

TEST_F(PugiXmlDocumentTest, AttributesAndElementsAreWrittenEscapedAndJoinOnlyWhenAppended) {
    auto doc = Parsed(kEmptyStore);
    auto product = doc->createElement("product");
    ASSERT_NE(product, nullptr);
    // Line breaks and tabs are escaped too: written as themselves they would read back as blanks.
    EXPECT_TRUE(product->setAttribute("a", "2 < 3 & \"q\"\r\n\t"));
    EXPECT_TRUE(product->setAttribute("empty", ""));
    EXPECT_TRUE(product->removeAttribute("empty"));
    EXPECT_TRUE(product->removeAttribute("never-there"));
    EXPECT_FALSE(product->setAttribute("", "x"));
    EXPECT_FALSE(product->setAttribute("two words", "x"));
    EXPECT_EQ(product->getAttribute("a"), "2 < 3 & \"q\"\r\n\t");
    EXPECT_EQ(product->getAttribute("empty"), std::nullopt);
    EXPECT_EQ(doc->xml(), kEmptyStore);

    ASSERT_TRUE(doc->documentElement()->appendChild(product));
    // The handle now stands for the appended element.
    product->setAttribute("do-not-notify-last-message", "1");
    // Several at once, in any order, answer as one by one.
    const char* names[] = {"missing", "do-not-notify-last-message", "a"};
    std::optional<std::string_view> values[] = {"stale", "stale", "stale"};
    std::string scratch[3];
    product->viewAttributes(names, values, scratch);
    EXPECT_EQ(values[0], std::nullopt);
    EXPECT_EQ(values[1], "1");
    EXPECT_EQ(values[2], "2 < 3 & \"q\"\r\n\t");
    EXPECT_EQ(doc->xml(), "<?xml version=\"1.0\"?><update-info><product a=\"2 &lt; 3 &amp; "
                          "&quot;q&quot;&#13;&#10;&#9;\" do-not-notify-last-message=\"1\" />"
                          "</update-info>");

    EXPECT_EQ(doc->createElement(""), nullptr);
    EXPECT_EQ(doc->createElement("1bad"), nullptr);
    EXPECT_FALSE(doc->documentElement()->appendChild(doc->documentElement()));
    EXPECT_FALSE(product->appendChild(doc->documentElement())); // an ancestor into its child
}

TEST_F(PugiXmlDocumentTest, MalformedMissingOrTooDeepInputGivesACodeAndAnEmptyDocument) {
    auto doc = NewDocument();
    EXPECT_EQ(doc->readyState(), XmlReadyState::Uninitialized);
    const auto nested = [](int levels) {
        std::string open, close;
        for (int i = 0; i < levels; ++i)
            open += "<a>", close += "</a>";
        return open + close;
    };
    const auto refused = [&](const std::string& text, long code) {
        EXPECT_FALSE(doc->loadXML(text)) << text.substr(0, 40);
        EXPECT_EQ(doc->parseErrorCode(), code) << text.substr(0, 40);
        EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
        EXPECT_EQ(doc->documentElement(), nullptr);
    };
    // Entities, ampersands and brackets that a lenient parser reads as text, XML refuses.
    for (const char* text :
         {"<a>", "not xml", "<a/><b/>", "<a/>trailing", "<a>Tools & Reports</a>",
          "<a>Gr&uuml;&szlig;e</a>", "<a n=\"&amp\"/>", "<a n=\"&#0;\"/>", "<a n=\"&#x110000;\"/>",
          "<a n=\"1 < 2\"/>", "<a><b n=\"1\" m=\"2\" n=\"3\"/></a>"})
        refused(text, XmlError::kMalformed);
    refused(nested(1002), XmlError::kMalformed);
    refused("", XmlError::kNoRootElement);
    refused("<?xml version=\"1.0\"?>", XmlError::kNoRootElement);
    for (const std::string& path : {tp.ProgramFile("missing.xml"), tp.ProgramFolder().string()}) {
        EXPECT_FALSE(doc->load(path));
        EXPECT_EQ(doc->parseErrorCode(), XmlError::kFileNotFound);
    }
    // A thousand levels below the root are fine, and a good load clears the error.
    EXPECT_TRUE(doc->loadXML(nested(1001)));
    EXPECT_EQ(doc->parseErrorCode(), 0);
    // Well-formed references read as their characters; a literal "&" in a section stays.
    ASSERT_TRUE(doc->loadXML("<a n=\"&lt;&amp;&quot;&#65;&#x42;\"> &gt;&apos;&#x20AC; "
                             "<b><![CDATA[&x]]></b></a>"));
    EXPECT_EQ(doc->documentElement()->getAttribute("n"), "<&\"AB");
    EXPECT_EQ(doc->xml(), "<a n=\"&lt;&amp;&quot;AB\"> &gt;'€ <b><![CDATA[&x]]></b></a>");
}

TEST_F(PugiXmlDocumentTest, FailedSaveAnswersFalseAndLeavesNoTemporaryFile) {
    auto doc = Parsed(kEmptyStore);
    EXPECT_FALSE(doc->save(tp.ProgramFile("no-such-folder/updateinfo.xml")));
    std::filesystem::create_directory(tp.ProgramFile("taken"));
    EXPECT_FALSE(doc->save(tp.ProgramFile("taken")));
    EXPECT_TRUE(std::filesystem::is_directory(tp.ProgramFile("taken")));
    EXPECT_FALSE(doc->save(""));
    EXPECT_EQ(FilesInProgramFolder(), 1u);
}

TEST_F(PugiXmlDocumentTest, LoadsReportEachOutcomeSynchronouslyOrLaterThroughTheLoop) {
    ASSERT_TRUE(tp.WriteProgramFile("a.xml", "<r v=\"1\"/>"));
    struct Case {
        std::string source;
        Response response;
        long expected;
    };
    const Case cases[] = {
        {kUrl, Response::Ok("<r count=\"1\"/>"), 0},
        {kUrl, Response::Status(500, "<r/>"), XmlError::kHttpStatus},
        {kUrl, Response::TransportError(), XmlError::kUnreachable},
        {kUrl, Response::Ok("<r"), XmlError::kMalformed},
        {kUrl, Response::Delayed(3000, "<r/>"), 0},
        {"HTTPS://Updates.Test/r.xml", Response::Ok("<r/>"), 0}, // schemes in any letter case
        {tp.ProgramFile("a.xml"), {}, 0},
        {tp.ProgramFile("missing.xml"), {}, XmlError::kFileNotFound},
    };
    for (const auto& [source, response, expected] : cases) {
        const bool http = source.find("://") != std::string::npos;
        tp.http().SetResponse(source, response);
        auto sync = NewDocument();
        EXPECT_EQ(sync->load(source), expected == 0);
        EXPECT_EQ(sync->parseErrorCode(), expected);
        EXPECT_FALSE(http && tp.http().Requests().back().async);

        auto doc = NewDocument(true);
        Completions done;
        done.Watch(*doc);
        ASSERT_TRUE(doc->load(source));
        EXPECT_EQ(done.count, 0);
        EXPECT_EQ(doc->readyState(), XmlReadyState::Loading);
        EXPECT_TRUE(tp.loop().RunUntil([&] { return done.count > 0; }, 10000));
        EXPECT_EQ(done.count, 1);
        EXPECT_EQ(done.state, XmlReadyState::Complete);
        EXPECT_EQ(done.code, expected) << source;
        EXPECT_TRUE(!http || tp.http().Requests().back().async);
    }
    EXPECT_EQ(tp.loop().NowMs(), 3000);
}

TEST_F(PugiXmlDocumentTest, AbortReportsExactlyOneCompletionLaterAndIgnoresTheLateAnswer) {
    tp.http().SetResponse(kUrl, Response::Never());
    auto doc = NewDocument(true);
    Completions done;
    done.Watch(*doc);
    ASSERT_TRUE(doc->load(kUrl));
    tp.loop().Advance(9000);
    EXPECT_EQ(done.count, 0);

    doc->abort();
    EXPECT_EQ(done.count, 0); // never inside abort()
    EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kAborted);
    EXPECT_TRUE(tp.http().PendingUrls().empty());

    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(done.count, 1);
    EXPECT_EQ(done.code, XmlError::kAborted);
    doc->abort(); // nothing running: no further report
    tp.loop().Advance(60000);
    EXPECT_EQ(done.count, 1);
}

TEST_F(PugiXmlDocumentTest, DocumentDestroyedWhileLoadingNeverCallsBack) {
    tp.http().SetResponse(kUrl, Response::Never());
    tp.http().SetResponse("http://updates.test/fast", Response::Ok("<r/>"));
    ASSERT_TRUE(tp.WriteProgramFile("a.xml", "<r/>"));
    int calls = 0;
    for (const std::string& source :
         {std::string(kUrl), std::string("http://updates.test/fast"), tp.ProgramFile("a.xml")}) {
        auto doc = NewDocument(true);
        doc->setOnReadyStateChange([&] { ++calls; });
        ASSERT_TRUE(doc->load(source));
        doc.reset();
    }
    EXPECT_EQ(tp.http().AbortCount(), 2);
    tp.loop().Advance(60000);
    EXPECT_FALSE(tp.http().CompletePending({}, Response::Ok("<late/>")));
    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(calls, 0);
}

TEST(PugiXmlServiceTest, WithoutFetcherOrLoopLoadsFailInsteadOfHanging) {
    PugiXmlService service(nullptr, nullptr);
    auto doc = service.CreateDocument();
    int calls = 0;
    doc->setOnReadyStateChange([&] { ++calls; });
    doc->setAsync(false);
    EXPECT_FALSE(doc->load("http://updates.test/"));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kUnreachable);
    doc->setAsync(true);
    EXPECT_FALSE(doc->load("http://updates.test/"));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kNoEventLoop);
    EXPECT_TRUE(doc->loadXML("<r/>"));
    EXPECT_EQ(calls, 0);
}
