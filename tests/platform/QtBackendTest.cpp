#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeZone>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/LoadedForms.h"
#include "platform/pugixml/PugiXmlService.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtUtilityLibrary.h"
#include "tests/platform/QtTestHelpers.h"
#include "tests/platform/ScriptedHttpServer.h"

using namespace KDAutoUpdate;

namespace {

// /ok, /missing, /redirect (to /ok), /split (sent in pieces 30 ms apart) and /hold (never
// answered).
class TinyHttpServer : public ScriptedHttpServer {
public:
    TinyHttpServer() {
        SetFor("/ok", {.body = "<r count=\"2\" msgs=\"AB12\"/>"});
        SetFor("/missing", {.status = 404, .body = "missing"});
        SetFor("/redirect", {.status = 302, .location = Url("/ok")});
        SetFor("/split", {.body = "<r a=\"1\"/>", .pieceBytes = 5, .pieceIntervalMs = 30});
        SetFor("/hold", {.body = "x", .holdAfter = 0});
    }
};

class QtBackendTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
    QtEventLoop loop;
};

} // namespace

TEST_F(QtBackendTest, TimerTicksOnTheRunningLoopUntilStoppedFromItsHandler) {
    auto timer = loop.CreateTimer();
    int ticks = 0;
    ASSERT_TRUE(timer->AddTimer("Check", 5, 0));
    EXPECT_FALSE(timer->AddTimer("Check", 5, 0));
    timer->SetTimerHandler([&](const std::string& key) {
        EXPECT_EQ(key, "Check");
        if (++ticks == 3)
            timer->EnableTimer("Check", false);
    });
    EXPECT_FALSE(timer->IsTimerEnabled("Check"));
    ASSERT_TRUE(timer->EnableTimer("Check", true));
    EXPECT_TRUE(timer->IsTimerEnabled("Check"));

    EXPECT_TRUE(loop.RunUntil([&] { return ticks == 3; }, 10000));
    EXPECT_FALSE(timer->IsTimerEnabled("Check"));
    // More events run; the stopped timer stays quiet.
    int posted = 0;
    loop.Post([&] { ++posted; });
    EXPECT_TRUE(loop.RunUntil([&] { return posted == 1; }, 10000));
    EXPECT_EQ(ticks, 3);
}

TEST_F(QtBackendTest, TimerMayBeRemovedOrDestroyedInsideItsTick) {
    std::unique_ptr<KDHiResTimer> timer = loop.CreateTimer();
    std::map<std::string, int> ticks;
    timer->AddTimer("Check", 5, 0);
    timer->AddTimer("IsProcessing", 20, 0);
    timer->SetTimerHandler([&](const std::string& key) {
        ++ticks[key];
        if (key == "Check")
            timer->RemoveTimer("Check");
        else
            timer.reset();
    });
    timer->EnableTimer("Check", true);
    timer->EnableTimer("IsProcessing", true);
    EXPECT_TRUE(loop.RunUntil([&] { return timer == nullptr; }, 10000));
    EXPECT_EQ(ticks["Check"], 1);
    EXPECT_EQ(ticks["IsProcessing"], 1);
    // Let the deferred deletions run.
    int posted = 0;
    loop.Post([&] { ++posted; });
    EXPECT_TRUE(loop.RunUntil([&] { return posted == 1; }, 10000));
}

TEST_F(QtBackendTest, PostedTasksRunLaterInOrder) {
    std::vector<int> order;
    loop.Post([&] {
        order.push_back(1);
        loop.Post([&] { order.push_back(3); });
    });
    loop.Post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(loop.RunUntil([&] { return order.size() == 3; }, 10000));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(QtBackendTest, RunUntilGivesUpAfterItsTimeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 50));
    EXPECT_GE(elapsed.elapsed(), 45);
    EXPECT_TRUE(loop.RunUntil([] { return true; }, 0));
}

