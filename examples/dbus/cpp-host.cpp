// A C++ host through the typed D-Bus client: creates an agent in the service, answers its
// NewMessages event and waits until the agent is idle again. Needs `kdautoupdate server` and
// `kdautoupdate serve` (port 8080) running.

#include <QCoreApplication>

#include <cstdio>

#include "AuAgentClient.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    KDAutoUpdate::Client::AuAgentClient agent;
    if (!agent.isValid()) {
        std::fprintf(stderr, "no agent: %s\n", qPrintable(agent.lastError().message()));
        return 1;
    }
    agent.setProductCode("6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14");
    agent.setVersion(5, 0, 2);
    QObject::connect(&agent, &KDAutoUpdate::Client::AuAgentClient::newMessages,
                     [](int count, const QString& stamp, const QString&, bool* bSkipDialog) {
                         std::printf("NewMessages: %d messages, stamp %s\n", count,
                                     qPrintable(stamp));
                         *bSkipDialog = true; // the host shows its own notice
                     });
    QObject::connect(&agent, &KDAutoUpdate::Client::AuAgentClient::processCompleted, &app, [&] {
        std::printf("ProcessCompleted\n");
        app.quit();
    });
    std::printf("ProductCode %s, CheckMessages -> %d\n", qPrintable(agent.productCode()),
                agent.checkMessages().value_or(false));
    return app.exec();
}
