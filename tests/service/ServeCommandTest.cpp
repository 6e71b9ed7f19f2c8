// The serve command's refusals, with exit code 2 (the program's own tests start it serving).
#include "ServiceTestSupport.h"

#include "service/ServeCommand.h"

#include <QTcpServer>
#include <QTextStream>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

TEST(ServeCommandTest, BadOptionsAndABusyPortAreRefusedWithExitCode2) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    const QList<QPair<QStringList, const char*>> cases{
        {{"--port", "70000"}, "bad port '70000'"},
        {{"--port"}, "--port needs a value"},
        {{"--rate", "0"}, "bad rate '0'"},
        {{"--address", "not-an-address"}, "bad address 'not-an-address'"},
        {{"serve"}, "unknown option 'serve'"},
        {{"--workers", "0"}, "bad workers '0'"},
        {{"--port", QString::number(occupant.serverPort())}, "cannot listen"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        EXPECT_EQ(RunServeCommand(args, outStream, errStream), 2);
        EXPECT_TRUE(err.contains(message)) << err.toStdString();
        EXPECT_TRUE(out.isEmpty());
    }
}

} // namespace
} // namespace KDAutoUpdate::Testing
