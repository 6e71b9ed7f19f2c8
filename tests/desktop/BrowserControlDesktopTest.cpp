// The browser control on Qt WebEngine, against a local HTTP server: what this backend adds to the
// headless browser's navigation (the engine's pages, schemes, renderer, widgets and clicks).

#include <QElapsedTimer>
#include <QPointer>
#include <QStackedWidget>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "platform/portable/ResUrl.h"
#include "platform/qt/QtEngineSwitches.h"
#include "tests/desktop/DesktopTest.h"
#include "tests/platform/ScriptedHttpServer.h"
#include "tests/support/BrowserEventRecorder.h"

using namespace KDAutoUpdate;

namespace {

using Lines = BrowserEventRecorder::Lines;

constexpr const char* kServicePage = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Updates</title></head>
<body>
<xml id="KdAutoUpdate"><Messages><Message id="m1" toVersion="2.0" downloadPath="x"><Features><Feature name="Core" allowUserSelection="true"/></Features></Message></Messages></xml>
<label><input type="checkbox" id="feat" auButtonType="featureStateChooser" forMessage="m1" forFeature="Core"> Core</label>
<button id="btn" auButtonType="ActionButton"><span id="inner">Installieren</span></button>
<p>Text mit <em>Betonung</em>.</p>
<a id="link" href="other.html">Weiter</a>
</body></html>)";

class BrowserControlDesktopTest : public DesktopTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(DesktopTest::SetUp());
        server.Set({.status = 404, .body = "not here", .contentType = kHtml});
        Serve("/InitUpdate.aspx", kServicePage);
        Serve("/other.html", "<html><body><p id=\"o\">Andere Seite</p></body></html>");
        container = std::make_unique<QWidget>();
        container->resize(640, 480);
        container->show();
        ASSERT_TRUE(NewControl(&resources));
    }
    bool NewControl(QtResourceLibrary* library) {
        control = std::make_unique<QtWebBrowserControl>(container.get(), http, library, loop);
        control->SetEvents(&events);
        control->SetDesktop(&desktop);
        return control->AddBrowser(page);
    }
    // Ends the control and lets what it posted run.
    void EndControl() {
        control.reset();
        bool drained = false;
        loop.Post([&] { drained = true; });
        loop.RunUntil([&] { return drained; }, kPatience);
    }
    void Serve(const std::string& path, std::string html) {
        server.SetFor(path, {.body = std::move(html), .contentType = kHtml});
    }
    // Requests for `path`, whatever their query.
    int Hits(const std::string& path) const {
        return int(
            std::count_if(server.Paths().begin(), server.Paths().end(),
                          [&](const std::string& p) { return p.substr(0, p.find('?')) == path; }));
    }
    void TearDown() override {
        EXPECT_FALSE(events.raisedInsideNavigate);
        EndControl();
        container.reset();
        DesktopTest::TearDown();
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
    QVariant Js(short id, const QString& script) {
        return KDAutoUpdate::Js(loop, control->View(id), script);
    }
    bool JsBecomes(short id, const QString& script, const QVariant& expected) {
        return KDAutoUpdate::JsBecomes(loop, control->View(id), script, expected);
    }
    // Clicks the page's first element matching `selector` with element.click(), which runs the
    // same click event and check box activation as a mouse click; true once `seen` has grown.
    template <class Seen> bool ClickUntilSeen(const QString& selector, const Seen& seen) {
        const std::size_t before = seen.size();
        Js(page, "document.querySelector('" + selector + "').click()");
        return loop.RunUntil([&] { return seen.size() > before; }, kPatience);
    }
    std::string ResUrl(const std::string& name) const {
        return "res://" + ResourceUrlPath(resources.ResourceFilePath()) + "/" + name;
    }

    static constexpr const char* kHtml = "text/html; charset=utf-8";
    ScriptedHttpServer server;
    BrowserEventRecorder events;
    std::unique_ptr<QWidget> container;
    std::unique_ptr<QtWebBrowserControl> control;
    short page = 0;
};

