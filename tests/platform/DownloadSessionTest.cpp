// The download state machine against a transport the test plays by hand, on the virtual clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/portable/DownloadSession.h"
#include "tests/support/FileText.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;
using End = IDownloadTransportEvents::End;

const std::string kUrl = "http://127.0.0.1:1/packages/setup.bin";

std::string Body(std::size_t size, char salt = 0) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>('a' + (i * 7 + i / 13 + static_cast<std::size_t>(salt)) % 26);
    return body;
}

// Records each request; the test answers the latest one.
class PlayedTransport : public IDownloadTransport {
public:
    struct Request {
        std::string url;
        std::string range;
        std::string ifRange;
        long long atMs;
    };
    explicit PlayedTransport(VirtualEventLoop& loop) : m_loop(loop) {}

    bool Start(const std::string& url, const std::vector<DownloadHeader>& headers,
               IDownloadTransportEvents& events) override {
        requests.push_back({url, FindDownloadHeader(headers, "Range"),
                            FindDownloadHeader(headers, "If-Range"), m_loop.NowMs()});
        m_events = &events;
        return true;
    }
    void Abort() override { m_events = nullptr; }

    bool Running() const { return m_events != nullptr; }
    void Answer(int status, std::vector<DownloadHeader> headers) {
        ASSERT_TRUE(m_events);
        m_events->TransportAnswer(status, headers);
    }
    void Send(const std::string& bytes) {
        ASSERT_TRUE(m_events);
        m_events->TransportBody(bytes.data(), bytes.size());
    }
    void Close(End end) {
        ASSERT_TRUE(m_events);
        IDownloadTransportEvents* events = m_events;
        m_events = nullptr;
        events->TransportEnded(end);
    }
    // A whole answer of `body` from `from` on: 200, or 206 with its range.
    void Serve(const std::string& body, std::size_t from, std::size_t cutAt, End end,
               const std::string& etag = "\"v1\"") {
        const std::string size = std::to_string(body.size());
        std::vector<DownloadHeader> headers{{"ETag", etag},
                                            {"Content-Length", std::to_string(body.size() - from)}};
        if (from > 0)
            headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" +
                                                    std::to_string(body.size() - 1) + "/" + size});
        Answer(from == 0 ? 200 : 206, headers);
        if (Running())
            Send(body.substr(from, cutAt - from));
        if (Running())
            Close(end);
    }

    std::vector<Request> requests;

private:
    VirtualEventLoop& m_loop;
    IDownloadTransportEvents* m_events = nullptr;
};

class Recorder : public IDownloadEvents {
public:
    void DownloadProgress(long long, long long percent, long long rate, long long remaining,
                          long long received, long long total, long long) override {
        reports.push_back({percent, received, total});
        rates.push_back({rate, remaining});
    }
    void DownloadComplete(const std::string& value) override { completions.push_back(value); }

    std::vector<std::vector<long long>> reports;
    // Bytes a second and seconds left, of each report.
    std::vector<std::vector<long long>> rates;
    std::vector<std::string> completions;
};

class DownloadSessionTest : public ::testing::Test {
protected:
    DownloadSessionTest() { session.SetEvents(&recorder); }
    ~DownloadSessionTest() override {
        std::error_code error;
        fs::remove_all(folder, error);
    }
    bool Begin(const std::string& key = "K") { return session.Begin(kUrl, key, target); }
    void Wait(long long ms = 0) { loop.Advance(ms); }
    std::vector<std::string> Ranges() const {
        std::vector<std::string> ranges;
        for (const auto& request : transport.requests)
            ranges.push_back(request.range);
        return ranges;
    }
    std::vector<std::string> Files() const { return FileNames(folder); }

    VirtualEventLoop loop;
    PlayedTransport transport{loop};
    NetworkLimits limits{.stallTimeoutMs = 5000, .maxTransferRetries = 2, .retryDelayMs = 1000};
    DownloadSession session{loop, transport, limits, false, [this] { return loop.NowMs(); }};
    Recorder recorder;
    fs::path folder = TestPlatform::MakeTempFolder("session");
    fs::path target = folder / "setup.bin";
};

