#include "platform/qt/QtWebBrowserControl.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStackedWidget>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <new>

#include "platform/Desktop.h"
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
    : m_container(container), m_resources(resources), m_loop(loop),
      m_keys(std::make_unique<QtBrowserKeys>(
          [this](short id, int keyCode, int modifiers, bool& handled) {
              handled = m_navigation.TranslateAccelerator(id, keyCode, modifiers);
          })),
      m_navigation(http, loop, *this) {
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
    m_navigation.Close();
    for (auto& [id, browser] : m_browsers) {
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
    if (!m_stack || !m_profile || !m_navigation.Add(id))
        return false;
    auto* view = new QWebEngineView(m_stack);
    // No menu: it would offer reload and history, which the window keeps from the user.
    view->setContextMenuPolicy(Qt::NoContextMenu);
    auto* page = new QtWebPage(m_profile, view);
    view->setPage(page);
    m_stack->addWidget(view);
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
        const std::weak_ptr<int> alive = m_navigation.Alive();
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
    browser->foreignLoad = false;
    if (browser->load) {
        DropInternalPage(browser->load->internalPage);
        browser->load.reset();
    }
    return m_navigation.Navigate(id, url);
}

std::optional<std::string> QtWebBrowserControl::ReadResource(const std::string& url) {
    return m_resHandler ? m_resHandler->Read(url) : std::nullopt;
}

void QtWebBrowserControl::PageFailed(short id, std::uint64_t navigation, const std::string& url,
                                     long statusCode) {
    Fail(id, navigation, url, statusCode);
}

void QtWebBrowserControl::ShowPage(short id, BrowserNavigation::Page page) {
    Browser* browser = FindBrowser(id);
    if (!browser || !browser->page)
        return;
    PendingLoad load;
    load.navigation = page.navigation;
    load.url = page.url;
    if (!page.fetched) {
        // The engine reads a local page itself; the document is built from the same characters.
        load.target = QUrl(QString::fromStdString(page.url));
        load.source = std::move(page.text);
        browser->load = std::move(load);
        StartLoad(*browser);
        return;
    }
    load.contentType = kHtmlUtf8;
    try {
        if (QtPageBody::FitsDataUrl(page.text)) {
            load.target = QUrl(QString::fromStdString(page.url));
            load.content = QByteArray::fromStdString(page.text);
        } else if (m_pageHandler) {
            load.internalPage =
                m_pageHandler->Add(QtPageBody::WithBase(page.text, page.url), load.contentType);
            load.target = load.internalPage;
        }
    } catch (const std::bad_alloc&) {
        load.target = QUrl();
    }
    if (load.target.isEmpty()) {
        Fail(id, page.navigation, page.url, BrowserNavigation::kOutOfMemory);
        return;
    }
    load.source = std::move(page.text);
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
        else if (!m_navigation.IsLoading(id))
            browser->foreignLoad = true;
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        if (browser->load && browser->load->started) {
            PendingLoad load = std::move(*browser->load);
            browser->load.reset();
            Complete(id, load.navigation, load.url, load.source, load.internalPage);
        } else if (browser->foreignLoad && !m_navigation.IsLoading(id)) {
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
            code = BrowserNavigation::kResourceNotFound;
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
    const std::uint64_t navigation = m_navigation.Latest(id);
    const std::string url = browser->page->url().toString(QUrl::FullyEncoded).toStdString();
    const std::weak_ptr<int> alive = m_navigation.Alive();
    browser->page->EvaluateInControlWorld(
        QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"),
        [this, alive, id, navigation, url](const QVariant& html) {
            if (alive.expired())
                return;
            if (!FindBrowser(id) || m_navigation.Latest(id) != navigation ||
                m_navigation.IsLoading(id))
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
    m_navigation.End(id, navigation);
    const std::weak_ptr<int> alive = m_navigation.Alive();
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
    if (!current || m_navigation.Latest(id) != navigation || !current->page) {
        DropInternalPage(shown);
        return;
    }
    QtHtmlDocumentPtr document;
    try {
        document =
            std::make_shared<QtHtmlDocument>(url, source, current->page.data(), m_nextGeneration++);
    } catch (const std::bad_alloc&) {
        DropInternalPage(shown);
        Fail(id, navigation, url, BrowserNavigation::kOutOfMemory);
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
    m_navigation.DocumentComplete(id, url);
}

void QtWebBrowserControl::Fail(short id, std::uint64_t navigation, const std::string& url,
                               long statusCode) {
    m_navigation.End(id, navigation);
    const std::weak_ptr<int> alive = m_navigation.Alive();
    m_loop.Post([this, alive, id, navigation, url, statusCode] {
        if (!alive.expired() && m_navigation.Latest(id) == navigation)
            m_navigation.NavigateError(id, url, statusCode);
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
