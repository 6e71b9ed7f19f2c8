// Clicks on the service page: the three button kinds in any letter case, feature choosers,
// plain elements, and the close element that ends the window and, one tick later, the work.

#include "tests/messages_window/MessagesWindowFixture.h"
#include "tests/support/FakeDownloaderFactory.h"

namespace KDAutoUpdate {
namespace {

class PageClickTest : public MessagesWindowTest {
protected:
    static constexpr const char* kIsland = R"(<Messages>
      <Message id="Info-1" type="info" downloadPath="http://127.0.0.1/info.html"/>
      <Message id="Setup-2" type="exe" downloadPath="http://127.0.0.1/setup.exe"/>
      <Message id="Patch-3" type="msp" downloadPath="http://127.0.0.1/p.msp">
        <Features>
          <Feature name="Reports" checked="0"/>
          <Feature name="Core" mandatory="1" checked="0"/>
        </Features>
      </Message>
    </Messages>)";

    void SetUp() override { page = ShowPage(kIsland); }

    FakeBrowserControl::ElementPtr Button(const std::string& type, const std::string& message) {
        auto e = page->Add("", "button");
        e->Attr("auButtonType", type).Attr("forMessage", message);
        return e;
    }
    FakeBrowserControl::ElementPtr Chooser(const std::string& message, const std::string& feature,
                                           bool checked) {
        auto e = page->Add("", "input");
        e->Attr("AUBUTTONTYPE", "FeatureStateChooser")
            .Attr("forMessage", message)
            .Attr("forFeature", feature)
            .MakeCheckBox(checked);
        return e;
    }
    const AuFeature& Feature(const std::string& name) {
        return *Window()->Messages().Find("Patch-3")->Features().Find(name);
    }