TEST_F(DownloadSessionTest, ACutTransferResumesWhereItStoppedWhereverItWasCut) {
    const std::string body = Body(1000);
    // A connection closed cleanly short of the length is a cut as well.
    for (const auto& [cut, end] : {std::pair{std::size_t{1}, End::Interrupted},
                                   std::pair{std::size_t{500}, End::Interrupted},
                                   std::pair{std::size_t{999}, End::Complete}}) {
        transport.requests.clear();
        recorder = Recorder();
        fs::remove(target);
        ASSERT_TRUE(Begin());
        transport.Serve(body, 0, cut, end);
        EXPECT_EQ(Files(), (std::vector<std::string>{"setup.bin.part", "setup.bin.resume"}));
        Wait(999);
        EXPECT_EQ(transport.requests.size(), 1u) << "not before the delay";
        Wait(1);
        ASSERT_EQ(transport.requests.size(), 2u);
        EXPECT_EQ(transport.requests[1].range, "bytes=" + std::to_string(cut) + "-");
        EXPECT_EQ(transport.requests[1].ifRange, "\"v1\"");
        // The dialog counts what is already there.
        Wait(250);
        ASSERT_FALSE(recorder.reports.empty());
        EXPECT_EQ(recorder.reports.back()[1], static_cast<long long>(cut)) << cut;
        EXPECT_EQ(recorder.reports.back()[2], 1000);
        transport.Serve(body, cut, body.size(), End::Complete);
        Wait();
        ASSERT_EQ(recorder.completions, std::vector<std::string>{target.string()}) << cut;
        EXPECT_EQ(ReadFile(target), body);
        EXPECT_EQ(session.FetchedBytes(), 1000);
        EXPECT_EQ(recorder.reports.back(), (std::vector<long long>{100, 1000, 1000}));
        EXPECT_EQ(Files(), std::vector<std::string>{"setup.bin"});
    }
}

TEST_F(DownloadSessionTest, ProgressComesFourTimesASecondWithTheRateAndTheTimeLeft) {
    const std::string body = Body(100000);
    ASSERT_TRUE(Begin());
    transport.Answer(200, {{"Content-Length", "100000"}});
    // 1000 bytes every 50 ms for a second: 20 kB/s.
    for (std::size_t sent = 0; sent < 20000; sent += 1000) {
        transport.Send(body.substr(sent, 1000));
        Wait(50);
    }
    ASSERT_EQ(recorder.reports.size(), 4u);
    EXPECT_EQ(recorder.reports.back(), (std::vector<long long>{20, 20000, 100000}));
    EXPECT_EQ(recorder.rates.back(), (std::vector<long long>{20000, 4}));
    transport.Send(body.substr(20000));
    transport.Close(End::Complete);
    Wait();
    EXPECT_EQ(recorder.reports.back(), (std::vector<long long>{100, 100000, 100000}));
    EXPECT_GT(recorder.rates.back()[0], 0);
}

TEST_F(DownloadSessionTest, AnswersThatDoNotContinueThePartStartOver) {
    const std::string oldBody = Body(1000);
    const std::string newBody = Body(1200, 5);
    const auto range = [](const std::string& text) {
        return DownloadHeader{"Content-Range", text};
    };
    const std::tuple<const char*, int, std::vector<DownloadHeader>> cases[] = {
        {"a 200: the server ignores ranges or the file changed", 200, {}},
        {"a range that starts elsewhere", 206, {range("bytes 0-999/1000")}},
        {"a range of another length", 206, {range("bytes 400-1199/1200")}},
        {"a range without its end", 206, {range("bytes 400-998/1000")}},
        {"a changed validator", 206, {range("bytes 400-999/1000"), {"ETag", "\"v2\""}}},
        {"416: the part does not fit", 416, {}},
    };
    for (const auto& [what, status, headers] : cases) {
        transport.requests.clear();
        recorder = Recorder();
        ASSERT_TRUE(Begin());
        transport.Serve(oldBody, 0, 400, End::Interrupted);
        Wait(1000);
        ASSERT_EQ(Ranges(), (std::vector<std::string>{"", "bytes=400-"})) << what;
        transport.Answer(status, headers);
        if (status == 200) {
            transport.Send(newBody);
            transport.Close(End::Complete);
        } else {
            Wait();
            ASSERT_EQ(Ranges(), (std::vector<std::string>{"", "bytes=400-", ""})) << what;
            transport.Serve(newBody, 0, newBody.size(), End::Complete, "\"v2\"");
        }
        Wait();
        ASSERT_EQ(recorder.completions, std::vector<std::string>{target.string()}) << what;
        EXPECT_EQ(ReadFile(target), newBody) << what;
    }
    // Without a validator nothing can be resumed: a cut starts over.
    transport.requests.clear();
    ASSERT_TRUE(Begin());
    transport.Answer(200, {{"Content-Length", "1000"}});
    transport.Send(oldBody.substr(0, 400));
    transport.Close(End::Interrupted);
    EXPECT_TRUE(fs::exists(folder / "setup.bin.part"));
    EXPECT_FALSE(fs::exists(folder / "setup.bin.resume"));
    Wait(1000);
    EXPECT_EQ(Ranges(), (std::vector<std::string>{"", ""}));
}

