// Reading the data island into records: attribute encodings and defaults, the type words, the
// keys of both collections, what is and is not part of the structure, and re-reading.

#include <sstream>

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class ReadIslandTest : public MessagesWindowTest {
protected:
    const KeyedCollection<AuMessage>& Messages() { return Window()->Messages(); }
    const AuMessage& Message(const std::string& id) {
        const AuMessage* m = Messages().Find(id);
        EXPECT_NE(m, nullptr) << id;
        static const AuMessage kMissing;
        return m ? *m : kMissing;
    }
};

TEST_F(ReadIslandTest, MessageAttributesBecomePropertiesWithTheirDefaults) {
    ShowPage(R"(<Messages>
      <Message id="full" name="Update 5.1" toVersion="5.1.0" fileName="up51.msp"
               forProduct="{P}" killProcName="app.exe" downloadPath="http://dl/up51.msp"
               compressed="yes" mustBePaid="1" cmdLine="/quiet  /norestart" type="msp"
               destination="C:\Temp\x"/>
      <Message id="bare"/>
      <Message id="notCompressed" destination="C:\ignored" compressed="maybe"/>
      <Message id="blank" name=" " cmdLine=""/>
    </Messages>)");
    // Destination is read only for compressed packages; texts are taken untrimmed.
    const std::pair<const char*, const char*> cases[] = {
        {"full", "full|Update 5.1|5.1.0|up51.msp|{P}|app.exe|http://dl/up51.msp|1|1|/quiet  "
                 "/norestart|2|C:\\Temp\\x||0"},
        {"bare", "bare|||||||0|0||0|||0"},
        {"notCompressed", "notCompressed|||||||0|0||0|||0"},
        {"blank", "blank| ||||||0|0||0|||0"},
    };
    for (const auto& [id, expected] : cases) {
        const AuMessage& m = Message(id);
        std::ostringstream summary;
        summary << m.ID() << '|' << m.Name() << '|' << m.Version() << '|' << m.FileName() << '|'
                << m.ProductCode() << '|' << m.KillProcName() << '|' << m.DownloadPath() << '|'
                << m.IsCompressed() << '|' << m.MustBePaid() << '|' << m.CmdLine() << '|'
                << m.MessageType() << '|' << m.Destination() << '|' << m.LocalPath() << '|'
                << m.Features().Count();
        EXPECT_EQ(summary.str(), expected);
        EXPECT_EQ(m.Agent(), agent.get());
    }
}