TEST_F(BrowserControlDesktopTest,
       SchemesAndSwitchesComeWithTheFirstControlAndSitesShareOneRenderer) {
    // main() applied the switches before the engine started; a host's own value stays.
    const QByteArray applied = qgetenv(QtEngineSwitches::kVariable);
    qputenv(QtEngineSwitches::kVariable, "");
    EXPECT_FALSE(QtEngineSwitches::ApplyUnlessSet());
    EXPECT_EQ(qgetenv(QtEngineSwitches::kVariable), "") << "the host's (empty) choice is kept";
    qputenv(QtEngineSwitches::kVariable, applied);

    short progress = 0;
    ASSERT_TRUE(control->AddBrowser(progress));
    Load(progress, ResUrl("AuProgress.html"));
    Load(page, server.Url("/InitUpdate.aspx"));
    ASSERT_EQ(events.Count("complete"), 2) << events.lines.back();
    const qint64 progressPid = control->View(progress)->page()->renderProcessPid();
    EXPECT_GT(progressPid, 0);
    EXPECT_EQ(control->View(page)->page()->renderProcessPid(), progressPid)
        << "the service page started a renderer of its own; QTWEBENGINE_CHROMIUM_FLAGS="
        << applied.constData();

    // The schemes went in with the first control: a page from the network cannot reach the
    // library, the progress page can.
    const QString probe =
        QStringLiteral("(function () { var i = new Image(); window.__probe = 'pending';"
                       " i.onload = function () { window.__probe = 'load'; };"
                       " i.onerror = function () { window.__probe = 'error'; };"
                       " i.src = '%1'; return 1; })()")
            .arg(QString::fromStdString(ResUrl("aniProgress.gif")));
    Js(page, probe);
    Js(progress, probe);
    EXPECT_TRUE(JsBecomes(progress, "window.__probe", "load"));
    EXPECT_TRUE(JsBecomes(page, "window.__probe", "error"));
}

TEST_F(BrowserControlDesktopTest, AClosedControlKeepsTheRendererForTheNextButNotItsLibrary) {
    Load(page, ResUrl("AuProgress.html"));
    const qint64 rendererPid = control->View(page)->page()->renderProcessPid();
    ASSERT_GT(rendererPid, 0);
    QPointer<QWebEnginePage> closed = control->View(page)->page();
    EndControl();
    EXPECT_FALSE(closed.isNull()) << "the closed control's pages keep the renderer";

    // A control without a library of its own cannot reach the closed one's.
    ASSERT_TRUE(NewControl(nullptr));
    Load(page, ResUrl("AuProgress.html"));
    EXPECT_EQ(events.lines.back(), "error 1 " + ResUrl("AuProgress.html") + " 404");

    Load(page, server.Url("/other.html"));
    EXPECT_EQ(events.Count("complete"), 2) << events.lines.back();
    EXPECT_EQ(control->View(page)->page()->renderProcessPid(), rendererPid);
    EXPECT_TRUE(loop.RunUntil([&] { return closed.isNull(); }, kPatience))
        << "kept pages outlive the next control's first page";
}

TEST_F(BrowserControlDesktopTest, ClickHandlersDecideTheDefaultAction) {
    Load(page, server.Url("/InitUpdate.aspx"));
    const HtmlDocumentPtr document = control->Document(page);
    ASSERT_NE(document, nullptr);
    Lines calls;
    bool answer = false;
    document->SetOnClick([&](const HtmlElementPtr& source) {
        calls.push_back((source->Id().empty() ? source->TagName() : source->Id()) +
                        (source->Checked() ? " checked" : ""));
        if (source->TagName() == "EM") {
            source->SetInnerHTML("geklickt");
            source->SetStyleColor("#FF0000");
        }
        return answer;
    });

    // An element without id is found by its place; writes to it reach the page.
    ASSERT_TRUE(ClickUntilSeen("em", calls));
    EXPECT_TRUE(JsBecomes(page, "document.querySelector('em').innerHTML", "geklickt"));
    EXPECT_TRUE(
        JsBecomes(page, "getComputedStyle(document.querySelector('em')).color", "rgb(255, 0, 0)"));

    // A check box changes before the handlers run; a cancelled click puts it back.
    ASSERT_TRUE(ClickUntilSeen("#feat", calls));
    EXPECT_EQ(calls.back(), "feat checked");
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('feat').checked", false));
    EXPECT_FALSE(document->GetElementById("feat")->Checked());

    // A cancelled link stays put; a kept one loads through the fetcher.
    ASSERT_TRUE(ClickUntilSeen("#link", calls));
    Js(page, "0");
    EXPECT_EQ(Hits("/other.html"), 0);
    EXPECT_EQ(events.Count("complete"), 1);
    answer = true;
    ASSERT_TRUE(ClickUntilSeen("#link", calls));
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("complete") == 2; }, kPatience));
    EXPECT_EQ(events.lines.back(), "complete 1 " + server.Url("/other.html"));
    EXPECT_EQ(Hits("/other.html"), 1);
    ASSERT_NE(control->Document(page), nullptr);
    EXPECT_NE(control->Document(page)->GetElementById("o"), nullptr);
}

