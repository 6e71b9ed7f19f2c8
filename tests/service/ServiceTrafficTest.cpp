// The service under traffic: its request log, with the target exactly as a raw client or the
// agent's fetcher sent it; a held check; clients that never finish, ask to close, or lie about the
// host (short timeouts are set for the test so each case ends in well under a second).
#include "ServiceTestSupport.h"

#include "platform/qt/QtHttpFetcher.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTextStream>
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

// Unescaped braces, "|", a literal %41 and "&" inside a value, as an agent may send them.
const QByteArray kRawCheck = "/services/autoupdate/CheckUpdate.aspx?TestMode=False&ProductCode="
                             "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}&Version=5.0.2&CmpID=a&b"
                             "&LicKey=x|y%41&UILang=1031&OpType=check&CompatMode=2";

class ServiceTrafficTest : public ::testing::Test {
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
    QString m_written;
    QTextStream m_stream{&m_written};
    std::unique_ptr<UpdateService> m_service;
};

TEST_F(ServiceTrafficTest, SilentAndNeverFinishingConnectionsAreClosed) {
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

TEST_F(ServiceTrafficTest, ConnectionCloseAndHttp10AreHonoured) {
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

TEST_F(ServiceTrafficTest, TheRequestLogKeepsOnlyTheLatestLines) {
    Start({.maxLoggedRequests = 3});
    for (int i = 0; i < 10; ++i)
        RawGet(m_service->Port(), kCheck + "&n=" + QByteArray::number(i));
    const QStringList log = m_service->RequestLog();
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log.last().contains("&n=9 200")) << log.last().toStdString();
}

// Every query of 60 KB differs from the one before: the answers built for them must not pile
// up in the service's memory.
TEST_F(ServiceTrafficTest, LongDistinctQueriesLeaveNothingBehind) {
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

TEST_F(ServiceTrafficTest, PageLinksComeFromThePublicUrlNeverFromTheHostHeader) {
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

TEST_F(ServiceTrafficTest, EachRequestIsOneLineWithItsRawTargetInTheStreamAtOnce) {
    Start({.log = &m_stream});
    QSignalSpy logged(m_service.get(), &UpdateService::RequestLogged);
    const HttpResult result = RawGet(m_service->Port(), kRawCheck);
    EXPECT_EQ(ParseCheck(result.body).count, 3); // the raw braces were understood
    // Flushed by the time the line is announced, not at the end; a check says what it offered.
    const QString check = m_written.chopped(1);
    EXPECT_TRUE(check.contains(QRegularExpression(
        '^' + QRegularExpression::escape("GET " + kRawCheck) +
        " 200 offered=KS-2024-510,KS-2024-503P,KS-INFO-6 bucket=[0-9.]+ channel=release$")))
        << check.toStdString();
    RawGet(m_service->Port(), "/services/autoupdate/nothing?x={1}");
    RawGet(m_service->Port(), "/services/autoupdate/CheckUpdate.aspx", "POST");

    const QStringList expected{check, "GET /services/autoupdate/nothing?x={1} 404",
                               "POST /services/autoupdate/CheckUpdate.aspx 405"};
    EXPECT_EQ(m_service->RequestLog(), expected);
    EXPECT_EQ(m_written, expected.join('\n') + '\n');
    EXPECT_EQ(logged.count(), 3);
}

// The fetcher escapes only what would otherwise be the URL's own syntax.
TEST_F(ServiceTrafficTest, TheFetcherSendsEveryParameterAsBuilt) {
    Start();
    const std::string path = "/services/autoupdate/CheckUpdate.aspx";
    const std::string query = std::string("?TestMode=False&ProductCode=") + kSampleProduct +
                              "&LicKey=a#b c\"|{}%41&UILang=1031&OpType=check&CompatMode=2";
    QtHttpFetcher().GetSync("http://127.0.0.1:" + std::to_string(m_service->Port()) + path + query);
    ASSERT_EQ(m_service->RequestLog().size(), 1);
    const QStringList line = m_service->RequestLog().front().split(' ');
    ASSERT_GE(line.size(), 3); // method, target, status, then what was offered
    EXPECT_EQ(QByteArray::fromPercentEncoding(line[1].toUtf8()).toStdString(), path + query);
}

TEST_F(ServiceTrafficTest, HeldCheckIsReceivedButNeverAnsweredUntilTheServiceStops) {
    Start({.hangCheck = true});
    QSignalSpy logged(m_service.get(), &UpdateService::RequestLogged);

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    std::unique_ptr<QNetworkReply> check(manager.get(QNetworkRequest(
        QUrl(m_service->BaseUrl() + "/CheckUpdate.aspx?ProductCode=" + kSampleProduct))));
    ASSERT_TRUE(WaitUntil([&] { return logged.count() == 1; }));
    EXPECT_TRUE(m_service->RequestLog().first().endsWith(" -"));

    // The page answers on another connection while the check is still open.
    EXPECT_EQ(Get(m_service->BaseUrl() + "/InitUpdate.aspx?ProductCode=" + kSampleProduct).status,
              200);
    EXPECT_FALSE(check->isFinished());
    EXPECT_EQ(check->bytesAvailable(), 0);

    m_service.reset();
    ASSERT_TRUE(WaitUntil([&] { return check->isFinished(); }));
    EXPECT_NE(check->error(), QNetworkReply::NoError);
    EXPECT_EQ(check->readAll(), "");
}

} // namespace
} // namespace KDAutoUpdate::Testing
