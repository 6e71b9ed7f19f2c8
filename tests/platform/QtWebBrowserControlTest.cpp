// The browser control on Qt WebEngine, offscreen: service pages from a local HTTP server through
// the real fetcher, the progress page from the built resource library, clicks, script dialogs,
// new windows and keys. Clicks are dispatched with element.click() from the page's own script
// world, which runs the same click event (and check box activation) as a mouse click.

#include "platform/qt/QtWebBrowserControl.h"
#include "platform/Desktop.h"
#include "platform/portable/ResUrl.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtResourceLibrary.h"

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace KDAutoUpdate;

namespace {

constexpr long kPatience = 30000; // WebEngine starts slowly on a small machine

// Qt WebEngine takes custom schemes only before the application object exists. As root its
// renderer runs only without the sandbox.
[[maybe_unused]] const bool kWebEnginePrepared = [] {
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebBrowserControl::RegisterSchemes();
    return true;
}();

// Other tests of this program may have made the application object already.
bool EnsureWidgetApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "kdau_tests_platform";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QByteArray PngBytes() {
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// HTTP/1.1 on 127.0.0.1 with fixed answers by path (query ignored); unknown paths get 404 and
// "/hold" never gets an answer. Counts the requests of each path.
class PageServer {
public:
    PageServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                Serve(socket);
        });
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
    }
    void Set(const std::string& path, QByteArray body, QByteArray type = "text/html") {
        m_pages[path] = {std::move(body), std::move(type)};
    }
    int Hits(const std::string& path) const {
        const auto it = m_hits.find(path);
        return it == m_hits.end() ? 0 : it->second;
    }

