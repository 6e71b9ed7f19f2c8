// The messages window on Qt WebEngine against the embedded service: the page-load handshake,
// the island, a real mouse click on the page's action button that deploys through both modal
// dialogs, the red error text of a failing service, and what the page may not do (script
// dialogs, reload and other keys).

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "tests/desktop/DesktopTest.h"
#include "tests/desktop/LocalPageServer.h"

using namespace KDAutoUpdate;

namespace {

constexpr const char* kWaitingText =
    "Keldra Update Service sucht nach Updates... Einen Moment bitte...";
constexpr const char* kExePackage = "KeldraStudio-Update-5.1.0.sh";
constexpr qint64 kProbeMs = 250;

class MessagesWindowDesktopTest : public DesktopTest {
protected:
    static frmMessages* Form() { return FormInstances::ForThread().messages.get(); }

    // Opens the window the way the host does and waits until the service page is in front.
    frmMessages* DisplayAndWaitForPage() {
        const Outcome<> shown = agent->DisplayMessages();
        EXPECT_TRUE(shown.ok()) << (shown.ok() ? "" : shown.error().description);
        frmMessages* form = Form();
        if (!form || !form->Browser() || !desk->LastBrowser())
            return nullptr;
        const bool inFront = desk->WaitFor(
            [form] { return form->Browser()->VisibleBrowser() == form->PageBrowser(); });
        return inFront ? form : nullptr;
    }

    // Evaluates `script` in the page's own world of that browser.
    QVariant Js(short id, const QString& script) {
        QVariant result;
        bool done = false;
        QWebEngineView* view = desk->LastBrowser() ? desk->LastBrowser()->View(id) : nullptr;
        if (!view)
            return result;
        view->page()->runJavaScript(script, [&result, &done](const QVariant& value) {
            result = value;
            done = true;
        });
        EXPECT_TRUE(desk->WaitFor([&done] { return done; })) << script.toStdString();
        return result;
    }

