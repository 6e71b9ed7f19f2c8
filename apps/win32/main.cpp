// kdautoupdate.exe: the agent hosted by a Windows program. As the automation server of AuAgent
// it takes /RegServer and /UnregServer (per machine; /RegServerPerUser and
// /UnregServerPerUser for the user alone) and -Embedding (started by COM). One command
// asks the update service the way a product does at its start, and prints what a host sees:
//
//   kdautoupdate.exe check --base URL --product CODE [--version A.B.C] [--async]
//
// An asynchronous check announces messages through NewMessages (answered with bSkipDialog, so
// no window opens) and ends with ProcessCompleted; then the product's stored element is printed.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "agent/AuAgent.h"
#include "com/ComServer.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

constexpr long kCompletionWaitMs = 30000;

class PrintingHost : public IAuAgentEvents {
public:
    void NewMessages(long lMessageCount, const std::string& sMessageStamp, const std::string&,
                     bool& bSkipDialog) override {
        std::printf("Event NewMessages %ld %s\n", lMessageCount, sMessageStamp.c_str());
        bSkipDialog = true;
    }
    void ProcessCompleted() override {
        std::printf("Event ProcessCompleted\n");
        completed = true;
    }
    bool completed = false;
};

int Usage() {
    std::fprintf(stderr, "usage: kdautoupdate check --base URL --product CODE [--version A.B.C] "
                         "[--async]\n");
    return 2;
}

int Check(const std::map<std::string, std::string>& options) {
    if (!options.count("--base") || !options.count("--product"))
        return Usage();
    Win32Platform host;
    PrintingHost events;
    int status = 0;
    {
        AuAgent agent(host.platform(), &events);
        agent.SetBaseURL(options.at("--base"));
        agent.SetProductCode(options.at("--product"));
        if (options.count("--version")) {
            long parts[3] = {0, 0, 0};
            std::sscanf(options.at("--version").c_str(), "%ld.%ld.%ld", &parts[0], &parts[1],
                        &parts[2]);
            agent.SetMajorVer(parts[0]);
            agent.SetMinorVer(parts[1]);
            agent.SetRevision(parts[2]);
        }
        const bool async = options.count("--async") > 0;
        const Outcome<bool> result = agent.CheckMessages(true, async, true);
        if (!result.ok()) {
            std::printf("Error %ld %s: %s\n", result.error().number, result.error().source.c_str(),
                        result.error().description.c_str());
            return 1;
        }
        std::printf("CheckMessages -> %s\n", result.value() ? "True" : "False");
        if (async && !host.loop().RunUntil([&] { return events.completed; }, kCompletionWaitMs)) {
            std::printf("Timeout\n");
            status = 1;
        }
        if (auto product = agent.GetProductNode())
            std::printf("Stored %s\n", product->xml().c_str());
    }
    std::fflush(stdout);
    return status;
}

} // namespace
} // namespace KDAutoUpdate

int wmain(int argc, wchar_t** argv) {
    const std::string command = argc > 1 ? KDAutoUpdate::Narrow(argv[1]) : "";
    // The automation server's switches, as COM and installers pass them.
    auto is = [&command](const char* name) {
        return _stricmp(command.c_str(), (std::string("/") + name).c_str()) == 0 ||
               _stricmp(command.c_str(), (std::string("-") + name).c_str()) == 0;
    };
    if (is("RegServer") || is("RegServerPerUser"))
        return KDAutoUpdate::ComServer::Register(is("RegServerPerUser")) ? 0 : 1;
    if (is("UnregServer") || is("UnregServerPerUser"))
        return KDAutoUpdate::ComServer::Unregister(is("UnregServerPerUser")) ? 0 : 1;
    if (is("Embedding") || is("Automation"))
        return KDAutoUpdate::ComServer::Serve();
    if (command != "check")
        return KDAutoUpdate::Usage();
    std::map<std::string, std::string> options;
    for (int i = 2; i < argc; ++i) {
        const std::string name = KDAutoUpdate::Narrow(argv[i]);
        if (name == "--async")
            options[name] = "";
        else if (i + 1 < argc)
            options[name] = KDAutoUpdate::Narrow(argv[++i]);
        else
            return KDAutoUpdate::Usage();
    }
    return KDAutoUpdate::Check(options);
}
