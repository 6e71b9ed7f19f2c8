#include "tests/platform/BrowserBackends.h"

#include <QPointer>
#include <QWebEngineView>

#include <unistd.h>

#include "platform/headless/HeadlessBrowser.h"
#include "platform/qt/QtWebBrowserControl.h"
#include "tests/platform/QtTestHelpers.h"

namespace KDAutoUpdate {

namespace {

constexpr long kPatience = 30000; // WebEngine starts slowly on a small machine

// Qt WebEngine takes its schemes only before the application exists; as root it runs only
// without the sandbox.
[[maybe_unused]] const bool kWebEnginePrepared = [] {
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebBrowserControl::RegisterSchemes();
    return true;
}();

} // namespace

void BrowserBackends::SetUp() {
    if (GetParam() == Backend::WebEngine) {
        container = std::make_unique<QWidget>();
        container->resize(640, 480);
        container->show();
        control = std::make_unique<QtWebBrowserControl>(container.get(), pages, nullptr, loop);
    } else {
        control = std::make_unique<HeadlessBrowser>(pages, nullptr, loop);
    }
    control->SetEvents(this);
    ASSERT_TRUE(control->AddBrowser(browser));
}

void BrowserBackends::TearDown() {
    // The WebEngine views and their profile go from the loop.
    QPointer<QWidget> stack;
    if (auto* webEngine = dynamic_cast<QtWebBrowserControl*>(control.get()))
        stack = webEngine->Widget();
    control.reset();
    loop.RunUntil([&] { return stack.isNull(); }, kPatience);
    int drained = 0;
    loop.Post([&] { ++drained; });
    loop.RunUntil([&] { return drained == 1; }, kPatience);
    container.reset();
}

HtmlDocumentPtr BrowserBackends::Show(const std::string& body, const std::string& contentType) {
    server.Set({.body = body, .contentType = contentType});
    const int before = m_completed;
    m_insideNavigate = true;
    control->Navigate(browser, server.Url("/InitUpdate.aspx"));
    m_insideNavigate = false;
    EXPECT_TRUE(loop.RunUntil([&] { return m_completed > before; }, kPatience));
    return control ? control->Document(browser) : nullptr;
}

int BrowserBackends::Click(const HtmlDocumentPtr& document, const std::string& id, bool keep) {
    int handled = 0;
    document->SetOnClick([&handled, keep](const HtmlElementPtr&) { return ++handled, keep; });
    if (auto* headless = dynamic_cast<HeadlessBrowser*>(control.get())) {
        headless->Click(browser, headless->FindById(browser, id));
    } else {
        Js("document.getElementById('" + QString::fromStdString(id) + "').click()");
        EXPECT_TRUE(loop.RunUntil([&] { return handled > 0 || !control; }, kPatience)) << id;
    }
    document->SetOnClick({});
    return handled;
}

QVariant BrowserBackends::Js(const QString& script) {
    auto* webEngine = dynamic_cast<QtWebBrowserControl*>(control.get());
    if (!webEngine)
        return {};
    QVariant result;
    bool done = false;
    webEngine->View(browser)->page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    EXPECT_TRUE(loop.RunUntil([&] { return done; }, kPatience)) << script.toStdString();
    return result;
}

} // namespace KDAutoUpdate
