#include "platform/qt/QtWebBrowserControl.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStackedWidget>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <limits>
#include <new>

#include "platform/Desktop.h"
#include "platform/headless/MarkupBounds.h"
#include "platform/headless/PageEncoding.h"
#include "platform/qt/QtBrowserKeys.h"
#include "platform/qt/QtBrowserProfile.h"
#include "platform/qt/QtEngineSwitches.h"
#include "platform/qt/QtPageBody.h"
#include "platform/qt/QtPageSchemeHandler.h"
#include "platform/qt/QtResSchemeHandler.h"
#include "platform/qt/QtTwips.h"
#include "platform/qt/QtWebPage.h"

namespace KDAutoUpdate {

namespace {

// Pages reach the engine as UTF-8 text, whatever encoding they came in.
constexpr const char* kHtmlUtf8 = "text/html;charset=UTF-8";
// Chromium's net error of an aborted load (ERR_ABORTED): the code of a load the engine stops.
constexpr int kErrorAborted = -3;

} // namespace

void QtWebBrowserControl::RegisterSchemes() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QWebEngineUrlScheme res(QtResSchemeHandler::kScheme);
    res.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Only local pages may use the library: a page from the network cannot reach it.
    res.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(res);
    QWebEngineUrlScheme page(QtPageSchemeHandler::kScheme);
    page.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(page);
    // The engine takes schemes until it starts, and reads its switches when it starts: if it
    // took these, the switches still count.
    if (QWebEngineUrlScheme::schemeByName(QtResSchemeHandler::kScheme).name() ==
        QtResSchemeHandler::kScheme)
        QtEngineSwitches::ApplyUnlessSet();
}

QtWebBrowserControl::QtWebBrowserControl(QWidget* container, IHttpFetcher& http,
                                         IResourceLibrary* resources, IEventLoop& loop)
    : m_container(container), m_fetcher(http, loop), m_resources(resources), m_loop(loop),
      m_keys(std::make_unique<QtBrowserKeys>(
          [this](short id, int keyCode, int modifiers, bool& handled) {
              if (m_events)
                  m_events->TranslateAccelerator(id, keyCode, modifiers, handled);
          })) {
    m_stack = new QStackedWidget(container);
    if (container) {
        m_stack->setGeometry(container->rect());
        container->installEventFilter(this);
    }
    m_stack->show();
    // The schemes go in before the first profile starts the engine, if no one put them in yet.
    RegisterSchemes();
    // The process's profile, kept in memory: nothing of the pages is written to disk, and
    // the controls share its renderer.
    QtBrowserProfile& shared = QtBrowserProfile::Get();
    m_profile = shared.Profile();
    m_resHandler = &shared.Resources();
    m_pageHandler = &shared.Pages();
    m_resHandler->Attach(resources);
}

QtWebBrowserControl::~QtWebBrowserControl() {
    // First silence the callbacks, then stop what is still on the wire.
    m_alive.reset();
    for (auto& [id, browser] : m_browsers) {
        browser.fetch.StopQuietly();
        if (browser.document)
            browser.document->Detach();
        if (browser.page)
            browser.page->disconnect(this);
    }
    if (m_container)
        m_container->removeEventFilter(this);
    if (m_resHandler)
        m_resHandler->Detach(m_resources);
    // The in-memory bodies are the shared handler's: this control's go with it.
    for (auto& [id, browser] : m_browsers) {
        DropInternalPage(browser.internalPage);
        if (browser.load)
            DropInternalPage(browser.load->internalPage);
    }
    // One page keeps the renderer for a next window while the profile holds it.
    for (auto& [id, browser] : m_browsers)
        if (browser.page) {
            QtBrowserProfile::Get().Retire(browser.page);
            break;
        }
    // The control may go while one of its widgets delivers an event: the widgets go from the
    // loop.
    if (m_stack) {
        m_stack->hide();
        m_stack->setParent(nullptr);
        m_stack->deleteLater();
    }
}

