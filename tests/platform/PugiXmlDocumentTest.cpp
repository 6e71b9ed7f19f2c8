#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/pugixml/PugiXmlService.h"
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

TEST_F(PugiXmlDocumentTest, EmptyStoreIsSavedByteForByte) {
    auto doc = Parsed(kEmptyStore);
    EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
    EXPECT_EQ(doc->parseErrorCode(), 0);
    EXPECT_EQ(doc->xml(), kEmptyStore);
    ASSERT_TRUE(doc->save(tp.ProgramFile("updateinfo.xml")));
    EXPECT_EQ(tp.ReadProgramFile("updateinfo.xml"), kEmptyStore);
    // Nothing else is left in the folder (the temporary file was renamed).
    int files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(tp.ProgramFolder()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(PugiXmlDocumentTest, UnknownContentSurvivesLoadAndSave) {
    const std::string original = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                 "<!-- kept --><update-info version=\"7\">"
                                 "<product code=\"{A}\" custom=\"x &amp; y\"><note>text</note>"
                                 "</product><other><![CDATA[<raw>]]></other></update-info>";
    ASSERT_TRUE(tp.WriteProgramFile("in.xml", original));
    auto doc = NewDocument();
    ASSERT_TRUE(doc->load(tp.ProgramFile("in.xml")));
    ASSERT_TRUE(doc->save(tp.ProgramFile("out.xml")));
    EXPECT_EQ(tp.ReadProgramFile("out.xml"), original);

    auto product = doc->createElement("product");
    product->setAttribute("code", "{B}");
    ASSERT_TRUE(doc->documentElement()->appendChild(product));
    ASSERT_TRUE(doc->save(tp.ProgramFile("out.xml")));
    const std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                 "<!-- kept --><update-info version=\"7\">"
                                 "<product code=\"{A}\" custom=\"x &amp; y\"><note>text</note>"
                                 "</product><other><![CDATA[<raw>]]></other>"
                                 "<product code=\"{B}\" /></update-info>";
    EXPECT_EQ(tp.ReadProgramFile("out.xml"), expected);
}

TEST_F(PugiXmlDocumentTest, DocumentWithoutDeclarationGetsOneWhenSaved) {
    auto doc = Parsed("<update-info/>");
    EXPECT_EQ(doc->xml(), "<update-info />");
    ASSERT_TRUE(doc->save(tp.ProgramFile("a.xml")));
    EXPECT_EQ(tp.ReadProgramFile("a.xml"), kEmptyStore);
}

TEST_F(PugiXmlDocumentTest, Latin1FileIsReadAsUtf8AndWrittenBackInLatin1) {
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                               "<r name=\"M\xFC"
                               "ller\" />";
    ASSERT_TRUE(tp.WriteProgramFile("latin.xml", latin1));
    auto doc = NewDocument();
    ASSERT_TRUE(doc->load(tp.ProgramFile("latin.xml")));
    EXPECT_EQ(doc->documentElement()->getAttribute("name"), "Müller");
    ASSERT_TRUE(doc->save(tp.ProgramFile("latin.xml")));
    EXPECT_EQ(tp.ReadProgramFile("latin.xml"), latin1);
}

TEST_F(PugiXmlDocumentTest, ProductLookupByCodeIsExactAndTakesTheFirstMatch) {
    auto doc = Parsed("<update-info><product code=\"{ABC}\" n=\"1\"/><product code=\"{abc}\" "
                      "n=\"2\"/><product code=\"{ABC}\" n=\"3\"/>"
                      "<group><product code=\"{DEEP}\"/></group></update-info>");
    auto root = doc->documentElement();
    auto first = root->selectSingleNode("product[@code='{ABC}']");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getAttribute("n"), "1");
    EXPECT_EQ(root->selectSingleNode("product[@code='{abc}']")->getAttribute("n"), "2");
    EXPECT_EQ(root->selectSingleNode("product[@code='{ABc}']"), nullptr);
    // Children of the root only.
    EXPECT_EQ(root->selectSingleNode("product[@code='{DEEP}']"), nullptr);
    EXPECT_EQ(root->selectNodes("product[@code='{ABC}']").size(), 2u);
}

TEST_F(PugiXmlDocumentTest, SelectNodesAnswersElementsInDocumentOrder) {
    auto doc = Parsed("<island><Message id=\"m1\"><Features><Feature n=\"a\"/><Feature n=\"b\"/>"
                      "</Features></Message><Other/><Message id=\"m2\"/></island>");
    auto root = doc->documentElement();
    auto messages = root->selectNodes("Message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]->getAttribute("id"), "m1");
    EXPECT_EQ(messages[1]->getAttribute("id"), "m2");
    auto features = messages[0]->selectNodes("Features/Feature");
    ASSERT_EQ(features.size(), 2u);
    EXPECT_EQ(features[0]->getAttribute("n"), "a");
    EXPECT_EQ(features[1]->getAttribute("n"), "b");
    EXPECT_TRUE(messages[1]->selectNodes("Features/Feature").empty());
    std::vector<std::string> visited;
    root->forEachNode("Message/Features/Feature",
                      [&](IXmlElement& feature) { visited.push_back(*feature.getAttribute("n")); });
    EXPECT_EQ(visited, (std::vector<std::string>{"a", "b"}));
    // Attribute matches are not elements.
    EXPECT_TRUE(root->selectNodes("Message/@id").empty());
}

TEST_F(PugiXmlDocumentTest, InvalidXPathAnswersNothing) {
    auto doc = Parsed("<r><product code=\"{A}\"/></r>");
    auto root = doc->documentElement();
    for (const char* xpath : {"product[@code='{A}'", "product[@code='{A']}']", "", "///", "[",
                              "count(product)", "product[@code=\"{A}]"}) {
        EXPECT_EQ(root->selectSingleNode(xpath), nullptr) << xpath;
        EXPECT_TRUE(root->selectNodes(xpath).empty()) << xpath;
    }
}

TEST_F(PugiXmlDocumentTest, AttributesReadWriteAndRemove) {
    auto doc = Parsed("<r><p a=\"1\" empty=\"\"/></r>");
    auto p = doc->documentElement()->selectSingleNode("p");
    EXPECT_EQ(p->nodeName(), "p");
    EXPECT_EQ(p->getAttribute("a"), "1");
    EXPECT_EQ(p->getAttribute("empty"), "");
    EXPECT_EQ(p->getAttribute("missing"), std::nullopt);
    // Several at once, in any order, answer as one by one.
    const char* names[] = {"empty", "missing", "a"};
    std::optional<std::string> values[] = {"stale", "stale", "stale"};
    p->getAttributes(names, values);
    EXPECT_EQ(values[0], "");
    EXPECT_EQ(values[1], std::nullopt);
    EXPECT_EQ(values[2], "1");

    EXPECT_TRUE(p->setAttribute("a", "2 < 3 & \"q\""));
    EXPECT_TRUE(p->setAttribute("last-checked-date", "2009-09-14 18:35:52"));
    EXPECT_TRUE(p->removeAttribute("empty"));
    EXPECT_TRUE(p->removeAttribute("never-there"));
    EXPECT_FALSE(p->setAttribute("", "x"));
    EXPECT_FALSE(p->setAttribute("two words", "x"));
    EXPECT_EQ(p->xml(), "<p a=\"2 &lt; 3 &amp; &quot;q&quot;\" "
                        "last-checked-date=\"2009-09-14 18:35:52\" />");
    EXPECT_EQ(p->getAttribute("a"), "2 < 3 & \"q\"");
}

TEST_F(PugiXmlDocumentTest, CreatedElementJoinsTheDocumentOnlyWhenAppended) {
    auto doc = Parsed(kEmptyStore);
    auto product = doc->createElement("product");
    ASSERT_NE(product, nullptr);
    product->setAttribute("code", "{NEW}");
    EXPECT_EQ(doc->xml(), kEmptyStore);
    EXPECT_EQ(product->xml(), "<product code=\"{NEW}\" />");

    ASSERT_TRUE(doc->documentElement()->appendChild(product));
    // The handle now stands for the appended element.
    product->setAttribute("do-not-notify-last-message", "1");
    EXPECT_EQ(doc->xml(), "<?xml version=\"1.0\"?><update-info><product code=\"{NEW}\" "
                          "do-not-notify-last-message=\"1\" /></update-info>");
    auto found = doc->documentElement()->selectSingleNode("product[@code='{NEW}']");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->getAttribute("do-not-notify-last-message"), "1");

    EXPECT_EQ(doc->createElement(""), nullptr);
    EXPECT_EQ(doc->createElement("1bad"), nullptr);
    EXPECT_FALSE(doc->documentElement()->appendChild(doc->documentElement()));
    EXPECT_FALSE(found->appendChild(doc->documentElement())); // an ancestor into its child
}

TEST_F(PugiXmlDocumentTest, MalformedTextGivesANonZeroCodeAndAnEmptyDocument) {
    for (const char* text : {"<a>", "<a></b>", "not xml", "<a/><b/>", "<a/>trailing", "<a x=1/>"}) {
        auto doc = NewDocument();
        EXPECT_FALSE(doc->loadXML(text)) << text;
        EXPECT_EQ(doc->parseErrorCode(), XmlError::kMalformed) << text;
        EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
        EXPECT_EQ(doc->documentElement(), nullptr);
    }
    auto doc = NewDocument();
    EXPECT_FALSE(doc->loadXML(""));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kNoRootElement);
    EXPECT_FALSE(doc->loadXML("<?xml version=\"1.0\"?>"));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kNoRootElement);
    // Nesting a hundred thousand deep is refused; a thousand is fine.
    for (const auto& [levels, ok] : {std::pair{1000, true}, std::pair{100000, false}}) {
        std::string deep;
        for (int i = 0; i < levels; ++i)
            deep += "<a>";
        for (int i = 0; i < levels; ++i)
            deep += "</a>";
        EXPECT_EQ(doc->loadXML(deep), ok) << levels;
    }
    // A good load afterwards clears the error.
    EXPECT_TRUE(doc->loadXML("<ok/>"));
    EXPECT_EQ(doc->parseErrorCode(), 0);
}

