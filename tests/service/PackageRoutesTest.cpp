// Packages and info pages: bytes as stored, at the rate set and as fast as the client takes them,
// nothing outside the catalogue, 404 for the rest.
#include "ServiceTestSupport.h"

#include "service/PackageStream.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

class PackageRoutesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_service.Start(QHostAddress::LocalHost, 0)); }
    UpdateService m_service{SampleCatalogue()};
};

TEST_F(PackageRoutesTest, FilesArriveByteForByteWithTheirLengthAndType) {
    const std::pair<const char*, const char*> files[] = {
        {"/packages/KeldraStudio-Update-5.1.0.sh", "application/octet-stream"},
        {"/packages/KeldraStudio-5.0.3.msp", "application/octet-stream"},
        {"/info/KeldraStudio6-Vorschau.html", "text/html"}};
    for (const auto& [path, type] : files) {
        SCOPED_TRACE(path);
        const QByteArray stored = FileBytes(SampleCatalogue() + path);
        const HttpResult result = Get(m_service.BaseUrl() + path);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.status, 200);
        EXPECT_TRUE(result.contentType.startsWith(type)) << result.contentType.toStdString();
        EXPECT_EQ(result.contentLength, stored.size());
        EXPECT_EQ(result.body, stored);
    }
}

TEST_F(PackageRoutesTest, AddressesThatLeaveTheFolderAreNotFound) {
    for (const QByteArray& target : QList<QByteArray>{
             "/packages/../catalogue.xml", "/packages/..%2Fcatalogue.xml", "/packages/..",
             "/packages/%2Fetc%2Fpasswd", "/packages//etc/passwd", "/packages/..%5Ccatalogue.xml",
             "/info/../packages/KeldraStudio-5.0.3.msp", "/packages/", "/packages/missing.bin"}) {
        SCOPED_TRACE(target.toStdString());
        const HttpResult result = RawGet(m_service.Port(), "/services/autoupdate" + target);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.status, 404);
        EXPECT_FALSE(result.body.contains("catalogue"));
    }
}

TEST_F(PackageRoutesTest, UnknownAddressesAndOtherMethodsAreRefused) {
    for (const QByteArray& target : QList<QByteArray>{
             "/", "/services/autoupdate", "/services/autoupdate/", "/CheckUpdate.aspx",
             "/services/autoupdate/Default.aspx", "/services/CheckUpdate.aspx"}) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_EQ(RawGet(m_service.Port(), target).status, 404);
    }
    EXPECT_EQ(RawGet(m_service.Port(), "/services/autoupdate/CheckUpdate.aspx", "POST").status,
              405);
}

// A catalogue of one package of its own.
class OnePackage : public ::testing::Test {
protected:
    void SetUp() override {
        m_catalogue.AddPackage("p.bin", m_payload);
        m_catalogue.WriteCatalogue(
            InProduct(R"(<message id="m1" name="One" type="exe" package="p.bin"/>)"));
    }
    TempCatalogue m_catalogue;
    QByteArray m_payload = RandomBytes(12000);
};

TEST_F(OnePackage, LinksOutOfTheFolderAndHiddenFilesAreNotServed) {
    ASSERT_TRUE(QFile::link(m_catalogue.Folder() + "/catalogue.xml",
                            m_catalogue.Folder() + "/packages/escape.xml"));
    m_catalogue.AddPackage(".hidden", "x");
    UpdateService service(m_catalogue.Folder());
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    EXPECT_EQ(Get(service.BaseUrl() + "/packages/escape.xml").status, 404);
    EXPECT_EQ(Get(service.BaseUrl() + "/packages/.hidden").status, 404);
    EXPECT_EQ(Get(service.BaseUrl() + "/packages/p.bin").body, m_payload);
}

TEST_F(OnePackage, PackageBodyKeepsToTheRate) {
    UpdateService service({.catalogueFolder = m_catalogue.Folder(),
                           .packageBytesPerSecond = 40000}); // 12000 bytes take 300 ms
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    QElapsedTimer clock;
    clock.start();
    const HttpResult package = Get(service.BaseUrl() + "/packages/p.bin");
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_EQ(package.contentLength, m_payload.size()); // known up front, for the progress bar
    EXPECT_TRUE(package.body == m_payload);
}

// The package body device holds back while the connection has not taken what it was given.
TEST(PackageStreamTest, ReadsOnlyWhileTheConnectionKeepsUp) {
    TempCatalogue scratch;
    const QString path = scratch.AddPackage("f.bin", QByteArray(1024 * 1024, 'p'));
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* connection = server.nextPendingConnection();

    PackageStream stream(path, connection, 0);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_FALSE(stream.isSequential());
    EXPECT_EQ(stream.size(), 1024 * 1024);
    EXPECT_GT(stream.bytesAvailable(), 0);

    // A client that has not taken the last megabyte yet: nothing more is read for now.
    connection->write(QByteArray(1024 * 1024, 'q'));
    EXPECT_EQ(stream.bytesAvailable(), 0);
    char buffer[512];
    EXPECT_EQ(stream.read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(stream.atEnd());

    // Once the connection drains, the stream tells its reader to go on.
    QSignalSpy ready(&stream, &QIODevice::readyRead);
    ASSERT_TRUE(WaitUntil([&] {
        client.readAll();
        return ready.count() > 0;
    }));
    EXPECT_EQ(stream.read(buffer, sizeof buffer), qint64{sizeof buffer});
    EXPECT_EQ(buffer[0], 'p');
}

} // namespace
} // namespace KDAutoUpdate::Testing