private:
    struct Page {
        QByteArray body;
        QByteArray type;
    };
    void Serve(QTcpSocket* socket) {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> line = buffer->left(buffer->indexOf("\r\n")).split(' ');
            buffer->clear();
            std::string path = line.size() > 1 ? line[1].toStdString() : "/";
            path = path.substr(0, path.find('?'));
            ++m_hits[path];
            if (path == "/hold")
                return;
            const auto it = m_pages.find(path);
            const bool found = it != m_pages.end();
            const QByteArray body = found ? it->second.body : QByteArray("not here");
            socket->write("HTTP/1.1 " + QByteArray(found ? "200 OK" : "404 Not Found") +
                          "\r\nContent-Type: " + (found ? it->second.type : "text/plain") +
                          "\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    std::map<std::string, Page> m_pages;
    std::map<std::string, int> m_hits;
};

// Records the control's events and answers as the messages window does.
class Recorder : public IBrowserEvents {
public:
    std::vector<std::string> lines;
    bool insideNavigate = false;
    bool raisedInsideNavigate = false;
    bool cancelNewWindow = false;

    int Count(const std::string& prefix) const {
        int count = 0;
        for (const auto& line : lines)
            count += line.starts_with(prefix) ? 1 : 0;
        return count;
    }
    // Runs after each event is noted, inside the event.
    std::function<void(const std::string&)> then;

    void Note(std::string line) {
        raisedInsideNavigate = raisedInsideNavigate || insideNavigate;
        lines.push_back(std::move(line));
        if (then)
            then(lines.back());
    }

    void DocumentComplete(short id, const std::string& url) override {
        Note("complete " + std::to_string(id) + " " + url);
    }
    void NavigateError(short id, const std::string& url, long statusCode, bool&) override {
        Note("error " + std::to_string(id) + " " + url + " " + std::to_string(statusCode));
    }
    void ShowMessage(short id, const std::string& text, const std::string&,
                     bool& handled) override {
        Note("message " + std::to_string(id) + " " + text);
        handled = true;
    }
    void NewWindow3(short id, bool& cancel, const std::string& url) override {
        Note("newwindow " + std::to_string(id) + " " + url);
        cancel = cancelNewWindow;
    }
    void TranslateAccelerator(short id, int keyCode, int modifiers, bool& handled) override {
        Note("key " + std::to_string(id) + " " + std::to_string(keyCode) + " " +
             std::to_string(modifiers));
        handled = modifiers > 0 || keyCode == 27 || keyCode == 116 || keyCode == 122;
    }
};

class RecordingDesktop : public IDesktop {
public:
    std::vector<std::string> opened;
    bool OpenUrl(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
};

constexpr const char* kServicePage = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Updates</title></head>
<body>
<xml id="KdAutoUpdate"><Messages><Message id="m1" toVersion="2.0" downloadPath="x"><Features><Feature name="Core" allowUserSelection="true"/></Features></Message></Messages></xml>
<img id="logo" src="logo.png">
<label><input type="checkbox" id="feat" auButtonType="featureStateChooser" forMessage="m1" forFeature="Core"> Core</label>
<button id="btn" auButtonType="ActionButton"><span id="inner">Installieren</span></button>
<p>Text mit <em>Betonung</em>.</p>
<a id="link" href="other.html">Weiter</a>
<input id="field">
</body></html>)";

class QtWebBrowserControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!EnsureWidgetApplication())
            GTEST_SKIP() << "another test made a non-widget application first";
        ASSERT_TRUE(resources.OpenResourceLibrary(KDAU_BINARY_DIR "/bin/_AuResLib.rcc"));
        server.Set("/InitUpdate.aspx", kServicePage);
        server.Set("/logo.png", PngBytes(), "image/png");
        server.Set("/other.html", "<html><body><p id=\"o\">Andere Seite</p></body></html>");
        container = std::make_unique<QWidget>();
        container->resize(640, 480);
        container->show();
        MakeControl();
    }

    void TearDown() override {
        if (!container)
            return;
        DestroyControl();
        container.reset();
    }

    void DestroyControl() {
        QPointer<QWidget> stack = control ? control->Widget() : nullptr;
        control.reset();
        // The views and the profile go from the loop.
        EXPECT_TRUE(loop.RunUntil([&] { return stack.isNull(); }, kPatience));
        int drained = 0;
        loop.Post([&] { ++drained; });
        loop.RunUntil([&] { return drained == 1; }, kPatience);
    }

    void MakeControl() {
        control = std::make_unique<QtWebBrowserControl>(container.get(), http, &resources, loop);
        control->SetEvents(&events);
        control->SetDesktop(&desktop);
        ASSERT_TRUE(control->AddBrowser(page));
    }

    // Navigates and waits for the next event of that browser.
    void Load(short id, const std::string& url) {
        const std::size_t before = events.lines.size();
        events.insideNavigate = true;
        ASSERT_TRUE(control->Navigate(id, url));
        events.insideNavigate = false;
        ASSERT_TRUE(loop.RunUntil([&] { return events.lines.size() > before; }, kPatience))
            << "no event for " << url;
    }

    // Evaluates `script` in the page's own world.
    QVariant Js(short id, const QString& script) {
        QVariant result;
        bool done = false;
        control->View(id)->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        EXPECT_TRUE(loop.RunUntil([&] { return done; }, kPatience)) << script.toStdString();
        return result;
    }

    // Evaluates until the page answers `expected`: the page applies writes asynchronously.
    bool JsBecomes(short id, const QString& script, const QVariant& expected) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < kPatience)
            if (Js(id, script) == expected)
                return true;
        ADD_FAILURE() << script.toStdString() << " stays "
                      << Js(id, script).toString().toStdString();
        return false;
    }

    std::string ResUrl(const std::string& name) const {
        return "res://" + ResourceUrlPath(resources.ResourceFilePath()) + "/" + name;
    }

    QtEventLoop loop;
    QtHttpFetcher http;
    QtResourceLibrary resources;
    PageServer server;
    Recorder events;
    RecordingDesktop desktop;
    std::unique_ptr<QWidget> container;
    std::unique_ptr<QtWebBrowserControl> control;
    short page = 0;
};