TEST_F(ReadIslandTest, TypeWordsIgnoreCaseButNotBlanks) {
    const std::pair<const char*, AuMessageTypes> cases[] = {
        {"info", aumtInfo},  {"EXE", aumtExe},   {"Msp", aumtMSP},
        {"pFtW", aumtPFTW},  {" exe", aumtInfo}, {"exe ", aumtInfo},
        {"setup", aumtInfo}, {"", aumtInfo},     {"1", aumtInfo},
    };
    std::string island = "<Messages>";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        island += "<Message id=\"t" + std::to_string(i) + "\" type=\"" + cases[i].first + "\"/>";
    island += "</Messages>";
    ShowPage(island);
    ASSERT_EQ(Messages().Count(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Message("t" + std::to_string(i)).MessageType(), cases[i].second)
            << '"' << cases[i].first << '"';
}

TEST_F(ReadIslandTest, FeatureAttributesAndTheirDefaults) {
    const struct {
        const char* attributes;
        bool checked, mandatory, allowSelection;
        AuFeatureTypes type;
    } cases[] = {
        {"", true, false, false, auftNewFeature}, // an unmarked feature starts chosen
        {R"(checked="no" mandatory="TRUE" allowUserSelection="Yes" type="Modified")", false, true,
         true, auftModifiedFeature},
        {R"(checked="0" mandatory="2" type="MODIFIED")", false, false, false,
         auftModifiedFeature}, // 2 is no Boolean word
        {R"(checked="vielleicht" type="new")", true, false, false, auftNewFeature},
        // The platform's own word for True.
        {R"(checked="False" mandatory="wahr" type="changed")", false, true, false, auftNewFeature},
    };
    std::string island = R"(<Messages><Message id="p" type="msp"><Features>)";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        island += "<Feature name=\"f" + std::to_string(i) + "\" " + cases[i].attributes + "/>";
    ShowPage(island + "</Features></Message></Messages>");
    const auto& features = Message("p").Features();
    ASSERT_EQ(features.Count(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const AuFeature& f = *features.Item(i);
        SCOPED_TRACE(cases[i].attributes);
        EXPECT_EQ(f.Name(), "f" + std::to_string(i));
        EXPECT_EQ(f.IsChecked(), cases[i].checked);
        EXPECT_EQ(f.IsMandatory(), cases[i].mandatory);
        EXPECT_EQ(f.AllowUserSelection(), cases[i].allowSelection);
        EXPECT_EQ(f.FeatureType(), cases[i].type);
        EXPECT_EQ(f.InstallState(), cases[i].checked || cases[i].mandatory);
    }
}

TEST_F(ReadIslandTest, KeysAreUniqueWithoutRegardToCaseAndOnlyTheDocumentedPlacesAreRead) {
    ShowPage(R"(<Root>
      <Message id="Upd-A" name="first">
        <Feature name="direct"/>
        <Delta base="AB01" path="http://p/a.zst" size="120"/>
        <Features><Feature name="Core"/><Delta base="cc" path="http://p/deep.zst"/><Feature name="CORE" checked="no"/></Features>
        <Delta path="http://p/no-base.zst"/><Delta base="ef" path="http://p/b.zst" size="many"/>
        <Features><Feature name="Extra"/></Features>
        <Options><Features><Feature name="deep"/></Features></Options>
        <Options><Feature name="optional"/></Options><Features><G><Feature name="grouped"/></G></Features>
      </Message>
      <Message id="upd-a" name="second"/>
      <Group><Message id="nested"/></Group>
    </Root>)");

    ASSERT_EQ(Messages().Count(), 1u) << "a nested message is not read";
    EXPECT_EQ(Messages().Item(0)->ID(), "Upd-A");
    EXPECT_EQ(Message("UPD-A").Name(), "first");

    const auto& features = Message("upd-a").Features();
    ASSERT_EQ(features.Count(), 2u);
    EXPECT_EQ(features.Item(0)->Name(), "Core");
    EXPECT_TRUE(features.Find("core")->IsChecked()) << "the first of a repeated name stays";
    EXPECT_EQ(features.Item(1)->Name(), "Extra");
    EXPECT_EQ(features.Find("direct"), nullptr);
    EXPECT_EQ(features.Find("deep"), nullptr);

    // A message's own Delta children are its patches; one without a base is of no use.
    std::ostringstream deltas;
    for (const PackageDelta& delta : Message("upd-a").Deltas())
        deltas << delta.baseSha256 << ' ' << delta.path << ' ' << delta.size << ';';
    EXPECT_EQ(deltas.str(), "AB01 http://p/a.zst 120;ef http://p/b.zst 0;");
}

TEST_F(ReadIslandTest, ReadingAgainAddsOnlyNewIdsAndKeepsFirstValuesAsDecodedByThePage) {
    ShowPage(R"(<Messages><Message id="a" name="A1"/><Message id="b" name="B1"/></Messages>)");
    ASSERT_EQ(Messages().Count(), 2u);

    Browser()->Complete(PageId(), ServicePage(R"(<Messages><Message id="B" name="B2"/>
                                                <Message id="c" name="C1"/></Messages>)"));
    ASSERT_EQ(Messages().Count(), 3u);
    EXPECT_EQ(Message("b").Name(), "B1");
    EXPECT_EQ(Messages().Item(2)->ID(), "c");

    Browser()->Complete(PageId(), ServicePage("<Messages/>"));
    EXPECT_EQ(Messages().Count(), 3u);

    // The page was decoded already: an island's own declaration of another encoding changes
    // nothing of its text.
    Browser()->Complete(PageId(),
                        ServicePage("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                    "<Messages><Message id=\"d\" name=\"Gr\u00f6\u00dfe\"/>"
                                    "</Messages>"));
    EXPECT_EQ(Message("d").Name(), "Gr\u00f6\u00dfe");
}

} // namespace
} // namespace KDAutoUpdate