TEST_F(BrowserControlDesktopTest, NewWindowsGoToTheDesktopNeverIntoTheControl) {
    Load(page, server.Url("/InitUpdate.aspx"));
    const std::string popup = server.Url("/popup.html");
    Js(page, QString::fromStdString("window.open('" + popup + "')"));
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("newwindow") == 1; }, kPatience));
    EXPECT_EQ(events.lines.back(), "newwindow 1 " + popup);
    EXPECT_EQ(desktop.Urls(), Lines{popup});

    events.cancelNewWindow = true;
    Js(page, QString::fromStdString("window.open('" + popup + "?again')"));
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("newwindow") == 2; }, kPatience));
    EXPECT_EQ(desktop.Urls().size(), 1u) << "a cancelled window opens nowhere";
    EXPECT_EQ(container->findChildren<QWebEngineView*>().size(), 1);
    EXPECT_EQ(Hits("/popup.html"), 0);
}

TEST_F(BrowserControlDesktopTest, StackFillsItsContainerAndMovesInTwips) {
    short second = 0;
    ASSERT_TRUE(control->AddBrowser(second));
    EXPECT_EQ(second, page + 1);
    QStackedWidget* stack = qobject_cast<QStackedWidget*>(control->Widget());
    ASSERT_NE(stack, nullptr);
    container->resize(500, 300);
    EXPECT_EQ(stack->geometry(), QRect(0, 0, 500, 300));

    const double dpiX = stack->logicalDpiX();
    const double dpiY = stack->logicalDpiY();
    control->Move(TwipRect{1440, 720, 2880, 1440});
    EXPECT_EQ(stack->geometry(),
              QRect(qRound(dpiX), qRound(dpiY / 2), qRound(2 * dpiX), qRound(dpiY)));
    EXPECT_NEAR(control->Bounds().height, 1440, 1440 / dpiY);

    EXPECT_TRUE(control->ShowBrowser(second));
    EXPECT_EQ(stack->currentWidget(), control->View(second));
    EXPECT_EQ(control->VisibleBrowser(), second);
    EXPECT_FALSE(control->ShowBrowser(99));
    EXPECT_FALSE(control->Navigate(99, server.Url("/InitUpdate.aspx")));
    control->LockPainting(true);
    EXPECT_FALSE(stack->updatesEnabled());
    control->LockPainting(false);
    EXPECT_TRUE(stack->updatesEnabled());
}

TEST_F(BrowserControlDesktopTest, PageBeyondTheDataUrlLimitIsServedFromMemory) {
    std::string big = kServicePage;
    big.insert(big.find("</body>"), "<!--" + std::string(3 * 1024 * 1024, 'x') + "-->");
    Serve("/InitUpdate.aspx", big);
    const std::string url = server.Url("/InitUpdate.aspx");
    Load(page, url);
    ASSERT_EQ(events.lines, Lines{"complete 1 " + url});
    const HtmlDocumentPtr document = control->Document(page);
    ASSERT_NE(document, nullptr);
    const std::optional<std::string> raw = document->GetElementById("KdAutoUpdate")->RawSource();
    ASSERT_TRUE(raw.has_value());
    EXPECT_NE(raw->find("toVersion"), std::string::npos);
    EXPECT_EQ(Js(page, "document.baseURI").toString().toStdString(), url);
    EXPECT_EQ(Js(page, "document.getElementById('KdAutoUpdate') !== null"), true);
    EXPECT_EQ(Hits("/InitUpdate.aspx"), 1);

    // Clicks are decided here as on any page.
    int clicks = 0;
    document->SetOnClick([&](const HtmlElementPtr&) { return ++clicks > 0; });
    Js(page, "document.getElementById('feat').click()");
    ASSERT_TRUE(loop.RunUntil([&] { return clicks == 1; }, kPatience));
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('feat').checked", true));
    EXPECT_TRUE(document->GetElementById("feat")->Checked());
}

