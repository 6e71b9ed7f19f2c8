// The service page through the WebEngine browser control: the folders' files, hostile pages, then
// random changes of the files. Each ends in DocumentComplete or NavigateError within a bound, a
// loaded one's island readable at once; exits 1 at the first that does not (changed page kept).
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
#include "tests/support/BrowserEventRecorder.h"

using namespace KDAutoUpdate;

namespace {

// Answers every request with the page under test.
struct Harness : IHttpFetcher {
    struct NoRequest : IHttpRequest {
        void Abort() override {}
    };
    HttpResult GetSync(const std::string& url) override { return {0, 200, body, url, type}; }
    std::shared_ptr<IHttpRequest> GetAsync(const std::string& url,
                                           std::function<void(const HttpResult&)> done) override {
        done(GetSync(url));
        return std::make_shared<NoRequest>();
    }
    std::string body, type;
};

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string text;
    while (times--)
        text += piece;
    return text;
}

struct Page {
    std::string name, body, type = "text/html";
    std::string expected; // "complete", "error", or "" for either
};

const std::string kIsland = "<xml id=\"KdAutoUpdate\"><Messages><Message id=\"m\" "
                            "downloadPath=\"http://dl/x.sh\"/></Messages></xml>";
const std::vector<Page> kHostilePages = {
    {"nested 1900", Repeat("<div>", 1900) + kIsland, "text/html", "complete"},
    {"nested 2001", Repeat("<div>", 2001) + kIsland, "text/html", "error"},
    {"elements 100001", Repeat("<br>", 100001), "text/html", "error"},
    {"huge attribute",
     "<xml id=\"KdAutoUpdate\"><Messages><Message id=\"m\" cmdLine=\"" +
         std::string(3 * 1024 * 1024, 'a') + "\"/></Messages></xml>",
     "text/html", "complete"},
    {"invalid utf-8", "<p>\xff\xfe\xc3(\xe2\x82\xf0\x28\x8c\xbc</p>" + kIsland,
     "text/html; charset=utf-8", "complete"},
    {"odd utf-16", "\xff\xfe<\0p\0>\0\xd8", "text/html; charset=utf-16"},
    {"unknown charset", "<meta charset=\"x-none\">\x80\x81" + kIsland},
    {"nul bytes", std::string("<p>\0\0</p>", 9) + kIsland, "text/html", "complete"},
    {"unclosed island", "<xml id=\"KdAutoUpdate\"><Messages><Message id=\"m\""},
};

// A random change: bytes replaced, a piece cut out or repeated.
std::string Mutated(std::string text, std::mt19937& random) {
    if (text.empty())
        return "<";
    const auto at = [&] { return random() % text.size(); };
    if (const auto kind = random() % 3; kind == 0)
        for (int i = 0; i < 8; ++i)
            text[at()] = static_cast<char>(random());
    else if (kind == 1)
        text.erase(at(), 64);
    else
        text.insert(at(), Repeat(text.substr(at(), 32), 1 + random() % 64));
    return text;
}

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
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atoll(argv[++i]);
        else if (arg == "--artifact" && i + 1 < argc)
            artifact = argv[++i];
        else
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (std::ifstream file{entry.path(), std::ios::binary}; entry.is_regular_file())
                    seeds.push_back(
                        {entry.path().string(), {std::istreambuf_iterator<char>(file), {}}});
    }

    QWidget container;
    container.resize(640, 480);
    Harness harness;
    BrowserEventRecorder events;
    events.cancelNewWindow = true;
    QtEventLoop loop;
    QtWebBrowserControl control(&container, harness, nullptr, loop);
    short browser = 0;
    control.SetEvents(&events);
    control.AddBrowser(browser);
    // False when the page breaks a rule; says why.
    const auto run = [&](const Page& page) {
        const auto fail = [&](const std::string& why) {
            std::fprintf(stderr, "FAILED %s: %s\n", page.name.c_str(), why.c_str());
            return false;
        };
        harness.body = page.body;
        harness.type = page.type;
        events.lines.clear();
        QElapsedTimer clock;
        clock.start();
        if (!control.Navigate(browser, "http://svc.test/InitUpdate.aspx"))
            return fail("Navigate refused");
        // 30 s: a slow machine's first WebEngine load included.
        if (!loop.RunUntil([&] { return !events.lines.empty(); }, 30000))
            return fail("no event within the bound");
        const std::string result = events.lines.front().substr(0, events.lines.front().find(' '));
        if (!page.expected.empty() && result != page.expected)
            return fail("ended in " + result);
        if (result == "complete") {
            const qint64 before = clock.elapsed();
            if (const HtmlDocumentPtr document = control.Document(browser))
                if (const HtmlElementPtr island = document->GetElementById("KdAutoUpdate"))
                    island->RawSource();
            if (clock.elapsed() - before > 1000)
                return fail("island read took " + std::to_string(clock.elapsed() - before) + " ms");
        }
        std::printf("%-40s %-8s %6lld ms\n", page.name.c_str(), result.c_str(),
                    static_cast<long long>(clock.elapsed()));
        return true;
    };

    QElapsedTimer clock;
    clock.start();
    for (const std::vector<Page>& pages : {seeds, kHostilePages})
        for (const Page& page : pages)
            if (!run(page))
                return 1;
    std::mt19937 random(static_cast<unsigned>(::getpid()));
    int changed = 0;
    while (!seeds.empty() && clock.elapsed() < seconds * 1000) {
        const Page& seed = seeds[random() % seeds.size()];
        const Page page{seed.name + " changed " + std::to_string(++changed),
                        Mutated(seed.body, random)};
        if (!run(page)) {
            std::ofstream(artifact, std::ios::binary) << page.body;
            return 1;
        }
    }
    std::printf("%d changed pages in %lld s, all within bounds\n", changed,
                static_cast<long long>(clock.elapsed() / 1000));
    return 0;
}
