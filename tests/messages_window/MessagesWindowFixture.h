#pragma once
// An agent on the test platform with the scripted renderer and fake browsers: the messages
// window runs for real, and the test plays the pages and the user.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "platform/Desktop.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/FakeBrowserControl.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {

class MessagesWindowTest : public ::testing::Test {
protected:
    static constexpr const char* kProductCode = "{5E1B8A44-1D2C-4F00-9A11-0123456789AB}";
    static constexpr const char* kBaseURL = "http://127.0.0.1:8089/services/autoupdate";
    static constexpr const char* kWaitingText =
        "Keldra Update Service sucht nach Updates... Einen Moment bitte...";

    MessagesWindowTest()
        : renderer(tp.loop(), [] { return std::make_unique<FakeBrowserControl>(); }) {
        tp.platform().forms = &renderer;
        tp.platform().desktop = &desktop;
        agent = std::make_unique<AuAgent>(tp.platform(), &host);
        agent->SetBaseURL(kBaseURL);
        agent->SetProductCode(kProductCode);
    }
    ~MessagesWindowTest() override {
        agent.reset();
        // Let posted releases (views, browser controls) run while the platform still exists.
        tp.loop().ProcessPendingEvents();
    }

    frmMessages* Window() const { return FormInstances::ForThread().messages.get(); }
    bool WindowLoaded() const { return Window() && Window()->IsLoaded(); }
    ScriptedView* View() const { return renderer.Find("frmMessages"); }
    // The fake behind the open window's browser control, or null.
    FakeBrowserControl* Browser() const {
        return Window() ? dynamic_cast<FakeBrowserControl*>(Window()->Browser()) : nullptr;
    }
    short PageId() const { return Window()->PageBrowser(); }
    short ProgressId() const { return Window()->ProgressBrowser(); }

    // DisplayMessages, which must succeed.
    void Open() {
        const Outcome<> outcome = agent->DisplayMessages();
        ASSERT_TRUE(outcome.ok()) << outcome.error().description;
        ASSERT_TRUE(WindowLoaded());
        ASSERT_NE(Browser(), nullptr);
    }
    // The progress page as the resource library holds it, reported complete.
    FakeBrowserControl::PagePtr CompleteProgress() {
        progressPage = std::make_shared<FakeBrowserControl::Page>(ResUrl("AuProgress.html"));
        progressPage->Add("lblProgress", "div")->SetInnerHTML("");
        progressPage->Add("imgProgress", "img");
        Browser()->Complete(ProgressId(), progressPage);
        return progressPage;
    }
    // A service page with a close element whose island holds `islandXml` (wrapped in the HTML
    // island element when `wrapped`).
    static FakeBrowserControl::PagePtr ServicePage(const std::string& islandXml,
                                                   bool wrapped = false) {
        auto page =
            std::make_shared<FakeBrowserControl::Page>(std::string(kBaseURL) + "/InitUpdate.aspx");
        page->Add("title", "h1")->SetInnerHTML("Updates");
        page->Add("KdAutoUpdate", "xml")
            ->SetRawSource(wrapped ? "<xml id=\"KdAutoUpdate\">\n" + islandXml + "\n</xml>"
                                   : islandXml);
        page->Add("cmdClose", "button");
        return page;
    }
    // Open, complete the progress page and then the service page of ServicePage().
    FakeBrowserControl::PagePtr ShowPage(const std::string& islandXml, bool wrapped = false) {
        Open();
        CompleteProgress();
        auto page = ServicePage(islandXml, wrapped);
        Browser()->Complete(PageId(), page);
        return page;
    }

    std::string ResUrl(const std::string& name) {
        return "res://" + tp.utility().ResourceUrlPath(tp.resources().ResourceFilePath()) + "/" +
               name;
    }
    std::string Attribute(const std::string& name) { return agent->GetProductAttribute(name); }

    TestPlatform tp;
    ScriptedRenderer renderer;
    RecordingDesktop desktop;
    RecordingHost host;
    std::unique_ptr<AuAgent> agent;
    FakeBrowserControl::PagePtr progressPage;
};

} // namespace KDAutoUpdate