TEST_F(PugiXmlDocumentTest, MissingOrUnreadableFileFails) {
    auto doc = NewDocument();
    EXPECT_EQ(doc->readyState(), XmlReadyState::Uninitialized);
    EXPECT_FALSE(doc->load(tp.ProgramFile("missing.xml")));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kFileNotFound);
    EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
    EXPECT_FALSE(doc->load(tp.ProgramFolder().string()));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kFileNotFound);
}

TEST_F(PugiXmlDocumentTest, FailedSaveAnswersFalseAndLeavesNoTemporaryFile) {
    auto doc = Parsed(kEmptyStore);
    EXPECT_FALSE(doc->save(tp.ProgramFile("no-such-folder/updateinfo.xml")));
    std::filesystem::create_directory(tp.ProgramFile("taken"));
    EXPECT_FALSE(doc->save(tp.ProgramFile("taken")));
    EXPECT_TRUE(std::filesystem::is_directory(tp.ProgramFile("taken")));
    EXPECT_FALSE(doc->save(""));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(tp.ProgramFolder()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(PugiXmlDocumentTest, LargeStoreIsSavedWholeAsItsMarkup) {
    std::string text = "<?xml version=\"1.0\"?><update-info>";
    for (int i = 0; i < 5000; ++i) // some 300 KiB: written in several pieces
        text += "<product code=\"{" + std::to_string(i) + "}\" a=\"&amp;&lt;\" />";
    auto doc = Parsed(text + "</update-info>");
    ASSERT_TRUE(doc->save(tp.ProgramFile("updateinfo.xml")));
    EXPECT_EQ(tp.ReadProgramFile("updateinfo.xml"), doc->xml());
}

TEST_F(PugiXmlDocumentTest, SynchronousHttpLoad) {
    tp.http().SetResponse(kUrl, Response::Ok("<r count=\"2\" msgs=\"AB\"/>"));
    tp.http().SetResponse("http://updates.test/missing", Response::Status(404, "<html/>"));
    auto doc = NewDocument();
    EXPECT_TRUE(doc->load(kUrl));
    EXPECT_EQ(doc->documentElement()->xml(), "<r count=\"2\" msgs=\"AB\" />");
    EXPECT_FALSE(doc->load("http://updates.test/missing"));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kHttpStatus);
    EXPECT_FALSE(doc->load("https://elsewhere.test/"));
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kUnreachable);
    EXPECT_FALSE(tp.http().Requests()[0].async);
}