    // Writes reach the live page a little later than the document interface.
    bool JsBecomes(short id, const QString& script, const QVariant& expected,
                   long timeoutMs = DesktopPlatform::kPatience) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < timeoutMs)
            if (Js(id, script) == expected)
                return true;
        ADD_FAILURE() << script.toStdString() << " stays "
                      << Js(id, script).toString().toStdString();
        return false;
    }

    // A left click in the middle of the page element `selector` (no double quotes in it), where
    // the user sees it: scrolled into view and painted before the mouse goes down.
    bool ClickElement(short id, const QString& selector) {
        const QString element = QStringLiteral("document.querySelector(\"%1\")").arg(selector);
        Js(id, element + QStringLiteral(".scrollIntoView({block: 'center'});"
                                        "window.kdauPainted = false;"
                                        "requestAnimationFrame(function () {"
                                        "  requestAnimationFrame(function () {"
                                        "    window.kdauPainted = true; }); });"));
        if (!JsBecomes(id, QStringLiteral("window.kdauPainted === true"), true))
            return false;
        const QVariantList center =
            Js(id, QStringLiteral("(function () { var r = %1.getBoundingClientRect();"
                                  "return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                       .arg(element))
                .toList();
        QWebEngineView* view = desk->LastBrowser()->View(id);
        if (center.size() != 2 || !view)
            return false;
        QWidget* surface = view->focusProxy() ? view->focusProxy() : view;
        QTest::mouseClick(surface, Qt::LeftButton, {},
                          QPoint(qRound(center[0].toDouble()), qRound(center[1].toDouble())));
        return true;
    }

    // Chromium drops key strokes that reach a view in the first moments after it came in
    // front. A probe field shows when the page takes keys: letters are typed into it until one
    // arrives. The probe then goes, and the page's own field has the focus.
    bool WaitUntilPageTakesKeys(short id, const QString& field) {
        QWidget* keys = desk->LastBrowser()->View(id)->focusProxy();
        Js(id, QStringLiteral("var probe = document.createElement('input');"
                              "probe.id = 'kdauProbe'; document.body.appendChild(probe);"
                              "probe.focus();"));
        QElapsedTimer elapsed;
        elapsed.start();
        bool arrived = false;
        while (!arrived && elapsed.elapsed() < DesktopPlatform::kPatience) {
            QTest::keyClick(keys, Qt::Key_X);
            QElapsedTimer probe;
            probe.start();
            while (!arrived && probe.elapsed() < kProbeMs)
                arrived = Js(id, QStringLiteral("document.getElementById('kdauProbe').value "
                                                "!== ''"))
                              .toBool();
        }
        Js(id, QStringLiteral("document.getElementById('kdauProbe').remove();"
                              "document.getElementById('%1').focus();")
                   .arg(field));
        return arrived;
    }

    std::string ResUrl(const std::string& name) {
        Platform& platform = desk->platform();
        return "res://" +
               platform.utility->ResourceUrlPath(platform.resources->ResourceFilePath()) + "/" +
               name;
    }
};

TEST_F(MessagesWindowDesktopTest, ServicePageFollowsTheProgressPageAndItsActionButtonDeploys) {
    MakeAgent();
    // What the progress page said when the service received the page request.
    std::vector<std::string> progressAtRequest;
    QObject context;
    QObject::connect(&desk->service(), &UpdateService::RequestLogged, &context,
                     [&progressAtRequest](const QString& line) {
                         if (!line.contains(QLatin1String("/InitUpdate.aspx")))
                             return;
                         const frmMessages* form = Form();
                         IBrowserControl* browser = form ? form->Browser() : nullptr;
                         const HtmlDocumentPtr progress =
                             browser ? browser->Document(form->ProgressBrowser()) : nullptr;
                         const HtmlElementPtr label =
                             progress ? progress->GetElementById("lblProgress") : nullptr;
                         progressAtRequest.push_back(label ? label->InnerHTML() : "(none)");
                     });

    frmMessages* form = DisplayAndWaitForPage();
    ASSERT_NE(form, nullptr) << "the service page never came in front";
    QtFormView* view = desk->renderer().Find("frmMessages");
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->IsVisible());
    EXPECT_EQ(view->Window()->windowTitle(), "Keldra Update Service");
    EXPECT_EQ(form->Messages().Count(), 3u);
    EXPECT_NE(form->Messages().Find("KS-2024-510"), nullptr);
    EXPECT_EQ(progressAtRequest, std::vector<std::string>{kWaitingText});
    const QStringList requests =
        desk->service().RequestLog().filter(QStringLiteral("/InitUpdate.aspx"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].startsWith("GET /services/autoupdate/InitUpdate.aspx?")) << requests[0];
    EXPECT_TRUE(requests[0].contains("6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14")) << requests[0];
    EXPECT_TRUE(requests[0].contains("Version=5.0.2")) << requests[0];
    EXPECT_FALSE(requests[0].contains("OpType")) << requests[0];
    EXPECT_TRUE(requests[0].endsWith(" 200")) << requests[0];

    // Install now: the default choice, confirmed with OK.
    user->When(
        "dlgAfterDownload",
        [](QtFormView& choice) {
            EXPECT_TRUE(Widget<QRadioButton>(choice, "optInstallAction", 0)->isChecked());
            DesktopUser::Click(Widget<QPushButton>(choice, "cmdOK"));
        },
        true);
    ASSERT_TRUE(ClickElement(form->PageBrowser(),
                             "button[aubuttontype='actionbutton'][formessage='KS-2024-510']"));
    ASSERT_TRUE(desk->WaitFor([this] { return !desk->processes().CommandLines().empty(); }))
        << "the click never started the installer";

    const std::filesystem::path downloaded = desk->ProgramFolder() / kExePackage;
    EXPECT_EQ(desk->processes().CommandLines(),
              std::vector<std::string>{downloaded.string() + " /quiet /norestart"});
    EXPECT_EQ(FileContent(downloaded), FileContent(CataloguePackage(kExePackage)));
    EXPECT_EQ(user->Shown(),
              (std::vector<std::string>{"frmMessages", "dlgDownload", "dlgAfterDownload"}));
    EXPECT_TRUE(user->Boxes().empty());
    EXPECT_EQ(agent->GetProductAttribute("install-last-update-on-startup"), "0");
    EXPECT_TRUE(view->IsVisible()) << "the window stays open after the deployment";
}

