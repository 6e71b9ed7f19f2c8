#pragma once
// One case over both browser controls, the headless one and the one on Qt WebEngine
// (offscreen): pages come from a local server through the Qt fetcher, and the fixture waits
// for the control's events as the messages window does.

#include <gtest/gtest.h>

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtHttpFetcher.h"
#include "tests/platform/ScriptedHttpServer.h"

namespace KDAutoUpdate {

enum class Backend { Headless, WebEngine };

class BrowserBackends : public ::testing::TestWithParam<Backend>, private IBrowserEvents {
public:
    static auto Both() { return ::testing::Values(Backend::Headless, Backend::WebEngine); }
    static std::string Name(const ::testing::TestParamInfo<Backend>& info) {
        return info.param == Backend::Headless ? "Headless" : "WebEngine";
    }

protected:
    void SetUp() override;
    void TearDown() override;
    // Serves `body`, shows it and answers its document (null when it did not load).
    HtmlDocumentPtr Show(const std::string& body, const std::string& contentType = "text/html");
    // The user clicks the element with that id; returns once the document's handler ran (it
    // keeps the click when `keep`) or the control is gone, answering how often it ran.
    int Click(const HtmlDocumentPtr& document, const std::string& id, bool keep = false);
    // A script's value in the WebEngine page's own world.
    QVariant Js(const QString& script);

    QtEventLoop loop;
    ScriptedHttpServer server;
    QtHttpFetcher pages;
    std::unique_ptr<QWidget> container;
    std::unique_ptr<IBrowserControl> control;
    short browser = 0;
    // "complete URL" or "error URL STATUS" for each finished load.
    std::vector<std::string> loads;
    // Runs inside each load's event, as the window's handlers do.
    std::function<void()> onLoad;

private:
    void DocumentComplete(short, const std::string& url) override { Loaded("complete " + url); }
    void NavigateError(short, const std::string& url, long status, bool&) override {
        Loaded("error " + url + " " + std::to_string(status));
    }
    void Loaded(std::string line) {
        EXPECT_FALSE(m_insideNavigate) << line << " raised inside Navigate";
        loads.push_back(std::move(line));
        ++m_completed;
        if (onLoad)
            onLoad();
    }
    void ShowMessage(short, const std::string&, const std::string&, bool& handled) override {
        handled = true;
    }
    void NewWindow3(short, bool&, const std::string&) override {}
    void TranslateAccelerator(short, int, int, bool&) override {}

    int m_completed = 0;
    bool m_insideNavigate = false;
};

} // namespace KDAutoUpdate