    FakeBrowserControl::PagePtr page;
};

TEST_F(PageClickTest, ButtonsActOnTheNamedMessageInAnyCaseAndOtherClicksDoNothing) {
    EXPECT_FALSE(page->Click(Button("actionbutton", "nope")));
    EXPECT_FALSE(page->Click(page->Find("title"))) << "plain text";
    auto link = page->Add("", "a");
    link->Attr("href", "http://elsewhere/").Attr("forMessage", "Info-1");
    EXPECT_FALSE(page->Click(link)) << "a link without a button type does not navigate";
    EXPECT_FALSE(page->Click(Button("linkbutton", "Info-1")));
    auto checkBox = page->Add("", "input");
    checkBox->MakeCheckBox(false);
    EXPECT_FALSE(page->Click(checkBox));
    EXPECT_FALSE(checkBox->Checked()) << "a check box that is no chooser does not toggle";

    EXPECT_FALSE(page->Click(Button("ActionButton", "info-1")));
    EXPECT_FALSE(page->Click(Button("DOWNLOADBUTTON", "SETUP-2")));
    EXPECT_FALSE(page->Click(Button("downloadbutton", "Patch-3")));
    // An installable package does not go to the desktop's download.
    EXPECT_FALSE(page->Click(Button("actionbutton", "Setup-2")));
    EXPECT_EQ(desktop.Urls(),
              (std::vector<std::string>{"http://127.0.0.1/info.html", "http://127.0.0.1/setup.exe",
                                        "http://127.0.0.1/p.msp"}));
    EXPECT_TRUE(WindowLoaded());
}

// A message whose id is empty is no target of a button that names none.
TEST_F(PageClickTest, AButtonWithoutForMessageActsOnNoMessage) {
    page = ServicePage(R"(<Messages>
      <Message type="info" downloadPath="http://127.0.0.1/no-id.html">
        <Features><Feature name="Core" checked="0"/></Features>
      </Message>
    </Messages>)");
    Browser()->Complete(PageId(), page);
    ASSERT_NE(Window()->Messages().Find(""), nullptr);
    for (const char* type : {"actionbutton", "downloadbutton"}) {
        auto button = page->Add("", "button");
        button->Attr("auButtonType", type);
        EXPECT_FALSE(page->Click(button)) << type;
    }
    auto chooser = page->Add("", "input");
    chooser->Attr("auButtonType", "featurestatechooser").Attr("forFeature", "Core");
    chooser->MakeCheckBox(false);
    EXPECT_TRUE(page->Click(chooser));
    EXPECT_FALSE(Window()->Messages().Find("")->Features().Find("Core")->IsChecked());
    EXPECT_TRUE(desktop.Urls().empty());

    // Named as empty, it is the message with the empty id.
    EXPECT_FALSE(page->Click(Button("downloadbutton", "")));
    EXPECT_EQ(desktop.Urls(), std::vector<std::string>{"http://127.0.0.1/no-id.html"});
}

// A double click reaches the page while the first click's download dialog is up: the second
// click starts nothing; once the first is done, the button works again.
TEST_F(PageClickTest, AClickWhileAButtonsWorkRunsStartsNothing) {
    FakeDownloaderFactory downloads{tp.loop()};
    tp.platform().downloads = &downloads;
    downloads.OnBegin([](FakeDownloader& d) { d.Fail(10); });
    auto setup = Button("actionbutton", "Setup-2");
    std::vector<bool> nested;
    renderer.QueueModalAction("dlgDownload", [&](ScriptedView&) {
        nested.push_back(page->Click(setup));
        nested.push_back(page->Click(Button("downloadbutton", "Info-1")));
    });
    EXPECT_FALSE(page->Click(setup));
    EXPECT_EQ(nested, (std::vector<bool>{false, false}));
    EXPECT_EQ(downloads.Log().begins.size(), 1u);
    EXPECT_TRUE(desktop.Urls().empty());

    EXPECT_FALSE(page->Click(Button("downloadbutton", "Info-1")));
    EXPECT_EQ(desktop.Urls().size(), 1u);
    tp.platform().downloads = nullptr;
}

TEST_F(PageClickTest, AFeatureChooserSetsTheChoiceFromTheCheckBoxAndKeepsItsState) {
    ASSERT_FALSE(Feature("Reports").IsChecked());
    auto reports = Chooser("PATCH-3", "reports", false);
    EXPECT_TRUE(page->Click(reports));
    EXPECT_TRUE(reports->Checked());
    EXPECT_TRUE(Feature("Reports").IsChecked());
    EXPECT_TRUE(Feature("Reports").InstallState());
    EXPECT_TRUE(page->Click(reports));
    EXPECT_FALSE(Feature("Reports").IsChecked());
    EXPECT_FALSE(Feature("Reports").InstallState());

    auto core = Chooser("Patch-3", "Core", true);
    EXPECT_TRUE(page->Click(core));
    EXPECT_FALSE(Feature("Core").IsChecked());
    EXPECT_TRUE(Feature("Core").InstallState()) << "a mandatory feature is installed anyway";

    // Unknown feature or message: the box toggles, no record changes.
    auto unknownFeature = Chooser("Patch-3", "Nothing", false);
    EXPECT_TRUE(page->Click(unknownFeature));
    EXPECT_TRUE(unknownFeature->Checked());
    EXPECT_TRUE(page->Click(Chooser("Gone", "Reports", true)));
    EXPECT_FALSE(Feature("Reports").IsChecked());
    EXPECT_FALSE(Feature("Core").IsChecked());
}

TEST_F(PageClickTest, TheCloseElementUnloadsAndTheAgentCompletesAtTheNextIdleTick) {
    tp.loop().Advance(500);
    FakeBrowserControl* browser = Browser();
    const std::weak_ptr<void> lifetime = browser->Lifetime();
    const auto close = page->Find("cmdClose");
    close->Attr("auButtonType", "actionbutton").Attr("forMessage", "Info-1");

    EXPECT_FALSE(page->Click(close));
    EXPECT_FALSE(WindowLoaded());
    EXPECT_FALSE(tp.loadedForms().Contains("frmMessages"));
    EXPECT_TRUE(desktop.Urls().empty()) << "the page's own handler sees the closed window";
    EXPECT_FALSE(agent->IsProcessing());
    EXPECT_EQ(Window()->Messages().Count(), 0u) << "the records went with the window";
    EXPECT_EQ(Window()->Browser(), nullptr);

    tp.loop().Advance(1500);
    EXPECT_TRUE(lifetime.expired()) << "the control is released after the click";
    EXPECT_EQ(host.processCompleted, 1);

    EXPECT_FALSE(page->Click(Button("downloadbutton", "Info-1")));
    EXPECT_TRUE(desktop.Urls().empty());
}

} // namespace
} // namespace KDAutoUpdate
