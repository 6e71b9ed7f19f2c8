// The check answer, sync and async, with and without the vendor's keys (first byte).

#include <cstdint>
#include <string>

#include "agent/AuAgent.h"
#include "fuzz/FuzzSupport.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TestPlatform tp;
    static ScriptedRenderer renderer{tp.loop()};
    tp.platform().forms = &renderer;
    tp.utility().SetConnected(true);
    const FuzzInput input(data, size);
    UseTrustFile(tp, "{P1}", input.flags & 1);
    AuAgent agent(tp.platform());
    agent.SetBaseURL("http://svc.test");
    agent.SetProductCode("{P1}");
    tp.http().SetPrefixResponse("http://svc.test/CheckUpdate.aspx",
                                FakeHttpFetcher::Response::Ok(input.text));
    // Only crashes and sanitizer reports count here: what the checks answer does not.
    (void)agent.CheckMessages(true, false, (input.flags & 2) != 0);
    (void)agent.CheckMessages(true, true, true);
    tp.loop().Advance(100);
    return 0;
}
