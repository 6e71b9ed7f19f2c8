#pragma once
// One case over both browser controls, the headless one and the one on Qt WebEngine
// (offscreen): pages come from a map of URLs through the same fetcher, and the fixture waits
// for the control's events as the messages window does.
//
//   class PageEncoding : public BrowserBackends {};
//   TEST_P(PageEncoding, ...) { const HtmlDocumentPtr doc = Show(body, "text/html"); ... }
//   INSTANTIATE_TEST_SUITE_P(Both, PageEncoding, BrowserBackends::Both(), BrowserBackends::Name);

#include <gtest/gtest.h>

#include <QWidget>

#include <map>
#include <memory>
#include <string>

#include "platform/BrowserControl.h"
#include "platform/HttpFetcher.h"
#include "platform/qt/QtEventLoop.h"

namespace KDAutoUpdate {

enum class Backend { Headless, WebEngine };

// Answers GETs from a map, later through the loop, as a network would.
class PageMap : public IHttpFetcher {
public:
    explicit PageMap(IEventLoop& loop) : m_loop(loop) {}
    void Set(const std::string& url, std::string body, std::string contentType) {
        m_pages[url] = {std::move(body), std::move(contentType)};
    }
    HttpResult GetSync(const std::string& url) override;
    std::shared_ptr<IHttpRequest> GetAsync(const std::string& url,
                                           std::function<void(const HttpResult&)> done) override;

private:
    struct Page {
        std::string body;
        std::string contentType;
    };
    IEventLoop& m_loop;
    std::map<std::string, Page> m_pages;
};

class BrowserBackends : public ::testing::TestWithParam<Backend>, private IBrowserEvents {
public:
    static auto Both() { return ::testing::Values(Backend::Headless, Backend::WebEngine); }
    static std::string Name(const ::testing::TestParamInfo<Backend>& info) {
        return info.param == Backend::Headless ? "Headless" : "WebEngine";
    }

protected:
    static constexpr const char* kUrl = "http://127.0.0.1/InitUpdate.aspx";

    void SetUp() override;
    void TearDown() override;
    // Serves `body` at kUrl, shows it and answers its document (null when it did not load).
    HtmlDocumentPtr Show(const std::string& body, const std::string& contentType = "text/html");
    // The user clicks the element with that id; returns once the document's handler ran.
    void Click(const HtmlDocumentPtr& document, const std::string& id);
    // A script's value in the WebEngine page's own world.
    QVariant Js(const QString& script);

    QtEventLoop loop;
    PageMap pages{loop};
    std::unique_ptr<QWidget> container;
    std::unique_ptr<IBrowserControl> control;
    short browser = 0;

private:
    void DocumentComplete(short, const std::string&) override { ++m_completed; }
    void NavigateError(short, const std::string&, long, bool&) override { ++m_completed; }
    void ShowMessage(short, const std::string&, const std::string&, bool& handled) override {
        handled = true;
    }
    void NewWindow3(short, bool&, const std::string&) override {}
    void TranslateAccelerator(short, int, int, bool&) override {}

    int m_completed = 0;
};

} // namespace KDAutoUpdate