bool QtWebBrowserControl::AddBrowser(short& id) {
    if (m_nextId == std::numeric_limits<short>::max() || !m_stack || !m_profile)
        return false;
    auto* view = new QWebEngineView(m_stack);
    // No menu: it would offer reload and history, which the window keeps from the user.
    view->setContextMenuPolicy(Qt::NoContextMenu);
    auto* page = new QtWebPage(m_profile, view);
    view->setPage(page);
    m_stack->addWidget(view);
    id = m_nextId++;
    Browser& browser = m_browsers[id];
    browser.view = view;
    browser.page = page;
    ConnectPage(id, page);
    m_keys->Watch(id, view);
    return true;
}

void QtWebBrowserControl::SetHostUIFlags(long flags) {
    m_hostUIFlags = flags;
    for (auto& [id, browser] : m_browsers)
        if (browser.page)
            browser.page->SetHostFlags(flags);
}

void QtWebBrowserControl::ReplacePage(short id, Browser& browser) {
    browser.pageSpent = false;
    if (!browser.view || !m_profile)
        return;
    // The old page goes from the loop: it may be delivering the event that led here.
    if (QtWebPage* old = browser.page) {
        old->disconnect(this);
        old->setParent(nullptr);
        old->deleteLater();
    }
    auto* page = new QtWebPage(m_profile, browser.view);
    browser.view->setPage(page);
    browser.page = page;
    ConnectPage(id, page);
}

void QtWebBrowserControl::ConnectPage(short id, QtWebPage* page) {
    page->SetHostFlags(m_hostUIFlags);
    connect(page, &QWebEnginePage::loadingChanged, this,
            [this, id](const QWebEngineLoadingInfo& info) { OnLoadingChanged(id, info); });
    connect(page, &QWebEnginePage::newWindowRequested, this,
            [this, id](QWebEngineNewWindowRequest& request) { OnNewWindow(id, request); });
    connect(page, &QtWebPage::scriptDialog, this,
            [this, id](const QString& text) { OnScriptDialog(id, text); });
    connect(page, &QtWebPage::clickReported, this,
            [this, id](const QString& json) { OnClickReported(id, json); });
    connect(page, &QtWebPage::pageNavigation, this, [this, id](const QUrl& url) {
        // The engine winds the refused navigation down in the renderer for a while and may end
        // a load started meanwhile with it: the next load goes to a fresh page.
        if (Browser* browser = FindBrowser(id))
            browser->pageSpent = true;
        const std::weak_ptr<int> alive = m_alive;
        const std::string target = url.toString(QUrl::FullyEncoded).toStdString();
        m_loop.Post([this, alive, id, target] {
            if (!alive.expired())
                Navigate(id, target);
        });
    });
}

bool QtWebBrowserControl::Navigate(short id, const std::string& url) {
    Browser* browser = FindBrowser(id);
    if (!browser || !browser->page)
        return false;
    if (browser->pageSpent)
        ReplacePage(id, *browser);
    const std::uint64_t navigation = ++browser->navigation;
    browser->navigating = true;
    browser->foreignLoad = false;
    if (browser->load) {
        DropInternalPage(browser->load->internalPage);
        browser->load.reset();
    }
    const std::weak_ptr<int> alive = m_alive;
    try {
        // The superseded load is stopped; its answer carries an old number and is dropped.
        browser->fetch.Stop();
        if (alive.expired())
            return false;
        browser = FindBrowser(id);
        if (!browser || browser->navigation != navigation)
            return true;

        const std::string scheme = UrlScheme(url);
        if (scheme == "http" || scheme == "https") {
            auto request =
                m_fetcher.Get(url, [this, alive, id, navigation, url](const HttpResult& result) {
                    if (!alive.expired())
                        OnHttpDone(id, navigation, url, result);
                });
            if (Browser* current = FindBrowser(id);
                current && current->navigation == navigation && current->navigating)
                current->fetch = {std::move(request), true};
        } else {
            m_loop.Post([this, alive, id, navigation, url] {
                if (!alive.expired())
                    LoadLocal(id, navigation, url);
            });
        }
        return true;
    } catch (...) {
        if (alive.expired())
            return false;
        if (Browser* current = FindBrowser(id); current && current->navigation == navigation)
            current->navigating = false;
        return false;
    }
}