// The host answers the page's alerts, and the keys it handles (reload, full screen, stop, every
// modified key) never reach the page; a plain letter does.
TEST_F(BrowserControlDesktopTest, AlertsAndKeysGoToTheHostFirst) {
    Serve("/keys", R"(<html><body><input id="field"><input id="probe"><script>
        window.keysSeen = [];
        document.addEventListener('keydown', function (e) { keysSeen.push(e.keyCode); }, true);
        alert('Hallo aus der Seite');
        window.alertReturned = true;
    </script></body></html>)");
    Load(page, server.Url("/keys"));
    ASSERT_TRUE(loop.RunUntil([&] { return events.Count("complete") == 1; }, kPatience));
    EXPECT_EQ(events.lines.front(), "message 1 Hallo aus der Seite");
    EXPECT_TRUE(Js(page, "window.alertReturned === true").toBool());

    // Chromium drops keys that reach a view in its first moments: a letter goes to a probe field
    // now and then until one arrives; the probe then goes and the page's field has the focus.
    QWidget* keys = control->View(page)->focusProxy();
    ASSERT_NE(keys, nullptr);
    Js(page, "document.getElementById('probe').focus()");
    QElapsedTimer elapsed;
    elapsed.start();
    bool arrived = false;
    while (!arrived && elapsed.elapsed() < kPatience) {
        QTest::keyClick(keys, Qt::Key_X);
        QElapsedTimer probe;
        probe.start();
        while (!arrived && probe.elapsed() < 250)
            arrived = Js(page, "document.getElementById('probe').value !== ''").toBool();
    }
    ASSERT_TRUE(arrived);
    Js(page, "document.getElementById('probe').remove(); document.getElementById('field').focus();"
             "keysSeen = []");
    QTest::keyClick(keys, Qt::Key_F5);
    QTest::keyClick(keys, Qt::Key_F11);
    QTest::keyClick(keys, Qt::Key_Escape);
    QTest::keyClick(keys, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(keys, Qt::Key_A);
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('field').value", "a"));
    EXPECT_EQ(Js(page, "keysSeen.join(',')").toString(), "65");
    EXPECT_EQ(Hits("/keys"), 1) << "the page was loaded again";
}

// A page's texts are characters of its encoding, named by the HTTP header or by the page's meta
// element; the engine is given them as they were read.
TEST_F(BrowserControlDesktopTest, ALatinOnePageGivesTheRightNames) {
    const std::string name = "Gr\xF6\xDF"
                             "e"; // "Größe" in ISO-8859-1
    const std::pair<std::string, std::string> cases[] = {
        {"text/html; charset=ISO-8859-1", ""},
        {"text/html", R"(<meta charset="iso-8859-1">)"},
        {"text/html",
         R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">)"},
    };
    for (const auto& [contentType, meta] : cases) {
        server.SetFor("/latin",
                      {.body = "<html><head>" + meta + "</head><body><p id=\"p\" title=\"" + name +
                               "\">x</p></body></html>",
                       .contentType = contentType});
        Load(page, server.Url("/latin"));
        ASSERT_NE(control->Document(page), nullptr) << events.lines.back();
        EXPECT_EQ(control->Document(page)->GetElementById("p")->GetAttribute("title"), "Größe")
            << contentType << meta;
        EXPECT_EQ(Js(page, "document.getElementById('p').title").toString(), "Größe");
    }
}

// A redirected page is reported and shown at the address it came from.
TEST_F(BrowserControlDesktopTest, ARedirectedPageIsReportedAtItsFinalAddress) {
    server.SetFor("/moved", {.status = 302, .location = server.Url("/other.html")});
    Load(page, server.Url("/moved"));
    EXPECT_EQ(events.lines, Lines{"complete 1 " + server.Url("/other.html")});
    ASSERT_NE(control->Document(page), nullptr);
    EXPECT_EQ(control->Document(page)->Url(), server.Url("/other.html"));
}

// The host's flags shape the page: DIALOG (0x1) keeps its text from being selected, SCROLL_NO
// (0x8) takes its scroll bars.
TEST_F(BrowserControlDesktopTest, TheHostFlagsReachTheShownPage) {
    for (const auto& [flags, userSelect, overflow] :
         {std::tuple{0x40201L, "none", "visible"}, std::tuple{0x8L, "auto", "hidden"}}) {
        control->SetHostUIFlags(flags);
        Load(page, server.Url("/other.html"));
        EXPECT_EQ(Js(page, "getComputedStyle(document.body).userSelect").toString(), userSelect);
        EXPECT_EQ(Js(page, "getComputedStyle(document.documentElement).overflow").toString(),
                  overflow);
    }
}

// Elements are those of the live page: what the page's script added is found and takes clicks,
// what it removed is gone, and a click reads the element as the page has it when clicked, not
// as the source had it.
TEST_F(BrowserControlDesktopTest, ElementsAreThoseOfTheLivePage) {
    Serve("/live", R"(<html><body><p id="gone">alt</p><button id="btn">B</button>
        <p><em auButtonType="actionbutton" forMessage="first">A</em></p><script>
        var close = document.createElement('button');
        close.id = 'cmdClose';
        document.body.appendChild(close);
        document.getElementById('gone').remove();
    </script></body></html>)");
    Load(page, server.Url("/live"));
    const HtmlDocumentPtr doc = control->Document(page);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetElementById("gone"), nullptr);
    const HtmlElementPtr close = doc->GetElementById("cmdClose");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->TagName(), "BUTTON");

    Lines seen;
    close->SetOnClick([&seen] { return seen.push_back("close"), true; });
    doc->SetOnClick([&](const HtmlElementPtr& source) {
        seen.push_back(source->GetAttribute("forMessage").value_or("-"));
        return false;
    });
    ASSERT_TRUE(ClickUntilSeen("#cmdClose", seen));
    // An attribute the script set on an element of the source.
    Js(page, "document.getElementById('btn').setAttribute('forMessage', 'm2')");
    ASSERT_TRUE(ClickUntilSeen("#btn", seen));
    // An element the script put where the source had another one of the same kind.
    Js(page, "var p = document.createElement('p'); p.innerHTML = "
             "'<em auButtonType=\"actionbutton\" forMessage=\"new\">N</em>'; "
             "document.body.insertBefore(p, document.querySelector('p'))");
    ASSERT_TRUE(ClickUntilSeen("em[forMessage=new]", seen));
    // The element of the source, now one place further on.
    ASSERT_TRUE(ClickUntilSeen("em[forMessage=first]", seen));
    EXPECT_EQ(seen, (Lines{"close", "-", "m2", "new", "first"}));
}

