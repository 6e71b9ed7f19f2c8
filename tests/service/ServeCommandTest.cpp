// The serve command: options, errors with exit code 2, and the base URL as the first line.
#include "ServiceTestSupport.h"

#include "service/ServeCommand.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTextStream>
#include <QTimer>

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
        {{"--port", "http"}, "bad port 'http'"},
        {{"--port"}, "--port needs a value"},
        {{"--rate", "0"}, "bad rate '0'"},
        {{"--address", "not-an-address"}, "bad address 'not-an-address'"},
        {{"--verbose"}, "unknown option '--verbose'"},
        {{"serve"}, "unknown option 'serve'"},
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

TEST(ServeCommandTest, ServesTheCatalogueBesideTheProgramAndPrintsTheBaseUrlFirst) {
    QString written;
    QString errors;
    QTextStream out(&written);
    QTextStream err(&errors);
    QString baseUrl;
    HttpResult check;
    // Runs inside the command's event loop, after the base URL was printed: one request, then
    // the loop ends.
    QTimer::singleShot(0, [&] {
        baseUrl = written.section('\n', 0, 0);
        check = Get(baseUrl + "/CheckUpdate.aspx?ProductCode=" + kSampleProduct + "&Version=5.0.2");
        QCoreApplication::quit();
    });
    const int exitCode = RunServeCommand({"--port=0", "--log"}, out, err);

    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
    EXPECT_TRUE(baseUrl.contains(
        QRegularExpression("^http://127\\.0\\.0\\.1:[1-9][0-9]*/services/autoupdate$")))
        << baseUrl.toStdString();
    EXPECT_EQ(ParseCheck(check.body).count, 3);
    const QStringList lines = written.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("GET /services/autoupdate/CheckUpdate.aspx?ProductCode="));
    EXPECT_TRUE(lines[1].endsWith("&Version=5.0.2 200"));
}

} // namespace
} // namespace KDAutoUpdate::Testing
