// kdautoupdate-commands.so: the program's commands that show windows or run the HTTP service.
// The program loads it by name (see PluginCommands.h) and calls kdau_run_command.

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstring>

#include "DemoCommand.h"
#include "ServerCommand.h"
#include "service/PublishCommand.h"
#include "service/ServeCommand.h"

using namespace KDAutoUpdate;

namespace {
QStringList CommandArguments(int argc, char** argv) {
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}
} // namespace

extern "C" __attribute__((visibility("default"))) int kdau_run_command(const char* command,
                                                                       int argc, char** argv) {
    if (std::strcmp(command, "demo") == 0)
        return RunDemoCommand(argc, argv);
    if (std::strcmp(command, "server") == 0)
        return RunServerCommand(argc, argv);
    if (std::strcmp(command, "screenshots") == 0)
        return RunScreenshotsCommand(argc, argv);
    if (std::strcmp(command, "serve") == 0) {
        QCoreApplication app(argc, argv);
        return RunServeCommand(CommandArguments(argc, argv));
    }
    if (std::strcmp(command, "publish") == 0) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunPublishCommand(CommandArguments(argc, argv), out, err);
    }
    return 2;
}
