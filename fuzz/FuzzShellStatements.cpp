// The shell's statements on the test platform's fakes (no network, virtual clock): runs end fast.

#include <cstdint>
#include <sstream>
#include <string>

#include "apps/kdautoupdate/AutomationShell.h"
#include "apps/kdautoupdate/ScriptedUiDriver.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/FakeBrowserControl.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // All made anew for each input: answers a script queues but never uses hold the driver,
    // and timers of one run must not fire into the next.
    TestPlatform tp;
    ScriptedRenderer renderer(tp.loop(), [] { return std::make_unique<FakeBrowserControl>(); });
    tp.platform().forms = &renderer;
    ScriptedUiDriver ui(renderer);
    std::ostringstream out;
    {
        AutomationShell shell(tp.platform(), out, &ui);
        std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
        shell.Run(in);
    }
    tp.loop().ProcessPendingEvents();
    return 0;
}