TEST_F(QtBackendTest, NowLocalSecondsIsTheLocalWallClockWithoutZone) {
    const long long now = loop.NowLocalSeconds();
    const QDateTime wall = QDateTime::fromSecsSinceEpoch(now, QTimeZone::utc());
    const QDateTime local = QDateTime::currentDateTime();
    const QDateTime localAsRead(local.date(), local.time(), QTimeZone::utc());
    EXPECT_LE(std::llabs(wall.secsTo(localAsRead)), 2);
}

TEST_F(QtBackendTest, AsyncFetchReportsBodyStatusAndTransportFailure) {
    TinyHttpServer server;
    QtHttpFetcher fetcher;
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const std::string refusedUrl = "http://127.0.0.1:" + std::to_string(closed.serverPort()) + "/";
    closed.close();

    std::map<std::string, HttpResult> results;
    std::vector<std::shared_ptr<IHttpRequest>> requests;
    bool inside = true;
    for (const std::string& url :
         {server.Url("/ok"), server.Url("/missing"), server.Url("/redirect"), refusedUrl}) {
        requests.push_back(fetcher.GetAsync(url, [&, url](const HttpResult& r) {
            EXPECT_FALSE(inside);
            results[url] = r;
        }));
    }
    inside = false;
    ASSERT_TRUE(loop.RunUntil([&] { return results.size() == 4; }, 20000));

    const HttpResult& ok = results[server.Url("/ok")];
    EXPECT_EQ(ok.error, 0);
    EXPECT_EQ(ok.httpStatus, 200);
    EXPECT_EQ(ok.body, "<r count=\"2\" msgs=\"AB12\"/>");
    EXPECT_EQ(results[server.Url("/missing")].error, 404);
    EXPECT_EQ(results[server.Url("/missing")].httpStatus, 404);
    const HttpResult& redirected = results[server.Url("/redirect")];
    EXPECT_EQ(redirected.error, 0);
    EXPECT_EQ(redirected.finalUrl, server.Url("/ok"));
    EXPECT_EQ(redirected.body, ok.body);
    EXPECT_LT(results[refusedUrl].error, 0);
}

TEST_F(QtBackendTest, AbortEndsAHeldRequestWithOneNegativeAnswer) {
    TinyHttpServer server;
    QtHttpFetcher fetcher;
    int calls = 0;
    HttpResult result;
    auto request = fetcher.GetAsync(server.Url("/hold"), [&](const HttpResult& r) {
        ++calls;
        result = r;
    });
    ASSERT_TRUE(loop.RunUntil([&] { return !server.Paths().empty(); }, 10000));
    request->Abort();
    EXPECT_EQ(calls, 0);
    request->Abort();
    ASSERT_TRUE(loop.RunUntil([&] { return calls > 0; }, 10000));
    EXPECT_LT(result.error, 0);
    int posted = 0;
    loop.Post([&] { ++posted; });
    loop.RunUntil([&] { return posted == 1; }, 10000);
    EXPECT_EQ(calls, 1);
}

TEST_F(QtBackendTest, FetcherDestroyedWithARunningRequestNeverCallsBack) {
    TinyHttpServer server;
    int calls = 0;
    {
        QtHttpFetcher fetcher;
        auto request = fetcher.GetAsync(server.Url("/hold"), [&](const HttpResult&) { ++calls; });
        ASSERT_TRUE(loop.RunUntil([&] { return !server.Paths().empty(); }, 10000));
    }
    int posted = 0;
    loop.Post([&] { ++posted; });
    loop.RunUntil([&] { return posted == 1; }, 10000);
    EXPECT_EQ(calls, 0);
}

TEST_F(QtBackendTest, SyncFetchBlocksUntilTheWholeAnswerArrived) {
    TinyHttpServer server;
    QtHttpFetcher fetcher;
    const HttpResult split = fetcher.GetSync(server.Url("/split"));
    EXPECT_EQ(split.error, 0);
    EXPECT_EQ(split.body, "<r a=\"1\"/>");
    EXPECT_EQ(fetcher.GetSync(server.Url("/missing")).error, 404);
}