TEST_F(QtWebBrowserControlTest, ServicePageIsFetchedOnceAndItsIslandKeepsItsCase) {
    const std::string url = server.Url("/InitUpdate.aspx?ProductCode=%7BA%7D&Lang=de");
    Load(page, url);
    ASSERT_EQ(events.lines, std::vector<std::string>{"complete 1 " + url});
    EXPECT_FALSE(events.raisedInsideNavigate);
    EXPECT_FALSE(control->IsLoading(page));

    const HtmlDocumentPtr document = control->Document(page);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->Url(), url);
    const HtmlElementPtr island = document->GetElementById("KdAutoUpdate");
    ASSERT_NE(island, nullptr);
    EXPECT_EQ(island->TagName(), "XML");
    const std::optional<std::string> raw = island->RawSource();
    ASSERT_TRUE(raw.has_value());
    EXPECT_NE(raw->find(R"(<Message id="m1" toVersion="2.0" downloadPath="x">)"), std::string::npos)
        << *raw;
    EXPECT_NE(raw->find("allowUserSelection"), std::string::npos);
    EXPECT_EQ(document->GetElementById("feat")->GetAttribute("aubuttontype"),
              "featureStateChooser");
    EXPECT_EQ(document->GetElementById("nothing"), nullptr);

    // The live page has the same document, under its own URL, and loads relative images.
    EXPECT_EQ(Js(page, "document.getElementById('KdAutoUpdate').tagName").toString(), "XML");
    EXPECT_EQ(Js(page, "location.href").toString().toStdString(), url);
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('logo').naturalWidth", 4));
    EXPECT_EQ(server.Hits("/InitUpdate.aspx"), 1);
    EXPECT_EQ(events.Count("complete"), 1);
}

TEST_F(QtWebBrowserControlTest, FailedLoadsRaiseNavigateErrorWithoutDocument) {
    Load(page, server.Url("/missing"));
    Load(page, ResUrl("NoSuchPage.html"));
    Load(page, "ftp://127.0.0.1/x");
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const std::string refused = "http://127.0.0.1:" + std::to_string(closed.serverPort()) + "/";
    closed.close();
    Load(page, refused);

    ASSERT_EQ(events.lines.size(), 4u);
    EXPECT_EQ(events.lines[0], "error 1 " + server.Url("/missing") + " 404");
    EXPECT_EQ(events.lines[1], "error 1 " + ResUrl("NoSuchPage.html") + " 404");
    EXPECT_EQ(events.lines[2], "error 1 ftp://127.0.0.1/x -2146697203");
    EXPECT_TRUE(events.lines[3].starts_with("error 1 " + refused + " -")) << events.lines[3];
    EXPECT_FALSE(events.raisedInsideNavigate);
    EXPECT_EQ(control->Document(page), nullptr);
}

TEST_F(QtWebBrowserControlTest, ProgressPageComesFromTheResourceLibraryAndTakesWrites) {
    Load(page, ResUrl("AuProgress.html"));
    ASSERT_EQ(events.lines, std::vector<std::string>{"complete 1 " + ResUrl("AuProgress.html")});
    // The animation beside the page, by its relative URL, is served as a GIF.
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('imgProgress').naturalWidth > 0", true));

    const HtmlDocumentPtr document = control->Document(page);
    ASSERT_NE(document, nullptr);
    const HtmlElementPtr label = document->GetElementById("lblProgress");
    const HtmlElementPtr image = document->GetElementById("imgProgress");
    ASSERT_TRUE(label && image);
    const std::string text = "Fehlercode: <b>404</b> – Größe";
    label->SetInnerHTML(text);
    label->SetStyleColor("#FF0000");
    image->SetAttribute("src", ResUrl("aniProgressStop.gif"));

    EXPECT_EQ(label->InnerHTML(), text);
    EXPECT_EQ(label->StyleColor(), "#FF0000");
    EXPECT_EQ(image->GetAttribute("SRC"), ResUrl("aniProgressStop.gif"));
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('lblProgress').innerHTML",
                          QString::fromStdString(text)));
    EXPECT_EQ(Js(page, "getComputedStyle(document.getElementById('lblProgress')).color"),
              "rgb(255, 0, 0)");
    EXPECT_EQ(Js(page, "document.getElementById('imgProgress').src").toString().toStdString(),
              ResUrl("aniProgressStop.gif"));
    EXPECT_TRUE(JsBecomes(page,
                          "var i = document.getElementById('imgProgress');"
                          "i.complete && i.naturalWidth > 0",
                          true));
}

