// A page too deep or too large to parse in a moment fails to load in the headless browser;
// ordinary markup of the same size loads.

#include "platform/headless/HeadlessBrowser.h"
#include "tests/support/TestPlatform.h"

#include <gtest/gtest.h>

#include <string>

using namespace KDAutoUpdate;

namespace {

struct Outcome : IBrowserEvents {
    void DocumentComplete(short, const std::string&) override { result = "complete"; }
    void NavigateError(short, const std::string&, long, bool&) override { result = "error"; }
    void ShowMessage(short, const std::string&, const std::string&, bool&) override {}
    void NewWindow3(short, bool&, const std::string&) override {}
    void TranslateAccelerator(short, int, int, bool&) override {}
    std::string result;
};

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(PageWorkBounds, DeepOrHugePagesFailOrdinaryOnesLoad) {
    TestPlatform tp;
    HeadlessBrowser browser(tp.http(), nullptr, tp.loop());
    Outcome events;
    browser.SetEvents(&events);
    short page = 0;
    ASSERT_TRUE(browser.AddBrowser(page));
    // Closed elements, void ones and comments do not add to the depth.
    for (const auto& [html, expected] :
         {std::pair{Repeat("<div><br><img src=x/><!-- <div> --></div>", 10000), "complete"},
          std::pair{Repeat("<div>", 100000), "error"},
          std::pair{Repeat("<br>", 100001), "error"}}) {
        events.result.clear();
        tp.http().SetResponse("http://svc/p", FakeHttpFetcher::Response::Ok(html));
        ASSERT_TRUE(browser.Navigate(page, "http://svc/p"));
        tp.loop().ProcessPendingEvents();
        EXPECT_EQ(events.result, expected) << html.substr(0, 40);
    }
}

} // namespace
