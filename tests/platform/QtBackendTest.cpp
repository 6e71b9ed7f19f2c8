// The Qt event loop, timers, fetcher and utility library on a real Qt loop, against a small
// server on 127.0.0.1.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeZone>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtUtilityLibrary.h"
#include "tests/platform/QtTestHelpers.h"
#include "tests/platform/ScriptedHttpServer.h"

using namespace KDAutoUpdate;

namespace {

class QtBackendTest : public ::testing::Test {
protected:
    QtBackendTest() {
        server.SetFor("/ok", {.body = "<r count=\"2\" msgs=\"AB12\"/>"});
        server.SetFor("/missing", {.status = 404, .body = "missing"});
        server.SetFor("/redirect", {.status = 302, .location = server.Url("/ok")});
        server.SetFor("/split", {.body = "<r a=\"1\"/>", .pieceBytes = 5, .pieceIntervalMs = 30});
        server.SetFor("/hold", {.body = "x", .holdAfter = 0});
    }
    // Runs what is queued now, so that a late callback would show.
    void Drain() {
        int posted = 0;
        loop.Post([&] { ++posted; });
        EXPECT_TRUE(loop.RunUntil([&] { return posted == 1; }, 10000));
    }

    QtEventLoop loop;
    ScriptedHttpServer server;
};

} // namespace

TEST_F(QtBackendTest, TimersTickUntilStoppedRemovedOrDestroyedFromTheirHandler) {
    std::unique_ptr<KDHiResTimer> timer = loop.CreateTimer();
    std::map<std::string, int> ticks;
    ASSERT_TRUE(timer->AddTimer("Check", 5, 0));
    EXPECT_FALSE(timer->AddTimer("Check", 5, 0));
    timer->AddTimer("Remove", 5, 0);
    timer->AddTimer("IsProcessing", 200, 0);
    timer->SetTimerHandler([&](const std::string& key) {
        if (++ticks[key] == 3 && key == "Check")
            timer->EnableTimer("Check", false);
        else if (key == "Remove")
            timer->RemoveTimer("Remove");
        else if (key == "IsProcessing")
            timer.reset();
    });
    EXPECT_FALSE(timer->IsTimerEnabled("Check"));
    for (const char* key : {"Check", "Remove", "IsProcessing"})
        ASSERT_TRUE(timer->EnableTimer(key, true));
    EXPECT_TRUE(timer->IsTimerEnabled("Check"));
    EXPECT_TRUE(loop.RunUntil([&] { return timer == nullptr; }, 10000));
    EXPECT_EQ(ticks,
              (std::map<std::string, int>{{"Check", 3}, {"IsProcessing", 1}, {"Remove", 1}}));
    Drain();
}

TEST_F(QtBackendTest, PostedTasksRunLaterInOrderAndRunUntilGivesUp) {
    std::vector<int> order;
    loop.Post([&] {
        order.push_back(1);
        loop.Post([&] { order.push_back(3); });
    });
    loop.Post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(loop.RunUntil([&] { return order.size() == 3; }, 10000));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 50));
    EXPECT_GE(elapsed.elapsed(), 45);
}

TEST_F(QtBackendTest, NowLocalSecondsIsTheLocalWallClockWithoutZone) {
    const QDateTime wall = QDateTime::fromSecsSinceEpoch(loop.NowLocalSeconds(), QTimeZone::utc());
    const QDateTime local = QDateTime::currentDateTime();
    EXPECT_LE(std::llabs(wall.secsTo(QDateTime(local.date(), local.time(), QTimeZone::utc()))), 2);
}

TEST_F(QtBackendTest, AsyncFetchReportsBodyStatusAndTransportFailure) {
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

TEST_F(QtBackendTest, AbortOrTheFetchersEndStopAHeldRequest) {
    int calls = 0;
    HttpResult result;
    {
        QtHttpFetcher fetcher;
        auto request = fetcher.GetAsync(server.Url("/hold"), [&](const HttpResult& r) {
            ++calls;
            result = r;
        });
        ASSERT_TRUE(loop.RunUntil([&] { return server.Paths().size() == 1; }, 10000));
        request->Abort();
        EXPECT_EQ(calls, 0);
        request->Abort();
        ASSERT_TRUE(loop.RunUntil([&] { return calls > 0; }, 10000));
        EXPECT_LT(result.error, 0);
        Drain();
        EXPECT_EQ(calls, 1);

        // A fetcher destroyed with a running request never calls back.
        request = fetcher.GetAsync(server.Url("/hold"), [&](const HttpResult&) { ++calls; });
        ASSERT_TRUE(loop.RunUntil([&] { return server.Paths().size() == 2; }, 10000));
    }
    Drain();
    EXPECT_EQ(calls, 1);
}

TEST_F(QtBackendTest, SyncFetchWaitsForTheWholeAnswerButNotForever) {
    QtHttpFetcher fetcher({.stallTimeoutMs = 100});
    const HttpResult split = fetcher.GetSync(server.Url("/split"));
    EXPECT_EQ(split.error, 0);
    EXPECT_EQ(split.body, "<r a=\"1\"/>");
    EXPECT_LT(fetcher.GetSync(server.Url("/hold")).error, 0);
}

TEST_F(QtBackendTest, UtilityLibraryFindsOnlyPlainFilesAndKnowsTheNetwork) {
    QtUtilityLibrary utility;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.filePath("updateinfo.xml").toStdString();
    EXPECT_FALSE(utility.FileExists(file));
    std::ofstream(file) << "x";
    EXPECT_TRUE(utility.FileExists(file));
    EXPECT_FALSE(utility.FileExists(dir.path().toStdString()));
    EXPECT_FALSE(utility.FileExists(""));
    long flags = 0;
    const std::optional<bool> connected = utility.GetConnectedState(flags);
    ASSERT_TRUE(connected.has_value());
    EXPECT_EQ(utility.ConnectNetwork(0, "", 0), connected);
}