TEST_F(QtWebBrowserControlTest, ClickHandlersDecideTheDefaultAction) {
    Load(page, server.Url("/InitUpdate.aspx"));
    const HtmlDocumentPtr document = control->Document(page);
    ASSERT_NE(document, nullptr);
    const HtmlElementPtr feat = document->GetElementById("feat");
    ASSERT_NE(feat, nullptr);
    EXPECT_FALSE(feat->Checked());

    std::vector<std::string> calls;
    bool answer = false;
    bool checkedDuringClick = false;
    feat->SetOnClick([&] {
        calls.push_back("element feat");
        return true;
    });
    document->GetElementById("btn")->SetOnClick([&] {
        calls.push_back("element btn");
        return true;
    });
    document->SetOnClick([&](const HtmlElementPtr& source) {
        calls.push_back("document " + (source->Id().empty() ? source->TagName() : source->Id()));
        checkedDuringClick = source->Checked();
        if (source->TagName() == "EM")
            source->SetInnerHTML("geklickt");
        return answer;
    });
    const auto clickAndWait = [&](const QString& selector) {
        const std::size_t before = calls.size();
        Js(page, "document.querySelector('" + selector + "').click()");
        return loop.RunUntil(
            [&] { return calls.size() > before && calls.back().starts_with("document"); },
            kPatience);
    };

    // Cancelled: the handler saw the state after the click, then the box went back.
    ASSERT_TRUE(clickAndWait("#feat"));
    EXPECT_EQ(calls, (std::vector<std::string>{"element feat", "document feat"}));
    EXPECT_TRUE(checkedDuringClick);
    EXPECT_FALSE(feat->Checked());
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('feat').checked", false));

    // Kept: the box stays checked, in the page and in the document.
    answer = true;
    ASSERT_TRUE(clickAndWait("#feat"));
    EXPECT_TRUE(feat->Checked());
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('feat').checked", true));

    // The innermost element is the source; the button's own handler sees the click bubble.
    calls.clear();
    answer = false;
    ASSERT_TRUE(clickAndWait("#inner"));
    EXPECT_EQ(calls, (std::vector<std::string>{"element btn", "document inner"}));

    // An element without id is found by its place; writes to it reach the page.
    ASSERT_TRUE(clickAndWait("em"));
    EXPECT_TRUE(JsBecomes(page, "document.querySelector('em').innerHTML", "geklickt"));

    // A cancelled link stays put; a kept one loads through the fetcher.
    ASSERT_TRUE(clickAndWait("#link"));
    Js(page, "0");
    EXPECT_EQ(server.Hits("/other.html"), 0);
    EXPECT_EQ(events.Count("complete"), 1);
    answer = true;
    ASSERT_TRUE(clickAndWait("#link"));
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("complete") == 2; }, kPatience));
    EXPECT_EQ(events.lines.back(), "complete 1 " + server.Url("/other.html"));
    EXPECT_EQ(server.Hits("/other.html"), 1);
    ASSERT_NE(control->Document(page), nullptr);
    EXPECT_NE(control->Document(page)->GetElementById("o"), nullptr);
}

TEST_F(QtWebBrowserControlTest, ScriptDialogsAreReportedAndNeverShown) {
    Load(page, server.Url("/InitUpdate.aspx"));
    EXPECT_EQ(Js(page, "alert('Hallo Welt'); confirm('Sicher?')"), false);
    EXPECT_EQ(Js(page, "prompt('Name?', 'x')"), QVariant());
    EXPECT_EQ(events.Count("message 1 Hallo Welt"), 1);
    EXPECT_EQ(events.Count("message 1 Sicher?"), 1);
    EXPECT_EQ(events.Count("message 1 Name?"), 1);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible() && qobject_cast<QDialog*>(widget))
            << widget->metaObject()->className();
}

TEST_F(QtWebBrowserControlTest, NewWindowsGoToTheDesktopNeverIntoTheControl) {
    Load(page, server.Url("/InitUpdate.aspx"));
    const std::string popup = server.Url("/popup.html");
    Js(page, QString::fromStdString("window.open('" + popup + "')"));
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("newwindow") == 1; }, kPatience));
    EXPECT_EQ(events.lines.back(), "newwindow 1 " + popup);
    EXPECT_EQ(desktop.opened, std::vector<std::string>{popup});

    events.cancelNewWindow = true;
    Js(page, QString::fromStdString("window.open('" + popup + "?again')"));
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("newwindow") == 2; }, kPatience));
    EXPECT_EQ(desktop.opened.size(), 1u) << "a cancelled window opens nowhere";
    EXPECT_EQ(container->findChildren<QWebEngineView*>().size(), 1);
    EXPECT_EQ(server.Hits("/popup.html"), 0);
}

