// The service page through the WebEngine browser control, offscreen: every file of the given
// folders, hostile pages made here (deep nesting, many elements, a huge attribute, broken
// encodings), then random changes of the files until the time is up. Each page must end in
// DocumentComplete or NavigateError within a bound, a page past the markup bounds must fail,
// and the island of a loaded page must be readable at once. Exits 1 at the first page that
// breaks a rule (a crash ends the run by itself).
// The page that broke a rule is kept in the artifact file.
//   kdau_webengine_pages [--seconds N] [--artifact FILE] FOLDER...

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/HttpFetcher.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtWebBrowserControl.h"

using namespace KDAutoUpdate;

namespace {

constexpr long kPageBoundMs = 30000; // a slow machine's first WebEngine load included
constexpr long kIslandReadBoundMs = 1000;
constexpr const char* kUrl = "http://svc.test/InitUpdate.aspx";

// Answers every request with the page under test.
struct PageFetcher : IHttpFetcher {
    struct NoRequest : IHttpRequest {
        void Abort() override {}
    };
    HttpResult GetSync(const std::string& url) override { return {0, 200, body, url, contentType}; }
    std::shared_ptr<IHttpRequest> GetAsync(const std::string& url,
                                           std::function<void(const HttpResult&)> done) override {
        done(GetSync(url));
        return std::make_shared<NoRequest>();
    }
    std::string body;
    std::string contentType;
};

struct Outcome : IBrowserEvents {
    void DocumentComplete(short, const std::string&) override { result = "complete"; }
    void NavigateError(short, const std::string&, long, bool&) override { result = "error"; }
    void ShowMessage(short, const std::string&, const std::string&, bool& handled) override {
        handled = true;
    }
    void NewWindow3(short, bool& cancel, const std::string&) override { cancel = true; }
    void TranslateAccelerator(short, int, int, bool&) override {}
    std::string result;
};

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

const std::string kIsland = "<xml id=\"KdAutoUpdate\"><Messages><Message id=\"m\" "
                            "downloadPath=\"http://dl/x.sh\"/></Messages></xml>";

struct Page {
    std::string name;
    std::string body;
    std::string contentType = "text/html";
    // "complete", "error", or "" for either.
    std::string expected;
};

std::vector<Page> HostilePages() {
    return {
        {"nested 1900", Repeat("<div>", 1900) + kIsland, "text/html", "complete"},
        {"nested 2001", Repeat("<div>", 2001) + kIsland, "text/html", "error"},
        {"nested 100000", Repeat("<div>", 100000), "text/html", "error"},
        {"elements 100001", Repeat("<br>", 100001), "text/html", "error"},
        {"huge attribute",
         "<xml id=\"KdAutoUpdate\"><Messages><Message id=\"m\" cmdLine=\"" +
             std::string(3 * 1024 * 1024, 'a') + "\"/></Messages></xml>",
         "text/html", "complete"},
        {"invalid utf-8", "<p>\xff\xfe\xc3(\xe2\x82\xf0\x28\x8c\xbc</p>" + kIsland,
         "text/html; charset=utf-8", "complete"},
        {"odd utf-16", "\xff\xfe<\0p\0>\0\xd8", "text/html; charset=utf-16", ""},
        {"unknown charset", "<meta charset=\"x-none\">\x80\x81" + kIsland, "text/html", ""},
        {"nul bytes", std::string("<p>\0\0</p>", 9) + kIsland, "text/html", "complete"},
        {"unclosed island", "<xml id=\"KdAutoUpdate\"><Messages><Message id=\"m\"", "text/html",
         ""},
    };
}

// A random change: bytes replaced, a piece cut out or repeated.
std::string Mutated(std::string text, std::mt19937& random) {
    if (text.empty())
        return "<";
    const auto at = [&] {
        return std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(random);
    };
    switch (random() % 3) {
    case 0:
        for (int i = 0; i < 8; ++i)
            text[at()] = static_cast<char>(random());
        break;
    case 1:
        text.erase(at(), 64);
        break;
    default: {
        const std::size_t from = at();
        text.insert(at(), Repeat(text.substr(from, 32), 1 + static_cast<int>(random() % 64)));
    }
    }
    return text;
}

class Runner {
public:
    Runner() : m_control(&m_container, m_http, nullptr, m_loop) {
        m_container.resize(640, 480);
        m_control.SetEvents(&m_outcome);
        m_control.AddBrowser(m_browser);
    }

    // False when the page breaks a rule; says why.
    bool Run(const Page& page) {
        m_http.body = page.body;
        m_http.contentType = page.contentType;
        m_outcome.result.clear();
        QElapsedTimer clock;
        clock.start();
        if (!m_control.Navigate(m_browser, kUrl))
            return Fail(page, "Navigate refused");
        if (!m_loop.RunUntil([&] { return !m_outcome.result.empty(); }, kPageBoundMs))
            return Fail(page, "no event within the bound");
        if (!page.expected.empty() && m_outcome.result != page.expected)
            return Fail(page, "ended in " + m_outcome.result);
        if (m_outcome.result == "complete") {
            QElapsedTimer read;
            read.start();
            if (const HtmlDocumentPtr document = m_control.Document(m_browser))
                if (const HtmlElementPtr island = document->GetElementById("KdAutoUpdate"))
                    island->RawSource();
            if (read.elapsed() > kIslandReadBoundMs)
                return Fail(page, "island read took " + std::to_string(read.elapsed()) + " ms");
        }
        std::printf("%-40s %-8s %6lld ms\n", page.name.c_str(), m_outcome.result.c_str(),
                    static_cast<long long>(clock.elapsed()));
        return true;
    }

private:
    static bool Fail(const Page& page, const std::string& why) {
        std::fprintf(stderr, "FAILED %s: %s\n", page.name.c_str(), why.c_str());
        return false;
    }

    QWidget m_container;
    PageFetcher m_http;
    QtEventLoop m_loop;
    QtWebBrowserControl m_control;
    Outcome m_outcome;
    short m_browser = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebBrowserControl::RegisterSchemes();
    QApplication application(argc, argv);
    long long seconds = 30;
    std::string artifact = "webengine-page-failure.html";
    std::vector<Page> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atoll(argv[++i]);
            continue;
        }
        if (arg == "--artifact" && i + 1 < argc) {
            artifact = argv[++i];
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(arg))
            if (entry.is_regular_file())
                seeds.push_back(
                    {entry.path().string(),
                     std::string(std::istreambuf_iterator<char>(
                                     std::ifstream(entry.path(), std::ios::binary).rdbuf()),
                                 {})});
    }
    Runner runner;
    QElapsedTimer clock;
    clock.start();
    for (const std::vector<Page>& pages : {seeds, HostilePages()})
        for (const Page& page : pages)
            if (!runner.Run(page))
                return 1;
    std::mt19937 random(static_cast<unsigned>(::getpid()));
    int changed = 0;
    while (!seeds.empty() && clock.elapsed() < seconds * 1000) {
        const Page& seed = seeds[random() % seeds.size()];
        Page page{seed.name + " changed " + std::to_string(++changed), Mutated(seed.body, random)};
        if (!runner.Run(page)) {
            std::ofstream(artifact, std::ios::binary) << page.body;
            return 1;
        }
    }
    std::printf("%d changed pages in %lld s, all within bounds\n", changed,
                static_cast<long long>(clock.elapsed() / 1000));
    return 0;
}
