#include "frmMessages.h"

#include "common/IAgent.h"
#include "common/modMain.h"
#include "platform/EventLoop.h"
#include "platform/ResourceLibrary.h"
#include "platform/UtilityLibrary.h"

namespace KDAutoUpdate {

namespace {
// DOCHOSTUIFLAG DIALOG | ACTIVATE_CLIENTHIT_ONLY | THEME.
constexpr long kHostUIFlags = 0x40201;
constexpr double kMargin = 60;
constexpr const char* kWaitingText =
    "Keldra Update Service sucht nach Updates... Einen Moment bitte...";
constexpr const char* kServerErrorText =
    "Der Keldra Update Server ist momentan entweder nicht erreichbar oder kann die Anfrage "
    "nicht erfüllen. Fehlercode: <b>";
constexpr int kKeyEscape = 27;
constexpr int kKeyF5 = 116;
constexpr int kKeyF11 = 122;

// Keeps what a callback is delivered by (the control, a page, an element) alive while it runs.
// Should the window have let go of it meanwhile, the last reference goes to the loop instead
// of being dropped here: the caller still runs its own code once the callback returns.
template <class T> class KeepUntilReturned {
public:
    KeepUntilReturned(std::shared_ptr<T> object, IEventLoop* loop)
        : m_object(std::move(object)), m_loop(loop) {}
    ~KeepUntilReturned() {
        if (m_object && m_object.use_count() == 1 && m_loop)
            m_loop->Post([object = std::move(m_object)] {});
    }
    KeepUntilReturned(const KeepUntilReturned&) = delete;
    KeepUntilReturned& operator=(const KeepUntilReturned&) = delete;

private:
    std::shared_ptr<T> m_object;
    IEventLoop* m_loop;
};
} // namespace

frmMessages::frmMessages(Platform& platform)
    : Form(platform, Definition()), m_self(std::make_shared<frmMessages*>(this)) {}

frmMessages::~frmMessages() {
    // Handlers still registered with pages or the control now resolve to nothing.
    *m_self = nullptr;
    ReleaseBrowser();
}

FormDef frmMessages::Definition() {
    FormDef def;
    def.name = "frmMessages";
    def.caption = "Keldra Update Service";
    def.clientWidth = 10425;
    def.clientHeight = 6405;
    def.border = BorderStyle::Sizable;
    def.showInTaskbar = true;
    def.minButton = true;
    def.maxButton = false;
    def.startUp = StartUpPosition::CenterScreen;
    def.fontName = "Tahoma";
    def.fontSize = 8.25;
    def.controls = {
        {"picMain", ControlKind::PictureBox, 60, 60, 10305, 6285, "", false, false, -1, "", 0},
        {"WBC", ControlKind::Browser, 0, 0, 10305, 6285, "", false, false, -1, "picMain", 0},
    };
    return def;
}

std::unique_ptr<frmMessages>& frmMessages::Instance() {
    thread_local std::unique_ptr<frmMessages> instance;
    return instance;
}

void frmMessages::Open(const AgentPtr& lAgentPtr) {
    IAgent* agent = ObjectFromPtr(lAgentPtr);
    if (!agent)
        return;
    auto& instance = Instance();
    // An unloaded instance left by an agent on another platform is of no use here.
    if (instance && !instance->IsLoaded() && &instance->GetPlatform() != &agent->GetPlatform())
        instance.reset();
    if (!instance)
        instance = std::make_unique<frmMessages>(agent->GetPlatform());
    if (!instance->Load())
        return;
    instance->Init(lAgentPtr);
    // A window that cannot show its pages would only keep the agent busy.
    if (instance->ComponentError())
        instance->Unload();
}

IAgent* frmMessages::Agent() const {
    return ObjectFromPtr(m_lAgentPtr);
}

const KeyedCollection<AuMessage>& frmMessages::Messages() const {
    static const KeyedCollection<AuMessage> kNone;
    return m_colMessages ? *m_colMessages : kNone;
}

void frmMessages::Form_Load() {
    m_lastError.reset();
    m_componentError.reset();
    IResourceLibrary* res = GetPlatform().resources;
    if (PicturePtr icon = res ? res->LoadResourcePicture("AAA", 16, 1, 0, 0, 0) : nullptr) {
        if (View())
            View()->SetWindowIcon(icon);
    } else {
        RecordComponentError("The resource library has no icon 'AAA'.");
    }
    m_colMessages = std::make_shared<KeyedCollection<AuMessage>>();
    InitBrowser();
}

void frmMessages::InitBrowser() {
    if (!View())
        return;
    m_browser = std::shared_ptr<IBrowserControl>(View()->CreateBrowser("picMain"));
    if (!m_browser) {
        // As a missing outside control fails the window's load: the caller hears of it.
        RecordComponentError("The browser control could not be created.");
        return;
    }
    m_browser->SetEvents(this);
    m_browser->SetHostUIFlags(kHostUIFlags);
    m_browser->AddBrowser(m_iPageBrowser);
    m_browser->AddBrowser(m_iProgressBrowser);
    m_browser->ShowBrowser(m_iProgressBrowser);
    // The control fills picMain from the start, as it does after every resize.
    Control_Resize("picMain");
}

void frmMessages::Init(const AgentPtr& lAgentPtr) {
    m_lAgentPtr = lAgentPtr;
    const std::optional<std::string> progressPage = ProgressPageUrl();
    // A window without its pages is not shown: the caller hears of the failure instead.
    if (m_componentError)
        return;
    if (m_browser) {
        m_browser->Navigate(m_iProgressBrowser, *progressPage);
        m_browser->ShowBrowser(m_iProgressBrowser);
    }
    // The host's window owns this one only while it is being shown.
    IAgent* agent = Agent();
    IFormView* view = View();
    if (!view)
        return;
    const WindowHandle owner = agent ? agent->hwndOwner() : 0;
    const WindowHandle previous = view->SetOwner(owner);
    ShowModeless(owner);
    if (View())
        View()->SetOwner(previous);
}

std::string frmMessages::ResourceUrl(const std::string& name) const {
    std::string path;
    IResourceLibrary* res = GetPlatform().resources;
    IUtilityLibrary* utility = GetPlatform().utility;
    if (res && utility)
        path = utility->ResourceUrlPath(res->ResourceFilePath());
    return "res://" + path + "/" + name;
}

std::optional<std::string> frmMessages::ProgressPageUrl() {
    IResourceLibrary* res = GetPlatform().resources;
    if (!res || !res->IsOpen()) {
        RecordComponentError("The resource library is not open.");
        return std::nullopt;
    }
    if (!GetPlatform().utility) {
        RecordComponentError("The utility library is not available.");
        return std::nullopt;
    }
    return ResourceUrl("AuProgress.html");
}

void frmMessages::RecordComponentError(const std::string& description) {
    if (!m_componentError)
        m_componentError =
            AutomationError{kObjectErrorBase + 6, "AuAgent.DisplayMessages", description};
}

void frmMessages::ShowProgress(const std::optional<std::string>& sText, bool bStop) {
    // Stops at the first missing piece, as a failing statement ends it.
    if (!m_browser)
        return;
    const HtmlDocumentPtr doc = m_browser->Document(m_iProgressBrowser);
    if (!doc)
        return;
    const HtmlElementPtr label = doc->GetElementById("lblProgress");
    if (sText) {
        if (!label)
            return;
        label->SetInnerHTML(*sText);
    }
    const HtmlElementPtr image = doc->GetElementById("imgProgress");
    if (!image)
        return;
    image->SetAttribute("src", ResourceUrl(bStop ? "aniProgressStop.gif" : "aniProgress.gif"));
    if (!label)
        return;
    label->SetStyleColor(bStop ? "#FF0000" : "#000000");
}

void frmMessages::DocumentComplete(short id, const std::string&) {
    const KeepUntilReturned<IBrowserControl> keep(m_browser, GetPlatform().loop);
    if (!m_browser)
        return;
    if (id == m_iProgressBrowser)
        ProgressDocumentComplete();
    else if (id == m_iPageBrowser)
        PageDocumentComplete();
}

void frmMessages::ProgressDocumentComplete() {
    ShowProgress(std::string(kWaitingText), false);
    const std::weak_ptr<frmMessages*> self = m_self;
    DoEvents();
    // Pending events may have closed the window or ended the agent.
    if (self.expired() || !*self.lock() || !m_browser)
        return;
    IAgent* agent = Agent();
    if (!agent)
        return;
    m_browser->Navigate(m_iPageBrowser,
                        agent->BaseURL() + "/InitUpdate.aspx" + agent->BuildQueryString(""));
}

void frmMessages::PageDocumentComplete() {
    const HtmlDocumentPtr doc = m_browser->Document(m_iPageBrowser);
    if (!doc) {
        m_oDoc.reset();
        return;
    }
    BindDocument(doc);
    if (!ParseIsland(doc)) {
        // The progress page stays in front; earlier records stay as they were.
        RecordIslandError();
        return;
    }
    BindCloseElement(doc->GetElementById("cmdClose"));
    ReadIsland();
    m_browser->ShowBrowser(m_iPageBrowser);
    m_browser->LockPainting(false);
    DoEvents();
}

void frmMessages::BindDocument(const HtmlDocumentPtr& doc) {
    m_oDoc = doc;
    // A handler outlives neither the form nor the binding: it checks both before it acts.
    const std::weak_ptr<frmMessages*> guard = m_self;
    const IHtmlDocument* bound = doc.get();
    doc->SetOnClick([guard, bound](const HtmlElementPtr& source) {
        const Guard self = guard.lock();
        frmMessages* form = self ? *self : nullptr;
        if (!form || form->m_oDoc.get() != bound)
            return false;
        // Neither the page nor its control may go while the click is being handled.
        IEventLoop* loop = form->GetPlatform().loop;
        const KeepUntilReturned<IBrowserControl> keepBrowser(form->m_browser, loop);
        const KeepUntilReturned<IHtmlDocument> keepDocument(form->m_oDoc, loop);
        return form->m_oDoc_onclick(source);
    });
}

void frmMessages::BindCloseElement(const HtmlElementPtr& element) {
    elClose = element;
    if (!element)
        return;
    const std::weak_ptr<frmMessages*> guard = m_self;
    const IHtmlElement* bound = element.get();
    element->SetOnClick([guard, bound] {
        const Guard self = guard.lock();
        frmMessages* form = self ? *self : nullptr;
        if (!form || form->elClose.get() != bound)
            return false;
        IEventLoop* loop = form->GetPlatform().loop;
        const KeepUntilReturned<IBrowserControl> keepBrowser(form->m_browser, loop);
        const KeepUntilReturned<IHtmlDocument> keepDocument(form->m_oDoc, loop);
        const KeepUntilReturned<IHtmlElement> keepElement(form->elClose, loop);
        return form->elClose_onclick();
    });
}

void frmMessages::NavigateError(short id, const std::string&, long statusCode, bool&) {
    const KeepUntilReturned<IBrowserControl> keep(m_browser, GetPlatform().loop);
    if (!m_browser || id != m_iPageBrowser)
        return;
    ShowProgress(kServerErrorText + std::to_string(statusCode) + "</b>.", true);
    DoEvents();
}

void frmMessages::ShowMessage(short, const std::string&, const std::string&, bool& handled) {
    handled = true;
}

void frmMessages::NewWindow3(short, bool& cancel, const std::string&) {
    cancel = false;
}

void frmMessages::TranslateAccelerator(short, int keyCode, int modifiers, bool& handled) {
    // No reload, full screen, stop, nor any Shift, Ctrl or Alt combination in either browser.
    if (modifiers > 0 || keyCode == kKeyEscape || keyCode == kKeyF5 || keyCode == kKeyF11)
        handled = true;
}

void frmMessages::Form_Resize() {
    IFormView* view = View();
    if (!view)
        return;
    const TwipRect client = view->ClientSize();
    const double width = client.width - 2 * kMargin;
    const double height = client.height - 2 * kMargin;
    // A window smaller than the margins leaves picMain where it was.
    if (width < 0 || height < 0)
        return;
    view->MoveControl("picMain", TwipRect{kMargin, kMargin, width, height});
}

void frmMessages::Control_Resize(const std::string& control) {
    if (control != "picMain" || !m_browser || !View())
        return;
    m_browser->LockPainting(true);
    const TwipRect inner = View()->ControlClientSize("picMain");
    if (inner.width >= 0 && inner.height >= 0)
        m_browser->Move(TwipRect{0, 0, inner.width, inner.height});
    m_browser->LockPainting(false);
}

void frmMessages::Form_Unload() {
    // No browser event may reach the form from here on.
    if (m_browser)
        m_browser->SetEvents(nullptr);
    m_colMessages.reset();
    m_xmlIsland.reset();
    elClose.reset();
    m_elFeatureChooser.reset();
    m_oDoc.reset();
    ReleaseBrowser();
}

void frmMessages::ReleaseBrowser() {
    if (!m_browser)
        return;
    m_browser->SetEvents(nullptr);
    // The control may be delivering the event that led here: a callback on the stack holds
    // its own reference, and the last one goes from the loop, after the current event.
    if (IEventLoop* loop = GetPlatform().loop) {
        std::shared_ptr<IBrowserControl> doomed = std::move(m_browser);
        loop->Post([doomed] {});
    }
    m_browser.reset();
}

} // namespace KDAutoUpdate
