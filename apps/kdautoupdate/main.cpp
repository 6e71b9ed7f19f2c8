// kdautoupdate: hosts the agent from the command line.

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "AutomationShell.h"
#include "DemoCommand.h"
#include "HostPlatform.h"
#include "QuickCommands.h"
#include "ScriptedUiDriver.h"
#include "ServerCommand.h"

#include "service/ServeCommand.h"
#include <sstream>
#include <unistd.h>
#include <vector>

using namespace KDAutoUpdate;

namespace {

void Usage() {
    std::fputs(
        "Usage: kdautoupdate COMMAND [options]\n"
        "\n"
        "Commands:\n"
        "  shell [--ui-timeout MS]        automation console: one statement a line on stdin\n"
        "  serve [--port N] [--catalogue DIR] [--address A] [--rate BYTES] [--hang-check]\n"
        "                                 the embedded update service\n"
        "  demo [--ui desktop|scripted] [--interactive] [--pace MS] [--rate BYTES]\n"
        "                                 the service and the whole road, in real windows\n"
        "                                 (or as text without a display)\n"
        "  server [--address A] [--ui desktop|scripted] [--idle-exit MS] [--introspect [DIR]]\n"
        "                                 the agent as a D-Bus service "
        "(org.kdautoupdate.KDAutoUpdate)\n"
        "  screenshots DIR                renders every window offscreen into DIR/*.png\n"
        "  help                           this text\n",
        stdout);
    std::fputs(QuickCommandUsage(), stdout);
}

int RunShell(int argc, char** argv) {
    long uiTimeout = 30000;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ui-timeout") == 0 && i + 1 < argc) {
            uiTimeout = std::strtol(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "kdautoupdate shell: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    HostPlatform host(UiMode::Scripted, uiTimeout);
    ScriptedUiDriver ui(*host.Scripted());
    AutomationShell shell(host.platform(), std::cout, &ui);
    shell.Run(std::cin, isatty(0) != 0);
    return 0;
}

int RunQuick(const std::string& command, int argc, char** argv) {
    std::vector<std::string> args(argv + 2, argv + argc);
    std::string error;
    const auto quick = BuildQuickCommand(command, args, error);
    if (!quick) {
        std::fprintf(stderr, "kdautoupdate %s: %s\n", command.c_str(), error.c_str());
        return 2;
    }
    QCoreApplication app(argc, argv);
    HostPlatform host(UiMode::Scripted, quick->uiTimeoutMs);
    ScriptedUiDriver ui(*host.Scripted());
    AutomationShell shell(host.platform(), std::cout, &ui);
    std::istringstream script(quick->script);
    shell.Run(script);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
        Usage();
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    if (command == "shell")
        return RunShell(argc, argv);
    if (command == "demo")
        return RunDemoCommand(argc, argv);
    if (command == "server")
        return RunServerCommand(argc, argv);
    if (command == "screenshots")
        return RunScreenshotsCommand(argc, argv);
    if (IsQuickCommand(command))
        return RunQuick(command, argc, argv);
    if (command == "serve") {
        QCoreApplication app(argc, argv);
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return RunServeCommand(args);
    }
    std::fprintf(stderr, "kdautoupdate: unknown command '%s' (try: kdautoupdate help)\n",
                 command.c_str());
    return 2;
}
