#pragma once
// An agent with the scripted user, a scripted download control, and recording process
// launcher and desktop: deployments run for real and the test reads what they left.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "agent/AuAgent.h"
#include "deploy/AuMessage.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/FakeDownloaderFactory.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/RecordingProcessLauncher.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {

// The message boxes the user was shown.
struct MessageBoxes : ScriptedRenderer::Observer {
    struct Shown {
        std::string text;
        MsgBoxButtons buttons;
        MsgBoxIcon icon;
    };
    void MessageBoxShown(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                         const std::string&, MsgBoxResult) override {
        shown.push_back({text, buttons, icon});
    }
    std::vector<Shown> shown;
};

class DeploymentTest : public ::testing::Test {
protected:
    DeploymentTest() {
        renderer.SetObserver(&boxes);
        tp.platform().forms = &renderer;
        tp.platform().downloads = &downloads;
        tp.platform().processes = &launcher;
        tp.platform().desktop = &desktop;
        agent = std::make_unique<AuAgent>(tp.platform());
        agent->SetProductCode("{AB12}");
    }

    std::unique_ptr<AuMessage> Message(AuMessageTypes type, const std::string& cmdLine = {}) {
        auto m = std::make_unique<AuMessage>();
        m->SetAgentPtr(agent->Ptr());
        m->SetID("M1");
        m->SetName("Keldra Studio 5.1");
        m->SetFileName("KeldraStudio-Update-5.1.0.sh");
        m->SetMessageType(type);
        m->SetDownloadPath("http://127.0.0.1/pkg/KeldraStudio-Update-5.1.0.sh");
        m->SetCmdLine(cmdLine);
        return m;
    }
    // Every download succeeds with `path` after a progress report.
    void DownloadsSucceed(const std::string& path) {
        downloads.OnBegin([path](FakeDownloader& d) {
            d.EmitProgress(50, 1000, 1, 500, 1000, 10);
            d.Finish(path, 20);
        });
    }
    std::string Attribute(const std::string& name) { return agent->GetProductAttribute(name); }
    bool HasAttribute(const std::string& name) {
        return agent->GetProductNode()->getAttribute(name).has_value();
    }

    TestPlatform tp;
    MessageBoxes boxes;
    ScriptedRenderer renderer{tp.loop()};
    FakeDownloaderFactory downloads{tp.loop()};
    RecordingProcessLauncher launcher;
    RecordingDesktop desktop;
    std::unique_ptr<AuAgent> agent;
};

} // namespace KDAutoUpdate