TEST_F(PugiXmlDocumentTest, AsynchronousFileLoadCompletesLaterThroughTheLoop) {
    ASSERT_TRUE(tp.WriteProgramFile("a.xml", "<r v=\"1\"/>"));
    auto doc = NewDocument(true);
    Completions done;
    done.Watch(*doc);
    EXPECT_TRUE(doc->load(tp.ProgramFile("a.xml")));
    EXPECT_EQ(doc->readyState(), XmlReadyState::Loading);
    EXPECT_EQ(done.count, 0);

    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(done.count, 1);
    EXPECT_EQ(done.state, XmlReadyState::Complete);
    EXPECT_EQ(done.code, 0);
    EXPECT_EQ(doc->documentElement()->getAttribute("v"), "1");

    // A missing file also completes asynchronously, with an error.
    EXPECT_TRUE(doc->load(tp.ProgramFile("missing.xml")));
    EXPECT_EQ(done.count, 1);
    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(done.count, 2);
    EXPECT_EQ(done.code, XmlError::kFileNotFound);
}

TEST_F(PugiXmlDocumentTest, AsynchronousHttpLoadReportsEachOutcome) {
    struct Case {
        Response response;
        long expected;
    };
    const Case cases[] = {{Response::Ok("<r count=\"1\"/>"), 0},
                          {Response::Status(500, "<r/>"), XmlError::kHttpStatus},
                          {Response::Status(404), XmlError::kHttpStatus},
                          {Response::TransportError(), XmlError::kUnreachable},
                          {Response::Ok("<r"), XmlError::kMalformed},
                          {Response::Delayed(3000, "<r/>"), 0}};
    for (const Case& c : cases) {
        tp.http().SetResponse(kUrl, c.response);
        auto doc = NewDocument(true);
        Completions done;
        done.Watch(*doc);
        ASSERT_TRUE(doc->load(kUrl));
        EXPECT_EQ(done.count, 0);
        EXPECT_EQ(doc->readyState(), XmlReadyState::Loading);
        EXPECT_TRUE(tp.loop().RunUntil([&] { return done.count > 0; }, 10000));
        EXPECT_EQ(done.count, 1);
        EXPECT_EQ(done.state, XmlReadyState::Complete);
        EXPECT_EQ(done.code, c.expected);
        EXPECT_EQ(doc->parseErrorCode(), c.expected);
    }
    EXPECT_EQ(tp.loop().NowMs(), 3000);
    EXPECT_TRUE(tp.http().Requests().back().async);
}

TEST_F(PugiXmlDocumentTest, AbortReportsExactlyOneCompletionLaterAndIgnoresTheLateAnswer) {
    tp.http().SetResponse(kUrl, Response::Never());
    auto doc = NewDocument(true);
    Completions done;
    done.Watch(*doc);
    ASSERT_TRUE(doc->load(kUrl));
    tp.loop().Advance(9000);
    EXPECT_EQ(done.count, 0);
    EXPECT_EQ(doc->readyState(), XmlReadyState::Loading);

    doc->abort();
    EXPECT_EQ(done.count, 0); // never inside abort()
    EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
    EXPECT_EQ(doc->parseErrorCode(), XmlError::kAborted);
    EXPECT_EQ(tp.http().AbortCount(), 1);
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
    EXPECT_EQ(calls, 0);
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
    EXPECT_EQ(doc->readyState(), XmlReadyState::Complete);
    EXPECT_TRUE(doc->loadXML("<r/>"));
    EXPECT_EQ(calls, 0);
}