TEST_F(QtWebBrowserControlTest, KeysTheHostHandlesNeverReachThePage) {
    Load(page, server.Url("/InitUpdate.aspx"));
    Js(page, "window.seen = []; document.addEventListener('keydown', function (e) {"
             " seen.push(e.keyCode); }, true); document.getElementById('field').focus();");
    QWidget* target = control->View(page)->focusProxy();
    ASSERT_NE(target, nullptr);
    events.lines.clear();

    QTest::keyClick(target, Qt::Key_F5);
    QTest::keyClick(target, Qt::Key_Escape);
    QTest::keyClick(target, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_A);
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('field').value", "a"));
    EXPECT_EQ(Js(page, "seen.join(',')"), "65") << "only the plain letter reached the page";
    // Ctrl itself arrives with its own modifier state, as the keyboard sends it.
    EXPECT_EQ(events.lines, (std::vector<std::string>{"key 1 116 0", "key 1 27 0", "key 1 17 2",
                                                      "key 1 78 2", "key 1 65 0"}));
}

TEST_F(QtWebBrowserControlTest, StackFillsItsContainerAndMovesInTwips) {
    short second = 0;
    ASSERT_TRUE(control->AddBrowser(second));
    EXPECT_EQ(page, 1);
    EXPECT_EQ(second, 2);
    QStackedWidget* stack = qobject_cast<QStackedWidget*>(control->Widget());
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(control->Handle(), reinterpret_cast<WindowHandle>(stack));

    container->resize(500, 300);
    EXPECT_EQ(stack->geometry(), QRect(0, 0, 500, 300));

    const double dpiX = stack->logicalDpiX();
    const double dpiY = stack->logicalDpiY();
    control->Move(TwipRect{1440, 720, 2880, 1440});
    EXPECT_EQ(stack->geometry(),
              QRect(qRound(dpiX), qRound(dpiY / 2), qRound(2 * dpiX), qRound(dpiY)));
    const TwipRect bounds = control->Bounds();
    EXPECT_NEAR(bounds.left, 1440, 1440 / dpiX);
    EXPECT_NEAR(bounds.height, 1440, 1440 / dpiY);

    EXPECT_EQ(control->VisibleBrowser(), 0);
    EXPECT_TRUE(control->ShowBrowser(second));
    EXPECT_EQ(stack->currentWidget(), control->View(second));
    EXPECT_EQ(control->VisibleBrowser(), second);
    EXPECT_TRUE(control->ShowBrowser(page));
    EXPECT_EQ(stack->currentWidget(), control->View(page));
    EXPECT_FALSE(control->ShowBrowser(99));
    EXPECT_FALSE(control->Navigate(99, server.Url("/InitUpdate.aspx")));
    EXPECT_EQ(control->Document(second), nullptr);

    control->LockPainting(true);
    EXPECT_TRUE(control->IsPaintingLocked());
    EXPECT_FALSE(stack->updatesEnabled());
    control->LockPainting(false);
    EXPECT_FALSE(control->IsPaintingLocked());
    EXPECT_TRUE(stack->updatesEnabled());
}

TEST_F(QtWebBrowserControlTest, PageBeyondTheDataUrlLimitIsServedFromMemory) {
    std::string big = kServicePage;
    big.insert(big.find("</body>"), "<!--" + std::string(3 * 1024 * 1024, 'x') + "-->");
    server.Set("/InitUpdate.aspx", QByteArray::fromStdString(big));
    const std::string url = server.Url("/InitUpdate.aspx");
    Load(page, url);
    ASSERT_EQ(events.lines, std::vector<std::string>{"complete 1 " + url});
    const HtmlDocumentPtr document = control->Document(page);
    ASSERT_NE(document, nullptr);
    const std::optional<std::string> raw = document->GetElementById("KdAutoUpdate")->RawSource();
    ASSERT_TRUE(raw.has_value());
    EXPECT_NE(raw->find("toVersion"), std::string::npos);
    EXPECT_EQ(Js(page, "document.baseURI").toString().toStdString(), url);
    EXPECT_EQ(Js(page, "document.getElementById('KdAutoUpdate') !== null"), true);
    EXPECT_EQ(server.Hits("/InitUpdate.aspx"), 1);

    // Clicks are decided here as on any page.
    int clicks = 0;
    document->SetOnClick([&](const HtmlElementPtr&) { return ++clicks > 0; });
    Js(page, "document.getElementById('feat').click()");
    ASSERT_TRUE(loop.RunUntil([&] { return clicks == 1; }, kPatience));
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('feat').checked", true));
    EXPECT_TRUE(document->GetElementById("feat")->Checked());
}