// The window that owns the control may navigate again or end the control inside its events: a
// completed load, a click.
TEST_F(BrowserControlDesktopTest, TheControlMayBeDestroyedInsideItsOwnEvents) {
    events.onNote = [this] {
        if (events.lines.size() == 1)
            control->Navigate(page, server.Url("/other.html"));
        else
            control.reset();
    };
    Load(page, server.Url("/InitUpdate.aspx"));
    ASSERT_TRUE(loop.RunUntil([&] { return control == nullptr; }, kPatience));
    EXPECT_EQ(events.lines, (Lines{"complete 1 " + server.Url("/InitUpdate.aspx"),
                                   "complete 1 " + server.Url("/other.html")}));

    events.onNote = nullptr;
    ASSERT_TRUE(NewControl(&resources));
    Load(page, server.Url("/InitUpdate.aspx"));
    const HtmlDocumentPtr doc = control->Document(page);
    ASSERT_NE(doc, nullptr);
    const HtmlElementPtr feat = doc->GetElementById("feat");
    feat->SetOnClick([this] { return control.reset(), true; });
    Js(page, "document.getElementById('feat').click()");
    ASSERT_TRUE(loop.RunUntil([&] { return control == nullptr; }, kPatience));
    // The document stays usable, and the handler kept the click.
    feat->SetAttribute("title", "weg");
    EXPECT_EQ(feat->GetAttribute("title"), "weg");
    EXPECT_TRUE(feat->Checked());
}

} // namespace
