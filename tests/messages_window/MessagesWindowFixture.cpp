#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {

MessagesWindowTest::MessagesWindowTest()
    : renderer(tp.loop(), [] { return std::make_unique<FakeBrowserControl>(); }) {
    tp.platform().forms = &renderer;
    tp.platform().desktop = &desktop;
    agent = std::make_unique<AuAgent>(tp.platform(), &host);
    agent->SetBaseURL(kBaseURL);
    agent->SetProductCode(kProductCode);
}

MessagesWindowTest::~MessagesWindowTest() {
    agent.reset();
    // Let posted releases (views, browser controls) run while the platform still exists.
    tp.loop().ProcessPendingEvents();
}

FakeBrowserControl* MessagesWindowTest::Browser() const {
    frmMessages* window = Window();
    return window ? dynamic_cast<FakeBrowserControl*>(window->Browser()) : nullptr;
}

void MessagesWindowTest::Open() {
    const Outcome<> outcome = agent->DisplayMessages();
    ASSERT_TRUE(outcome.ok()) << outcome.error().description;
    ASSERT_TRUE(WindowLoaded());
    ASSERT_NE(Browser(), nullptr);
}

FakeBrowserControl::PagePtr MessagesWindowTest::CompleteProgress() {
    progressPage = std::make_shared<FakeBrowserControl::Page>(ResUrl("AuProgress.html"));
    progressPage->Add("lblProgress", "div")->SetInnerHTML("");
    progressPage->Add("imgProgress", "img");
    Browser()->Complete(ProgressId(), progressPage);
    return progressPage;
}

FakeBrowserControl::PagePtr MessagesWindowTest::ServicePage(const std::string& islandXml,
                                                            bool wrapped) {
    auto page =
        std::make_shared<FakeBrowserControl::Page>(std::string(kBaseURL) + "/InitUpdate.aspx");
    page->Add("title", "h1")->SetInnerHTML("Updates");
    page->Add("KdAutoUpdate", "xml")
        ->SetRawSource(wrapped ? "<xml id=\"KdAutoUpdate\">\n" + islandXml + "\n</xml>"
                               : islandXml);
    page->Add("cmdClose", "button");
    return page;
}

FakeBrowserControl::PagePtr MessagesWindowTest::ShowPage(const std::string& islandXml,
                                                         bool wrapped) {
    Open();
    CompleteProgress();
    auto page = ServicePage(islandXml, wrapped);
    Browser()->Complete(PageId(), page);
    return page;
}

std::string MessagesWindowTest::ResUrl(const std::string& name) {
    return "res://" + tp.utility().ResourceUrlPath(tp.resources().ResourceFilePath()) + "/" + name;
}

} // namespace KDAutoUpdate
