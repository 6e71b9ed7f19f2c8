// A host product that embeds the update agent: at its start it checks the update service for
// messages, shows its own notice instead of the agent's dialog, and ends when the agent is idle.
//
//   embed-cpp BASE_URL [--desktop]
//
// Without --desktop it needs no display (the agent's windows become terminal text); with it the
// agent's windows are real, and the library loads Qt WebEngine only when one opens.

#include <QApplication>
#include <QTimer>

#include <cstring>
#include <iostream>
#include <memory>

#include <kdautoupdate/agent/AuAgent.h>
#include <kdautoupdate/platform/qt/HostPlatform.h>

namespace {

class Host : public KDAutoUpdate::IAuAgentEvents {
public:
    void NewMessages(long lMessageCount, const std::string& sMessageStamp, const std::string&,
                     bool& bSkipDialog) override {
        std::cout << "NewMessages " << lMessageCount << " " << sMessageStamp << std::endl;
        bSkipDialog = true; // this product shows a badge of its own
    }
    void ProcessCompleted() override {
        std::cout << "ProcessCompleted" << std::endl;
        QCoreApplication::quit();
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: embed-cpp BASE_URL [--desktop]\n";
        return 2;
    }
    const bool desktop = argc > 2 && std::strcmp(argv[2], "--desktop") == 0;
    std::unique_ptr<QCoreApplication> app;
    if (desktop) {
        KDAutoUpdate::HostPlatform::PrepareDesktopApplication(); // before the QApplication
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }

    KDAutoUpdate::HostPlatform host(desktop ? KDAutoUpdate::UiMode::Desktop
                                            : KDAutoUpdate::UiMode::Scripted);
    Host events;
    KDAutoUpdate::AuAgent agent(host.platform(), &events);
    agent.SetBaseURL(argv[1]);
    agent.SetProductCode("6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14"); // braces are added
    agent.SetMajorVer(5);
    agent.SetMinorVer(0);
    agent.SetRevision(2);

    // Asynchronous, not silent, automatic: the way a product checks at its start.
    if (auto r = agent.CheckMessages(false, true, true); !r.ok()) {
        std::cerr << "CheckMessages: " << r.error().description << "\n";
        return 1;
    }
    QTimer::singleShot(30000, [] {
        std::cerr << "no answer from the agent\n";
        QCoreApplication::exit(1);
    });
    return app->exec();
}