TEST_F(QtWebBrowserControlTest, ThePagesOwnNavigationsEndInDocumentCompleteToo) {
    server.Set("/form.html", R"(<html><body><a id="link" href="other.html">Weiter</a>
<form method="post" action="posted"><input name="q" value="1"><button id="send">Senden</button>
</form></body></html>)");
    server.Set("/posted", R"(<html><body><p id="done">Gesendet</p></body></html>)");
    Load(page, server.Url("/form.html"));

    // A link the page follows by itself is fetched like any page.
    Js(page, "document.getElementById('link').click()");
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("complete") == 2; }, kPatience));
    EXPECT_EQ(events.lines.back(), "complete 1 " + server.Url("/other.html"));
    EXPECT_EQ(server.Hits("/other.html"), 1);
    ASSERT_NE(control->Document(page)->GetElementById("o"), nullptr);

    // A posted form stays with the engine; the document is what it made of the answer.
    Load(page, server.Url("/form.html"));
    Js(page, "document.getElementById('send').click()");
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("complete") == 4; }, kPatience));
    EXPECT_EQ(events.lines.back(), "complete 1 " + server.Url("/posted"));
    EXPECT_EQ(server.Hits("/posted"), 1);
    const HtmlElementPtr done = control->Document(page)->GetElementById("done");
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->InnerHTML(), "Gesendet");
    done->SetInnerHTML("Erledigt");
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('done').textContent", "Erledigt"));
    EXPECT_EQ(events.Count("error"), 0);
}

TEST_F(QtWebBrowserControlTest, NewerNavigationSupersedesAPendingOne) {
    control->Navigate(page, server.Url("/hold"));
    ASSERT_TRUE(loop.RunUntil([&] { return server.Hits("/hold") == 1; }, kPatience));
    Load(page, server.Url("/InitUpdate.aspx"));
    control->Navigate(page, ResUrl("AuProgress.html"));
    Load(page, server.Url("/other.html"));
    Js(page, "0");
    EXPECT_EQ(events.lines,
              std::vector<std::string>({"complete 1 " + server.Url("/InitUpdate.aspx"),
                                        "complete 1 " + server.Url("/other.html")}));
    EXPECT_EQ(Js(page, "document.getElementById('o').textContent"), "Andere Seite");
}

TEST_F(QtWebBrowserControlTest, ControlMayBeDestroyedInsideItsOwnEvents) {
    // Inside DocumentComplete.
    events.then = [&](const std::string& line) {
        if (line.starts_with("complete"))
            control.reset();
    };
    Load(page, server.Url("/InitUpdate.aspx"));
    EXPECT_EQ(control, nullptr);
    DestroyControl();

    // Inside a key stroke.
    MakeControl();
    events.then = nullptr;
    Load(page, server.Url("/InitUpdate.aspx"));
    QPointer<QWidget> target = control->View(page)->focusProxy();
    ASSERT_FALSE(target.isNull());
    events.then = [&](const std::string& line) {
        if (line.starts_with("key"))
            control.reset();
    };
    QTest::keyClick(target, Qt::Key_F5);
    EXPECT_EQ(control, nullptr);
    DestroyControl();

    // Inside a click handler: the page gets no answer, and the document stays usable.
    MakeControl();
    events.then = nullptr;
    Load(page, server.Url("/InitUpdate.aspx"));
    const HtmlDocumentPtr document = control->Document(page);
    bool clicked = false;
    document->SetOnClick([&](const HtmlElementPtr&) {
        clicked = true;
        control.reset();
        return true;
    });
    Js(page, "document.getElementById('feat').click()");
    ASSERT_TRUE(loop.RunUntil([&] { return clicked; }, kPatience));
    DestroyControl();
    const HtmlElementPtr feat = document->GetElementById("feat");
    feat->SetAttribute("title", "weg");
    EXPECT_EQ(feat->GetAttribute("title"), "weg");
    EXPECT_TRUE(feat->Checked()) << "the handler kept the click";
}

} // namespace