TEST_F(QtBackendTest, SyncFetchTimesOutInsteadOfHanging) {
    TinyHttpServer server;
    QtHttpFetcher fetcher({.stallTimeoutMs = 100});
    const HttpResult held = fetcher.GetSync(server.Url("/hold"));
    EXPECT_LT(held.error, 0);
}

TEST_F(QtBackendTest, XmlDocumentsLoadThroughTheQtBackends) {
    TinyHttpServer server;
    QtHttpFetcher fetcher;
    PugiXmlService service(&fetcher, &loop);

    auto sync = service.CreateDocument();
    sync->setAsync(false);
    EXPECT_TRUE(sync->load(server.Url("/ok")));
    EXPECT_EQ(sync->documentElement()->getAttribute("msgs"), "AB12");

    std::unique_ptr<IXmlDocument> doc = service.CreateDocument();
    doc->setAsync(true);
    int completions = 0;
    std::string count;
    doc->setOnReadyStateChange([&] {
        ++completions;
        count = doc->documentElement()->getAttribute("count").value_or("");
        doc.reset();
    });
    ASSERT_TRUE(doc->load(server.Url("/ok")));
    EXPECT_TRUE(loop.RunUntil([&] { return doc == nullptr; }, 10000));
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(count, "2");
}

TEST_F(QtBackendTest, UtilityLibraryAnswersFormsFilesAndNetwork) {
    QtUtilityLibrary utility;
    LoadedForms forms;
    forms.Add("frmMessages");
    EXPECT_TRUE(utility.IsFormLoaded("frmMessages", forms));
    EXPECT_FALSE(utility.IsFormLoaded("dlgCheckMessages", forms));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.filePath("updateinfo.xml").toStdString();
    EXPECT_FALSE(utility.FileExists(file));
    QFile created(QString::fromStdString(file));
    ASSERT_TRUE(created.open(QIODevice::WriteOnly));
    created.close();
    EXPECT_TRUE(utility.FileExists(file));
    EXPECT_FALSE(utility.FileExists(dir.path().toStdString()));
    EXPECT_FALSE(utility.FileExists(""));

    long flags = 0;
    const std::optional<bool> connected = utility.GetConnectedState(flags);
    ASSERT_TRUE(connected.has_value());
    EXPECT_EQ(utility.ConnectNetwork(0, "", 0), connected);
}

TEST_F(QtBackendTest, ProcessesAreFoundByNameAndKilled) {
    QtUtilityLibrary utility;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A copy of sleep under a name no other process has; longer than the 15 characters the
    // kernel keeps as the process's short name.
    const std::string name = "kdau-probe-" + std::to_string(QCoreApplication::applicationPid());
    const QString program = dir.filePath(QString::fromStdString(name));
    ASSERT_TRUE(QFile::copy("/bin/sleep", program));

    EXPECT_FALSE(utility.IsProcessRunning(name));
    EXPECT_FALSE(utility.KillProcess(name));
    QProcess process;
    process.start(program, {"60"});
    ASSERT_TRUE(process.waitForStarted(10000));

    EXPECT_TRUE(utility.IsProcessRunning(name));
    EXPECT_TRUE(utility.IsProcessRunning(name + ".EXE"));
    EXPECT_TRUE(utility.IsProcessRunning(name + ".exe"));
    EXPECT_FALSE(utility.IsProcessRunning("KDAU-PROBE-" + name.substr(11)));
    EXPECT_FALSE(utility.IsProcessRunning(name.substr(0, 10)));

    EXPECT_TRUE(utility.KillProcess(name + ".exe"));
    EXPECT_FALSE(utility.IsProcessRunning(name));
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
}
