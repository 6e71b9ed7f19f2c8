// Reading the data island into records: attribute encodings and defaults, the type words, the
// keys of both collections, what is and is not part of the structure, and re-reading.

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

    const AuMessage& full = Message("full");
    EXPECT_EQ(full.ID(), "full");
    EXPECT_EQ(full.Name(), "Update 5.1");
    EXPECT_EQ(full.Version(), "5.1.0");
    EXPECT_EQ(full.FileName(), "up51.msp");
    EXPECT_EQ(full.ProductCode(), "{P}");
    EXPECT_EQ(full.KillProcName(), "app.exe");
    EXPECT_EQ(full.DownloadPath(), "http://dl/up51.msp");
    EXPECT_TRUE(full.IsCompressed());
    EXPECT_TRUE(full.MustBePaid());
    EXPECT_EQ(full.CmdLine(), "/quiet  /norestart");
    EXPECT_EQ(full.MessageType(), aumtMSP);
    EXPECT_EQ(full.Destination(), "C:\\Temp\\x");
    EXPECT_EQ(full.LocalPath(), "");
    EXPECT_EQ(full.Agent(), agent.get());

    const AuMessage& bare = Message("bare");
    EXPECT_EQ(bare.Name(), "");
    EXPECT_EQ(bare.DownloadPath(), "");
    EXPECT_FALSE(bare.IsCompressed());
    EXPECT_FALSE(bare.MustBePaid());
    EXPECT_EQ(bare.MessageType(), aumtInfo);
    EXPECT_EQ(bare.Features().Count(), 0u);

    EXPECT_FALSE(Message("notCompressed").IsCompressed());
    EXPECT_EQ(Message("notCompressed").Destination(), "") << "read only for compressed packages";
    EXPECT_EQ(Message("blank").Name(), " ") << "text is taken untrimmed";
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
    ShowPage(R"(<Messages><Message id="p" type="msp"><Features>
      <Feature name="Unmarked"/>
      <Feature name="No" checked="no" mandatory="TRUE" allowUserSelection="Yes" type="Modified"/>
      <Feature name="Zero" checked="0" mandatory="2" type="MODIFIED"/>
      <Feature name="Odd" checked="vielleicht" type="new"/>
      <Feature name="Wahr" checked="False" mandatory="wahr" type="changed"/>
    </Features></Message></Messages>)");

    const auto& features = Message("p").Features();
    ASSERT_EQ(features.Count(), 5u);
    const char* order[] = {"Unmarked", "No", "Zero", "Odd", "Wahr"};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(features.Item(i)->Name(), order[i]);

    const AuFeature& unmarked = *features.Find("Unmarked");
    EXPECT_TRUE(unmarked.IsChecked()) << "an unmarked feature starts chosen";
    EXPECT_FALSE(unmarked.IsMandatory());
    EXPECT_FALSE(unmarked.AllowUserSelection());
    EXPECT_EQ(unmarked.FeatureType(), auftNewFeature);

    const AuFeature& no = *features.Find("No");
    EXPECT_FALSE(no.IsChecked());
    EXPECT_TRUE(no.IsMandatory());
    EXPECT_TRUE(no.AllowUserSelection());
    EXPECT_EQ(no.FeatureType(), auftModifiedFeature);
    EXPECT_TRUE(no.InstallState()) << "mandatory wins over unchecked";

    const AuFeature& zero = *features.Find("Zero");
    EXPECT_FALSE(zero.IsChecked());
    EXPECT_FALSE(zero.IsMandatory()) << "2 is no Boolean word";
    EXPECT_EQ(zero.FeatureType(), auftModifiedFeature);

    EXPECT_TRUE(features.Find("Odd")->IsChecked());
    EXPECT_EQ(features.Find("Odd")->FeatureType(), auftNewFeature);
    EXPECT_FALSE(features.Find("Wahr")->IsChecked());
    EXPECT_TRUE(features.Find("Wahr")->IsMandatory()) << "the platform's own word for True";
    EXPECT_EQ(features.Find("Wahr")->FeatureType(), auftNewFeature);
}

TEST_F(ReadIslandTest, KeysAreUniqueWithoutRegardToCaseAndOnlyTheDocumentedPlacesAreRead) {
    ShowPage(R"(<Root>
      <Message id="Upd-A" name="first">
        <Feature name="direct"/>
        <Features><Feature name="Core"/><Feature name="CORE" checked="no"/></Features>
        <Features><Feature name="Extra"/></Features>
        <Options><Features><Feature name="deep"/></Features></Options>
      </Message>
      <Message id="upd-a" name="second"/>
      <Message id="Äpfel" name="umlaut"/>
      <Message id="äPFEL" name="umlaut again"/>
      <Group><Message id="nested"/></Group>
    </Root>)");

    ASSERT_EQ(Messages().Count(), 2u);
    EXPECT_EQ(Messages().Item(0)->ID(), "Upd-A");
    EXPECT_EQ(Messages().Item(1)->ID(), "Äpfel");
    EXPECT_EQ(Message("UPD-A").Name(), "first");
    EXPECT_EQ(Message("upd-a").Name(), "first");
    EXPECT_EQ(Message("äpfel").Name(), "umlaut");
    EXPECT_EQ(Messages().Find("nested"), nullptr);

    const auto& features = Message("upd-a").Features();
    ASSERT_EQ(features.Count(), 2u);
    EXPECT_EQ(features.Item(0)->Name(), "Core");
    EXPECT_TRUE(features.Find("core")->IsChecked()) << "the first of a repeated name stays";
    EXPECT_EQ(features.Item(1)->Name(), "Extra");
    EXPECT_EQ(features.Find("direct"), nullptr);
    EXPECT_EQ(features.Find("deep"), nullptr);
}

TEST_F(ReadIslandTest, ReadingAgainAddsOnlyNewIdsAndKeepsFirstValues) {
    ShowPage(R"(<Messages><Message id="a" name="A1"/><Message id="b" name="B1"/></Messages>)");
    ASSERT_EQ(Messages().Count(), 2u);

    Browser()->Complete(PageId(), ServicePage(R"(<Messages><Message id="a" name="A1"/>
                                       <Message id="b" name="B1"/></Messages>)"));
    EXPECT_EQ(Messages().Count(), 2u);

    Browser()->Complete(PageId(), ServicePage(R"(<Messages><Message id="B" name="B2"/>
                                                <Message id="c" name="C1"/></Messages>)"));
    ASSERT_EQ(Messages().Count(), 3u);
    EXPECT_EQ(Message("b").Name(), "B1");
    EXPECT_EQ(Messages().Item(2)->ID(), "c");

    Browser()->Complete(PageId(), ServicePage("<Messages/>"));
    EXPECT_EQ(Messages().Count(), 3u);
}

} // namespace
} // namespace KDAutoUpdate