void QtWebBrowserControl::OnHttpDone(short id, std::uint64_t navigation, const std::string& url,
                                     const HttpResult& result) {
    Browser* browser = FindBrowser(id);
    if (!browser || browser->navigation != navigation || !browser->navigating)
        return;
    browser->fetch = {};
    const PageFetcher::Page page = PageFetcher::Read(result, url);
    if (page.failure != 0)
        Fail(id, navigation, url, page.failure);
    else
        ShowBody(id, navigation, page.url, page.text);
}

void QtWebBrowserControl::LoadLocal(short id, std::uint64_t navigation, const std::string& url) {
    Browser* browser = FindBrowser(id);
    if (!browser || browser->navigation != navigation || !browser->navigating || !browser->page)
        return;
    const std::string scheme = UrlScheme(url);
    std::optional<std::string> source;
    if (scheme == "about")
        source = std::string();
    else if (scheme == "res" && m_resHandler)
        source = m_resHandler->Read(url);
    else {
        Fail(id, navigation, url, kUnknownProtocol);
        return;
    }
    if (!source) {
        Fail(id, navigation, url, kResourceNotFound);
        return;
    }
    PendingLoad load;
    load.navigation = navigation;
    load.url = url;
    // The engine decodes the page itself; the document is built from the same characters.
    load.source = PageEncoding::ToUtf8(*source, {});
    load.target = QUrl(QString::fromStdString(url));
    browser->load = std::move(load);
    StartLoad(*browser);
}

void QtWebBrowserControl::ShowBody(short id, std::uint64_t navigation, const std::string& url,
                                   const std::string& body) {
    Browser* browser = FindBrowser(id);
    if (!browser || !browser->page)
        return;
    // Its mirror is parsed on this thread: a page too deep or too large to parse in a moment
    // fails like one too large for memory, as in the headless browser.
    if (!MarkupBounds::IsWithinBounds(body)) {
        Fail(id, navigation, url, kOutOfMemory);
        return;
    }
    PendingLoad load;
    load.navigation = navigation;
    load.url = url;
    load.source = body;
    load.contentType = kHtmlUtf8;
    try {
        if (QtPageBody::FitsDataUrl(body)) {
            load.target = QUrl(QString::fromStdString(url));
            load.content = QByteArray::fromStdString(body);
        } else if (m_pageHandler) {
            load.internalPage =
                m_pageHandler->Add(QtPageBody::WithBase(body, url), load.contentType);
            load.target = load.internalPage;
        }
    } catch (const std::bad_alloc&) {
        load.target = QUrl();
    }
    if (load.target.isEmpty()) {
        Fail(id, navigation, url, kOutOfMemory);
        return;
    }
    browser->load = std::move(load);
    StartLoad(*browser);
}

void QtWebBrowserControl::StartLoad(Browser& browser) {
    if (!browser.load || !browser.page)
        return;
    PendingLoad& load = *browser.load;
    load.started = false;
    if (load.content)
        browser.page->setContent(*load.content, QString::fromLatin1(load.contentType), load.target);
    else
        browser.page->load(load.target);
}

void QtWebBrowserControl::OnLoadingChanged(short id, const QWebEngineLoadingInfo& info) {
    Browser* browser = FindBrowser(id);
    if (!browser)
        return;
    // The engine may have put a new widget under the view for the new page.
    m_keys->Watch(id, browser->view);
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        // A load begins after the one the control asked for: it is that one, since a
        // superseded load never starts. Without a navigation of the control, the page asked.
        if (browser->load)
            browser->load->started = true;
        else if (!browser->navigating)
            browser->foreignLoad = true;
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        if (browser->load && browser->load->started) {
            PendingLoad load = std::move(*browser->load);
            browser->load.reset();
            Complete(id, load.navigation, load.url, load.source, load.internalPage);
        } else if (browser->foreignLoad && !browser->navigating) {
            browser->foreignLoad = false;
            OnForeignLoadFinished(id);
        }
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
    case QWebEngineLoadingInfo::LoadStoppedStatus: {
        browser->foreignLoad = false;
        if (!browser->load || !browser->load->started)
            break;
        PendingLoad load = std::move(*browser->load);
        browser->load.reset();
        DropInternalPage(load.internalPage);
        long code = info.errorCode() < 0 ? info.errorCode() : kErrorAborted;
        if (UrlScheme(load.url) == "res")
            code = kResourceNotFound;
        Fail(id, load.navigation, load.url, code);
        break;
    }
    }
}

