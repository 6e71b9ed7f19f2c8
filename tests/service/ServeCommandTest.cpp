// The serve command's options and errors, with exit code 2. (Serving, with the base URL as the
// first line, is what the program's own tests start the service with.)
#include "ServiceTestSupport.h"

#include "service/ServeCommand.h"

#include <QTcpServer>
#include <QTextStream>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

struct ServeRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ServeRun Serve(const QStringList& args) {
    ServeRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = RunServeCommand(args, out, err);
    return run;
}

TEST(ServeCommandTest, BadOptionsAreRefusedWithExitCode2) {
    const QList<QPair<QStringList, const char*>> cases{
        {{"--port", "70000"}, "bad port '70000'"},
        {{"--port"}, "--port needs a value"},
        {{"--rate", "0"}, "bad rate '0'"},
        {{"--address", "not-an-address"}, "bad address 'not-an-address'"},
        {{"serve"}, "unknown option 'serve'"},
        {{"--workers", "0"}, "bad workers '0'"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const ServeRun run = Serve(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(ServeCommandTest, PortInUseIsRefusedWithExitCode2) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    const ServeRun run = Serve({"--port", QString::number(occupant.serverPort())});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("cannot listen")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}

} // namespace
} // namespace KDAutoUpdate::Testing
