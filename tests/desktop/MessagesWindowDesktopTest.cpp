// The messages window on Qt WebEngine: what the page may not do (script dialogs, reload and
// other keys).

#include <QApplication>
#include <QTest>

#include <algorithm>

#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "tests/desktop/DesktopTest.h"
#include "tests/platform/ScriptedHttpServer.h"

using namespace KDAutoUpdate;

namespace {

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

TEST_F(MessagesWindowDesktopTest, PageAlertsShowNothingAndOnlyPlainKeysReachThePage) {
    ScriptedHttpServer pages;
    pages.Set({.body = R"(<!DOCTYPE html>
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
</body></html>)",
               .contentType = "text/html; charset=utf-8"});
    MakeAgent(pages.Url(""));
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
    EXPECT_EQ(
        std::count_if(pages.Paths().begin(), pages.Paths().end(),
                      [](const std::string& path) { return path.starts_with("/InitUpdate"); }),
        1)
        << "the page was loaded again";
    EXPECT_TRUE(desk->renderer().Find("frmMessages")->IsVisible());
}

} // namespace
