// The messages window's data island, bare or wrapped, with or without keys (first byte's bits).

#include <cstdint>
#include <string>

#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "fuzz/FuzzSupport.h"
#include "messages_window/frmMessages.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/FakeBrowserControl.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TestPlatform tp;
    static ScriptedRenderer renderer(tp.loop(),
                                     [] { return std::make_unique<FakeBrowserControl>(); });
    tp.platform().forms = &renderer;
    const FuzzInput input(data, size);
    UseTrustFile(tp, "{P1}", input.flags & 1);
    {
        AuAgent agent(tp.platform());
        agent.SetBaseURL("http://svc.test");
        agent.SetProductCode("{P1}");
        frmMessages* window = nullptr;
        if (agent.DisplayMessages().ok())
            window = FormInstances::ForThread().messages.get();
        auto* browser = window ? dynamic_cast<FakeBrowserControl*>(window->Browser()) : nullptr;
        if (browser) {
            auto page =
                std::make_shared<FakeBrowserControl::Page>("http://svc.test/InitUpdate.aspx");
            page->Add("KdAutoUpdate", "xml")
                ->SetRawSource(input.flags & 2 ? "<xml id=\"KdAutoUpdate\">" + input.text + "</xml>"
                                               : input.text);
            page->Add("cmdClose", "button");
            browser->Complete(window->PageBrowser(), page);
            browser->Complete(window->PageBrowser(), page); // read twice: appends nothing new
        }
    }
    tp.loop().ProcessPendingEvents();
    return 0;
}
