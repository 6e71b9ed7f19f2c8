#pragma once
// Base of the desktop tests: a fresh DesktopPlatform and user for every test, an agent for the
// sample product, and typed access to the real widgets of a window.

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "agent/AuAgent.h"
#include "tests/desktop/DesktopPlatform.h"
#include "tests/desktop/DesktopUser.h"

// Qt texts in test messages and failures, as text rather than as a list of characters.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace KDAutoUpdate {

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
    EXPECT_TRUE(loop.RunUntil([&] { return done; }, DesktopPlatform::kPatience))
        << script.toStdString();
    return result;
}

// Evaluates until the page answers `expected`: writes reach the live page a little later.
inline bool JsBecomes(IEventLoop& loop, QWebEngineView* view, const QString& script,
                      const QVariant& expected, long timeoutMs = DesktopPlatform::kPatience) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < timeoutMs)
        if (Js(loop, view, script) == expected)
            return true;
    ADD_FAILURE() << script.toStdString() << " stays "
                  << Js(loop, view, script).toString().toStdString();
    return false;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        desk = std::make_unique<DesktopPlatform>();
        ASSERT_TRUE(desk->IsReady()) << desk->Error();
        user = std::make_unique<DesktopUser>(desk->renderer(), desk->loop());
    }

    void TearDown() override {
        // The agent unloads its windows; they go before the platform they were made on.
        agent.reset();
        if (user) {
            EXPECT_EQ(user->Pending(), 0) << "an expected message box never appeared";
        }
        user.reset();
        desk.reset();
    }

    // An agent of the sample product that talks to `baseUrl`.
    AuAgent& MakeAgent(const std::string& baseUrl = {}) {
        agent = std::make_unique<AuAgent>(desk->platform());
        agent->SetProductCode(DesktopPlatform::kProductCode);
        agent->SetBaseURL(baseUrl);
        return *agent;
    }

    template <class W> static W* Widget(QtFormView& view, const std::string& name, int index = -1) {
        return qobject_cast<W*>(view.Control(name, index));
    }
    std::unique_ptr<DesktopPlatform> desk;
    std::unique_ptr<DesktopUser> user;
    std::unique_ptr<AuAgent> agent;
};

} // namespace KDAutoUpdate
