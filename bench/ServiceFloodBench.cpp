// A slow-client flood against the embedded service: 1000 connections that each send a request
// line and then one header byte every half second, never finishing, against a service process
// limited to 256 descriptors. Then a normal client asks for the check answer. Run twice: with
// timeouts too long to matter (what an unbounded service does) and with short ones; prints the
// time the normal client waited in each. Bounded: 1000 connections, at most 8 s per wait.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <QProcess>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

using namespace KDAutoUpdate;

namespace {

constexpr int kFlood = 1000;
constexpr rlim_t kServiceDescriptors = 256;
constexpr int kWaitMs = 8000;

// The service side, in its own process with few descriptors: prints its port, then serves.
int ServeWithFewDescriptors(int argc, char** argv) {
    const rlimit limit{kServiceDescriptors, kServiceDescriptors};
    ::setrlimit(RLIMIT_NOFILE, &limit);
    QCoreApplication app(argc, argv);
    ServiceOptions options;
    options.catalogueFolder = QStringLiteral(KDAU_SOURCE_DIR "/service/catalogue");
    options.idleTimeoutMs = std::atoi(argv[2]);
    options.requestTimeoutMs = std::atoi(argv[3]);
    UpdateService service(options);
    if (!service.Start(QHostAddress::LocalHost, 0))
        return 1;
    std::printf("%u\n", static_cast<unsigned>(service.Port()));
    std::fflush(stdout);
    return app.exec();
}

// Milliseconds until a normal client had the whole check answer; -1 when it had none in time.
qint64 NormalClientWait(quint16 port) {
    QTcpSocket client;
    QByteArray answer;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&client, &QTcpSocket::connected, [&] {
        client.write("GET /services/autoupdate/CheckUpdate.aspx?ProductCode=x HTTP/1.1\r\n"
                     "Host: 127.0.0.1\r\nConnection: close\r\n\r\n");
    });
    QObject::connect(&client, &QTcpSocket::readyRead, [&] { answer += client.readAll(); });
    QObject::connect(&client, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&client, &QTcpSocket::errorOccurred, [&] {
        // Refused or reset while the service had no descriptor left: try again.
        if (client.state() == QAbstractSocket::UnconnectedState && clock.elapsed() < kWaitMs)
            QTimer::singleShot(50, [&] { client.connectToHost(QHostAddress::LocalHost, port); });
    });
    QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
    client.connectToHost(QHostAddress::LocalHost, port);
    loop.exec();
    return answer.contains("<CheckUpdate") ? clock.elapsed() : -1;
}

qint64 RunOnce(int idleMs, int requestMs) {
    QProcess service;
    service.start(QCoreApplication::applicationFilePath(),
                  {"--service", QString::number(idleMs), QString::number(requestMs)});
    if (!service.waitForReadyRead(10000))
        return -2;
    const quint16 port = static_cast<quint16>(service.readLine().trimmed().toUInt());
    std::vector<std::unique_ptr<QTcpSocket>> flood;
    for (int i = 0; i < kFlood; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, port);
        QTcpSocket* raw = socket.get();
        QObject::connect(raw, &QTcpSocket::connected,
                         [raw] { raw->write("GET /services/autoupdate/ HTTP/1.1\r\n"); });
        flood.push_back(std::move(socket));
    }
    QTimer drip;
    QObject::connect(&drip, &QTimer::timeout, [&] {
        for (auto& socket : flood)
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write("X");
    });
    drip.start(500);
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    int connected = 0;
    for (const auto& socket : flood)
        connected += socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    std::printf("  %d of %d slow clients connected\n", connected, kFlood);
    const qint64 waited = NormalClientWait(port);
    service.kill();
    service.waitForFinished(5000);
    return waited;
}

void Print(const char* what, qint64 ms) {
    if (ms < 0)
        std::printf("%-34s no answer within %d ms\n", what, kWaitMs);
    else
        std::printf("%-34s answered after %lld ms\n", what, static_cast<long long>(ms));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--service")
        return ServeWithFewDescriptors(argc, argv);
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    QCoreApplication app(argc, argv);
    std::printf("%d slow clients, service limited to %d descriptors\n", kFlood,
                static_cast<int>(kServiceDescriptors));
    Print("timeouts of an hour (unbounded):", RunOnce(3600000, 3600000));
    Print("timeouts 2000 ms idle, 1000 ms request:", RunOnce(2000, 1000));
    return 0;
}
