// The service under clients that never finish, ask to close, or lie about the host; short
// timeouts are set for the test so each case ends in well under a second.
#include "ServiceTestSupport.h"

#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace KDAutoUpdate::Testing {
namespace {

const QByteArray kCheck = "/services/autoupdate/CheckUpdate.aspx?ProductCode=x";

// This process's resident memory in KiB, as the kernel counts it.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

class HostileClientsTest : public ::testing::Test {
protected:
    void Start(ServiceOptions options = {}) {
        options.catalogueFolder = SampleCatalogue();
        m_service = std::make_unique<UpdateService>(options);
        ASSERT_TRUE(m_service->Start(QHostAddress::LocalHost, 0));
    }
    std::unique_ptr<QTcpSocket> Connect() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, m_service->Port());
        EXPECT_TRUE(socket->waitForConnected(5000));
        return socket;
    }
    static bool ClosedByServer(QTcpSocket& socket) {
        return WaitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 3000);
    }
    std::unique_ptr<UpdateService> m_service;
};

TEST_F(HostileClientsTest, SilentAndNeverFinishingConnectionsAreClosed) {
    Start({.idleTimeoutMs = 200, .requestTimeoutMs = 300});
    auto silent = Connect();
    auto slow = Connect();
    // One byte of a header every 50 ms: traffic, but the request never ends.
    slow->write("GET " + kCheck + " HTTP/1.1\r\n");
    QTimer drip;
    QObject::connect(&drip, &QTimer::timeout, [&] { slow->write("X"); });
    drip.start(50);
    EXPECT_TRUE(ClosedByServer(*silent));
    EXPECT_TRUE(ClosedByServer(*slow));
    // A normal client is answered as before.
    EXPECT_EQ(RawGet(m_service->Port(), kCheck).status, 200);
}

TEST_F(HostileClientsTest, ConnectionCloseAndHttp10AreHonoured) {
    Start();
    for (const QByteArray& request : QList<QByteArray>{
             "GET " + kCheck + " HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n",
             "GET " + kCheck + " HTTP/1.0\r\n\r\n",
             QByteArray("GET /services/autoupdate/packages/KeldraStudio-Update-5.1.0.sh "
                        "HTTP/1.0\r\n\r\n")}) {
        auto socket = Connect();
        socket->write(request);
        EXPECT_TRUE(ClosedByServer(*socket)) << request.constData();
        EXPECT_TRUE(socket->readAll().startsWith("HTTP/1.1 200")) << request.constData();
    }
    // Keep-alive stays open for the next request.
    EXPECT_EQ(RawExchange(m_service->Port(),
                          "GET " + kCheck + " HTTP/1.1\r\nHost: a\r\n\r\nGET " + kCheck +
                              " HTTP/1.1\r\nHost: a\r\n\r\n",
                          2)
                  .size(),
              2);
}

TEST_F(HostileClientsTest, TheRequestLogKeepsOnlyTheLatestLines) {
    Start({.maxLoggedRequests = 3});
    for (int i = 0; i < 10; ++i)
        RawGet(m_service->Port(), kCheck + "&n=" + QByteArray::number(i));
    const QStringList log = m_service->RequestLog();
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log.last().contains("&n=9 200")) << log.last().toStdString();
}

// Every query of 60 KB differs from the one before: the answers built for them must not pile
// up in the service's memory.
TEST_F(HostileClientsTest, LongDistinctQueriesLeaveNothingBehind) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory resident in its quarantine";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory resident in its quarantine";
#endif
#endif
    Start();
    const QByteArray padding(60 * 1024, 'a');
    constexpr int kBatch = 50;
    const auto send = [&](int round) {
        QByteArray requests;
        for (int i = 0; i < kBatch; ++i)
            requests += "GET " + kCheck + "&CmpID=" + QByteArray::number(round * kBatch + i) +
                        padding + " HTTP/1.1\r\nHost: a\r\n\r\n";
        return RawExchange(m_service->Port(), requests, kBatch, 30000).size();
    };
    ASSERT_EQ(send(0), kBatch); // buffers and pools of a first round stay in any case
    const long before = ResidentKiB();
    ASSERT_GT(before, 0);
    for (int round = 1; round <= 20; ++round)
        ASSERT_EQ(send(round), kBatch) << round;
    // A thousand queries of 60 KB: kept, they would hold 60 MB.
    EXPECT_LT(ResidentKiB() - before, 24 * 1024);
}

TEST_F(HostileClientsTest, PageLinksComeFromThePublicUrlNeverFromTheHostHeader) {
    const QByteArray page =
        "/services/autoupdate/InitUpdate.aspx?ProductCode=" + QByteArray(kSampleProduct) +
        " HTTP/1.1\r\nHost: evil.test\r\n\r\n";
    Start();
    QByteArray body = RawExchange(m_service->Port(), "GET " + page).value(0).body;
    EXPECT_TRUE(body.contains(m_service->BaseUrl().toUtf8() + "/packages/"));
    EXPECT_FALSE(body.contains("evil.test"));
    Start({.publicUrl = "https://updates.keldra.test/"});
    body = RawExchange(m_service->Port(), "GET " + page).value(0).body;
    EXPECT_TRUE(body.contains("https://updates.keldra.test/services/autoupdate/packages/"));
}

} // namespace
} // namespace KDAutoUpdate::Testing
