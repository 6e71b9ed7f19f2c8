#pragma once
// Base of the desktop tests: Qt Widgets windows with the WebEngine browser control on the Qt loop,
// the built resource library, a user at the screen, and typed access to a window's widgets.

#include <QElapsedTimer>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtFormView.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtResourceLibrary.h"
#include "platform/qt/QtWebBrowserControl.h"
#include "tests/desktop/DesktopUser.h"
#include "tests/support/RecordingDesktop.h"

// Qt texts in test messages and failures, as text rather than as a list of characters.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace KDAutoUpdate {

// WebEngine starts slowly on a small machine; every wait allows this much.
inline constexpr long kPatience = 60000;

// A script's value in the page's own world of `view`.
inline QVariant Js(IEventLoop& loop, QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    if (!view)
        return result;
    view->page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    EXPECT_TRUE(loop.RunUntil([&] { return done; }, kPatience)) << script.toStdString();
    return result;
}

// Evaluates until the page answers `expected`: writes reach the live page a little later.
inline bool JsBecomes(IEventLoop& loop, QWebEngineView* view, const QString& script,
                      const QVariant& expected) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kPatience)
        if (Js(loop, view, script) == expected)
            return true;
    ADD_FAILURE() << script.toStdString() << " stays "
                  << Js(loop, view, script).toString().toStdString();
    return false;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.OpenResourceLibrary(KDAU_BINARY_DIR "/bin/_AuResLib.rcc"));
    }
    void TearDown() override {
        EXPECT_EQ(user.Pending(), 0) << "an expected message box never appeared";
        // The windows and browser controls of ended forms go from the loop; they use the parts
        // below, so they must be gone before them.
        Drain();
        loop.RunUntil([this] { return lastBrowser.isNull() && renderer.Views().empty(); }, 10000);
        Drain();
    }

    bool WaitFor(const std::function<bool()>& done) { return loop.RunUntil(done, kPatience); }
    // Lets everything queued so far run, deferred deletions included; twice, as what the first
    // round ran may have queued more.
    void Drain() {
        for (int round = 0; round < 2; ++round) {
            bool reached = false;
            loop.Post([&reached] { reached = true; });
            loop.RunUntil([&reached] { return reached; }, kPatience);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    template <class W> static W* Widget(QtFormView& view, const std::string& name, int index = -1) {
        return qobject_cast<W*>(view.Control(name, index));
    }

    QtEventLoop loop;
    QtHttpFetcher http;
    QtResourceLibrary resources;
    RecordingDesktop desktop;
    // The newest browser control the windows made, while it lives.
    QPointer<QtWebBrowserControl> lastBrowser;
    QtFormRenderer renderer{loop, &resources, [this](QWidget* container) {
                                auto control = std::make_unique<QtWebBrowserControl>(
                                    container, http, &resources, loop);
                                control->SetDesktop(&desktop);
                                lastBrowser = control.get();
                                return control;
                            }};
    DesktopUser user{loop};
};

} // namespace KDAutoUpdate