TEST_F(DownloadSessionTest, RetriesAreBoundedAndSpacedAndWhatArrivedOutlivesTheFailure) {
    const std::string body = Body(1000);
    ASSERT_TRUE(Begin());
    transport.Serve(body, 0, 100, End::Interrupted);
    Wait(1000);
    transport.Serve(body, 100, 200, End::Interrupted);
    Wait(2000);
    // A stall is a cut too: nothing for the stall timeout ends the try.
    transport.Answer(206, {{"Content-Range", "bytes 200-999/1000"}});
    transport.Send(body.substr(200, 100));
    Wait(5000);
    EXPECT_FALSE(transport.Running());
    Wait(4000);
    ASSERT_EQ(recorder.completions, std::vector<std::string>{""});
    EXPECT_FALSE(session.IsBusy());
    EXPECT_EQ(session.LocalFile(), "");
    std::vector<long long> times;
    for (const auto& request : transport.requests)
        times.push_back(request.atMs);
    EXPECT_EQ(times, (std::vector<long long>{0, 1000, 3000}));
    EXPECT_EQ(Files(), (std::vector<std::string>{"setup.bin.part", "setup.bin.resume"}));

    // The next download of the address goes on from there.
    transport.requests.clear();
    recorder = Recorder();
    ASSERT_TRUE(Begin());
    EXPECT_EQ(Ranges(), std::vector<std::string>{"bytes=300-"});
    transport.Serve(body, 300, 1000, End::Complete);
    Wait();
    EXPECT_EQ(ReadFile(target), body);
    EXPECT_EQ(session.FetchedBytes(), 700);

    // Another address under the same name starts from nothing.
    ASSERT_TRUE(Begin());
    transport.Serve(body, 0, 100, End::Interrupted);
    session.Cancel("K");
    ASSERT_TRUE(session.Begin(kUrl + "?v=2", "K", target));
    EXPECT_EQ(transport.requests.back().range, "");
}

TEST_F(DownloadSessionTest, ACancelIsQuietAndTheNextAttemptResumes) {
    const std::string body = Body(1000);
    ASSERT_TRUE(Begin("KS-7"));
    EXPECT_FALSE(Begin("KS-8")) << "one transfer at a time";
    // A weak ETag may not go into If-Range: the date must.
    transport.Answer(200, {{"Content-Length", "1000"},
                           {"ETag", "W/\"weak\""},
                           {"Last-Modified", "Tue, 01 Dec 2026"}});
    transport.Send(body.substr(0, 500));
    session.Cancel("another key");
    EXPECT_TRUE(session.IsBusy());
    session.Cancel("KS-7");
    EXPECT_FALSE(session.IsBusy());
    EXPECT_FALSE(transport.Running());
    Wait(10000);
    EXPECT_TRUE(recorder.completions.empty()) << "the one who cancelled is not told it failed";
    EXPECT_EQ(Files(), (std::vector<std::string>{"setup.bin.part", "setup.bin.resume"}));

    ASSERT_TRUE(Begin("KS-9"));
    EXPECT_EQ(transport.requests.back().range, "bytes=500-");
    EXPECT_EQ(transport.requests.back().ifRange, "Tue, 01 Dec 2026");
    transport.Serve(body, 500, 1000, End::Complete);
    Wait();
    EXPECT_EQ(recorder.completions, std::vector<std::string>{target.string()});
    EXPECT_EQ(ReadFile(target), body);

    // Without a validator nothing could be resumed: the part goes with the cancel.
    ASSERT_TRUE(Begin("KS-10"));
    transport.Answer(200, {{"Content-Length", "1000"}});
    transport.Send(body.substr(0, 500));
    session.Cancel("KS-10");
    EXPECT_EQ(Files(), std::vector<std::string>{"setup.bin"});
}

TEST_F(DownloadSessionTest, RefusalsFailAtOnceAndLeaveNothing) {
    const std::string body = Body(1000);
    // What, status, body, end.
    using Case = std::tuple<const char*, int, std::string, End>;
    for (const auto& [what, status, bytes, end] :
         {Case{"not found while resuming", 404, "", End::Complete},
          Case{"more than announced", 206, body.substr(400) + "x", End::Complete},
          Case{"a forbidden redirect", 206, "", End::Failed}}) {
        transport.requests.clear();
        recorder = Recorder();
        ASSERT_TRUE(Begin());
        transport.Serve(body, 0, 400, End::Interrupted);
        Wait(1000);
        transport.Answer(status, {{"Content-Range", "bytes 400-999/1000"}});
        if (transport.Running() && !bytes.empty())
            transport.Send(bytes);
        if (transport.Running())
            transport.Close(end);
        Wait(10000);
        EXPECT_EQ(transport.requests.size(), 2u) << what;
        EXPECT_EQ(recorder.completions, std::vector<std::string>{""}) << what;
        EXPECT_TRUE(Files().empty()) << what;
    }
}

} // namespace
} // namespace KDAutoUpdate
