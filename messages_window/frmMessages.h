#pragma once
// The messages window: a progress page while the service page loads in a second browser, then
// the service page, whose data island becomes AuMessage records and whose buttons act on them.
// Modeless; the agent learns that it closed through its idle watch.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/AgentPtr.h"
#include "common/AutomationError.h"
#include "common/Form.h"
#include "deploy/AuMessage.h"
#include "deploy/KeyedCollection.h"
#include "platform/BrowserControl.h"
#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class frmMessages : public Form, public IBrowserEvents {
public:
    explicit frmMessages(Platform& platform);
    ~frmMessages() override;

    static FormDef Definition();
    // Loads the thread's default instance (made when missing) and calls Init on it; unloads it
    // again when a component failed meanwhile (ComponentError).
    static void Open(const AgentPtr& lAgentPtr);
    // The thread's default instance (what Open shows).
    static std::unique_ptr<frmMessages>& Instance();

    // Called once right after loading: shows the progress page and the window.
    void Init(const AgentPtr& lAgentPtr);
    IAgent* Agent() const;

    // State for the shell and the tests.
    const KeyedCollection<AuMessage>& Messages() const;
    IBrowserControl* Browser() const { return m_browser.get(); }
    short PageBrowser() const { return m_iPageBrowser; }
    short ProgressBrowser() const { return m_iProgressBrowser; }
    // The island error recorded since the window was loaded, if a page's island could not be
    // read; recorded only, never reported to the agent or the host.
    const std::optional<AutomationError>& LastError() const { return m_lastError; }
    // The first failure of the resource or utility library while the window loaded or ran
    // Init; DisplayMessages reports it to the host.
    const std::optional<AutomationError>& ComponentError() const { return m_componentError; }

    // IBrowserEvents.
    void DocumentComplete(short id, const std::string& url) override;
    void NavigateError(short id, const std::string& url, long statusCode, bool& cancel) override;
    void ShowMessage(short id, const std::string& text, const std::string& caption,
                     bool& handled) override;
    void NewWindow3(short id, bool& cancel, const std::string& url) override;
    void TranslateAccelerator(short id, int keyCode, int modifiers, bool& handled) override;

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void Form_Resize() override;
    void Control_Resize(const std::string& control) override;
    void Control_Click(const std::string&, int) override {}

private:
    // Resolves the form behind a handler registered with a page, or null once it has gone.
    using Guard = std::shared_ptr<frmMessages*>;

    void InitBrowser();
    void ShowProgress(const std::optional<std::string>& sText, bool bStop);
    void ProgressDocumentComplete();
    void PageDocumentComplete();
    void BindDocument(const HtmlDocumentPtr& doc);
    void BindCloseElement(const HtmlElementPtr& element);
    bool ParseIsland(const HtmlDocumentPtr& doc);
    void RecordIslandError();
    void ReadIsland();
    std::string ResourceUrl(const std::string& name) const;
    // The resource URL of the progress page; a missing library is a component error.
    std::optional<std::string> ProgressPageUrl();
    void RecordComponentError(const std::string& description);
    void ReleaseBrowser();

    // Page clicks: the answer keeps (true) or cancels (false) the click's default action.
    bool m_oDoc_onclick(const HtmlElementPtr& source);
    bool elClose_onclick();

    short m_iPageBrowser = 0;
    short m_iProgressBrowser = 0;
    AgentPtr m_lAgentPtr;
    HtmlElementPtr m_elFeatureChooser;
    // True while a button's deployment or download runs: its dialogs are modal to the user,
    // yet a page may still deliver a second click (a double click), which must not start the
    // same work inside the first. Shared, so the handler can clear it when the window went.
    std::shared_ptr<bool> m_buttonRunning = std::make_shared<bool>(false);
    std::unique_ptr<IXmlDocument> m_xmlIsland;
    // Read from the island with it, until ReadIsland adds them to the collection.
    std::vector<std::unique_ptr<AuMessage>> m_islandMessages;
    // Shared so that a click handler running a deployment keeps the records it works on
    // alive even when the window unloads meanwhile.
    std::shared_ptr<KeyedCollection<AuMessage>> m_colMessages;
    HtmlDocumentPtr m_oDoc;
    HtmlElementPtr elClose;
    // Shared so that every callback of the control can hold it alive until it returns, even
    // when the window unloads (or ends) meanwhile.
    std::shared_ptr<IBrowserControl> m_browser;
    std::optional<AutomationError> m_lastError;
    std::optional<AutomationError> m_componentError;
    Guard m_self;
};

} // namespace KDAutoUpdate
