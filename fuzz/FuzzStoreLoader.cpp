// The store loader: any updateinfo.xml beside the program is read, queried, changed and saved.

#include <cstdint>
#include <string>

#include "agent/AuAgent.h"
#include "store/AuProductInfo.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TestPlatform tp;
    tp.WriteProgramFile("updateinfo.xml", std::string(reinterpret_cast<const char*>(data), size));
    AuAgent agent(tp.platform());
    agent.SetProductCode("{AB12}");
    if (auto info = agent.GetProductInfo()) {
        info->LastMessageStamp += "x";
        info->Persist();
    }
    agent.GetLastInstallableUpdate();
    agent.CheckInstallableUpdates(true);
    agent.SetProductAttribute("last-checked-date", "2026-12-06 12:00:00");
    return 0; // the agent's end saves the store
}