TEST_F(MessagesWindowDesktopTest, FailingServiceShowsItsStatusInRedWithTheStoppedAnimation) {
    MakeAgent(desk->BaseUrl() + "/missing");
    ASSERT_TRUE(agent->DisplayMessages().ok());
    frmMessages* form = Form();
    ASSERT_TRUE(form && form->Browser());
    IBrowserControl* browser = form->Browser();
    const short progress = form->ProgressBrowser();
    const auto element = [browser, progress](const char* id) {
        const HtmlDocumentPtr document = browser->Document(progress);
        return document ? document->GetElementById(id) : nullptr;
    };
    ASSERT_TRUE(desk->WaitFor([&element] {
        const HtmlElementPtr label = element("lblProgress");
        return label && label->InnerHTML().find("<b>") != std::string::npos;
    })) << "no error text";

    const std::string errorText = "Der Keldra Update Server ist momentan entweder nicht "
                                  "erreichbar oder kann die Anfrage nicht erfüllen. Fehlercode: "
                                  "<b>404</b>.";
    EXPECT_EQ(element("lblProgress")->InnerHTML(), errorText);
    EXPECT_EQ(element("lblProgress")->StyleColor(), "#FF0000");
    EXPECT_EQ(element("imgProgress")->GetAttribute("src"), ResUrl("aniProgressStop.gif"));
    EXPECT_EQ(browser->VisibleBrowser(), progress);
    EXPECT_EQ(form->Messages().Count(), 0u);
    // What the user sees: the same text, in red, beside the stopped animation.
    EXPECT_TRUE(JsBecomes(progress, "document.getElementById('lblProgress').innerHTML",
                          QString::fromStdString(errorText)));
    EXPECT_TRUE(JsBecomes(progress,
                          "getComputedStyle(document.getElementById('lblProgress')).color",
                          "rgb(255, 0, 0)"));
    EXPECT_TRUE(JsBecomes(progress, "document.getElementById('imgProgress').src",
                          QString::fromStdString(ResUrl("aniProgressStop.gif"))));
    const QStringList requests = desk->service().RequestLog();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].startsWith("GET /services/autoupdate/missing/InitUpdate.aspx?"));
    EXPECT_TRUE(requests[0].endsWith(" 404")) << requests[0];
}

TEST_F(MessagesWindowDesktopTest, PageAlertsShowNothingAndOnlyPlainKeysReachThePage) {
    LocalPageServer pages;
    ASSERT_TRUE(pages.IsListening());
    pages.Set("/InitUpdate.aspx", R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Test</title></head>
<body>
<xml id="KdAutoUpdate"><Messages><Message id="T-1" name="Test" type="exe" fileName="t.sh" downloadPath="http://127.0.0.1:9/t.sh"/></Messages></xml>
<input id="field">
<script>
  window.keysSeen = [];
  document.addEventListener('keydown', function (e) { keysSeen.push(e.keyCode); }, true);
  alert('Hallo aus der Seite');
  window.alertReturned = true;
</script>
</body></html>)");
    MakeAgent(pages.Url());
    frmMessages* form = DisplayAndWaitForPage();
    ASSERT_NE(form, nullptr) << "the test page never came in front";
    const short page = form->PageBrowser();
    EXPECT_EQ(form->Messages().Count(), 1u);

    // The alert ran and returned at once; no window of any kind appeared for it.
    EXPECT_TRUE(Js(page, "window.alertReturned === true").toBool());
    EXPECT_EQ(user->Shown(), std::vector<std::string>{"frmMessages"});
    EXPECT_TRUE(user->Boxes().empty());
    QtFormView* view = desk->renderer().Find("frmMessages");
    ASSERT_NE(view, nullptr);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_TRUE(!widget->isVisible() || widget == view->Window())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();

    // Reload, full screen, stop and every modified key stay out of the page; a letter does not.
    QWidget* keys = desk->LastBrowser()->View(page)->focusProxy();
    ASSERT_NE(keys, nullptr);
    ASSERT_TRUE(WaitUntilPageTakesKeys(page, "field"));
    Js(page, "keysSeen = []");
    QTest::keyClick(keys, Qt::Key_F5);
    QTest::keyClick(keys, Qt::Key_F11);
    QTest::keyClick(keys, Qt::Key_Escape);
    QTest::keyClick(keys, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(keys, Qt::Key_A);
    // The page takes keys by now: one takes milliseconds, not the start-up patience.
    EXPECT_TRUE(JsBecomes(page, "document.getElementById('field').value", "a", 15000));
    EXPECT_EQ(Js(page, "keysSeen.join(',')").toString().toStdString(), "65")
        << "only the plain letter reaches the page's key handlers";
    EXPECT_EQ(pages.Hits("/InitUpdate.aspx"), 1) << "the page was loaded again";
    EXPECT_TRUE(view->IsVisible());
    EXPECT_EQ(form->Browser()->VisibleBrowser(), page);
}

} // namespace
