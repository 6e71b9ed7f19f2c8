// The request log: one line per request with the target exactly as sent; and the held check.
#include "ServiceTestSupport.h"

#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextStream>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

// Unescaped braces, "|", a literal %41 and "&" inside a value, as an agent may send them.
const QByteArray kRawCheck = "/services/autoupdate/CheckUpdate.aspx?TestMode=False&ProductCode="
                             "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}&Version=5.0.2&CmpID=a&b"
                             "&LicKey=x|y%41&UILang=1031&OpType=check&CompatMode=2";

class RequestLogTest : public ::testing::Test {
protected:
    RequestLogTest() {
        ServiceOptions options;
        options.catalogueFolder = SampleCatalogue();
        options.log = &m_stream;
        m_service = std::make_unique<UpdateService>(options);
    }
    void SetUp() override { ASSERT_TRUE(m_service->Start(QHostAddress::LocalHost, 0)); }

    QString m_written;
    QTextStream m_stream{&m_written};
    std::unique_ptr<UpdateService> m_service;
};

TEST_F(RequestLogTest, EachRequestIsOneLineWithItsRawTargetInTheStreamAtOnce) {
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

    const QStringList expected{check,
                               "GET /services/autoupdate/nothing?x={1} 404",
                               "POST /services/autoupdate/CheckUpdate.aspx 405"};
    EXPECT_EQ(m_service->RequestLog(), expected);
    EXPECT_EQ(m_written, expected.join('\n') + '\n');
    EXPECT_EQ(logged.count(), 3);
}

TEST(RequestLogHangCheck, CheckIsReceivedButNeverAnsweredUntilTheServiceStops) {
    ServiceOptions options;
    options.catalogueFolder = SampleCatalogue();
    options.hangCheck = true;
    auto service = std::make_unique<UpdateService>(options);
    ASSERT_TRUE(service->Start(QHostAddress::LocalHost, 0));
    QSignalSpy logged(service.get(), &UpdateService::RequestLogged);

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    std::unique_ptr<QNetworkReply> check(manager.get(QNetworkRequest(
        QUrl(service->BaseUrl() + "/CheckUpdate.aspx?ProductCode=" + kSampleProduct))));
    ASSERT_TRUE(WaitUntil([&] { return logged.count() == 1; }));
    EXPECT_TRUE(service->RequestLog().first().endsWith(" -"));

    // The page answers on another connection while the check is still open.
    EXPECT_EQ(Get(service->BaseUrl() + "/InitUpdate.aspx?ProductCode=" + kSampleProduct).status,
              200);
    EXPECT_FALSE(check->isFinished());
    EXPECT_EQ(check->bytesAvailable(), 0);

    service.reset();
    ASSERT_TRUE(WaitUntil([&] { return check->isFinished(); }));
    EXPECT_NE(check->error(), QNetworkReply::NoError);
    EXPECT_EQ(check->readAll(), "");
}

} // namespace
} // namespace KDAutoUpdate::Testing
