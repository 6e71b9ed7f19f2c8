// The package body device: it holds back while the connection has not taken what it was given.
#include "ServiceTestSupport.h"

#include "service/PackageStream.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

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
