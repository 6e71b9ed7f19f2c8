// The service under clients that never finish, ask to close, or lie about the host; short
// timeouts are set for the test so each case ends in well under a second.
#include "ServiceTestSupport.h"

#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace KDAutoUpdate::Testing {
namespace {

const QByteArray kCheck = "/services/autoupdate/CheckUpdate.aspx?ProductCode=x";

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
