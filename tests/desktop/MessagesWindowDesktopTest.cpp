// The messages window on Qt WebEngine against the embedded service: a real mouse click on the
// page's action button that deploys through both modal dialogs, and what the page may not do
// (script dialogs, reload and other keys).

#include <QApplication>
#include <QTest>

#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "tests/desktop/DesktopTest.h"
#include "tests/desktop/LocalPageServer.h"

using namespace KDAutoUpdate;

namespace {

constexpr const char* kExePackage = "KeldraStudio-Update-5.1.0.sh";
constexpr qint64 kProbeMs = 250;

class MessagesWindowDesktopTest : public DesktopTest {
protected:
    // Opens the window the way the host does and waits until the service page is in front.
    frmMessages* DisplayAndWaitForPage() {
        const Outcome<> shown = agent->DisplayMessages();
        EXPECT_TRUE(shown.ok()) << (shown.ok() ? "" : shown.error().description);
        frmMessages* form = FormInstances::ForThread().messages.get();
        if (!form || !form->Browser() || !desk->LastBrowser())
            return nullptr;
        const bool inFront = desk->WaitFor(
            [form] { return form->Browser()->VisibleBrowser() == form->PageBrowser(); });
        return inFront ? form : nullptr;
    }
    QWebEngineView* Page(short id) const { return desk->LastBrowser()->View(id); }
    QVariant PageJs(short id, const QString& script) { return Js(desk->loop(), Page(id), script); }

    // A left click in the middle of the page element `selector` (no double quotes in it), where
    // the user sees it: scrolled into view and painted before the mouse goes down.
    bool ClickElement(short id, const QString& selector) {
        const QString element = QStringLiteral("document.querySelector(\"%1\")").arg(selector);
        PageJs(id, element + QStringLiteral(".scrollIntoView({block: 'center'});"
                                            "window.kdauPainted = false;"
                                            "requestAnimationFrame(function () {"
                                            "  requestAnimationFrame(function () {"
                                            "    window.kdauPainted = true; }); });"));
        if (!JsBecomes(desk->loop(), Page(id), QStringLiteral("window.kdauPainted === true"), true))
            return false;
        const QVariantList center =
            PageJs(id, QStringLiteral("(function () { var r = %1.getBoundingClientRect();"
                                      "return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                           .arg(element))
                .toList();
        if (center.size() != 2)
            return false;
        QWidget* surface = Page(id)->focusProxy() ? Page(id)->focusProxy() : Page(id);
        QTest::mouseClick(surface, Qt::LeftButton, {},
                          QPoint(qRound(center[0].toDouble()), qRound(center[1].toDouble())));
        return true;
    }

    // Chromium drops key strokes that reach a view in the first moments after it came in
    // front. A probe field shows when the page takes keys: letters are typed into it until one
    // arrives. The probe then goes, and the page's own field has the focus.
    bool WaitUntilPageTakesKeys(short id, const QString& field) {
        PageJs(id, QStringLiteral("var probe = document.createElement('input');"
                                  "probe.id = 'kdauProbe'; document.body.appendChild(probe);"
                                  "probe.focus();"));
        QElapsedTimer elapsed;
        elapsed.start();
        bool arrived = false;
        while (!arrived && elapsed.elapsed() < DesktopPlatform::kPatience) {
            QTest::keyClick(Page(id)->focusProxy(), Qt::Key_X);
            QElapsedTimer probe;
            probe.start();
            while (!arrived && probe.elapsed() < kProbeMs)
                arrived = PageJs(id, "document.getElementById('kdauProbe').value !== ''").toBool();
        }
        PageJs(id, QStringLiteral("document.getElementById('kdauProbe').remove();"
                                  "document.getElementById('%1').focus();")
                       .arg(field));
        return arrived;
    }
};

TEST_F(MessagesWindowDesktopTest, TheServicePagesActionButtonDeploysThroughBothDialogs) {
    MakeAgent();
    frmMessages* form = DisplayAndWaitForPage();
    ASSERT_NE(form, nullptr) << "the service page never came in front";
    QtFormView* view = desk->renderer().Find("frmMessages");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(form->Messages().Count(), 3u);
    const QStringList requests = desk->service().RequestLog();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].contains("/InitUpdate.aspx?TestMode=False&ProductCode="))
        << requests[0];

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
    EXPECT_EQ(FileContent(downloaded),
              FileContent(std::filesystem::path(KDAU_SOURCE_DIR) / "service" / "catalogue" /
                          "packages" / kExePackage));
    EXPECT_EQ(user->Shown(),
              (std::vector<std::string>{"frmMessages", "dlgDownload", "dlgAfterDownload"}));
    EXPECT_TRUE(user->Boxes().empty());
    EXPECT_TRUE(view->IsVisible()) << "the window stays open after the deployment";
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

    // The alert ran and returned at once; no window of any kind appeared for it.
    EXPECT_TRUE(PageJs(page, "window.alertReturned === true").toBool());
    EXPECT_EQ(user->Shown(), std::vector<std::string>{"frmMessages"});
    EXPECT_TRUE(user->Boxes().empty());

    // Reload, full screen, stop and every modified key stay out of the page; a letter does not.
    QWidget* keys = Page(page)->focusProxy();
    ASSERT_NE(keys, nullptr);
    ASSERT_TRUE(WaitUntilPageTakesKeys(page, "field"));
    PageJs(page, "keysSeen = []");
    QTest::keyClick(keys, Qt::Key_F5);
    QTest::keyClick(keys, Qt::Key_F11);
    QTest::keyClick(keys, Qt::Key_Escape);
    QTest::keyClick(keys, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(keys, Qt::Key_A);
    // The page takes keys by now: one takes milliseconds, not the start-up patience.
    EXPECT_TRUE(
        JsBecomes(desk->loop(), Page(page), "document.getElementById('field').value", "a", 15000));
    EXPECT_EQ(PageJs(page, "keysSeen.join(',')").toString().toStdString(), "65")
        << "only the plain letter reaches the page's key handlers";
    EXPECT_EQ(pages.Hits("/InitUpdate.aspx"), 1) << "the page was loaded again";
    EXPECT_TRUE(desk->renderer().Find("frmMessages")->IsVisible());
}

} // namespace