void QtWebBrowserControl::OnForeignLoadFinished(short id) {
    Browser* browser = FindBrowser(id);
    if (!browser || !browser->page)
        return;
    // A page that the engine loaded itself (a form it posted, history): its source is gone, so
    // the document is the engine's serialisation of it.
    const std::uint64_t navigation = browser->navigation;
    const std::string url = browser->page->url().toString(QUrl::FullyEncoded).toStdString();
    const std::weak_ptr<int> alive = m_alive;
    browser->page->EvaluateInControlWorld(
        QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"),
        [this, alive, id, navigation, url](const QVariant& html) {
            if (alive.expired())
                return;
            const Browser* current = FindBrowser(id);
            if (!current || current->navigation != navigation || current->navigating)
                return;
            Complete(id, navigation, url, "<!DOCTYPE html>" + html.toString().toStdString(),
                     QUrl());
        });
}

void QtWebBrowserControl::Complete(short id, std::uint64_t navigation, const std::string& url,
                                   const std::string& source, const QUrl& internalPage) {
    Browser* browser = FindBrowser(id);
    if (!browser)
        return;
    browser->navigating = false;
    const std::weak_ptr<int> alive = m_alive;
    if (!browser->page)
        return;
    // Elements by id come from the live page: first its report of them.
    browser->page->EvaluateInControlWorld(
        QtHtmlDocument::LiveElementsScript(),
        [this, alive, id, navigation, url, source, internalPage](const QVariant& live) {
            if (!alive.expired())
                m_loop.Post([this, alive, id, navigation, url, source, internalPage, live] {
                    if (!alive.expired())
                        Publish(id, navigation, url, source, internalPage, live.toString());
                });
        });
}

void QtWebBrowserControl::Publish(short id, std::uint64_t navigation, const std::string& url,
                                  const std::string& source, const QUrl& internalPage,
                                  const QString& liveElements) {
    Browser* current = FindBrowser(id);
    QUrl shown = internalPage;
    if (!current || current->navigation != navigation || !current->page) {
        DropInternalPage(shown);
        return;
    }
    QtHtmlDocumentPtr document;
    try {
        document =
            std::make_shared<QtHtmlDocument>(url, source, current->page.data(), m_nextGeneration++);
    } catch (const std::bad_alloc&) {
        DropInternalPage(shown);
        Fail(id, navigation, url, kOutOfMemory);
        return;
    }
    document->SetLiveElements(liveElements);
    if (current->document)
        current->document->Detach();
    current->document = document;
    document->Bind();
    QtBrowserProfile::Get().PageShown();
    if (current->internalPage != shown) {
        DropInternalPage(current->internalPage);
        current->internalPage = shown;
    }
    if (m_events)
        try {
            m_events->DocumentComplete(id, url);
        } catch (...) {
        }
}

void QtWebBrowserControl::Fail(short id, std::uint64_t navigation, const std::string& url,
                               long statusCode) {
    if (Browser* browser = FindBrowser(id); browser && browser->navigation == navigation)
        browser->navigating = false;
    const std::weak_ptr<int> alive = m_alive;
    m_loop.Post([this, alive, id, navigation, url, statusCode] {
        if (alive.expired())
            return;
        const Browser* current = FindBrowser(id);
        if (!current || current->navigation != navigation)
            return;
        bool cancel = false;
        if (m_events)
            try {
                m_events->NavigateError(id, url, statusCode, cancel);
            } catch (...) {
            }
    });
}

void QtWebBrowserControl::DropInternalPage(QUrl& url) {
    if (!url.isEmpty() && m_pageHandler)
        m_pageHandler->Remove(url);
    url = QUrl();
}

QtWebBrowserControl::Browser* QtWebBrowserControl::FindBrowser(short id) {
    auto it = m_browsers.find(id);
    return it == m_browsers.end() ? nullptr : &it->second;
}

const QtWebBrowserControl::Browser* QtWebBrowserControl::FindBrowser(short id) const {
    auto it = m_browsers.find(id);
    return it == m_browsers.end() ? nullptr : &it->second;
}

} // namespace KDAutoUpdate
